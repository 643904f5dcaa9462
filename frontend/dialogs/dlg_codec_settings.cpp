#include "frontend/dialogs/dlg_codec_settings.h"

#include <strings.h>

#include <QComboBox>
#include <QLineEdit>
#include <cstring>

#include "frontend/controls/option_combo.h"
#include "frontend/dialogs/adv_codec_setup.h"
#include "frontend/model/option_values.h"
#include "frontend/model/param_text.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/vfw_codec_setup.h"
#include "platform/text_case.h"

namespace {

constexpr int kPlaces[4] = {IDC_PAGE_PLACE1, IDC_PAGE_PLACE2, IDC_PAGE_PLACE3, IDC_PAGE_PLACE4};
constexpr uint32_t kVp62StateMin = 1000;
constexpr size_t kVp62BitrateAt = 20;
constexpr size_t kVp62FlagAt = 44;

DialogTemplate PageTemplate(int id, int codecId, const char* codecLabel, const char* const labels[4]) {
  return {id,
          "",
          214,
          92,
          {
              {CtrlKind::Text, IDC_STATIC, codecLabel, 7, 9, 44, 8},
              {CtrlKind::ComboDropList, codecId, "", 52, 7, 154, 100},
              {CtrlKind::Text, IDC_PAGE_LABEL1, labels[0], 7, 28, 44, 8},
              {CtrlKind::Placeholder, IDC_PAGE_PLACE1, "", 52, 26, 84, 12},
              {CtrlKind::Text, IDC_PAGE_LABEL2, labels[1], 7, 44, 44, 8},
              {CtrlKind::Placeholder, IDC_PAGE_PLACE2, "", 52, 42, 84, 12},
              {CtrlKind::Text, IDC_PAGE_LABEL3, labels[2], 7, 60, 44, 8},
              {CtrlKind::Placeholder, IDC_PAGE_PLACE3, "", 52, 58, 84, 12},
              {CtrlKind::Text, IDC_PAGE_LABEL4, labels[3], 7, 76, 44, 8},
              {CtrlKind::Placeholder, IDC_PAGE_PLACE4, "", 52, 74, 84, 12},
              {CtrlKind::PushButton, IDC_CODEC_ADVANCE, "Advance...", 146, 26, 60, 14},
          }};
}

const char* const kAudioLabels[4] = {"Sample rate:", "Channel:", "Bitrate:", "Volumn:"};
const char* const kVideoLabels[4] = {"Width:", "Height:", "Bitrate:", "Frame rate:"};

const DialogTemplate& AudioTemplate() {
  static const DialogTemplate tpl = PageTemplate(IDD_AUDIO_SETTINGS, IDC_AUDIO_CODEC, "Audio codec:", kAudioLabels);
  return tpl;
}

const DialogTemplate& VideoTemplate() {
  static const DialogTemplate tpl = PageTemplate(IDD_VIDEO_SETTINGS, IDC_VIDEO_CODEC, "Video codec:", kVideoLabels);
  return tpl;
}

// The last descriptor of the key, or null.
const OptionDesc* OptionOf(const CodecDesc& codec, const char* key) {
  const OptionDesc* found = nullptr;
  for (const OptionDesc& option : codec.options)
    if (strcasecmp(option.name.c_str(), key) == 0) found = &option;
  return found;
}

bool ReadState(CVfwCodecSetup& codec, std::string& state) {
  return SUCCEEDED(ReadSetupParams(codec, state)) && state.size() > kVp62StateMin;
}

}  // namespace

// ---- the VP6 compressor's state ----

bool PutVp62Bitrate(CVfwCodecSetup& codec, uint32_t kbps) {
  std::string state;
  if (!ReadState(codec, state)) return false;
  const uint16_t value = static_cast<uint16_t>(kbps);
  std::memcpy(&state[kVp62BitrateAt], &value, sizeof(value));
  state[kVp62FlagAt] = 1;
  return SUCCEEDED(codec.SetParams(state.data(), static_cast<uint32_t>(state.size())));
}

int32_t ReadVp62Bitrate(CVfwCodecSetup& codec) {
  std::string state;
  if (!ReadState(codec, state)) return -1;
  uint16_t value = 0;
  std::memcpy(&value, &state[kVp62BitrateAt], sizeof(value));
  return value;
}

// ---- the page ----

