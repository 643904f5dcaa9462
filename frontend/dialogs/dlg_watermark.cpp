#include "frontend/dialogs/dlg_watermark.h"

#include <QDir>
#include <QFileDialog>
#include <QSlider>
#include <QTime>
#include <QTimeEdit>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "frontend/controls/colour_picker.h"
#include "frontend/controls/hint_edit.h"
#include "frontend/controls/previews.h"
#include "frontend/controls/spin_slider.h"
#include "frontend/dialogs/file_dialogs.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/qt_text.h"

const int kWatermarkAlignIds[9] = {1201, 1202, 1203, 1198, 1199, 1200, 1195, 1196, 1197};

namespace {

const DialogTemplate kTemplate = {
    IDD_WATERMARK,
    "Watermark setting",
    336,
    262,
    {
        {CtrlKind::Text, IDC_STATIC, "Select image file:", 7, 7, 120, 8},
        {CtrlKind::Placeholder, IDC_WM_FILE, "", 7, 18, 294, 14},
        {CtrlKind::PushButton, IDC_WM_BROWSE, "...", 305, 18, 24, 14},
        {CtrlKind::Placeholder, IDC_WM_PREVIEW, "", 7, 38, 200, 150},
        {CtrlKind::PushButton, IDC_WM_PICK, "Pick transparent color", 7, 192, 100, 14},
        {CtrlKind::Text, IDC_STATIC, "Transparent color:", 215, 38, 114, 8},
        {CtrlKind::Placeholder, IDC_WM_TRANS_COLOUR, "", 215, 48, 114, 14},
        {CtrlKind::Text, IDC_STATIC, "Alpha:", 215, 68, 40, 8},
        {CtrlKind::Placeholder, IDC_WM_ALPHA, "", 215, 78, 114, 14},
        {CtrlKind::Text, IDC_STATIC, "0.0", 215, 93, 20, 8},
        {CtrlKind::TextRight, IDC_STATIC, "1.0", 309, 93, 20, 8},
        {CtrlKind::GroupBox, IDC_STATIC, "Align:", 215, 104, 114, 58},
        {CtrlKind::Radio, 1195, "TL", 222, 116, 32, 10, kCtrlGroup},
        {CtrlKind::Radio, 1196, "TC", 256, 116, 32, 10},
        {CtrlKind::Radio, 1197, "TR", 290, 116, 32, 10},
        {CtrlKind::Radio, 1198, "ML", 222, 130, 32, 10},
        {CtrlKind::Radio, 1199, "MC", 256, 130, 32, 10},
        {CtrlKind::Radio, 1200, "MR", 290, 130, 32, 10},
        {CtrlKind::Radio, 1201, "BL", 222, 144, 32, 10},
        {CtrlKind::Radio, 1202, "BC", 256, 144, 32, 10},
        {CtrlKind::Radio, 1203, "BR", 290, 144, 32, 10},
        {CtrlKind::CheckBox, IDC_WM_CUSTOM_POS, "Custom position", 215, 168, 114, 10},
        {CtrlKind::Text, IDC_WM_LABEL_X, "X pos:", 215, 184, 26, 8},
        {CtrlKind::Edit, IDC_WM_POSX, "", 241, 182, 30, 12},
        {CtrlKind::Placeholder, IDC_WM_SPIN_X, "", 271, 182, 10, 12},
        {CtrlKind::Text, IDC_WM_LABEL_Y, "Y pos:", 215, 200, 26, 8},
        {CtrlKind::Edit, IDC_WM_POSY, "", 241, 198, 30, 12},
        {CtrlKind::Placeholder, IDC_WM_SPIN_Y, "", 271, 198, 10, 12},
        {CtrlKind::CheckBox, IDC_WM_USE_START, "Start time:", 7, 214, 52, 10},
        {CtrlKind::Placeholder, IDC_WM_START, "", 60, 212, 50, 13},
        {CtrlKind::CheckBox, IDC_WM_USE_END, "End time:", 7, 230, 52, 10},
        {CtrlKind::Placeholder, IDC_WM_END, "", 60, 228, 50, 13},
        {CtrlKind::CheckBox, IDC_WM_USE_FADE_IN, "Fade in:", 118, 214, 44, 10},
        {CtrlKind::Edit, IDC_WM_FADE_IN, "", 162, 212, 34, 12, kCtrlNumber},
        {CtrlKind::Text, IDC_WM_FADE_IN_MS, "ms", 198, 214, 12, 8},
        {CtrlKind::CheckBox, IDC_WM_USE_FADE_OUT, "Fade out:", 118, 230, 44, 10},
        {CtrlKind::Edit, IDC_WM_FADE_OUT, "", 162, 228, 34, 12, kCtrlNumber},
        {CtrlKind::Text, IDC_WM_FADE_OUT_MS, "ms", 198, 230, 12, 8},
        {CtrlKind::PushButton, IDC_WM_SAVE, "Save config...", 7, 244, 60, 14},
        {CtrlKind::PushButton, IDC_WM_LOAD, "Load config...", 71, 244, 60, 14},
        {CtrlKind::DefPushButton, IDOK, "OK", 225, 244, 50, 14},
        {CtrlKind::PushButton, IDCANCEL, "Cancel", 279, 244, 50, 14},
    },
};

constexpr int kPositionLow = -400, kPositionHigh = 4000;
constexpr int kSecondsPerDay = 24 * 60 * 60;

QTime TimeOfDay(int32_t seconds) { return QTime(0, 0).addSecs(std::clamp(seconds, 0, kSecondsPerDay - 1)); }

int32_t Seconds(const QTime& time) { return time.isValid() ? QTime(0, 0).secsTo(time) : 0; }

bool DesktopWamChooser(QWidget* owner, bool save, std::string& path) {
  QFileDialog dialog(owner, save ? QStringLiteral("Save Config File") : QStringLiteral("Load Config File"));
  dialog.setOption(QFileDialog::DontResolveSymlinks);
  if (save) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("wam"));
    dialog.setNameFilters({QStringLiteral("Watermark Config Files(*.wam)"), QStringLiteral("All Files(*.*)")});
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({QStringLiteral("Watermark config Files(*.wam)"), QStringLiteral("All Files(*.*)")});
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  path = QDir::cleanPath(dialog.selectedFiles().front()).toStdString();
  return true;
}

