#include "frontend/controls/colour_picker.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QPolygon>

#include "frontend/ui/classic_draw.h"
#include "frontend/ui/control_ids.h"
#include "frontend/ui/sys_colors.h"

CColourPickerXP::CColourPickerXP(QWidget* parent)
    : QPushButton(parent), defaultColour_(ToColorRef(SysColor(COLOR_APPWORKSPACE))) {
  setAutoDefault(false);
  OpenHandle();
  connect(this, &QPushButton::clicked, this, &CColourPickerXP::OpenPopup);
}

CColourPickerXP::~CColourPickerXP() { CloseHandle(); }

uint32_t CColourPickerXP::GetColor(bool translateDefault) const {
  return translateDefault && colour_ == kDefaultColour ? defaultColour_ : colour_;
}

void CColourPickerXP::SetColor(uint32_t colour) {
  colour_ = colour;
  update();
}

void CColourPickerXP::SetDefaultColor(uint32_t colour) {
  defaultColour_ = colour;
  update();
}

void CColourPickerXP::SetCustomText(const QString& text) { customText_ = text; }

void CColourPickerXP::SetDefaultText(const QString& text) {
  defaultText_ = text;
  if (comboLook_ && ShowsDefault()) update();
}

void CColourPickerXP::SetRegSection(const std::string& section) { regSection_ = section; }

void CColourPickerXP::SetStyle(bool comboLook) {
  const bool switchedOn = comboLook && !comboLook_;
  comboLook_ = comboLook;
  if (switchedOn) resize(width(), QFontMetrics(font()).height() + 8);
  update();
}

void CColourPickerXP::SetRGBText(const QString& letters) {
  letters_ = letters.leftJustified(3, QLatin1Char(' '));
  if (comboLook_ && !ShowsDefault()) update();
}

void CColourPickerXP::SetShowColourName(bool show) {
  showName_ = show;
  if (comboLook_ && !ShowsDefault()) update();
}

QString CColourPickerXP::ColourText() const {
  if (ShowsDefault()) return defaultText_;
  const QString components = QStringLiteral("%1:%2 %3:%4 %5:%6")
                                 .arg(letters_.at(0))
                                 .arg(colour_ & 0xFF)
                                 .arg(letters_.at(1))
                                 .arg((colour_ >> 8) & 0xFF)
                                 .arg(letters_.at(2))
                                 .arg((colour_ >> 16) & 0xFF);
  const int named = FindNamedColour(colour_);
  if (named < 0) return components;
  const QString name = QString::fromUtf8(NamedColours()[static_cast<size_t>(named)].name);
  return showName_ ? QStringLiteral("%1 (%2)").arg(name, components) : name;
}

void CColourPickerXP::OpenPopup() {
  if (Popup() != nullptr) return;
  popupOpen_ = true;
  colourAtOpen_ = colour_;
  popup_ = new CColourGridPopup(mapToGlobal(QPoint(0, height())), colour_, this, Handle(), defaultText_, customText_,
                                regSection_);
  TellParent(WM_COLOUR_DROPDOWN, colour_);
  update();
}

void CColourPickerXP::TellParent(uint32_t message, uint32_t colour) {
  SendParentMessage(this, message, colour, ControlId(this));
}

intptr_t CColourPickerXP::OnMessage(const UiMessage& message) {
  const auto colour = static_cast<uint32_t>(message.wParam);
  switch (message.msg) {
    case WM_COLOUR_ENDOK:
      popupOpen_ = false;
      SetColor(colour);
      TellParent(WM_COLOUR_CLOSEUP, colour);
      TellParent(WM_COLOUR_ENDOK, colour);
      if (colour_ != colourAtOpen_) TellParent(WM_COLOUR_CHANGED, colour_);
      return 0;
    case WM_COLOUR_ENDCANCEL:
      popupOpen_ = false;
      SetColor(colour);
      TellParent(WM_COLOUR_CLOSEUP, colour);
      TellParent(WM_COLOUR_ENDCANCEL, colour);
      return 0;
    case WM_COLOUR_CHANGED:
      if (track_) SetColor(colour);
      TellParent(WM_COLOUR_CHANGED, colour);
      return 0;
    default:
      return 0;
  }
}

void CColourPickerXP::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Down:
    case Qt::Key_F4:
      OpenPopup();
      return;
    case Qt::Key_Up:
      return;
    default:
      QPushButton::keyPressEvent(event);
  }
}

void CColourPickerXP::enterEvent(QEnterEvent* event) {
  hot_ = true;
  update();
  QPushButton::enterEvent(event);
}

