#include "frontend/dialogs/dlg_crop_resize.h"

#include <QColorDialog>
#include <QEvent>
#include <QLineEdit>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "frontend/controls/page_tab.h"
#include "frontend/controls/previews.h"
#include "frontend/controls/spin_slider.h"
#include "frontend/dialogs/frame_render_worker.h"
#include "frontend/model/whole_file.h"
#include "frontend/ui/sys_colors.h"

namespace {

constexpr int IDC_CROP_GROUP = 1167;
constexpr int IDC_PAD_GROUP = 1176;

const DialogTemplate kDialogTemplate = {
    IDD_CROP_RESIZE,
    "Crop,resize & pad settings",
    320,
    252,
    {
        {CtrlKind::Radio, IDC_LAYOUT_LETTERBOX, "Letterbox", 7, 7, 50, 10, kCtrlGroup},
        {CtrlKind::Radio, IDC_LAYOUT_LEFT_RIGHT, "Black left-right", 60, 7, 68, 10},
        {CtrlKind::Radio, IDC_LAYOUT_UP_DOWN, "Black up-down", 131, 7, 64, 10},
        {CtrlKind::Radio, IDC_LAYOUT_STRETCH, "Stetch", 198, 7, 40, 10},
        {CtrlKind::Radio, IDC_LAYOUT_MANUAL, "Manul", 241, 7, 40, 10},
        {CtrlKind::Placeholder, IDC_CROP_TABS, "", 7, 22, 306, 206},
        {CtrlKind::DefPushButton, IDOK, "OK", 209, 233, 50, 14},
        {CtrlKind::PushButton, IDCANCEL, "Cancel", 263, 233, 50, 14},
    },
};

const DialogTemplate kCropPageTemplate = {
    IDD_CROP_PAGE,
    "",
    296,
    176,
    {
        {CtrlKind::GroupBox, IDC_CROP_GROUP, "Crop", 4, 4, 100, 92},
        {CtrlKind::Text, 1170, "Left:", 10, 20, 36, 8},
        {CtrlKind::Edit, IDC_LEFT_BAND, "", 48, 18, 38, 12},
        {CtrlKind::Placeholder, IDC_LEFT_BAND_SPIN, "", 86, 18, 10, 12},
        {CtrlKind::Text, 1173, "Right:", 10, 38, 36, 8},
        {CtrlKind::Edit, IDC_RIGHT_BAND, "", 48, 36, 38, 12},
        {CtrlKind::Placeholder, IDC_RIGHT_BAND_SPIN, "", 86, 36, 10, 12},
        {CtrlKind::Text, 1176, "Top:", 10, 56, 36, 8},
        {CtrlKind::Edit, IDC_TOP_BAND, "", 48, 54, 38, 12},
        {CtrlKind::Placeholder, IDC_TOP_BAND_SPIN, "", 86, 54, 10, 12},
        {CtrlKind::Text, 1179, "Bottom:", 10, 74, 36, 8},
        {CtrlKind::Edit, IDC_BOTTOM_BAND, "", 48, 72, 38, 12},
        {CtrlKind::Placeholder, IDC_BOTTOM_BAND_SPIN, "", 86, 72, 10, 12},
        {CtrlKind::Placeholder, IDC_CROP_PREVIEW, "", 110, 4, 182, 160},
    },
};

const DialogTemplate kPadPageTemplate = {
    IDD_RESIZE_PAD_PAGE,
    "",
    296,
    176,
    {
        {CtrlKind::GroupBox, IDC_CROP_GROUP, "Resize", 4, 4, 114, 52},
        {CtrlKind::Text, 1170, "Resize width:", 10, 20, 52, 8},
        {CtrlKind::Edit, IDC_PICTURE_WIDTH, "", 64, 18, 38, 12},
        {CtrlKind::Placeholder, IDC_PICTURE_WIDTH_SPIN, "", 102, 18, 10, 12},
        {CtrlKind::Text, 1173, "Reisze height:", 10, 38, 52, 8},
        {CtrlKind::Edit, IDC_PICTURE_HEIGHT, "", 64, 36, 38, 12},
        {CtrlKind::Placeholder, IDC_PICTURE_HEIGHT_SPIN, "", 102, 36, 10, 12},
        {CtrlKind::GroupBox, IDC_PAD_GROUP, "Pad", 4, 60, 114, 112},
        {CtrlKind::Text, 1179, "Left pad:", 10, 76, 52, 8},
        {CtrlKind::Edit, IDC_LEFT_PAD, "", 64, 74, 38, 12},
        {CtrlKind::Placeholder, IDC_LEFT_PAD_SPIN, "", 102, 74, 10, 12},
        {CtrlKind::Text, 1180, "Right pad:", 10, 94, 52, 8},
        {CtrlKind::Edit, IDC_RIGHT_PAD, "", 64, 92, 38, 12},
        {CtrlKind::Placeholder, IDC_RIGHT_PAD_SPIN, "", 102, 92, 10, 12},
        {CtrlKind::Text, 1181, "Top pad:", 10, 112, 52, 8},
        {CtrlKind::Edit, IDC_TOP_PAD, "", 64, 110, 38, 12},
        {CtrlKind::Placeholder, IDC_TOP_PAD_SPIN, "", 102, 110, 10, 12},
        {CtrlKind::Text, 1182, "Bottom pad:", 10, 130, 52, 8},
        {CtrlKind::Edit, IDC_BOTTOM_PAD, "", 64, 128, 38, 12},
        {CtrlKind::Placeholder, IDC_BOTTOM_PAD_SPIN, "", 102, 128, 10, 12},
        {CtrlKind::CheckBox, IDC_KEEP_RATIO, "Keep ratio", 10, 146, 60, 10},
        {CtrlKind::PushButton, IDC_PAD_COLOR, "Pad color", 64, 155, 48, 13},
        {CtrlKind::Placeholder, IDC_PAD_PREVIEW, "", 124, 4, 152, 146},
        {CtrlKind::Placeholder, IDC_PAD_SLIDER_DOWN, "", 278, 4, 14, 146},
        {CtrlKind::Placeholder, IDC_PAD_SLIDER_ACROSS, "", 124, 152, 152, 14},
    },
};

struct SideIds {
  FrameSide side;
  int edit, spin;
};
constexpr SideIds kBandIds[] = {{FrameSide::kLeft, IDC_LEFT_BAND, IDC_LEFT_BAND_SPIN},
                                {FrameSide::kRight, IDC_RIGHT_BAND, IDC_RIGHT_BAND_SPIN},
                                {FrameSide::kTop, IDC_TOP_BAND, IDC_TOP_BAND_SPIN},
                                {FrameSide::kBottom, IDC_BOTTOM_BAND, IDC_BOTTOM_BAND_SPIN}};
constexpr SideIds kPadIds[] = {{FrameSide::kLeft, IDC_LEFT_PAD, IDC_LEFT_PAD_SPIN},
                               {FrameSide::kRight, IDC_RIGHT_PAD, IDC_RIGHT_PAD_SPIN},
                               {FrameSide::kTop, IDC_TOP_PAD, IDC_TOP_PAD_SPIN},
                               {FrameSide::kBottom, IDC_BOTTOM_PAD, IDC_BOTTOM_PAD_SPIN}};

struct LayoutButton {
  int id;
  int32_t mode;
};
constexpr LayoutButton kLayoutButtons[] = {{IDC_LAYOUT_LETTERBOX, kScaleLetterbox},
                                           {IDC_LAYOUT_LEFT_RIGHT, kScaleBlackLeftRight},
                                           {IDC_LAYOUT_UP_DOWN, kScaleBlackUpDown},
                                           {IDC_LAYOUT_STRETCH, kScaleStretch},
                                           {IDC_LAYOUT_MANUAL, kScaleManual}};

bool SystemPadColour(QWidget* owner, uint32_t& colour) {
  const QColor chosen = QColorDialog::getColor(ColorRef(colour), owner);
  if (!chosen.isValid()) return false;
  colour = ToColorRef(chosen);
  return true;
}

PadColourChooser& Chooser() {
  static PadColourChooser chooser;
  return chooser;
}

}  // namespace

