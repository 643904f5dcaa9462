// "Clip start & end time setting": cuts each source of a task to a time range.
// A two-thumb slider and the start and end pickers move together, a third
// picker shows the clip's length, and two frame previews show the picture at
// the start and at the end, rendered by the engine on worker threads (one
// render at a time, only the newest request of each preview). The range is
// stored per source in whole seconds (end 0: to the end of the source).
//
// The caller runs it over a working copy of a task and, after IDOK, copies the
// copy back (the copy's duration is already updated).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "common/job_records.h"
#include "frontend/model/scale_layout.h"
#include "frontend/ui/ui_dialog.h"

class CFramePreviewCtrl;
class CRangeSlider;
class CTask;
class CTimePicker;
class FrameRenderGate;

constexpr int IDD_CLIP_RANGE = 184;
constexpr int IDC_CLIP_SOURCE = 1014;
constexpr int IDC_CLIP_SLIDER = 1269;
constexpr int IDC_CLIP_START = 1146;
constexpr int IDC_CLIP_END = 1148;
constexpr int IDC_CLIP_TIME = 1147;
constexpr int IDC_CLIP_START_FRAME = 1153;
constexpr int IDC_CLIP_END_FRAME = 1154;

// The options and folder the frame renders use.
struct ClipRangeSettings {
  int32_t mode = 0;      // MODE: the decoder choice of the frame job
  int32_t preframe = 0;  // PREFRAME and PRESEC: the template's frame and time
  int32_t presec = 0;
  std::string dataFolder;  // where "blank.bmp", "preview1.bmp" and "preview2.bmp" go
};

class CDlgClipRange : public UiDialog {
 public:
  enum Slot { kStartSlot = 1, kEndSlot = 2 };

  CDlgClipRange(CTask& task, ClipRangeSettings settings, QWidget* parent = nullptr);
  ~CDlgClipRange() override;

  bool OnCommand(int id, int code) override;
  intptr_t OnNotify(const UiNotify& notify) override;

  // While open.
  CRangeSlider* Slider() const { return slider_; }
  CTimePicker* Picker(int id) const;
  CFramePreviewCtrl* Frame(int slot) const;
  int CurrentSource() const { return current_; }
  int32_t SourceLength() const { return length_; }
  const FrameJob& FrameTemplate() const { return *template_; }
  const FrameGeometry& Geometry() const { return geometry_; }
  const std::shared_ptr<FrameRenderGate>& Gate() const { return gate_; }

  std::string BlankPath() const;
  // "preview1.bmp" for the start frame, "preview2.bmp" for the end frame.
  std::string FramePath(int slot) const;
  // Asks for the frame of a slot at a time (seconds of the current source).
  void RequestFrame(int slot, int32_t seconds);

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  intptr_t OnMessage(const UiMessage& message) override;
  void OnDestroy() override;

 private:
  void LoadSource();
  // Refuses, with a message, a start or end that is not a time or a range
  // outside the current source.
  bool CheckRange();
  void StoreRange();
  void ShowClipTime();
  void OnRangeChanged(uint64_t which, int64_t dragEnded);
  int32_t SecondsAt(double fraction) const;
  void CloseGate(uint32_t ms);

  CTask& task_;
  ClipRangeSettings settings_;
  std::unique_ptr<FrameJob> template_;
  FrameGeometry geometry_;
  std::shared_ptr<FrameRenderGate> gate_;
  int current_ = 0;
  int32_t length_ = 1;
  CRangeSlider* slider_ = nullptr;
  CFramePreviewCtrl* startFrame_ = nullptr;
  CFramePreviewCtrl* endFrame_ = nullptr;
};
