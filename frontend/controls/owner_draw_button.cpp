#include "frontend/controls/owner_draw_button.h"

#include <QFocusEvent>

COwnerDrawButton::COwnerDrawButton(uint32_t style, QWidget* parent) : QPushButton(parent), style_(style) {
  setAutoDefault(false);  // the dialog routes Enter
  type_ = style & BS_TYPEMASK;
  if (type_ == BS_DEFPUSHBUTTON) {
    canBeDefault_ = true;
    isDefault_ = true;
    type_ = BS_PUSHBUTTON;
  } else if (type_ == BS_PUSHBUTTON) {
    canBeDefault_ = true;
  }
}

COwnerDrawButton::~COwnerDrawButton() = default;

void COwnerDrawButton::SetDefault(bool isDefault) {
  if (isDefault && parentWidget() != nullptr) {
    // The class has no meta-object of its own: findChildren<COwnerDrawButton*> would also hand out
    // plain push buttons.
    for (auto* button : parentWidget()->findChildren<QPushButton*>(Qt::FindDirectChildrenOnly)) {
      auto* other = dynamic_cast<COwnerDrawButton*>(button);
      if (other != nullptr && other != this && other->isDefault_) {
        other->isDefault_ = false;
        other->update();
      }
    }
  }
  if (isDefault_ != isDefault) {
    isDefault_ = isDefault;
    update();
  }
}

unsigned COwnerDrawButton::GetDlgCode() const {
  if (type_ == BS_GROUPBOX) return DLGC_STATIC;
  unsigned code = DLGC_BUTTON;
  if (type_ == BS_RADIOBUTTON || type_ == BS_AUTORADIOBUTTON) code |= DLGC_RADIOBUTTON;
  if (canBeDefault_ || isDefault_) code |= isDefault_ ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON;
  return code;
}

void COwnerDrawButton::focusInEvent(QFocusEvent* event) {
  // A push button that takes the focus becomes the default one.
  if (canBeDefault_) SetDefault(true);
  QPushButton::focusInEvent(event);
}