PadColourChooser SetPadColourChooser(PadColourChooser chooser) {
  PadColourChooser previous = std::move(Chooser());
  Chooser() = std::move(chooser);
  return previous;
}

int LayoutButtonOf(int32_t scaleMode) {
  for (const LayoutButton& b : kLayoutButtons)
    if (b.mode == scaleMode) return b.id;
  return IDC_LAYOUT_MANUAL;
}

int32_t LayoutModeOf(int buttonId) {
  for (const LayoutButton& b : kLayoutButtons)
    if (b.id == buttonId) return b.mode;
  return 0;
}

// ---- both pages ----

CCropPageBase::CCropPageBase(const DialogTemplate& tpl, FrameGeometry* geometry) : UiDialog(tpl), geometry_(geometry) {}

int32_t CCropPageBase::EditNumber(int id) const {
  const QByteArray text = ItemText(id).toUtf8();
  errno = 0;
  const long long v = std::strtoll(text.constData(), nullptr, 10);
  if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

void CCropPageBase::SetEditNumber(int id, int32_t value) { SetItemInt(id, value); }

void CCropPageBase::SetUpControls(std::initializer_list<int> edits, std::initializer_list<int> spins, int preview) {
  for (int id : spins) SubclassItem(id, new CSpinButtonCtrl)->SetRange(0, kCropSpinMax);
  preview_ = SubclassItem(preview, new CFramePreviewCtrl);
  for (int id : edits)
    if (QWidget* edit = Item(id)) edit->installEventFilter(this);
}

CSpinButtonCtrl* CCropPageBase::SpinOf(int id) const { return dynamic_cast<CSpinButtonCtrl*>(Item(id)); }

CSliderCtrl* CCropPageBase::SliderOf(int id) const { return dynamic_cast<CSliderCtrl*>(Item(id)); }

void CCropPageBase::ApplyFocusedEdit() {
  QWidget* focus = QWidget::focusWidget();
  if (focus != nullptr && qobject_cast<QLineEdit*>(focus) != nullptr && Client()->isAncestorOf(focus))
    OnEditDone(ControlId(focus));
}

void CCropPageBase::OnOK() {
  if (owner_ != nullptr) owner_->OnCommand(IDOK, BN_CLICKED);
}

void CCropPageBase::OnCancel() {
  if (owner_ != nullptr) owner_->OnCommand(IDCANCEL, BN_CLICKED);
}

bool CCropPageBase::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut && IsOpen()) {
    if (auto* edit = qobject_cast<QLineEdit*>(watched); edit != nullptr && Client()->isAncestorOf(edit))
      OnEditDone(ControlId(edit));
  }
  return UiDialog::eventFilter(watched, event);
}

