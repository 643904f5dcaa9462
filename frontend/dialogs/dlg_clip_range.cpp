#include "frontend/dialogs/dlg_clip_range.h"

#include <QComboBox>
#include <algorithm>
#include <cmath>

#include "frontend/controls/previews.h"
#include "frontend/controls/range_slider.h"
#include "frontend/controls/time_picker.h"
#include "frontend/dialogs/frame_render_worker.h"
#include "frontend/model/clip_range.h"
#include "frontend/model/crop_resize.h"
#include "frontend/model/task.h"
#include "frontend/model/whole_file.h"
#include "frontend/ui/message_box.h"

namespace {

// How long closing waits for the renders still running.
constexpr uint32_t kCloseWaitMs = 5000;

const DialogTemplate kTemplate = {
    IDD_CLIP_RANGE,
    "Clip start & end time setting",
    330,
    206,
    {
        {CtrlKind::Text, IDC_STATIC, "Source:", 7, 9, 30, 8},
        {CtrlKind::ComboDropList, IDC_CLIP_SOURCE, "", 40, 7, 283, 100},
        {CtrlKind::Text, IDC_STATIC, "Start frame", 7, 25, 154, 8},
        {CtrlKind::Text, IDC_STATIC, "End frame", 169, 25, 154, 8},
        {CtrlKind::Placeholder, IDC_CLIP_START_FRAME, "", 7, 35, 154, 112},
        {CtrlKind::Placeholder, IDC_CLIP_END_FRAME, "", 169, 35, 154, 112},
        {CtrlKind::Placeholder, IDC_CLIP_SLIDER, "", 7, 153, 316, 14},
        {CtrlKind::Text, IDC_STATIC, "Start time:", 7, 175, 38, 8},
        {CtrlKind::Placeholder, IDC_CLIP_START, "", 46, 173, 56, 13},
        {CtrlKind::Text, IDC_STATIC, "End time:", 112, 175, 36, 8},
        {CtrlKind::Placeholder, IDC_CLIP_END, "", 149, 173, 56, 13},
        {CtrlKind::Text, IDC_STATIC, "Clip time:", 215, 175, 36, 8},
        {CtrlKind::Placeholder, IDC_CLIP_TIME, "", 252, 173, 56, 13},
        {CtrlKind::DefPushButton, IDOK, "OK", 219, 189, 50, 14},
        {CtrlKind::PushButton, IDCANCEL, "Cancel", 273, 189, 50, 14},
    },
};

}  // namespace

CDlgClipRange::CDlgClipRange(CTask& task, ClipRangeSettings settings, QWidget* parent)
    : UiDialog(kTemplate, parent),
      task_(task),
      settings_(std::move(settings)),
      template_(std::make_unique<FrameJob>()) {}

CDlgClipRange::~CDlgClipRange() { CloseGate(0); }

CTimePicker* CDlgClipRange::Picker(int id) const { return dynamic_cast<CTimePicker*>(Item(id)); }

CFramePreviewCtrl* CDlgClipRange::Frame(int slot) const { return slot == kStartSlot ? startFrame_ : endFrame_; }

std::string CDlgClipRange::BlankPath() const { return JoinPath(settings_.dataFolder, "blank.bmp"); }

std::string CDlgClipRange::FramePath(int slot) const {
  return JoinPath(settings_.dataFolder, slot == kStartSlot ? "preview1.bmp" : "preview2.bmp");
}

bool CDlgClipRange::OnInitDialog() {
  for (int id : {IDC_CLIP_START, IDC_CLIP_END, IDC_CLIP_TIME})
    SubclassItem(id, new CTimePicker)->SetFormat(QStringLiteral("HH:mm:ss"));
  // The clip time is shown, not edited.
  Picker(IDC_CLIP_TIME)->setReadOnly(true);
  gate_ = std::make_shared<FrameRenderGate>();
  slider_ = SubclassItem(IDC_CLIP_SLIDER, new CRangeSlider);
  startFrame_ = SubclassItem(IDC_CLIP_START_FRAME, new CFramePreviewCtrl);
  endFrame_ = SubclassItem(IDC_CLIP_END_FRAME, new CFramePreviewCtrl);

  auto* combo = ItemAs<QComboBox>(IDC_CLIP_SOURCE);
  for (size_t i = 0; i < task_.sources.size(); ++i) {
    const std::string text = i == 0 ? task_.GetOutputTitle() : task_.sources[i]->path;
    combo->addItem(QString::fromStdString(text));
  }
  combo->setCurrentIndex(task_.sources.empty() ? -1 : 0);
  current_ = 0;
  slider_->SetRange(0.0, 1.0);
  slider_->SetMinMax(0.0, 1.0);
  startFrame_->SetMode(2);
  endFrame_->SetMode(2);
  LoadSource();
  return true;
}

