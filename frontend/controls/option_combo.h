// A combo box for one option of a codec, muxer or filter description: its
// allowed values (shown by their display words), typing filtered by the
// option's type when the option is editable, and a replaceable validator run
// when the user picks a value or leaves the box. A refusal is told in a
// message box; after leaving the box the focus comes back to it.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <string>
#include <utility>
#include <vector>

#include "frontend/model/option_values.h"

class COptionCombo : public QComboBox {
 public:
  explicit COptionCombo(QWidget* parent = nullptr);
  ~COptionCombo() override;

  // Takes a copy of the option: editable options get an edit part whose
  // typing is filtered, others are pick-only; enabled by ENABLE; the items are
  // the VALUELIST entries, each shown by its WORDLIST word when it has one.
  void SetOption(const OptionDesc& option);
  const OptionDesc& Option() const { return option_; }
  // TYPE, or kOptionTypeNone until an option is given (no validation then).
  int32_t OptionType() const { return type_; }
  const std::string& GetOptionName() const { return option_.name; }

  // Selects the item of the value (doubles within 0.0001, else the exact
  // text); an edit part shows that item's text, or the text itself when no
  // item matched.
  void SetValueText(const std::string& value);
  // The shown text, a display word mapped back to its value.
  std::string GetValueText() const;

  // Replaces the validator; an empty one restores the plain validator.
  void SetValidator(OptionValidator validator);

  // Runs the validator over the shown value as leaving the box does; a
  // refusal shows its message and puts the focus back. True when accepted.
  bool CommitEdit();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnPicked(int index);
  // Whether a typed key event is dropped by the option's filter.
  bool DropsKey(const QKeyEvent* event) const;
  void HookEdit();
  void ReleaseEdit();
  bool Validate(std::string& value, bool& takeBack);

  OptionDesc option_;
  int32_t type_ = kOptionTypeNone;
  std::vector<std::pair<std::string, std::string>> items_;  // (value, shown text)
  OptionValidator validator_;
  QPointer<QLineEdit> hookedEdit_;
  bool validating_ = false;
};
