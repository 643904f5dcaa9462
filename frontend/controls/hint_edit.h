// An edit box for a file path: while it is empty and not focused it shows a
// grey hint; a file dropped on it becomes its text. The owner reads the text
// with GetText, which never returns the hint.
#pragma once

#include <QLineEdit>
#include <QString>
#include <cstdint>

// Sent to the dialog when a dropped file became the text; wParam and lParam 0.
constexpr uint32_t WM_HINT_EDIT_DROP = 3032;

class CHintEdit : public QLineEdit {
 public:
  explicit CHintEdit(QWidget* parent = nullptr);

  // Stores the hint; shown at once when the box is empty and not focused.
  void SetHint(const QString& hint);
  // Stores the text and shows it.
  void SetText(const QString& text);
  QString GetText() const { return text_; }
  // A non-empty text as SetText; an empty one clears the text, counts the box
  // as not focused and shows the hint.
  void SetTextOrHint(const QString& text);

  QString Hint() const { return hint_; }
  // Whether the window shows the hint in grey.
  bool ShowsHint() const { return text_.isEmpty() && !hasFocus_; }

 protected:
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void ShowWindowText(const QString& text);
  void UpdateColours();

  bool hasFocus_ = false;
  QString hint_;
  QString text_;
  bool settingText_ = false;
};