void CColourPickerXP::leaveEvent(QEvent* event) {
  hot_ = false;
  update();
  QPushButton::leaveEvent(event);
}

// The classic look: the theme wrappers have no theme library to draw with.
void CColourPickerXP::paintEvent(QPaintEvent*) {
  if (!themesOpened_) {
    themesOpened_ = true;
    buttonTheme_.OpenThemeData(this, u"BUTTON");
    editTheme_.OpenThemeData(this, u"EDIT");
    comboTheme_.OpenThemeData(this, u"COMBOBOX");
  }
  QPainter painter(this);
  const int edge = GetSystemMetrics(SM_CXEDGE);
  const bool enabled = isEnabled();
  const bool focused = hasFocus();
  bool selected = isDown();
  const bool wantFocusRect = focused && !selected;
  if (!comboLook_ && popupOpen_) selected = true;

  QRect r = rect();
  painter.fillRect(r, palette().color(backgroundRole()));

  // Frame.
  if (comboLook_) {
    if (enabled) painter.fillRect(r, SysColor(COLOR_WINDOW));
    DrawEdge(painter, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  } else {
    DrawFrameControl(painter, &r, DFC_BUTTON,
                     DFCS_BUTTONPUSH | DFCS_ADJUSTRECT | (selected ? DFCS_PUSHED : 0) | (enabled ? 0 : DFCS_INACTIVE),
                     this);
    if (selected) r.translate(1, 1);
  }

  // The combo look's drop arrow, as tall as the content.
  if (comboLook_) {
    QRect arrow(r.x() + r.width() - r.height(), r.y(), r.height(), r.height());
    DrawFrameControl(painter, &arrow, DFC_SCROLL,
                     DFCS_SCROLLCOMBOBOX | (enabled ? 0 : DFCS_INACTIVE) | (selected ? DFCS_PUSHED | DFCS_FLAT : 0),
                     this);
    r.setWidth(r.width() - r.height());
    r.adjust(1, 1, 0, -1);
  }

  if (wantFocusRect) {
    const QRect focus = r.adjusted(0, 0, -1, 0);
    if (comboLook_) {
      const QRect fill = focus.adjusted(1, 1, -1, -1);
      const QColor hi = SysColor(COLOR_HIGHLIGHT);
      painter.fillRect(fill, QColor(255 - hi.red(), 255 - hi.green(), 255 - hi.blue()));
      painter.fillRect(fill.adjusted(1, 1, -1, -1), hi);
    }
    DrawFocusRect(painter, focus, this);
  }

  r.adjust(edge, edge, -edge - 1, -edge);

  if (!comboLook_) {
    // A small arrow pointing down at the right end, an etched line left of it.
    const int arrowRight = r.x() + r.width() - edge / 2;
    const int arrowTop = r.y() + (r.height() - 2) / 2;
    QPolygon triangle(
        {QPoint(arrowRight - 4, arrowTop), QPoint(arrowRight, arrowTop), QPoint(arrowRight - 2, arrowTop + 2)});
    const QColor arrowColour = enabled ? QColor(Qt::black) : SysColor(COLOR_GRAYTEXT);
    painter.setPen(arrowColour);
    painter.setBrush(arrowColour);
    painter.drawPolygon(triangle);
    r.setRight(arrowRight - 4 - (edge / 2 + 2) - 1);
    QRect line = r;
    DrawEdge(painter, &line, EDGE_ETCHED, BF_RIGHT | (SystemFlatMenus() ? BF_FLAT : 0));
    r.setWidth(r.width() - (2 * edge + 1));
  }

  QRect swatch = r;
  if (comboLook_) swatch.setWidth(swatch.height());
  if (enabled && swatch.width() > 0 && swatch.height() > 0) {
    painter.fillRect(swatch, ColorRef(GetColor(true)));
    painter.setPen(SysColor(focused && comboLook_ ? COLOR_HIGHLIGHT : COLOR_WINDOWTEXT));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(swatch.adjusted(0, 0, -1, -1));
  }

  if (comboLook_) {
    const QRect textRect(swatch.x() + swatch.width() + 2, r.y(), r.width() - swatch.width() - 2, r.height());
    const QColor textColour = !enabled  ? SysColor(COLOR_GRAYTEXT)
                              : focused ? SysColor(COLOR_HIGHLIGHTTEXT)
                                        : SysColor(COLOR_WINDOWTEXT);
    painter.setPen(textColour);
    painter.setFont(font());
    const QString text = QFontMetrics(font()).elidedText(ColourText(), Qt::ElideRight, std::max(0, textRect.width()));
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
  }
}
