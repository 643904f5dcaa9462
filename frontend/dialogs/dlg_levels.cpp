#include "frontend/dialogs/dlg_levels.h"

#include <QComboBox>
#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>

#include "frontend/controls/spin_slider.h"
#include "frontend/ui/message_box.h"

namespace {

const DialogTemplate kLevelsTemplate = {
    IDD_LEVELS,
    "LEVELS",
    204,
    128,
    {
        {CtrlKind::Text, IDC_STATIC, "Predefine:", 7, 9, 44, 8},
        {CtrlKind::ComboDropList, IDC_ADJUST_PRESET, "", 54, 7, 143, 100},
        {CtrlKind::Text, IDC_STATIC, "Input min:", 7, 30, 44, 8},
        {CtrlKind::Edit, IDC_LEVELS_INPUT_MIN, "", 54, 28, 36, 12},
        {CtrlKind::Placeholder, IDC_LEVELS_INPUT_MIN_SPIN, "", 90, 28, 10, 12},
        {CtrlKind::Text, IDC_STATIC, "Input max:", 108, 30, 40, 8},
        {CtrlKind::Edit, IDC_LEVELS_INPUT_MAX, "", 151, 28, 36, 12},
        {CtrlKind::Placeholder, IDC_LEVELS_INPUT_MAX_SPIN, "", 187, 28, 10, 12},
        {CtrlKind::Text, IDC_STATIC, "Output min:", 7, 48, 44, 8},
        {CtrlKind::Edit, IDC_LEVELS_OUTPUT_MIN, "", 54, 46, 36, 12},
        {CtrlKind::Placeholder, IDC_LEVELS_OUTPUT_MIN_SPIN, "", 90, 46, 10, 12},
        {CtrlKind::Text, IDC_STATIC, "Output max:", 108, 48, 40, 8},
        {CtrlKind::Edit, IDC_LEVELS_OUTPUT_MAX, "", 151, 46, 36, 12},
        {CtrlKind::Placeholder, IDC_LEVELS_OUTPUT_MAX_SPIN, "", 187, 46, 10, 12},
        {CtrlKind::Text, IDC_STATIC, "Gamma:", 7, 66, 44, 8},
        {CtrlKind::Edit, IDC_LEVELS_GAMMA, "", 54, 64, 46, 12},
        {CtrlKind::CheckBox, IDC_ADJUST_CORING, "Coring to TV[16,235]", 7, 84, 120, 10},
        {CtrlKind::DefPushButton, IDOK, "OK", 93, 107, 50, 14},
        {CtrlKind::PushButton, IDCANCEL, "Cancel", 147, 107, 50, 14},
    },
};

const DialogTemplate kTweakTemplate = {
    IDD_TWEAK,
    "TWEAK",
    220,
    134,
    {
        {CtrlKind::Text, IDC_STATIC, "Hue:", 7, 10, 44, 8},
        {CtrlKind::Placeholder, IDC_TWEAK_HUE, "", 54, 7, 159, 15},
        {CtrlKind::Text, IDC_STATIC, "Saturation:", 7, 30, 44, 8},
        {CtrlKind::Placeholder, IDC_TWEAK_SATURATION, "", 54, 27, 159, 15},
        {CtrlKind::Text, IDC_STATIC, "Brightness:", 7, 50, 44, 8},
        {CtrlKind::Placeholder, IDC_TWEAK_BRIGHTNESS, "", 54, 47, 159, 15},
        {CtrlKind::Text, IDC_STATIC, "Contrast:", 7, 70, 44, 8},
        {CtrlKind::Placeholder, IDC_TWEAK_CONTRAST, "", 54, 67, 159, 15},
        {CtrlKind::CheckBox, IDC_ADJUST_CORING, "Coring output to TV[16,235]", 7, 90, 150, 10},
        {CtrlKind::PushButton, IDC_TWEAK_RESET, "&Reset", 7, 113, 50, 14},
        {CtrlKind::DefPushButton, IDOK, "OK", 109, 113, 50, 14},
        {CtrlKind::PushButton, IDCANCEL, "Cancel", 163, 113, 50, 14},
    },
};

struct LevelRow {
  int edit, spin;
  int32_t LevelsParams::*field;
};
constexpr LevelRow kLevelRows[] = {
    {IDC_LEVELS_INPUT_MIN, IDC_LEVELS_INPUT_MIN_SPIN, &LevelsParams::inputMin},
    {IDC_LEVELS_INPUT_MAX, IDC_LEVELS_INPUT_MAX_SPIN, &LevelsParams::inputMax},
    {IDC_LEVELS_OUTPUT_MIN, IDC_LEVELS_OUTPUT_MIN_SPIN, &LevelsParams::outputMin},
    {IDC_LEVELS_OUTPUT_MAX, IDC_LEVELS_OUTPUT_MAX_SPIN, &LevelsParams::outputMax},
};
constexpr int32_t kLevelMax = 255;

constexpr int kTweakSliders[] = {IDC_TWEAK_HUE, IDC_TWEAK_SATURATION, IDC_TWEAK_BRIGHTNESS, IDC_TWEAK_CONTRAST};

std::string_view Trimmed(const std::string& text) {
  std::string_view v(text);
  while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
  if (!v.empty() && v.front() == '+') v.remove_prefix(1);
  return v;
}

// The leading integer of a text as atoi reads it, held to the int range.
int32_t LeadingInt(const std::string& text) {
  const std::string_view v = Trimmed(text);
  int64_t value = 0;
  const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), value);
  (void)end;
  if (ec == std::errc::result_out_of_range) return v.rfind('-', 0) == 0 ? INT32_MIN : INT32_MAX;
  if (ec != std::errc()) return 0;
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// The leading number of a text as atof reads it, whatever the locale.
double LeadingDouble(const std::string& text) {
  const std::string_view v = Trimmed(text);
  double value = 0;
  const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), value);
  (void)end;
  if (ec == std::errc::result_out_of_range) return v.rfind('-', 0) == 0 ? -1e308 : 1e308;
  return ec == std::errc() ? value : 0.0;
}

