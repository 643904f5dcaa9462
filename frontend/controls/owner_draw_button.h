// The base of push buttons that draw themselves while keeping what a dialog
// needs of a push button: the default-button role moves to the button that
// takes the focus, radio and group-box types answer as before.
#pragma once

#include <QPushButton>
#include <cstdint>

// Button types (the low four style bits).
constexpr uint32_t BS_PUSHBUTTON = 0x0;
constexpr uint32_t BS_DEFPUSHBUTTON = 0x1;
constexpr uint32_t BS_CHECKBOX = 0x2;
constexpr uint32_t BS_RADIOBUTTON = 0x4;
constexpr uint32_t BS_GROUPBOX = 0x7;
constexpr uint32_t BS_AUTORADIOBUTTON = 0x9;
constexpr uint32_t BS_OWNERDRAW = 0xB;
constexpr uint32_t BS_TYPEMASK = 0xF;
constexpr uint32_t BS_MULTILINE = 0x2000;

// What a control asks of the dialog's keyboard handling.
constexpr unsigned DLGC_WANTALLKEYS = 0x4;
constexpr unsigned DLGC_DEFPUSHBUTTON = 0x10;
constexpr unsigned DLGC_UNDEFPUSHBUTTON = 0x20;
constexpr unsigned DLGC_RADIOBUTTON = 0x40;
constexpr unsigned DLGC_STATIC = 0x100;
constexpr unsigned DLGC_BUTTON = 0x2000;

class COwnerDrawButton : public QPushButton {
 public:
  // style: the button's creation style (its type in the low four bits).
  explicit COwnerDrawButton(uint32_t style = BS_PUSHBUTTON, QWidget* parent = nullptr);
  ~COwnerDrawButton() override;

  // The recorded type: BS_DEFPUSHBUTTON is recorded as BS_PUSHBUTTON.
  uint32_t GetButtonType() const { return type_; }
  bool CanBeDefault() const { return canBeDefault_; }
  bool IsDefault() const { return isDefault_; }
  // Makes this the dialog's default push button (true) or not; the other
  // buttons of this kind beside it lose the role.
  void SetDefault(bool isDefault);
  // The keyboard handling the button asks of its dialog.
  virtual unsigned GetDlgCode() const;
  // The window style: always owner-drawn, with the creation style's other bits.
  uint32_t WindowStyle() const { return (style_ & ~BS_TYPEMASK) | BS_OWNERDRAW; }

 protected:
  void focusInEvent(QFocusEvent* event) override;

 private:
  uint32_t style_;
  uint32_t type_ = 15;
  bool canBeDefault_ = false;
  bool isDefault_ = false;
};
