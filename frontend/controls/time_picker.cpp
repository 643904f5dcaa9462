#include "frontend/controls/time_picker.h"

#include <algorithm>

#include "frontend/ui/control_ids.h"

CTimePicker::CTimePicker(QWidget* parent) : QTimeEdit(parent) {
  setDisplayFormat(QStringLiteral("HH:mm:ss"));
  setTime(QTime(0, 0, 0));
  connect(this, &QTimeEdit::timeChanged, this, [this] {
    if (!setting_) NotifyParent(this, DTN_DATETIMECHANGE);
  });
}

CTimePicker::~CTimePicker() = default;

void CTimePicker::SetTime(int hour, int minute, int second) {
  setting_ = true;
  setTime(QTime(hour, minute, second));
  setting_ = false;
}

void SecondsToTimeControl(CTimePicker* picker, int64_t seconds) {
  if (picker == nullptr) return;
  seconds = std::max<int64_t>(seconds, 0);
  const int hour = static_cast<int>(std::min<int64_t>(seconds / 3600, 23));
  picker->SetTime(hour, static_cast<int>(seconds % 3600 / 60), static_cast<int>(seconds % 60));
}

int32_t TimeControlToSeconds(const CTimePicker* picker) {
  if (picker == nullptr) return 0;
  const QTime t = picker->time();
  return t.hour() * 3600 + t.minute() * 60 + t.second();
}
