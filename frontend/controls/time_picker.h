// A time-of-day picker (hours, minutes, seconds) that tells its dialog when the
// user changes it, and the two conversions between its time and seconds that
// the dialogs with time ranges use.
#pragma once

#include <QTimeEdit>
#include <cstdint>

// Notification code (UiNotify::code) of a time the user changed; a time set by
// the program sends nothing.
constexpr int DTN_DATETIMECHANGE = -759;

class CTimePicker : public QTimeEdit {
 public:
  explicit CTimePicker(QWidget* parent = nullptr);
  ~CTimePicker() override;

  // The display format, in Qt's time-format letters ("HH:mm:ss").
  void SetFormat(const QString& format) { setDisplayFormat(format); }
  // Sets the time without telling the dialog.
  void SetTime(int hour, int minute, int second);

 private:
  bool setting_ = false;
};

// Shows seconds as a time of day: hours (at most 23), minutes, seconds; a
// negative count shows 00:00:00.
void SecondsToTimeControl(CTimePicker* picker, int64_t seconds);
// The picker's time as hours x 3600 + minutes x 60 + seconds.
int32_t TimeControlToSeconds(const CTimePicker* picker);