// ---- "Crop" ----

CDlgCropPage::CDlgCropPage(FrameGeometry* geometry) : CCropPageBase(kCropPageTemplate, geometry) {}

bool CDlgCropPage::OnInitDialog() {
  SetUpControls({IDC_LEFT_BAND, IDC_RIGHT_BAND, IDC_TOP_BAND, IDC_BOTTOM_BAND},
                {IDC_LEFT_BAND_SPIN, IDC_RIGHT_BAND_SPIN, IDC_TOP_BAND_SPIN, IDC_BOTTOM_BAND_SPIN}, IDC_CROP_PREVIEW);
  Reload();
  return true;
}

void CDlgCropPage::Reload() {
  for (const SideIds& s : kBandIds) {
    const int32_t band = BandOf(geometry_->layout, s.side);
    SetEditNumber(s.edit, band);
    if (auto* spin = SpinOf(s.spin)) spin->SetPos(band);
  }
  if (preview_ != nullptr) preview_->update();
}

void CDlgCropPage::EnablePage(bool enable) {
  for (int id : {IDC_LEFT_BAND, IDC_RIGHT_BAND, IDC_TOP_BAND, IDC_BOTTOM_BAND, IDC_CROP_GROUP, 1170, 1173, 1176, 1179})
    EnableItem(id, enable);
}

void CDlgCropPage::ApplyBand(FrameSide side, int32_t value) {
  const int32_t band = SetCropBand(*geometry_, side, value, even_);
  for (const SideIds& s : kBandIds)
    if (s.side == side) SetEditNumber(s.edit, band);
  if (preview_ != nullptr) preview_->update();
  if (owner_ != nullptr) owner_->OnBandsChanged();
}

intptr_t CDlgCropPage::OnNotify(const UiNotify& notify) {
  if (notify.code != UDN_DELTAPOS || notify.data == nullptr) return UiDialog::OnNotify(notify);
  for (const SideIds& s : kBandIds) {
    if (s.spin != notify.idFrom) continue;
    auto* change = static_cast<SpinDelta*>(notify.data);
    const int32_t before = BandOf(geometry_->layout, s.side);
    const int64_t step = int64_t(change->delta) * (even_ ? 2 : 1);
    ApplyBand(s.side, static_cast<int32_t>(std::clamp<int64_t>(before + step, -kCropSpinMax, INT32_MAX)));
    change->delta = BandOf(geometry_->layout, s.side) - before;
    return 0;
  }
  return 0;
}