WamFileChooser& ActiveChooser() {
  static WamFileChooser chooser = DesktopWamChooser;
  return chooser;
}

}  // namespace

WamFileChooser SetWamFileChooser(WamFileChooser chooser) {
  WamFileChooser previous = ActiveChooser();
  ActiveChooser() = chooser ? std::move(chooser) : WamFileChooser(DesktopWamChooser);
  return previous;
}

CDlgWatermark::CDlgWatermark(QWidget* parent) : UiDialog(kTemplate, parent) {
  fileEdit_ = SubclassItem(IDC_WM_FILE, new CHintEdit);
  preview_ = SubclassItem(IDC_WM_PREVIEW, new CWatermarkPreviewCtrl);
  picker_ = SubclassItem(IDC_WM_TRANS_COLOUR, new CColourPickerXP);
  alpha_ = SubclassItem(IDC_WM_ALPHA, new CSliderCtrl(Qt::Horizontal));
  for (int id : {IDC_WM_SPIN_X, IDC_WM_SPIN_Y}) SubclassItem(id, new CSpinButtonCtrl);
  for (int id : {IDC_WM_START, IDC_WM_END}) {
    auto* time = SubclassItem(id, new QTimeEdit);
    time->setDisplayFormat(QStringLiteral("HH:mm:ss"));
  }
}

CDlgWatermark::~CDlgWatermark() = default;

QTimeEdit* CDlgWatermark::TimeEdit(int id) const { return ItemAs<QTimeEdit>(id); }

CSpinButtonCtrl* CDlgWatermark::Spin(int id) const { return dynamic_cast<CSpinButtonCtrl*>(Item(id)); }

HRESULT CDlgWatermark::SetSource(int32_t frameWidth, int32_t frameHeight, double outputAspect) {
  frameWidth_ = frameWidth;
  frameHeight_ = frameHeight;
  outputAspect_ = outputAspect;
  return S_OK;
}

