#include "frontend/controls/colour_grid_popup.h"

#include <QApplication>
#include <QColorDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QToolTip>
#include <algorithm>

#include "frontend/model/registry_files.h"
#include "frontend/ui/classic_draw.h"
#include "frontend/ui/sys_colors.h"

namespace {

constexpr int kColumns = 8;
constexpr int kMaxColours = 100;
constexpr int kBoxSize = 18;

// Text boxes and colour cells: the gap around the highlight and the inset of
// the content.
constexpr int kTextMargin = 2, kTextBorder = 3;
constexpr int kCellMargin = 0, kCellBorder = 2;

const std::vector<NamedColour> kNamedColours = {
    {0x000000, "Black"},
    {0x002AA5, "Brown"},
    {0x404000, "Dark Olive Green"},
    {0x005500, "Dark Green"},
    {0x5E0000, "Dark Teal"},
    {0x8B0000, "Dark blue"},
    {0x82004B, "Indigo"},
    {0x282828, "Dark grey"},
    {0x00008B, "Dark red"},
    {0x2068FF, "Orange"},
    {0x008B8B, "Dark yellow"},
    {0x009300, "Green"},
    {0x8E8E38, "Teal"},
    {0xFF0000, "Blue"},
    {0xC07B7B, "Blue-grey"},
    {0x666666, "Grey - 40"},
    {0x0000FF, "Red"},
    {0x5BADFF, "Light orange"},
    {0x32CD32, "Lime"},
    {0x71B33C, "Sea green"},
    {0xD4FF7F, "Aqua"},
    {0xC09E7D, "Light blue"},
    {0x800080, "Violet"},
    {0x808080, "Grey - 50"},
    {0xCBC0FF, "Pink"},
    {0x00D7FF, "Gold"},
    {0x00FFFF, "Yellow"},
    {0x00FF00, "Bright green"},
    {0xD0E040, "Turquoise"},
    {0xFFFFC0, "Skyblue"},
    {0x480048, "Plum"},
    {0xC0C0C0, "Light grey"},
    {0xE1E4FF, "Rose"},
    {0x8CB4D2, "Tan"},
    {0xE0FFFF, "Light yellow"},
    {0x98FB98, "Pale green "},
    {0xEEEEAF, "Pale turquoise"},
    {0x8B8368, "Pale blue"},
    {0xFAE6E6, "Lavender"},
    {0xFFFFFF, "White"},
};

bool SystemColourDialog(QWidget* owner, uint32_t start, CustomColours& custom, uint32_t* chosen) {
  for (int i = 0; i < static_cast<int>(custom.size()) && i < QColorDialog::customCount(); ++i)
    QColorDialog::setCustomColor(i, ColorRef(custom[i]));
  QColorDialog dialog(ColorRef(start), owner != nullptr ? owner->window() : nullptr);
  const bool ok = dialog.exec() == QDialog::Accepted;
  for (int i = 0; i < static_cast<int>(custom.size()) && i < QColorDialog::customCount(); ++i)
    custom[i] = ToColorRef(QColorDialog::customColor(i));
  if (ok && chosen != nullptr) *chosen = ToColorRef(dialog.selectedColor());
  return ok;
}

ColourDialogHook& DialogHook() {
  static ColourDialogHook hook;
  return hook;
}

// Custom colours are per user: both registry files are the user's.
RegistryFiles ColourRegistryFiles() {
  const std::string user = UserRegistryFile();
  return RegistryFiles{user, user};
}

std::string CustomColourPath(const std::string& section, size_t index) {
  return "Software\\velmo\\" + section + "\\CUSTOM_COLOR_" + std::to_string(index);
}

void Draw3dRect(QPainter& painter, const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
  if (r.width() <= 0 || r.height() <= 0) return;
  painter.fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), topLeft);
  painter.fillRect(QRect(r.left(), r.top(), 1, r.height() - 1), topLeft);
  painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
  painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
}

// The menu colour blended a little towards the highlight: the start cell.
QColor BlendedColour() {
  const QColor menu = SysColor(COLOR_MENU), hi = SysColor(COLOR_HIGHLIGHT);
  return QColor((menu.red() * 207 + hi.red() * 48) / 256, (menu.green() * 207 + hi.green() * 48) / 256,
                (menu.blue() * 207 + hi.blue() * 48) / 256);
}

}  // namespace

const std::vector<NamedColour>& NamedColours() { return kNamedColours; }