void CDlgCropPage::OnEditDone(int id) {
  for (const SideIds& s : kBandIds) {
    if (s.edit != id) continue;
    const int32_t value = EditNumber(id);
    if (value != BandOf(geometry_->layout, s.side)) ApplyBand(s.side, value);
  }
}

// ---- "Resize and pad" ----

CDlgResizePadPage::CDlgResizePadPage(FrameGeometry* geometry) : CCropPageBase(kPadPageTemplate, geometry) {}

bool CDlgResizePadPage::OnInitDialog() {
  SetUpControls({IDC_PICTURE_WIDTH, IDC_PICTURE_HEIGHT, IDC_LEFT_PAD, IDC_RIGHT_PAD, IDC_TOP_PAD, IDC_BOTTOM_PAD},
                {IDC_PICTURE_WIDTH_SPIN, IDC_PICTURE_HEIGHT_SPIN, IDC_LEFT_PAD_SPIN, IDC_RIGHT_PAD_SPIN,
                 IDC_TOP_PAD_SPIN, IDC_BOTTOM_PAD_SPIN},
                IDC_PAD_PREVIEW);
  SubclassItem(IDC_PAD_SLIDER_ACROSS, new CSliderCtrl(Qt::Horizontal));
  SubclassItem(IDC_PAD_SLIDER_DOWN, new CSliderCtrl(Qt::Vertical));
  SetItemCheck(IDC_KEEP_RATIO, keepRatio_ ? 1 : 0);
  Reload();
  return true;
}

void CDlgResizePadPage::SetKeepRatio(bool keep) {
  keepRatio_ = keep;
  SetItemCheck(IDC_KEEP_RATIO, keep ? 1 : 0);
}

void CDlgResizePadPage::Reload() { Refresh(kAxesBoth); }

void CDlgResizePadPage::Refresh(int axes) {
  const ScaleLayout& l = geometry_->layout;
  const auto show = [this](int edit, int spin, int32_t value) {
    SetEditNumber(edit, value);
    if (auto* s = SpinOf(spin)) s->SetPos(value);
  };
  const auto slider = [this](int id, int32_t first, int32_t second) {
    if (auto* s = SliderOf(id)) {
      s->SetRange(0, static_cast<int32_t>(std::min<int64_t>(int64_t(first) + second, INT32_MAX)));
      s->SetPos(first);
    }
  };
  if (axes & kAxisAcross) {
    show(IDC_LEFT_PAD, IDC_LEFT_PAD_SPIN, l.leftPad);
    show(IDC_RIGHT_PAD, IDC_RIGHT_PAD_SPIN, l.rightPad);
    show(IDC_PICTURE_WIDTH, IDC_PICTURE_WIDTH_SPIN, PictureWidth(*geometry_));
    slider(IDC_PAD_SLIDER_ACROSS, l.leftPad, l.rightPad);
  }
  if (axes & kAxisDown) {
    show(IDC_TOP_PAD, IDC_TOP_PAD_SPIN, l.topPad);
    show(IDC_BOTTOM_PAD, IDC_BOTTOM_PAD_SPIN, l.bottomPad);
    show(IDC_PICTURE_HEIGHT, IDC_PICTURE_HEIGHT_SPIN, PictureHeight(*geometry_));
    slider(IDC_PAD_SLIDER_DOWN, l.topPad, l.bottomPad);
  }
  if (preview_ != nullptr) preview_->update();
}

void CDlgResizePadPage::EnablePage(bool enable) {
  for (int id : {IDC_PICTURE_WIDTH,
                 IDC_PICTURE_HEIGHT,
                 IDC_LEFT_PAD,
                 IDC_RIGHT_PAD,
                 IDC_TOP_PAD,
                 IDC_BOTTOM_PAD,
                 IDC_PICTURE_WIDTH_SPIN,
                 IDC_PICTURE_HEIGHT_SPIN,
                 IDC_LEFT_PAD_SPIN,
                 IDC_RIGHT_PAD_SPIN,
                 IDC_TOP_PAD_SPIN,
                 IDC_BOTTOM_PAD_SPIN,
                 IDC_KEEP_RATIO,
                 IDC_PAD_COLOR,
                 IDC_PAD_SLIDER_ACROSS,
                 IDC_PAD_SLIDER_DOWN,
                 IDC_CROP_GROUP,
                 IDC_PAD_GROUP,
                 1170,
                 1173,
                 1179,
                 1180,
                 1181,
                 1182})
    EnableItem(id, enable);
}