HRESULT CDlgWatermark::Edit(QWidget* parent) {
  if (parent != nullptr && parentWidget() != parent) setParent(parent, windowFlags());
  const WatermarkParams before = params_;
  if (DoModal() != IDOK) {
    params_ = before;  // a "Save config..." on the way kept nothing
    return S_FALSE;
  }
  acceptedText_ = WatermarkParamText(params_);
  return S_OK;
}

HRESULT CDlgWatermark::SetParams(const void* bytes, uint32_t length) {
  std::string_view text;
  if (!TextOf(bytes, length, text)) return E_POINTER;
  params_ = LoadWatermarkParams(text);
  return S_OK;
}

bool CDlgWatermark::OnInitDialog() {
  LoadControls();
  return true;
}

void CDlgWatermark::LoadControls() {
  const WatermarkParams& p = params_;
  fileEdit_->SetHint(QString::fromUtf8(kWatermarkHint));
  picker_->SetDefaultText(QStringLiteral("None"));
  picker_->SetDefaultColor(0);
  alignIndex_ = p.align - 1;
  ShowAlignRadios();
  picker_->SetColor(p.useTransparent != 0 ? p.transColour : kNoTransparentColour);
  fileEdit_->SetTextOrHint(QString::fromStdString(p.fileName));
  LoadPicture();
  alpha_->setRange(0, 100);
  alpha_->setTickInterval(10);
  alpha_->setTickPosition(QSlider::TicksBelow);
  alpha_->setPageStep(10);
  alpha_->setValue(static_cast<int>(std::clamp(std::lround(p.alpha * 100.0), 0L, 100L)));
  TimeEdit(IDC_WM_START)->setTime(TimeOfDay(p.startTime));
  TimeEdit(IDC_WM_END)->setTime(TimeOfDay(p.endTime));
  SetItemCheck(IDC_WM_USE_START, p.useStart != 0);
  SetItemCheck(IDC_WM_USE_END, p.useEnd != 0);
  SetItemCheck(IDC_WM_USE_FADE_IN, p.fadeIn != 0);
  SetItemCheck(IDC_WM_USE_FADE_OUT, p.fadeOut != 0);
  SetItemInt(IDC_WM_FADE_IN, p.fadeIn);
  SetItemInt(IDC_WM_FADE_OUT, p.fadeOut);
  for (int id : {IDC_WM_SPIN_X, IDC_WM_SPIN_Y}) Spin(id)->SetRange(kPositionLow, kPositionHigh);
  SetItemInt(IDC_WM_POSX, p.posX);
  SetItemInt(IDC_WM_POSY, p.posY);
  Spin(IDC_WM_SPIN_X)->SetPos(p.posX);
  Spin(IDC_WM_SPIN_Y)->SetPos(p.posY);
  if (p.align != 0)
    Place();
  else
    preview_->SetFrame(frameWidth_, frameHeight_, p.posX, p.posY);
  SetItemCheck(IDC_WM_CUSTOM_POS, p.align == 0);
  EnablePosition(p.align == 0);
  EnableItem(IDC_WM_FADE_IN, p.fadeIn != 0);
  EnableItem(IDC_WM_FADE_IN_MS, p.fadeIn != 0);
  EnableItem(IDC_WM_START, p.useStart != 0);
  EnableEnd(p.useEnd != 0);
}