CDlgCodecSettings::CDlgCodecSettings(const DialogTemplate& tpl, int codecComboId, std::array<const char*, 4> keys,
                                     bool video, QWidget* parent)
    : UiDialog(tpl, parent), codecComboId_(codecComboId), keys_(keys), video_(video) {
  EnableItem(IDC_CODEC_ADVANCE, false);
}

CDlgCodecSettings::~CDlgCodecSettings() = default;

const CodecDesc* CDlgCodecSettings::CodecAt(int index) const {
  if (list_ == nullptr || index < 0 || static_cast<size_t>(index) >= list_->size()) return nullptr;
  return &(*list_)[static_cast<size_t>(index)];
}

const CodecDesc* CDlgCodecSettings::GetCodec() const { return CodecAt(current_); }

std::string CDlgCodecSettings::ParamText() { return ParamListText(params_); }

COptionCombo* CDlgCodecSettings::ComboFor(const std::string& key) const {
  for (size_t i = 0; i < keys_.size(); ++i)
    if (strcasecmp(keys_[i], key.c_str()) == 0) return combos_[i];
  return nullptr;
}

void CDlgCodecSettings::SetCodecList(UiDialog* owner, const std::vector<CodecDesc>* list, const std::string& codecName,
                                     const std::string& optionText) {
  auto* combo = ItemAs<QComboBox>(codecComboId_);
  if (list != nullptr) {
    owner_ = owner;
    list_ = list;
    combo->setUpdatesEnabled(false);
    const QSignalBlocker block(combo);
    combo->clear();
    int chosen = -1;
    for (size_t i = 0; i < list->size(); ++i) {
      const CodecDesc& codec = (*list)[i];
      combo->addItem(QString::fromStdString(codec.displayName), static_cast<int>(i));
      if (EqualsIgnoringCase(codec.name, codecName)) chosen = static_cast<int>(i);
    }
    if (chosen < 0 && !list->empty()) chosen = 0;
    combo->setCurrentIndex(chosen);
    combo->setUpdatesEnabled(true);
    if (chosen >= 0) SetCodec(chosen, optionText);
    return;
  }
  for (int i = 0; i < combo->count(); ++i) {
    const int index = combo->itemData(i).toInt();
    const CodecDesc* codec = CodecAt(index);
    if (codec == nullptr || !EqualsIgnoringCase(codec->encoder, codecName)) continue;
    combo->setCurrentIndex(i);
    SetCodec(index, optionText);
    return;
  }
}

void CDlgCodecSettings::CreateCombos() {
  for (size_t i = 0; i < combos_.size(); ++i) {
    auto* combo = new COptionCombo(Client());
    combo->setFont(font());
    QRect place = ItemRect(kPlaces[i]);
    place.setHeight(combo->sizeHint().height());
    combo->setGeometry(place);
    SetControlId(combo, IDC_PAGE_VALUE_FIRST + static_cast<int>(i));
    ShowItem(kPlaces[i], false);
    combo->setVisible(!video_);
    combos_[i] = combo;
  }
}

void CDlgCodecSettings::SetCodec(int index, const std::string& optionText) {
  const CodecDesc* codec = CodecAt(index);
  if (codec == nullptr) return;
  current_ = index;
  if (combos_[0] == nullptr) CreateCombos();
  for (size_t i = 0; i < combos_.size(); ++i) {
    COptionCombo* combo = combos_[i];
    combo->setUpdatesEnabled(false);
    combo->SetValidator([this](std::string& value, const OptionDesc& option, bool& takeBack, std::string& message) {
      return OnValue(option, value, takeBack, message);
    });
    if (const OptionDesc* option = OptionOf(*codec, keys_[i])) {
      combo->SetOption(*option);
    } else {
      // Nothing of the codec to edit here.
      OptionDesc none;
      none.name = keys_[i];
      none.type = kOptionTypeNone;
      none.enable = 0;
      combo->SetOption(none);
    }
  }
  RecomputeOptions(nullptr, codec->options, codec->limits, optionText, params_);
  ShowValues();
  for (COptionCombo* combo : combos_) {
    combo->setUpdatesEnabled(true);
    if (video_) combo->show();
  }
  EnableItem(IDC_CODEC_ADVANCE, codec->enableAdv != 0);
}

void CDlgCodecSettings::ShowValues() {
  for (size_t i = 0; i < combos_.size(); ++i)
    if (combos_[i] != nullptr) combos_[i]->SetValueText(FormatOptionValue(params_, keys_[i]));
}