void CDlgResizePadPage::ApplyPad(FrameSide side, int32_t value) {
  Refresh(SetPad(*geometry_, side, value, keepRatio_));
}

void CDlgResizePadPage::ApplyPictureWidth(int32_t width) { Refresh(SetPictureWidth(*geometry_, width, keepRatio_)); }

void CDlgResizePadPage::ApplyPictureHeight(int32_t height) {
  Refresh(SetPictureHeight(*geometry_, height, keepRatio_));
}

void CDlgResizePadPage::ApplySlider(bool across, int32_t position) {
  SplitPads(*geometry_, across, position);
  Refresh(across ? kAxisAcross : kAxisDown);
}

bool CDlgResizePadPage::OnCommand(int id, int code) {
  if (id == IDC_KEEP_RATIO && code == BN_CLICKED) {
    keepRatio_ = IsItemChecked(IDC_KEEP_RATIO);
    ApplyPad(FrameSide::kTop, geometry_->layout.topPad);
    return true;
  }
  if (id == IDC_PAD_COLOR && code == BN_CLICKED) {
    uint32_t colour = geometry_->layout.padColor;
    const PadColourChooser& chooser = Chooser();
    if (chooser ? chooser(this, colour) : SystemPadColour(this, colour)) {
      geometry_->layout.padColor = colour;
      if (preview_ != nullptr) preview_->update();
    }
    return true;
  }
  return CCropPageBase::OnCommand(id, code);
}

intptr_t CDlgResizePadPage::OnNotify(const UiNotify& notify) {
  if (notify.code == NM_RELEASEDCAPTURE) {
    if (notify.idFrom == IDC_PAD_SLIDER_ACROSS || notify.idFrom == IDC_PAD_SLIDER_DOWN) {
      const bool across = notify.idFrom == IDC_PAD_SLIDER_ACROSS;
      ApplySlider(across, SliderOf(notify.idFrom)->GetPos());
    }
    return 0;
  }
  if (notify.code != UDN_DELTAPOS || notify.data == nullptr) return UiDialog::OnNotify(notify);
  auto* change = static_cast<SpinDelta*>(notify.data);
  const int64_t step = int64_t(change->delta) * 2;
  const auto target = [step](int32_t now) {
    return static_cast<int32_t>(std::clamp<int64_t>(now + step, INT32_MIN, INT32_MAX));
  };
  if (notify.idFrom == IDC_PICTURE_WIDTH_SPIN || notify.idFrom == IDC_PICTURE_HEIGHT_SPIN) {
    const bool across = notify.idFrom == IDC_PICTURE_WIDTH_SPIN;
    const int32_t before = across ? PictureWidth(*geometry_) : PictureHeight(*geometry_);
    if (across)
      ApplyPictureWidth(target(before));
    else
      ApplyPictureHeight(target(before));
    change->delta = (across ? PictureWidth(*geometry_) : PictureHeight(*geometry_)) - before;
    return 0;
  }
  for (const SideIds& s : kPadIds) {
    if (s.spin != notify.idFrom) continue;
    const int32_t before = PadOf(geometry_->layout, s.side);
    ApplyPad(s.side, target(before));
    change->delta = PadOf(geometry_->layout, s.side) - before;
  }
  return 0;
}

void CDlgResizePadPage::OnEditDone(int id) {
  const int32_t value = EditNumber(id);
  if (id == IDC_PICTURE_WIDTH) {
    if (value != PictureWidth(*geometry_)) ApplyPictureWidth(value);
    return;
  }
  if (id == IDC_PICTURE_HEIGHT) {
    if (value != PictureHeight(*geometry_)) ApplyPictureHeight(value);
    return;
  }
  for (const SideIds& s : kPadIds)
    if (s.edit == id && value != PadOf(geometry_->layout, s.side)) ApplyPad(s.side, value);
}

// ---- the dialog ----

CDlgCropResize::CDlgCropResize(QWidget* parent) : UiDialog(kDialogTemplate, parent) {}

CDlgCropResize::~CDlgCropResize() = default;

HRESULT CDlgCropResize::SetSource(int32_t sourceWidth, int32_t sourceHeight, double sourceAspect, double outputAspect,
                                  const FrameJob& previewJob, const std::string& dataFolder) {
  geometry_.sourceWidth = sourceWidth;
  geometry_.sourceHeight = sourceHeight;
  geometry_.sourceAspect = sourceAspect;
  geometry_.outputAspect = outputAspect;
  previewJob_ = previewJob;
  dataFolder_ = dataFolder;
  blankPath_ = JoinPath(dataFolder, "blank.bmp");
  // A frame that cannot be written leaves the previews empty until one comes.
  WriteSolidBitmap(blankPath_, 0, sourceWidth, sourceHeight);
  return S_OK;
}