bool CDlgWatermark::ReadControls(WatermarkParams& into) {
  const std::string file = fileEdit_->GetText().toStdString();
  if (file.size() > kWatermarkFileNameMax) {
    ShowMessageBox(this, "The picture's path is too long: a path holds at most 259 bytes.", nullptr,
                   MB_ICONEXCLAMATION);
    fileEdit_->setFocus();
    return false;
  }
  ReadAlignRadios();
  WatermarkParams p = into;
  p.fileName = file;
  const uint32_t colour = picker_->GetColor();
  p.useTransparent = colour != kNoTransparentColour ? 1 : 0;
  p.transColour = colour != kNoTransparentColour ? colour : 0;
  p.align = alignIndex_ + 1;
  p.posX = AtoiC(ItemText(IDC_WM_POSX));
  p.posY = AtoiC(ItemText(IDC_WM_POSY));
  p.alpha = alpha_->value() * 0.01;
  p.useStart = IsItemChecked(IDC_WM_USE_START) ? 1 : 0;
  p.useEnd = IsItemChecked(IDC_WM_USE_END) ? 1 : 0;
  p.startTime = Seconds(TimeEdit(IDC_WM_START)->time());
  p.endTime = Seconds(TimeEdit(IDC_WM_END)->time());
  // A cleared fade box means no fade, whatever its edit still holds.
  p.fadeIn = IsItemChecked(IDC_WM_USE_FADE_IN) ? std::max(0, AtoiC(ItemText(IDC_WM_FADE_IN))) : 0;
  p.fadeOut = IsItemChecked(IDC_WM_USE_FADE_OUT) ? std::max(0, AtoiC(ItemText(IDC_WM_FADE_OUT))) : 0;
  into = p;
  return true;
}

void CDlgWatermark::LoadPicture() {
  pictureWidth_ = pictureHeight_ = 0;
  pictureLoaded_ = preview_->LoadPicture(fileEdit_->GetText().toStdString(), &pictureWidth_, &pictureHeight_);
}

void CDlgWatermark::Place() {
  if (!pictureLoaded_) return;
  const int align = alignIndex_ + 1;
  const int x = AtoiC(ItemText(IDC_WM_POSX)), y = AtoiC(ItemText(IDC_WM_POSY));
  if (align < 1 || align > 9) {
    // A custom position stays the user's, even where the frame cuts the picture.
    preview_->SetFrame(frameWidth_, frameHeight_, x, y);
    return;
  }
  QPoint position;
  if (!preview_->PlaceByAlign(frameWidth_, frameHeight_, align, x, y, &position)) return;
  SetItemInt(IDC_WM_POSX, position.x());
  SetItemInt(IDC_WM_POSY, position.y());
}

void CDlgWatermark::ReadAlignRadios() {
  if (IsItemChecked(IDC_WM_CUSTOM_POS)) {
    alignIndex_ = -1;
    return;
  }
  for (int i = 0; i < 9; ++i)
    if (IsItemChecked(kWatermarkAlignIds[i])) {
      alignIndex_ = i;
      return;
    }
}

void CDlgWatermark::ShowAlignRadios() {
  for (int i = 0; i < 9; ++i) SetItemCheck(kWatermarkAlignIds[i], i == alignIndex_ ? 1 : 0);
}

void CDlgWatermark::EnablePosition(bool on) {
  for (int id : {IDC_WM_POSX, IDC_WM_POSY, IDC_WM_SPIN_X, IDC_WM_SPIN_Y, IDC_WM_LABEL_X, IDC_WM_LABEL_Y})
    EnableItem(id, on);
}

void CDlgWatermark::EnableEnd(bool on) {
  EnableItem(IDC_WM_END, on);
  EnableItem(IDC_WM_USE_FADE_OUT, on);
  const bool fade = on && IsItemChecked(IDC_WM_USE_FADE_OUT);
  EnableItem(IDC_WM_FADE_OUT, fade);
  EnableItem(IDC_WM_FADE_OUT_MS, fade);
}

void CDlgWatermark::OnOK() {
  if (!ReadControls(params_)) return;
  EndDialog(IDOK);
}

