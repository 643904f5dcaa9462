#include "frontend/controls/profile_combo.h"

#include <QMouseEvent>
#include <QStyleOptionComboBox>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

#include "frontend/controls/image_list.h"
#include "frontend/model/profile_db.h"
#include "frontend/ui/control_ids.h"

namespace {
constexpr int kIconLeft = 3;
constexpr int kTextIndent = 20;
}  // namespace

CProfileCombo::CProfileCombo(QWidget* parent) : QComboBox(parent) { setEditable(false); }

std::string CProfileCombo::NodeOfLine(const std::string& line) {
  const size_t slash = line.find('/');
  return slash == std::string::npos ? std::string() : line.substr(0, slash);
}

std::string CProfileCombo::TextOfLine(const std::string& line) {
  const size_t slash = line.find('/');
  return slash == std::string::npos ? line : line.substr(slash + 1);
}

QPixmap CProfileCombo::NodeIcon(const std::string& node) {
  // A node name that climbs out of the tree names no icon.
  if (node.empty() || node == "." || node == ".." || node.find('\\') != std::string::npos) return {};
  auto found = icons_.find(node);
  if (found != icons_.end()) return found->second;
  CImageList list(16, 16);
  const int index = list.AddFile(ResolveProfileFile("tree/" + node + "/info.bmp"));
  QPixmap icon = index >= 0 ? list.Image(index) : QPixmap();
  icons_[node] = icon;
  return icon;
}

void CProfileCombo::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionComboBox option;
  initStyleOption(&option);
  option.currentText.clear();
  option.currentIcon = QIcon();
  painter.drawComplexControl(QStyle::CC_ComboBox, option);

  const QRect item = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
  const std::string line = currentText().left(256).toStdString();
  const std::string node = NodeOfLine(line);
  if (!node.empty()) {
    const QPixmap icon = NodeIcon(node);
    if (!icon.isNull()) painter.drawPixmap(item.left() + kIconLeft, item.top() + (item.height() - 16) / 2 + 1, icon);
  }
  const QRect textRect = item.adjusted(kTextIndent, 0, 0, 0);
  const QString text = QString::fromStdString(TextOfLine(line));
  painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
  painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   fontMetrics().elidedText(text, Qt::ElideRight, textRect.width()));
  if (hasFocus()) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = item;
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
  }
}

void CProfileCombo::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QComboBox::mousePressEvent(event);
    return;
  }
  event->accept();
  if (CommandTarget* target = FindCommandTarget(this)) target->OnCommand(kProfileComboCommand, 0);
}