QString GammaText(double gamma) { return QString::number(gamma, 'f', 3); }

}  // namespace

// ---- levels ----

CDlgLevels::CDlgLevels(QWidget* parent) : UiDialog(kLevelsTemplate, parent) {
  for (const LevelRow& row : kLevelRows) SubclassItem(row.spin, new CSpinButtonCtrl);
}

CDlgLevels::~CDlgLevels() = default;

CSpinButtonCtrl* CDlgLevels::Spin(int id) const { return dynamic_cast<CSpinButtonCtrl*>(Item(id)); }

int CDlgLevels::PresetIndex() const { return ItemAs<QComboBox>(IDC_ADJUST_PRESET)->currentIndex(); }

HRESULT CDlgLevels::Edit(QWidget* parent) {
  if (parent != nullptr && parentWidget() != parent) setParent(parent, windowFlags());
  const LevelsParams before = params_;
  if (DoModal() != IDOK) {
    params_ = before;
    return S_FALSE;
  }
  acceptedText_ = LevelsParamText(params_);
  return S_OK;
}

HRESULT CDlgLevels::SetParams(const void* bytes, uint32_t length) {
  std::string_view text;
  if (!TextOf(bytes, length, text)) return E_POINTER;
  params_ = LoadLevelsParams(text);
  return S_OK;
}

bool CDlgLevels::OnInitDialog() {
  auto* combo = ItemAs<QComboBox>(IDC_ADJUST_PRESET);
  combo->clear();
  for (const LevelsPreset& preset : LevelsPresets()) combo->addItem(QString::fromUtf8(preset.name));
  combo->setCurrentIndex(FindLevelsPreset(params_));
  ShowParams(params_);
  return true;
}

void CDlgLevels::ShowParams(const LevelsParams& params) {
  for (const LevelRow& row : kLevelRows) {
    CSpinButtonCtrl* spin = Spin(row.spin);
    spin->SetRange(0, kLevelMax);
    spin->SetPos(params.*row.field);
    // The edit shows the spin's number.
    SetItemInt(row.edit, spin->GetPos());
  }
  SetItemCheck(IDC_ADJUST_CORING, params.coring != 0 ? 1 : 0);
  SetItemText(IDC_LEVELS_GAMMA, GammaText(params.gamma));
}

void CDlgLevels::ChoosePreset(int index) {
  if (index < 0 || index >= int(LevelsPresets().size())) return;
  ItemAs<QComboBox>(IDC_ADJUST_PRESET)->setCurrentIndex(index);
  params_ = LevelsPresets()[size_t(index)].params;
  ShowParams(params_);
}

bool CDlgLevels::OnCommand(int id, int code) {
  if (id == IDC_ADJUST_PRESET && code == CBN_SELCHANGE) {
    ChoosePreset(PresetIndex());
    return true;
  }
  return UiDialog::OnCommand(id, code);
}