void CDlgCodecSettings::TellOwner() {
  if (owner_ != nullptr && owner_->Handle() != 0) SendMessage(owner_->Handle(), WM_SETTINGS_CHANGED, 0, 0);
}

bool CDlgCodecSettings::OnValue(const OptionDesc& option, std::string& value, bool& takeBack, std::string& message) {
  if (!ValidateOptionValue(value, option, takeBack, message)) return false;
  const CodecDesc* codec = GetCodec();
  if (codec == nullptr) return false;
  StoreOptionValue(params_, option, value);
  ChangedOption changed{option.name, ReadParamValue(params_, option.name.c_str())};
  const std::string current = ParamListText(params_);
  RecomputeOptions(&changed, codec->options, codec->limits, current, params_);
  ShowValues();
  TellOwner();
  return true;
}

bool CDlgCodecSettings::CommitTyping() {
  QWidget* focus = focusWidget();
  for (COptionCombo* combo : combos_) {
    if (combo == nullptr || focus == nullptr || (focus != combo && !combo->isAncestorOf(focus))) continue;
    if (combo->lineEdit() != nullptr && combo->lineEdit()->isModified() && !combo->CommitEdit()) return false;
  }
  return true;
}

void CDlgCodecSettings::OnCodecChosen() {
  auto* combo = ItemAs<QComboBox>(codecComboId_);
  if (combo->currentIndex() < 0) return;
  SetCodec(combo->currentData().toInt(), ParamListText(params_));
  TellOwner();
}

void CDlgCodecSettings::OnAdvance() {
  const CodecDesc* codec = GetCodec();
  if (codec == nullptr) return;
  CAdvCodecSetup setup;
  setup.Attach(&codec->options, &codec->limits);
  const std::string text = ParamListText(params_);
  setup.SetParams(text.data(), static_cast<uint32_t>(text.size()));
  if (setup.Edit(this) != S_OK) return;
  std::string result;
  if (FAILED(ReadSetupParams(setup, result))) return;
  params_.ParseText(result.c_str());
  ShowValues();
}

bool CDlgCodecSettings::OnCommand(int id, int code) {
  if (id == codecComboId_) {
    if (code == CBN_SELCHANGE) OnCodecChosen();
    return true;
  }
  if (id == IDC_CODEC_ADVANCE) {
    OnAdvance();
    return true;
  }
  return UiDialog::OnCommand(id, code);
}

void CDlgCodecSettings::OnOK() {
  if (owner_ != nullptr) owner_->OnCommand(IDOK, BN_CLICKED);
}

void CDlgCodecSettings::OnCancel() {
  if (owner_ != nullptr) owner_->OnCommand(IDCANCEL, BN_CLICKED);
}

void CDlgCodecSettings::OnDestroy() {
  for (COptionCombo*& combo : combos_) {
    delete combo;
    combo = nullptr;
  }
}

CDlgAudioSettings::CDlgAudioSettings(QWidget* parent)
    : CDlgCodecSettings(AudioTemplate(), IDC_AUDIO_CODEC, {"SAMPLERATE", "CHANNEL", "BITRATE", "VOL"}, false, parent) {}

CDlgVideoSettings::CDlgVideoSettings(QWidget* parent)
    : CDlgCodecSettings(VideoTemplate(), IDC_VIDEO_CODEC, {"WIDTH", "HEIGHT", "BITRATE", "FRAMERATE"}, true, parent) {}

void CDlgVideoSettings::OnAdvance() {
  const CodecDesc* codec = GetCodec();
  if (codec == nullptr) return;
  if (!EqualsIgnoringCase(codec->encoder, kVp62Encoder)) {
    CDlgCodecSettings::OnAdvance();
    return;
  }
  CVfwCodecSetup vp6;
  if (vp6.Open(MakeFourcc('V', 'P', '6', '2'), true) != S_OK) {
    ShowMessageBox(this, "The VP6 codec can not be opened: " + vp6.OpenError(), nullptr, MB_ICONEXCLAMATION);
    return;
  }
  PutVp62Bitrate(vp6, static_cast<uint32_t>(params_.GetInt("BITRATE", 0)));
  if (vp6.Edit(this) != S_OK) return;
  const int32_t kbps = ReadVp62Bitrate(vp6);
  if (kbps >= 0)
    if (COptionCombo* bitrate = ComboFor("BITRATE")) bitrate->SetValueText(std::to_string(kbps));
}