void CDlgClipRange::LoadSource() {
  if (current_ < 0 || current_ >= static_cast<int>(task_.sources.size())) return;
  const MediaInfo& source = *task_.sources[current_];
  length_ = ClipSourceLength(source.record.length);
  const int32_t start = source.clipStart;
  const int32_t end = source.clipEnd != 0 ? source.clipEnd : length_;
  SecondsToTimeControl(Picker(IDC_CLIP_START), start);
  SecondsToTimeControl(Picker(IDC_CLIP_END), end);
  SecondsToTimeControl(Picker(IDC_CLIP_TIME), int64_t(end) - start);
  slider_->SetRange(double(start) / length_, double(end) / length_);

  FrameJob& job = *template_;
  job.sourcePath[0] = '\0';
  job.stream = 0;
  job.sourceMode = settings_.mode;
  // A source whose path does not fit the job shows the blank frame.
  if (const int32_t track = ClipVideoTrack(source); track >= 0 && SetJobText(job.sourcePath, source.path))
    job.stream = track;
  job.frameCount = settings_.preframe;
  job.startSeconds = settings_.presec;
  SetJobText(job.outputPath, FramePath(kStartSlot));
  job.inputs = task_.job.inputs;

  if (!task_.hasVideo) return;
  geometry_ = FrameGeometry{};
  geometry_.outputWidth = startFrame_->width();
  geometry_.outputHeight = startFrame_->height();
  geometry_.sourceWidth = task_.sourceVideo.width;
  geometry_.sourceHeight = task_.sourceVideo.height;
  geometry_.sourceAspect = task_.GetSourceAspect();
  geometry_.outputAspect = task_.GetTargetAspect();
  ComputeScaleLayout(geometry_.sourceWidth, geometry_.sourceHeight, geometry_.sourceAspect, geometry_.outputWidth,
                     geometry_.outputHeight, geometry_.outputAspect, geometry_.layout, kScaleLetterbox);
  // A blank frame that cannot be written leaves the previews empty.
  WriteSolidBitmap(BlankPath(), 0, geometry_.sourceWidth, geometry_.sourceHeight);
  startFrame_->Open(BlankPath(), &geometry_);
  endFrame_->Open(BlankPath(), &geometry_);
  RequestFrame(kStartSlot, start);
  RequestFrame(kEndSlot, end);
}

void CDlgClipRange::RequestFrame(int slot, int32_t seconds) {
  if (!task_.hasVideo) return;
  if (template_->sourcePath[0] == '\0') {
    if (CFramePreviewCtrl* frame = Frame(slot)) frame->LoadFrame(BlankPath());
    return;
  }
  if (gate_ == nullptr || !IsOpen()) return;
  FrameRenderRequest request;
  request.job = *template_;
  SetJobText(request.job.outputPath, FramePath(slot));
  request.job.frameCount = 0;
  request.job.startSeconds = seconds;
  request.window = Handle();
  request.wParam = static_cast<uint64_t>(slot);
  request.gate = gate_;
  request.slot = slot;
  StartFrameRenderWorker(std::move(request));
}

void CDlgClipRange::ShowClipTime() {
  const int64_t clip =
      int64_t(TimeControlToSeconds(Picker(IDC_CLIP_END))) - TimeControlToSeconds(Picker(IDC_CLIP_START));
  SecondsToTimeControl(Picker(IDC_CLIP_TIME), clip);
}

int32_t CDlgClipRange::SecondsAt(double fraction) const {
  const double v = fraction * length_ + 0.1;
  if (!std::isfinite(v) || v <= 0) return 0;
  return static_cast<int32_t>(std::min(v, 2147483647.0));
}