intptr_t CDlgLevels::OnNotify(const UiNotify& notify) {
  if (notify.code != UDN_DELTAPOS || notify.data == nullptr) return UiDialog::OnNotify(notify);
  for (const LevelRow& row : kLevelRows) {
    if (row.spin != notify.idFrom) continue;
    // The spin steps from the number its edit shows and writes its new one there.
    auto* change = static_cast<SpinDelta*>(notify.data);
    const int32_t from = std::clamp(LeadingInt(ItemText(row.edit).toStdString()), 0, kLevelMax);
    Spin(row.spin)->SetPos(from);
    const int32_t to = static_cast<int32_t>(std::clamp<int64_t>(int64_t(from) + change->delta, 0, kLevelMax));
    change->delta = to - from;
    SetItemInt(row.edit, to);
    return 0;
  }
  return 0;
}

void CDlgLevels::OnOK() {
  LevelsParams typed = params_;
  for (const LevelRow& row : kLevelRows) typed.*row.field = LeadingInt(ItemText(row.edit).toStdString());
  typed.gamma = LeadingDouble(ItemText(IDC_LEVELS_GAMMA).toStdString());
  typed.coring = IsItemChecked(IDC_ADJUST_CORING) ? 1 : 0;
  params_ = typed;
  if (const char* refused = CheckLevels(typed)) {
    ShowMessageBox(this, refused, nullptr, MB_ICONEXCLAMATION);
    return;
  }
  EndDialog(IDOK);
}

// ---- tweak ----

CDlgTweak::CDlgTweak(QWidget* parent) : UiDialog(kTweakTemplate, parent) {
  for (int id : kTweakSliders) {
    CSliderCtrl* slider = SubclassItem(id, new CSliderCtrl(Qt::Horizontal));
    slider->SetRange(kTweakSliderMin, kTweakSliderMax);
    slider->setPageStep(10);
  }
}

CDlgTweak::~CDlgTweak() = default;

CSliderCtrl* CDlgTweak::Slider(int id) const { return dynamic_cast<CSliderCtrl*>(Item(id)); }

HRESULT CDlgTweak::Edit(QWidget* parent) {
  if (parent != nullptr && parentWidget() != parent) setParent(parent, windowFlags());
  if (DoModal() != IDOK) return S_FALSE;
  acceptedText_ = TweakParamText(params_);
  return S_OK;
}

HRESULT CDlgTweak::SetParams(const void* bytes, uint32_t length) {
  std::string_view text;
  if (!TextOf(bytes, length, text)) return E_POINTER;
  params_ = LoadTweakParams(text);
  return S_OK;
}

bool CDlgTweak::OnInitDialog() {
  Slider(IDC_TWEAK_HUE)->SetPos(HueToPosition(params_.hue));
  Slider(IDC_TWEAK_SATURATION)->SetPos(ScaleToPosition(params_.saturation));
  Slider(IDC_TWEAK_BRIGHTNESS)->SetPos(BrightnessToPosition(params_.brightness));
  Slider(IDC_TWEAK_CONTRAST)->SetPos(ScaleToPosition(params_.contrast));
  SetItemCheck(IDC_ADJUST_CORING, params_.coring != 0 ? 1 : 0);
  return true;
}

bool CDlgTweak::OnCommand(int id, int code) {
  if (id == IDC_TWEAK_RESET && code == BN_CLICKED) {
    for (int slider : kTweakSliders) Slider(slider)->SetPos(0);
    return true;
  }
  return UiDialog::OnCommand(id, code);
}

void CDlgTweak::OnOK() {
  params_.hue = HueOfPosition(Slider(IDC_TWEAK_HUE)->GetPos());
  params_.saturation = ScaleOfPosition(Slider(IDC_TWEAK_SATURATION)->GetPos());
  params_.brightness = BrightnessOfPosition(Slider(IDC_TWEAK_BRIGHTNESS)->GetPos());
  params_.contrast = ScaleOfPosition(Slider(IDC_TWEAK_CONTRAST)->GetPos());
  params_.coring = IsItemChecked(IDC_ADJUST_CORING) ? 1 : 0;
  EndDialog(IDOK);
}

std::unique_ptr<IFilterSetup> CreateLevelsSetup(QWidget* parent) { return std::make_unique<CDlgLevels>(parent); }

std::unique_ptr<IFilterSetup> CreateTweakSetup(QWidget* parent) { return std::make_unique<CDlgTweak>(parent); }