int FindNamedColour(uint32_t colour) {
  for (size_t i = 0; i < kNamedColours.size(); ++i)
    if (kNamedColours[i].colour == colour) return static_cast<int>(i);
  return -1;
}

int ColourGridNavigate(int from, GridKey key, int count, int columns, bool hasDefault, bool hasCustom) {
  const int last = count - 1;
  const bool back = key == GridKey::Left || key == GridKey::Up;
  const int customElseLast = hasCustom ? kCustomBox : last;
  const int defaultElseFirst = hasDefault ? kDefaultBox : 0;
  if (from == kDefaultBox) return back ? customElseLast : 0;
  if (from == kCustomBox) return back ? last : defaultElseFirst;
  if (from < 0 || from >= count) return back ? customElseLast : defaultElseFirst;
  const int step = key == GridKey::Left || key == GridKey::Right ? 1 : columns;
  if (back) return from - step >= 0 ? from - step : hasDefault ? kDefaultBox : customElseLast;
  return from + step < count ? from + step : hasCustom ? kCustomBox : defaultElseFirst;
}

QRect PlaceColourPopup(QRect window, const QRect& workArea, int pickerHeight) {
  if (window.right() > workArea.right()) window.moveRight(workArea.right());
  if (window.left() < workArea.left()) window.moveLeft(workArea.left());
  if (window.bottom() > workArea.bottom()) window.translate(0, -(window.height() + pickerHeight));
  return window;
}

ColourDialogHook SetColourDialogHook(ColourDialogHook hook) {
  ColourDialogHook previous = std::move(DialogHook());
  DialogHook() = std::move(hook);
  return previous;
}

CustomColours ReadCustomColours(const std::string& section) {
  CustomColours colours;
  const RegistryFiles files = ColourRegistryFiles();
  for (size_t i = 0; i < colours.size(); ++i) {
    uint32_t value = 0;
    colours[i] = RegistryReadDword(files, CustomColourPath(section, i), value) ? value : 0xFFFFFF;
  }
  return colours;
}

bool WriteCustomColours(const std::string& section, const CustomColours& colours) {
  const RegistryFiles files = ColourRegistryFiles();
  bool ok = true;
  for (size_t i = 0; i < colours.size(); ++i)
    ok = RegistryWriteDword(files, CustomColourPath(section, i), colours[i]) && ok;
  return ok;
}

CColourGridPopup::CColourGridPopup(const QPoint& at, uint32_t colour, QWidget* owner, WindowId notify,
                                   const QString& defaultText, const QString& customText, const std::string& regSection)
    : QWidget(owner, Qt::Popup),
      owner_(owner),
      notify_(notify),
      defaultText_(defaultText),
      customText_(customText),
      regSection_(regSection),
      font_(QApplication::font()),
      margin_(GetSystemMetrics(SM_CXEDGE)),
      startColour_(colour),
      chosen_(colour),
      flatMenus_(SystemFlatMenus()) {
  box_ = std::max(kBoxSize, 2 * margin_ + 7);
  const int count = std::min(Count(), kMaxColours);
  rows_ = (count + kColumns - 1) / kColumns;
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);

  Layout(at);
  if (colour == kDefaultColour && !defaultText_.isEmpty())
    start_ = kDefaultBox;
  else if (int named = FindNamedColour(colour); named >= 0)
    start_ = named;
  else
    start_ = !customText_.isEmpty() ? kCustomBox : kNoCell;

  connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
    if (state != Qt::ApplicationActive) EndSelection(WM_COLOUR_ENDCANCEL);
  });
  show();
  setFocus();
}

CColourGridPopup::~CColourGridPopup() = default;

