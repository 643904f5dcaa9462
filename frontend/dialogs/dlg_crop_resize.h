// "Crop,resize & pad settings": the parameter text of the video filter
// "VRESIZE" edited on two pages over one frame geometry: "Crop" (the source
// bands, hatched over the frame) and "Resize and pad" (the picture size and
// the pads around it, drawn as the output frame). Five layout buttons lay the
// frame out automatically. While the dialog is open a worker asks the engine
// for a real frame of the source; until it comes the previews show a black
// frame of the source size.
//
// The caller: SetSource, SetParams with the filter's text, Edit, and after
// S_OK GetParams twice (ReadSetupParams).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "common/job_records.h"
#include "frontend/dialogs/text_filter_setup.h"
#include "frontend/model/crop_resize.h"
#include "frontend/ui/filter_setup.h"
#include "frontend/ui/ui_dialog.h"

class CDlgCropResize;
class CFramePreviewCtrl;
class CPageTabCtrl;
class CSliderCtrl;
class CSpinButtonCtrl;
class QLineEdit;

constexpr int IDD_CROP_RESIZE = 138;
constexpr int IDD_CROP_PAGE = 139;
constexpr int IDD_RESIZE_PAD_PAGE = 140;

// The dialog: layout buttons and the tab control.
constexpr int IDC_LAYOUT_LETTERBOX = 1165;
constexpr int IDC_LAYOUT_LEFT_RIGHT = 1132;
constexpr int IDC_LAYOUT_UP_DOWN = 1131;
constexpr int IDC_LAYOUT_STRETCH = 1151;
constexpr int IDC_LAYOUT_MANUAL = 1152;
constexpr int IDC_CROP_TABS = 1166;

// The crop page.
constexpr int IDC_LEFT_BAND = 1255;
constexpr int IDC_RIGHT_BAND = 1020;
constexpr int IDC_TOP_BAND = 1025;
constexpr int IDC_BOTTOM_BAND = 1029;
constexpr int IDC_LEFT_BAND_SPIN = 1155;
constexpr int IDC_RIGHT_BAND_SPIN = 1156;
constexpr int IDC_TOP_BAND_SPIN = 1157;
constexpr int IDC_BOTTOM_BAND_SPIN = 1158;
constexpr int IDC_CROP_PREVIEW = 1153;

// The resize and pad page.
constexpr int IDC_PICTURE_WIDTH = 1255;
constexpr int IDC_PICTURE_HEIGHT = 1035;
constexpr int IDC_LEFT_PAD = 1020;
constexpr int IDC_RIGHT_PAD = 1025;
constexpr int IDC_TOP_PAD = 1029;
constexpr int IDC_BOTTOM_PAD = 1039;
constexpr int IDC_PICTURE_WIDTH_SPIN = 1155;
constexpr int IDC_PICTURE_HEIGHT_SPIN = 1156;
constexpr int IDC_LEFT_PAD_SPIN = 1157;
constexpr int IDC_RIGHT_PAD_SPIN = 1158;
constexpr int IDC_TOP_PAD_SPIN = 1159;
constexpr int IDC_BOTTOM_PAD_SPIN = 1160;
constexpr int IDC_KEEP_RATIO = 1147;
constexpr int IDC_PAD_SLIDER_ACROSS = 1163;
constexpr int IDC_PAD_SLIDER_DOWN = 1164;
constexpr int IDC_PAD_COLOR = 1098;
constexpr int IDC_PAD_PREVIEW = 1154;

// Spin buttons reach from 0 to this.
constexpr int32_t kCropSpinMax = 2000;

// The system colour dialog the "Pad color" button opens: true with the chosen
// colour (a COLORREF) in colour. Tests replace it; null restores the system's.
using PadColourChooser = std::function<bool(QWidget* owner, uint32_t& colour)>;
PadColourChooser SetPadColourChooser(PadColourChooser chooser);

// What both pages share: edits applied when they lose the focus, Enter and
// Esc passed on to the dialog.
class CCropPageBase : public UiDialog {
 public:
  CCropPageBase(const DialogTemplate& tpl, FrameGeometry* geometry);

  void SetOwner(CDlgCropResize* owner) { owner_ = owner; }
  CFramePreviewCtrl* Preview() const { return preview_; }
  // Applies the edit that has the focus, as losing the focus would.
  void ApplyFocusedEdit();

 protected:
  // The edit's number (read as atoi reads, limited to the int range).
  int32_t EditNumber(int id) const;
  void SetEditNumber(int id, int32_t value);
  // Subclasses the spin buttons and the preview and watches the edits.
  void SetUpControls(std::initializer_list<int> edits, std::initializer_list<int> spins, int preview);
  CSpinButtonCtrl* SpinOf(int id) const;
  CSliderCtrl* SliderOf(int id) const;
  virtual void OnEditDone(int id) = 0;
  void OnOK() override;
  void OnCancel() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