std::string CDlgCropResize::PreviewPath() const { return JoinPath(dataFolder_, "preview.bmp"); }

HRESULT CDlgCropResize::SetParams(const void* bytes, uint32_t length) {
  std::string_view text;
  if (!TextOf(bytes, length, text)) return E_POINTER;
  LoadVResizeText(text, geometry_, scaleMode_);
  return S_OK;
}

HRESULT CDlgCropResize::Edit(QWidget* parent) {
  if (parent != nullptr && parent != parentWidget()) setParent(parent, windowFlags());
  if (DoModal() != IDOK) return S_FALSE;
  acceptedText_ = VResizeText(geometry_, scaleMode_);
  return S_OK;
}

bool CDlgCropResize::OnInitDialog() {
  tabs_ = SubclassItem(IDC_CROP_TABS, new CPageTabCtrl);
  cropPage_ = new CDlgCropPage(&geometry_);
  cropPage_->SetEvenValues(true);
  cropPage_->SetOwner(this);
  padPage_ = new CDlgResizePadPage(&geometry_);
  padPage_->SetOwner(this);
  tabs_->AddPage(QStringLiteral("Crop"), cropPage_);
  tabs_->AddPage(QStringLiteral("Resize and pad"), padPage_);

  cropPage_->Preview()->Open(blankPath_, &geometry_);
  cropPage_->Preview()->SetMode(CFramePreviewCtrl::kModeCrop);
  padPage_->Preview()->Open(blankPath_, &geometry_);
  padPage_->Preview()->SetMode(2);

  const int32_t mode = scaleMode_;
  SetItemCheck(LayoutButtonOf(mode), 1);
  if (mode >= kScaleLetterbox && mode <= kScaleStretch) ApplyLayoutMode(mode);

  tabs_->SetCurSel(1);
  tabs_->SelectPage(1);
  FrameRenderRequest request;
  request.job = previewJob_;
  request.window = Handle();
  StartFrameRenderWorker(std::move(request));
  return true;
}

void CDlgCropResize::ApplyLayoutMode(int32_t mode) {
  SetItemCheck(LayoutButtonOf(mode), 1);
  const bool automatic = mode >= kScaleLetterbox && mode <= kScaleStretch;
  if (automatic) {
    const FrameGeometry& g = geometry_;
    if (ComputeScaleLayout(g.sourceWidth, g.sourceHeight, g.sourceAspect, g.outputWidth, g.outputHeight, g.outputAspect,
                           geometry_.layout, mode)) {
      cropPage_->Reload();
      padPage_->Reload();
    }
    padPage_->SetKeepRatio(mode != kScaleStretch);
  }
  cropPage_->EnablePage(!automatic);
  padPage_->EnablePage(!automatic);
  scaleMode_ = mode;
}

void CDlgCropResize::OnBandsChanged() {
  if (padPage_ != nullptr) padPage_->ApplyPad(FrameSide::kTop, geometry_.layout.topPad);
}

bool CDlgCropResize::OnCommand(int id, int code) {
  if (code == BN_CLICKED) {
    if (const int32_t mode = LayoutModeOf(id); mode != 0) {
      ApplyLayoutMode(mode);
      return true;
    }
  }
  return UiDialog::OnCommand(id, code);
}

void CDlgCropResize::OnOK() {
  // A value typed but not yet applied counts.
  if (cropPage_ != nullptr) cropPage_->ApplyFocusedEdit();
  if (padPage_ != nullptr) padPage_->ApplyFocusedEdit();
  EndDialog(IDOK);
}

intptr_t CDlgCropResize::OnMessage(const UiMessage& message) {
  if (message.msg == WM_FRAME_RENDERED) {
    const std::string frame = PreviewPath();
    if (cropPage_ != nullptr) cropPage_->Preview()->LoadFrame(frame);
    if (padPage_ != nullptr) padPage_->Preview()->LoadFrame(frame);
  }
  return 0;  // WM_PAGE_TAB_CHANGED is answered with 0 too
}

void CDlgCropResize::OnDestroy() {
  if (cropPage_ != nullptr) cropPage_->DestroyWindow();
  if (padPage_ != nullptr) padPage_->DestroyWindow();
}