void CColourGridPopup::Layout(const QPoint& at) {
  const bool hasDefault = !defaultText_.isEmpty(), hasCustom = !customText_.isEmpty();
  int textHeight = 0, neededWidth = 0;
  if (hasDefault || hasCustom) {
    QFontMetrics metrics(font_);
    textHeight = metrics.height() + 4 * margin_ + 2;
    neededWidth =
        std::max(metrics.horizontalAdvance(defaultText_), metrics.horizontalAdvance(customText_)) + 2 * margin_;
  }
  const int gridWidth = box_ * kColumns;
  int width = gridWidth + 2 * margin_;
  int height = box_ * rows_ + 2 * margin_;
  if (hasDefault) {
    width = std::max(width, neededWidth);
    defaultBox_ = QRect(margin_, margin_, width - 2 * margin_, textHeight + margin_);
    height += defaultBox_.height() + 2 * margin_;
  }
  if (hasCustom) {
    width = std::max(width, neededWidth);
    if (hasDefault) defaultBox_.setWidth(width - 2 * margin_);
    customBox_ = QRect(margin_, height, width - 2 * margin_, textHeight + margin_);
    height += customBox_.height() + margin_;
  }
  // The grid is centred when a text made the pop-up wider than it.
  const int left = margin_ + (std::max(width - 2 * margin_, gridWidth) - gridWidth) / 2;
  const int top = margin_ + (hasDefault ? defaultBox_.height() + margin_ : 0);
  gridRect_ = QRect(left, top, gridWidth, box_ * rows_);

  QScreen* screen = owner_ != nullptr ? owner_->screen() : QGuiApplication::screenAt(at);
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  const QRect area = screen != nullptr ? screen->availableGeometry()
                                       : QRect(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  setGeometry(PlaceColourPopup(QRect(at, QSize(width, height)), area, owner_ != nullptr ? owner_->height() : 0));
}

QRect CColourGridPopup::CellRect(int index) const {
  if (index == kDefaultBox) return defaultBox_;
  if (index == kCustomBox) return customBox_;
  if (index < 0 || index >= Count()) return {};
  return QRect(gridRect_.left() + (index % kColumns) * box_, gridRect_.top() + (index / kColumns) * box_, box_, box_);
}

int CColourGridPopup::HitTest(const QPoint& point) const {
  if (customBox_.contains(point)) return kCustomBox;
  if (defaultBox_.contains(point)) return kDefaultBox;
  if (!gridRect_.contains(point)) return kNoCell;
  const int index = (point.y() - gridRect_.top()) / box_ * kColumns + (point.x() - gridRect_.left()) / box_;
  return index < Count() ? index : kNoCell;
}

void CColourGridPopup::Tell(uint32_t message, uint32_t colour) const { SendMessage(notify_, message, colour, 0); }

void CColourGridPopup::SelectCell(int index) {
  if (index >= Count()) index = kCustomBox;
  selected_ = index;
  update();
  if (index == kCustomBox) {
    Tell(WM_COLOUR_CHANGED, startColour_);
  } else if (index == kDefaultBox) {
    chosen_ = kDefaultColour;
    Tell(WM_COLOUR_CHANGED, chosen_);
  } else if (index >= 0) {
    chosen_ = NamedColours()[static_cast<size_t>(index)].colour;
    Tell(WM_COLOUR_CHANGED, chosen_);
  } else {
    // Nothing selected: accepting now keeps the colour the pop-up opened with.
    chosen_ = startColour_;
    Tell(WM_COLOUR_CHANGED, startColour_);
  }
}

void CColourGridPopup::EndSelection(uint32_t message) {
  // A second end while the colour dialog runs, or after the first, is dropped.
  if (ended_ || inDialog_) return;
  if (message == WM_COLOUR_ENDCANCEL) {
    chosen_ = startColour_;
  } else if (message == WM_COLOUR_ENDOK && selected_ == kCustomBox) {
    inDialog_ = true;
    hide();  // the dialog takes the mouse and the keys
    CustomColours custom;
    custom.fill(0xFFFFFF);
    if (!regSection_.empty()) custom = ReadCustomColours(regSection_);
    uint32_t result = startColour_;
    const ColourDialogHook& hook = DialogHook();
    const bool ok =
        hook ? hook(owner_, startColour_, custom, &result) : SystemColourDialog(owner_, startColour_, custom, &result);
    if (ok) {
      chosen_ = result;
    } else {
      message = WM_COLOUR_ENDCANCEL;
      chosen_ = startColour_;
    }
    if (!regSection_.empty()) WriteCustomColours(regSection_, custom);
    inDialog_ = false;
  }
  ended_ = true;
  hide();
  Tell(message, chosen_);
  deleteLater();
}

void CColourGridPopup::keyPressEvent(QKeyEvent* event) {
  const bool hasDefault = !defaultText_.isEmpty(), hasCustom = !customText_.isEmpty();
  GridKey key;
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
      EndSelection(WM_COLOUR_ENDOK);
      return;
    case Qt::Key_Escape:
      chosen_ = startColour_;
      EndSelection(WM_COLOUR_ENDCANCEL);
      return;
    case Qt::Key_Left:
      key = GridKey::Left;
      break;
    case Qt::Key_Up:
      key = GridKey::Up;
      break;
    case Qt::Key_Right:
      key = GridKey::Right;
      break;
    case Qt::Key_Down:
      key = GridKey::Down;
      break;
    default:
      QWidget::keyPressEvent(event);
      return;
  }
  SelectCell(ColourGridNavigate(selected_, key, Count(), kColumns, hasDefault, hasCustom));
}