  FrameGeometry* geometry_;
  CDlgCropResize* owner_ = nullptr;
  CFramePreviewCtrl* preview_ = nullptr;
};

// "Crop": the four bands.
class CDlgCropPage : public CCropPageBase {
 public:
  explicit CDlgCropPage(FrameGeometry* geometry);

  // Odd bands are lowered to even ones (the dialog always sets it).
  void SetEvenValues(bool even) { even_ = even; }
  bool EvenValues() const { return even_; }
  // The edits from the geometry.
  void Reload();
  // Enables or disables the edits, the group box and the labels; the spin
  // buttons stay as they are.
  void EnablePage(bool enable);
  // A band typed or stepped: settled, stored and shown; the pad page then
  // follows the new crop.
  void ApplyBand(FrameSide side, int32_t value);

 protected:
  bool OnInitDialog() override;
  intptr_t OnNotify(const UiNotify& notify) override;
  void OnEditDone(int id) override;

 private:
  bool even_ = true;
};

// "Resize and pad": the picture size and the four pads.
class CDlgResizePadPage : public CCropPageBase {
 public:
  explicit CDlgResizePadPage(FrameGeometry* geometry);

  bool OnCommand(int id, int code) override;  // "Keep ratio", "Pad color"
  bool KeepRatio() const { return keepRatio_; }
  // The box and the flag.
  void SetKeepRatio(bool keep);
  // The edits and both sliders from the geometry.
  void Reload();
  void EnablePage(bool enable);
  // The rules of the page; each refreshes what it changed and the preview.
  void ApplyPad(FrameSide side, int32_t value);
  void ApplyPictureWidth(int32_t width);
  void ApplyPictureHeight(int32_t height);
  void ApplySlider(bool across, int32_t position);

 protected:
  bool OnInitDialog() override;
  intptr_t OnNotify(const UiNotify& notify) override;
  void OnEditDone(int id) override;

 private:
  void Refresh(int axes);

  bool keepRatio_ = false;
};

class CDlgCropResize : public UiDialog, public CTextFilterSetup {
 public:
  explicit CDlgCropResize(QWidget* parent = nullptr);
  ~CDlgCropResize() override;

  bool OnCommand(int id, int code) override;  // the layout buttons

  // The source picture and the preview job; call first. Writes the black
  // placeholder frame "blank.bmp" of the source size into dataFolder (a
  // failure leaves the previews empty until a frame comes). The rendered
  // frame is read from "preview.bmp" there.
  HRESULT SetSource(int32_t sourceWidth, int32_t sourceHeight, double sourceAspect, double outputAspect,
                    const FrameJob& previewJob, const std::string& dataFolder);

  // IFilterSetup. Edit: S_OK when accepted (the twelve-key text is kept),
  // S_FALSE otherwise (nothing kept). SetParams loads the scale mode and the
  // geometry from a parameter text, read up to its NUL or the length.
  HRESULT Edit(QWidget* parent) override;
  HRESULT SetParams(const void* bytes, uint32_t length) override;

  int32_t ScaleMode() const { return scaleMode_; }
  const FrameGeometry& Geometry() const { return geometry_; }
  FrameGeometry& Geometry() { return geometry_; }
  const std::string& BlankPath() const { return blankPath_; }
  std::string PreviewPath() const;

  // While open.
  CDlgCropPage* CropPage() const { return cropPage_; }
  CDlgResizePadPage* PadPage() const { return padPage_; }
  CPageTabCtrl* Tabs() const { return tabs_; }
  // A layout button's action (1..5), as clicking it does.
  void ApplyLayoutMode(int32_t mode);
  // Called by the crop page when a band changed.
  void OnBandsChanged();

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  intptr_t OnMessage(const UiMessage& message) override;
  void OnDestroy() override;

 private:
  friend class CCropPageBase;  // passes Enter and Esc on

  FrameGeometry geometry_;
  int32_t scaleMode_ = kScaleManual;
  std::string dataFolder_;
  std::string blankPath_;
  FrameJob previewJob_;
  CPageTabCtrl* tabs_ = nullptr;
  CDlgCropPage* cropPage_ = nullptr;
  CDlgResizePadPage* padPage_ = nullptr;
};

// The layout button of a scale mode (Manual for a mode outside 1..4), and the
// mode of a button (0 for another id).
int LayoutButtonOf(int32_t scaleMode);
int32_t LayoutModeOf(int buttonId);