bool CDlgWatermark::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return UiDialog::OnCommand(id, code);
  if (id >= IDC_WM_ALIGN_TL && id <= IDC_WM_ALIGN_BR) {
    for (int i = 0; i < 9; ++i)
      if (kWatermarkAlignIds[i] == id) alignIndex_ = i;
    ShowAlignRadios();
    SetItemCheck(IDC_WM_CUSTOM_POS, 0);
    Place();
    EnablePosition(false);
    return true;
  }
  switch (id) {
    case IDC_WM_BROWSE: {
      CFileFilter filter;
      filter.Add("All support files", "*.bmp;*.jpg;*.gif;*.png");
      filter.Add("Portable Network Graphics Files(*.png)", "*.png");
      filter.Add("CompuServe GIF Files(*.gif)", "*.gif");
      filter.Add("JPEG Files(*.jpg)", "*.jpg");
      filter.Add("Windows Bitmap Files(*.bmp)", "*.bmp");
      filter.Add("All Files(*.*)", "*.*");
      std::vector<std::string> chosen;
      if (!BrowseForFiles(this, "Select file", "", filter.GetFilterString(), false, chosen) || chosen.empty())
        return true;
      fileEdit_->SetText(QString::fromStdString(chosen.front()));
      LoadPicture();
      ReadAlignRadios();
      Place();
      return true;
    }
    case IDC_WM_PICK:
      preview_->SetPickMode(true);
      return true;
    case IDC_WM_CUSTOM_POS: {
      const bool on = IsItemChecked(IDC_WM_CUSTOM_POS);
      EnablePosition(on);
      alignIndex_ = on ? -1 : 8;
      ShowAlignRadios();
      if (!on) Place();  // the preview follows the anchor the dialog now shows
      return true;
    }
    case IDC_WM_USE_START:
      EnableItem(IDC_WM_START, IsItemChecked(IDC_WM_USE_START));
      return true;
    case IDC_WM_USE_END:
      EnableEnd(IsItemChecked(IDC_WM_USE_END));
      return true;
    case IDC_WM_USE_FADE_IN:
    case IDC_WM_USE_FADE_OUT: {
      const bool on = IsItemChecked(id);
      EnableItem(id == IDC_WM_USE_FADE_IN ? IDC_WM_FADE_IN : IDC_WM_FADE_OUT, on);
      EnableItem(id == IDC_WM_USE_FADE_IN ? IDC_WM_FADE_IN_MS : IDC_WM_FADE_OUT_MS, on);
      return true;
    }
    case IDC_WM_SAVE:
      SaveConfig();
      return true;
    case IDC_WM_LOAD:
      LoadConfig();
      return true;
    default:
      return UiDialog::OnCommand(id, code);
  }
}

intptr_t CDlgWatermark::OnNotify(const UiNotify& notify) {
  if (notify.code == UDN_DELTAPOS && (notify.idFrom == IDC_WM_SPIN_X || notify.idFrom == IDC_WM_SPIN_Y)) {
    // The spin steps its edit; the preview shows the stepped position.
    const auto* change = static_cast<const SpinDelta*>(notify.data);
    const int edit = notify.idFrom == IDC_WM_SPIN_X ? IDC_WM_POSX : IDC_WM_POSY;
    const int64_t stepped = int64_t(AtoiC(ItemText(edit))) + (change != nullptr ? change->delta : 0);
    SetItemInt(edit, static_cast<int>(std::clamp<int64_t>(stepped, kPositionLow, kPositionHigh)));
    preview_->SetFrame(frameWidth_, frameHeight_, AtoiC(ItemText(IDC_WM_POSX)), AtoiC(ItemText(IDC_WM_POSY)));
    return 0;
  }
  return UiDialog::OnNotify(notify);
}

intptr_t CDlgWatermark::OnMessage(const UiMessage& message) {
  if (message.msg == WM_HINT_EDIT_DROP) {
    LoadPicture();
    ReadAlignRadios();
    Place();
    return 0;
  }
  if (message.msg == WM_WATERMARK_PICK_COLOR) {
    picker_->SetColor(static_cast<uint32_t>(message.wParam));
    return 0;
  }
  return UiDialog::OnMessage(message);
}

void CDlgWatermark::SaveConfig() {
  if (!ReadControls(params_)) return;
  std::string path;
  if (!ActiveChooser()(this, true, path)) return;
  if (!WriteWatermarkFile(path, params_)) ShowMessageBox(this, kWamSaveFailed, nullptr, MB_ICONSTOP);
}

void CDlgWatermark::LoadConfig() {
  std::string path;
  if (!ActiveChooser()(this, false, path)) return;
  // A short or unreadable file leaves the record as it was.
  if (!ReadWatermarkFile(path, params_)) {
    ShowMessageBox(this, kWamOpenFailed, nullptr, MB_ICONSTOP);
    return;
  }
  LoadControls();
}