void CColourGridPopup::mouseMoveEvent(QMouseEvent* event) {
  const int index = HitTest(event->position().toPoint());
  if (index != selected_) SelectCell(index);
}

void CColourGridPopup::mousePressEvent(QMouseEvent* event) {
  event->accept();
  if (rect().contains(event->position().toPoint())) return;
  // A press on the picker closes the pop-up without clicking the picker again.
  if (owner_ != nullptr && owner_->rect().contains(owner_->mapFromGlobal(event->globalPosition().toPoint())))
    setAttribute(Qt::WA_NoMouseReplay);
  EndSelection(WM_COLOUR_ENDCANCEL);
}

void CColourGridPopup::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (!rect().contains(at)) {
    EndSelection(WM_COLOUR_ENDCANCEL);
    return;
  }
  const int index = HitTest(at);
  if (index != selected_) SelectCell(index);
  EndSelection(WM_COLOUR_ENDOK);
}

void CColourGridPopup::closeEvent(QCloseEvent* event) {
  if (!ended_) EndSelection(WM_COLOUR_ENDCANCEL);
  QWidget::closeEvent(event);
}

bool CColourGridPopup::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const int index = HitTest(help->pos());
    if (index >= 0)
      QToolTip::showText(help->globalPos(), QString::fromUtf8(NamedColours()[static_cast<size_t>(index)].name), this,
                         CellRect(index));
    else
      QToolTip::hideText();
    return true;
  }
  return QWidget::event(event);
}

void CColourGridPopup::DrawCell(QPainter& painter, int index) const {
  const QRect cell = CellRect(index);
  if (cell.isEmpty()) return;
  const bool isText = index < 0;
  const int margin = isText ? kTextMargin : kCellMargin;
  const int border = isText ? kTextBorder : kCellBorder;
  const bool selected = index == selected_;
  const bool start = !selected && index == start_;

  painter.fillRect(cell, SysColor(COLOR_MENU));
  if (selected || start) {
    const QRect mark = cell.adjusted(margin, margin, -margin, -margin);
    if (flatMenus_) {
      painter.fillRect(mark, SysColor(COLOR_HIGHLIGHT));
      painter.fillRect(mark.adjusted(1, 1, -1, -1), selected ? SysColor(COLOR_MENUHILIGHT) : BlendedColour());
    } else if (selected) {
      Draw3dRect(painter, mark, SysColor(COLOR_BTNHIGHLIGHT), SysColor(COLOR_BTNSHADOW));
    } else {
      Draw3dRect(painter, mark, SysColor(COLOR_BTNSHADOW), SysColor(COLOR_BTNHIGHLIGHT));
    }
  }
  const QRect inset = cell.adjusted(border, border, -border, -border);

  if (isText) {
    painter.setPen(SysColor(selected && flatMenus_ ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
    painter.setFont(font_);
    painter.drawText(inset, Qt::AlignCenter | Qt::TextSingleLine, index == kDefaultBox ? defaultText_ : customText_);
    // A line between the box and the grid, 2 pixels in from the sides.
    QRect line(cell.left() + 2, cell.top(), cell.width() - 4, cell.height());
    const unsigned side = index == kDefaultBox ? BF_BOTTOM : BF_TOP;
    if (flatMenus_) {
      const int y = index == kDefaultBox ? line.bottom() : line.top();
      painter.fillRect(QRect(line.left(), y, line.width(), 1), SysColor(COLOR_GRAYTEXT));
    } else {
      DrawEdge(painter, &line, EDGE_ETCHED, side);
    }
    return;
  }
  const QRect swatch = inset.adjusted(1, 1, -1, -1);
  painter.fillRect(swatch, SysColor(COLOR_BTNSHADOW));
  painter.fillRect(swatch.adjusted(1, 1, -1, -1), ColorRef(NamedColours()[static_cast<size_t>(index)].colour));
}

void CColourGridPopup::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), SysColor(COLOR_MENU));
  if (!defaultText_.isEmpty()) DrawCell(painter, kDefaultBox);
  for (int i = 0; i < Count(); ++i) DrawCell(painter, i);
  if (!customText_.isEmpty()) DrawCell(painter, kCustomBox);
  if (flatMenus_) {
    painter.setPen(SysColor(COLOR_GRAYTEXT));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  } else {
    QRect frame = rect();
    DrawEdge(painter, &frame, EDGE_RAISED, BF_RECT);
  }
}
