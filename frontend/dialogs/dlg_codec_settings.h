// The audio and video settings pages of the output-format dialog: the codecs
// the profile's muxer offers for one stream kind, and the codec's four main
// values in option combos. Each page keeps the codec's full parameter list
// (one value for every option); "Advance..." edits the other options. A value
// change is told to the owner with message 3031.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/param_list.h"
#include "frontend/model/profile_db.h"
#include "frontend/ui/ui_dialog.h"

class COptionCombo;
class CVfwCodecSetup;

constexpr int IDD_AUDIO_SETTINGS = 111;
constexpr int IDD_VIDEO_SETTINGS = 112;
constexpr int IDC_AUDIO_CODEC = 1110;
constexpr int IDC_VIDEO_CODEC = 1125;
constexpr int IDC_CODEC_ADVANCE = 1124;
// The placeholders the four combos take the places of, and their labels.
constexpr int IDC_PAGE_PLACE1 = 1112, IDC_PAGE_PLACE2 = 1116, IDC_PAGE_PLACE3 = 1120, IDC_PAGE_PLACE4 = 1122;
constexpr int IDC_PAGE_LABEL1 = 1114, IDC_PAGE_LABEL2 = 1118, IDC_PAGE_LABEL3 = 1121, IDC_PAGE_LABEL4 = 1123;
// The four combos.
constexpr int IDC_PAGE_VALUE_FIRST = 5001;

// Sent to the owner (wParam 0, lParam 0) whenever a value or the codec changes.
constexpr uint32_t WM_SETTINGS_CHANGED = 3031;

class CDlgCodecSettings : public UiDialog {
 public:
  ~CDlgCodecSettings() override;

  // With a list: offers its codecs (the list must outlive the page; it may
  // grow between calls) and selects the last whose file name is codecName
  // (else the first). Without: selects the first offered codec whose ENCODER
  // tag is codecName, and nothing happens when none is. The option text is
  // fitted to the selected codec.
  void SetCodecList(UiDialog* owner, const std::vector<CodecDesc>* list, const std::string& codecName,
                    const std::string& optionText);
  // Makes the codec current and rebuilds the parameter list from the option
  // text: every option gets the text's value fitted to it, the nearest LIMIT
  // combination or its DEFAULT.
  void SetCodec(int index, const std::string& optionText);

  // The current codec description; null before SetCodecList.
  const CodecDesc* GetCodec() const;
  CParamList& GetParamList() { return params_; }
  std::string ParamText();

  // The four main keys in combo order, and their combos (null before the first codec).
  const std::array<const char*, 4>& Keys() const { return keys_; }
  COptionCombo* ValueCombo(int i) const { return i >= 0 && i < 4 ? combos_[static_cast<size_t>(i)] : nullptr; }
  COptionCombo* ComboFor(const std::string& key) const;
  int CodecComboId() const { return codecComboId_; }

  // Checks a value still being typed into one of the four combos; false when
  // it was refused.
  bool CommitTyping();

  bool OnCommand(int id, int code) override;

 protected:
  CDlgCodecSettings(const DialogTemplate& tpl, int codecComboId, std::array<const char*, 4> keys, bool video,
                    QWidget* parent);

  // Enter and Esc belong to the owner's dialog.
  void OnOK() override;
  void OnCancel() override;
  void OnDestroy() override;

  // "Advance...": the generated settings dialog over the codec's options.
  virtual void OnAdvance();
  void ShowValues();
  void TellOwner();
  const CodecDesc* CodecAt(int index) const;

  UiDialog* owner_ = nullptr;
  const std::vector<CodecDesc>* list_ = nullptr;
  int current_ = -1;
  CParamList params_;

 private:
  void CreateCombos();
  bool OnValue(const OptionDesc& option, std::string& value, bool& takeBack, std::string& message);
  void OnCodecChosen();

  int codecComboId_;
  std::array<const char*, 4> keys_;
  bool video_;
  std::array<COptionCombo*, 4> combos_{};
};

class CDlgAudioSettings final : public CDlgCodecSettings {
 public:
  explicit CDlgAudioSettings(QWidget* parent = nullptr);
};

class CDlgVideoSettings final : public CDlgCodecSettings {
 public:
  explicit CDlgVideoSettings(QWidget* parent = nullptr);

 protected:
  // For the VP6 codec: its own configuration dialog, with the bit rate put
  // into its state first and shown from it after.
  void OnAdvance() override;
};

// The ENCODER tag of the VP6 codec, configured through its codec driver.
inline constexpr char kVp62Encoder[] = "[DS]VP62";

// The VP6 compressor's state: its bit rate (kbps) as an unsigned 16-bit value
// at byte 20, with byte 44 set to 1. Only a state of more than 1,000 bytes is
// touched. True when the state was written back.
bool PutVp62Bitrate(CVfwCodecSetup& codec, uint32_t kbps);
// The bit rate at byte 20 of the state; -1 when the state cannot be read or
// holds 1,000 bytes or less.
int32_t ReadVp62Bitrate(CVfwCodecSetup& codec);