void CDlgClipRange::OnRangeChanged(uint64_t which, int64_t dragEnded) {
  const bool render = dragEnded != 0;
  if (which == 0 || which == 2) {
    const int32_t start = SecondsAt(slider_->Left());
    SecondsToTimeControl(Picker(IDC_CLIP_START), start);
    if (render) RequestFrame(kStartSlot, start);
  }
  if (which == 1 || which == 2) {
    const int32_t end = SecondsAt(slider_->Right());
    SecondsToTimeControl(Picker(IDC_CLIP_END), end);
    if (render) RequestFrame(kEndSlot, end);
  }
  ShowClipTime();
}

intptr_t CDlgClipRange::OnNotify(const UiNotify& notify) {
  if (notify.code == DTN_DATETIMECHANGE && (notify.idFrom == IDC_CLIP_START || notify.idFrom == IDC_CLIP_END)) {
    const bool start = notify.idFrom == IDC_CLIP_START;
    const int32_t seconds = TimeControlToSeconds(Picker(notify.idFrom));
    if (start)
      slider_->SetLeft(double(seconds) / length_);
    else
      slider_->SetRight(double(seconds) / length_);
    RequestFrame(start ? kStartSlot : kEndSlot, seconds);
    ShowClipTime();
    return 0;
  }
  return UiDialog::OnNotify(notify);
}

bool CDlgClipRange::OnCommand(int id, int code) {
  if (id == IDC_CLIP_SOURCE) {
    if (code == CBN_SELCHANGE) {
      const int chosen = ItemAs<QComboBox>(IDC_CLIP_SOURCE)->currentIndex();
      if (chosen >= 0 && chosen < static_cast<int>(task_.sources.size())) {
        if (!CheckRange()) {
          ItemAs<QComboBox>(IDC_CLIP_SOURCE)->setCurrentIndex(current_);
          return true;
        }
        StoreRange();
        current_ = chosen;
        LoadSource();
      }
    }
    return true;
  }
  return UiDialog::OnCommand(id, code);
}

bool CDlgClipRange::CheckRange() {
  for (int id : {IDC_CLIP_START, IDC_CLIP_END}) {
    CTimePicker* picker = Picker(id);
    if (picker->IsTime()) continue;
    const std::string which = id == IDC_CLIP_START ? "start" : "end";
    ShowMessageBox(this,
                   "The " + which + " time \"" + picker->text().toStdString() +
                       "\" is not a time.\nType hours, minutes and seconds as hh:mm:ss.",
                   nullptr, MB_ICONEXCLAMATION);
    picker->setFocus();
    picker->selectAll();
    return false;
  }
  const int32_t start = TimeControlToSeconds(Picker(IDC_CLIP_START));
  const int32_t end = TimeControlToSeconds(Picker(IDC_CLIP_END));
  const std::string refusal = CheckClipRange(start, end, length_);
  if (refusal.empty()) return true;
  ShowMessageBox(this, refusal, nullptr, MB_ICONEXCLAMATION);
  Picker(start >= length_ ? IDC_CLIP_START : IDC_CLIP_END)->setFocus();
  return false;
}

void CDlgClipRange::StoreRange() {
  if (current_ < 0 || current_ >= static_cast<int>(task_.sources.size())) return;
  StoreClipRange(*task_.sources[current_], TimeControlToSeconds(Picker(IDC_CLIP_START)),
                 TimeControlToSeconds(Picker(IDC_CLIP_END)), length_);
}

intptr_t CDlgClipRange::OnMessage(const UiMessage& message) {
  if (message.msg == WM_FRAME_RENDERED) {
    if (message.wParam == kStartSlot)
      startFrame_->LoadFrame(FramePath(kStartSlot));
    else
      endFrame_->LoadFrame(FramePath(kEndSlot));
    return 0;
  }
  if (message.msg == RangeChangedMessage()) {
    OnRangeChanged(message.wParam, message.lParam);
    return 0;
  }
  return UiDialog::OnMessage(message);
}

void CDlgClipRange::CloseGate(uint32_t ms) {
  if (gate_ != nullptr) gate_->Close(ms);
}

void CDlgClipRange::OnOK() {
  if (!CheckRange()) return;
  StoreRange();
  UpdateClipDuration(task_);
  CloseGate(kCloseWaitMs);
  EndDialog(IDOK);
}

void CDlgClipRange::OnCancel() {
  CloseGate(kCloseWaitMs);
  EndDialog(IDCANCEL);
}

void CDlgClipRange::OnDestroy() { CloseGate(0); }
