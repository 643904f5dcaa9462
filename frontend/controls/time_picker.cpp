#include "frontend/controls/time_picker.h"

#include <algorithm>

#include "frontend/model/clip_range.h"
#include "frontend/ui/control_ids.h"

CTimePicker::CTimePicker(QWidget* parent) : QLineEdit(parent) {
  Show(time_);
  connect(this, &QLineEdit::textEdited, this, &CTimePicker::OnEdited);
}

CTimePicker::~CTimePicker() = default;

void CTimePicker::SetFormat(const QString& format) {
  format_ = format;
  Show(time_);
}

void CTimePicker::Show(const QTime& time) {
  time_ = time;
  setText(time.toString(format_));
}

void CTimePicker::SetTime(int hour, int minute, int second) { Show(QTime(hour, minute, second)); }

void CTimePicker::setTime(const QTime& time) {
  if (!time.isValid()) return;
  const bool changed = time != time_;
  Show(time);
  if (changed) NotifyParent(this, DTN_DATETIMECHANGE);
}

bool CTimePicker::IsTime() const {
  int32_t seconds = 0;
  return ParseClipTime(text().toStdString(), seconds);
}

void CTimePicker::OnEdited(const QString& text) {
  int32_t seconds = 0;
  if (!ParseClipTime(text.toStdString(), seconds)) return;
  const QTime time = QTime(0, 0).addSecs(seconds);
  if (time == time_) return;
  time_ = time;
  NotifyParent(this, DTN_DATETIMECHANGE);
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
