// A time-of-day field (hours, minutes, seconds) that tells its dialog when the
// user changes it, and the two conversions between its time and seconds that
// the dialogs with time ranges use. It shows what the user types as typed, so
// that a dialog can refuse a text that is not a time instead of guessing one.
#pragma once

#include <QLineEdit>
#include <QTime>
#include <cstdint>

// Notification code (UiNotify::code) of a time the user changed; a time set by
// the program sends nothing.
constexpr int DTN_DATETIMECHANGE = -759;

class CTimePicker : public QLineEdit {
 public:
  explicit CTimePicker(QWidget* parent = nullptr);
  ~CTimePicker() override;

  // The display format, in Qt's time-format letters ("HH:mm:ss").
  void SetFormat(const QString& format);
  // Sets the time without telling the dialog.
  void SetTime(int hour, int minute, int second);
  // Sets the time as the user does: the dialog is told when it changes.
  void setTime(const QTime& time);
  // The last time the field held (the text's time while it is one).
  QTime time() const { return time_; }
  // Whether the text is a time ("H:M:S", each part one or two digits).
  bool IsTime() const;

 private:
  void Show(const QTime& time);
  void OnEdited(const QString& text);

  QString format_ = QStringLiteral("HH:mm:ss");
  QTime time_{0, 0, 0};
};

// Shows seconds as a time of day: hours (at most 23), minutes, seconds; a
// negative count shows 00:00:00.
void SecondsToTimeControl(CTimePicker* picker, int64_t seconds);
// The picker's time as hours x 3600 + minutes x 60 + seconds.
int32_t TimeControlToSeconds(const CTimePicker* picker);
