// The output-profile database: the profile tree ("tree/<node>/info.ini" and
// numbered profiles "tree/<node>/<n>.ini"), the codec, muxer and filter
// descriptions ("acodec/", "vcodec/", "muxer/", "filter/video/",
// "filter/audio/"), custom profiles and the output defaults file.
//
// The shipped files live in the program folder and are read through the
// profile ini cache (so the packed store can answer for them). Files written at
// run time (custom profiles, edited profiles, the defaults) go to the per-user
// data folder, which overlays the program folder: a file there is read instead
// of the shipped one of the same relative path, and its folders add to the tree.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/data_stream.h"

struct ProfileFolders {
  std::string program;  // shipped files
  std::string user;     // per-user overlay, written at run time; empty for none
};

// The running program's folder and the per-user data folder.
ProfileFolders DefaultProfileFolders();
// The folders every operation below uses (DefaultProfileFolders until set).
void SetProfileFolders(const ProfileFolders& folders);
const ProfileFolders& GetProfileFolders();

// The per-user data folder (frontend/model/user_folders.h). Not created here.
std::string UserDataFolder();

// Where a relative file is read from: the user folder's copy when it is a
// regular file, else the program folder's path.
std::string ResolveProfileFile(const std::string& relativePath);
// Whether the relative file exists in the user folder, on disk in the program
// folder, or in the loaded packed store.
bool ProfileFileExists(const std::string& relativePath);

constexpr char kCustomVideoNode[] = "C_91_VIDEO";
constexpr char kCustomAudioNode[] = "C_92_AUDIO";
constexpr char kDefaultsVersion[] = "2_0_0_0";

struct ProfileNode {
  char kind = 0;            // 'A' audio, 'V' video, 'C' custom
  std::string displayName;  // DSPNAME (63)
  std::string folder;       // node folder name (4..32 characters)
  int32_t number = 0;       // from the folder name's third character on
  int32_t parentId = -1;    // PARENTID, -1 for a root
  std::string infoText;     // INFOTXT (127)
};

struct OutputProfile {
  std::string displayName;   // DSPNAME (63)
  std::string muxer;         // MUXER: muxer description name (63)
  std::string audioCodec;    // ACODEC: audio codec description name (63)
  std::string videoCodec;    // VCODEC (63)
  std::string ext;           // EXT (31); a leading '@' makes it a name prefix
  std::string desc;          // DESC (255)
  int32_t quality = 0;       // QUALITY
  std::string audioOptions;  // AOPTION, parameter text (1023)
  std::string videoOptions;  // VOPTION (1023)
  std::string muxerOptions;  // MOPTION (1023)
  int32_t number = 0;        // from the file name
  int32_t parentId = 0;      // PARENTID
};

struct WordEntry {
  std::string value;  // up to 63 characters
  std::string word;   // up to 63 characters
};

enum OptionType : int32_t { kOptionInt = 0, kOptionFloat = 1, kOptionText = 2 };

// One adjustable parameter of a codec, muxer or filter description ("OP%d").
struct OptionDesc {
  std::string name;         // NAME: the parameter key (63)
  std::string displayName;  // DSPNAME (63)
  int32_t type = kOptionText;
  std::string valueText;            // VALUELIST (3999)
  std::vector<std::string> values;  // VALUELIST split at ','
  int32_t enable = 1;
  int32_t editable = 0;
  int32_t minInt = INT32_MIN;
  int32_t maxInt = INT32_MAX;
  double minDouble = -2147483648.0;
  double maxDouble = 2147483647.0;
  std::vector<WordEntry> words;  // WORDLIST (999)
  std::string unit;              // UNIT (63)
  int32_t div = 1;
  int32_t visible = 1;
  std::string defaultValue;  // DEFAULT (119)
  int32_t param = 0;

  void CopyFrom(const OptionDesc& other) { *this = other; }
};

struct CodecDesc {
  std::string name;         // file name without ".ini"
  std::string shortName;    // SHORTNAME (63)
  std::string displayName;  // DSPNAME (63)
  std::string encoder;      // ENCODER: the engine's coder tag (63)
  int32_t enableAdv = 1;    // ENABLEADV
  std::string vcc;          // VCC (63)
  std::vector<OptionDesc> options;
  std::vector<std::string> limits;  // [LIMIT] L1..L<NUM>, parameter texts (1023)
};

constexpr size_t kMaxMuxerCodes = 64;

struct MuxerDesc {
  std::string name;         // file name without ".ini"
  std::string displayName;  // DSPNAME (63)
  std::string vcc;          // VCC (63)
  std::string muxer;        // MUXER: the engine's writer tag (63)
  std::vector<CodecDesc> audioCodecs;
  std::vector<CodecDesc> videoCodecs;
  std::vector<uint32_t> codes;  // [CODEC] CODEC1..CODEC<CODECNUM>, at most 64
  std::vector<OptionDesc> options;
};

struct FilterDesc {
  std::string name;         // NAME: the filter key, e.g. "VRESIZE" (63)
  std::string displayName;  // DSPNAME (63)
  std::string tip;          // TIP (511)
  int32_t enableAdv = 1;
  int32_t changeSize = 0;
  int32_t changeFps = 0;
  std::string option;  // OPTION: default parameter text (1023)
  std::vector<OptionDesc> options;
  std::vector<std::string> limits;
};

// Ini reads of the database: through the profile ini cache, section "CONFIG"
// unless given; texts cut to capacity - 1 characters.
std::string ReadProfileText(const std::string& path, const char* key, uint32_t capacity, const char* section = "CONFIG",
                            const char* def = "");
int32_t ReadProfileInt(const std::string& path, const char* key, int32_t def, const char* section = "CONFIG");

// Every node of the tree, sorted by number (stable: equal numbers keep the
// order of the folder names).
void EnumProfileNodes(std::vector<ProfileNode>& list);
// 1 and the node when the folder is a node: a name of 4 to 32 characters whose
// first is 'A', 'V' or 'C' and whose third on is a number, with a DSPNAME.
int LoadProfileNode(const std::string& folder, ProfileNode& node);
// The profiles of a node, sorted by number the same way.
void EnumNodeProfiles(const std::string& nodeFolder, std::vector<OutputProfile>& list);
// 1 and the profile when the file is one: named exactly "%d.ini" of its own
// number (ignoring case) and with a DSPNAME.
int LoadOutputProfile(const std::string& nodeFolder, const std::string& fileName, OutputProfile& profile);

// Codec descriptions by name; 1 when the description file exists, else 0 (the
// record then holds the defaults). An audio codec without a "VOL" option gets
// the "VOL" section of acodec/VOL.ini.
int LoadAudioCodecDesc(const std::string& name, CodecDesc& desc);
int LoadVideoCodecDesc(const std::string& name, CodecDesc& desc);
// The muxer description with its codec descriptions; the number of muxer options.
int LoadMuxerDesc(const std::string& name, MuxerDesc& desc);
// Every file of filter/audio (audio non-zero) or filter/video, in name order.
void LoadFilterDescs(int audio, std::vector<FilterDesc>& list);
int LoadFilterDesc(const std::string& path, FilterDesc& desc);

void LoadOptionDesc(const std::string& iniPath, const std::string& section, OptionDesc& desc);
// The "FCC" option that a muxer's codec section adds from its FCC key.
void LoadFourccOption(const std::string& iniPath, const std::string& section, OptionDesc& desc);
// "v/word,word2": (v, word), ("", word2); values and words cut to 63 characters.
void ParseWordList(const std::string& text, std::vector<WordEntry>& list);
// Pieces of text cut at each ',' (no trimming); an empty text gives none.
std::vector<std::string> SplitCommaList(const std::string& text);

// Writes a profile file ("[CONFIG]" and its keys, CR LF lines, the three
// parameter texts in double quotes), whole or not at all. 1 written, 0 not.
int FormatProfileText(const std::string& path, const OutputProfile& profile);
// The per-user path a profile of the node is saved to.
std::string UserProfilePath(const std::string& nodeFolder, int32_t number);
// Saves a custom profile as number in C_92_AUDIO (audio non-zero) or
// C_91_VIDEO of the user folder. 1 / 0.
int SaveCustomProfile(int audio, int32_t number, const std::string& displayName, const OutputProfile& profile);
// The lowest numbers from 1 that neither folder holds in C_91_VIDEO / C_92_AUDIO.
void FindFreeProfileNumber(int32_t& videoNumber, int32_t& audioNumber);

// The defaults file "default_2_0_0_0.cfg" in the user folder: node folder name,
// profile number, summary line and the output settings' stream form. Texts that
// could not be read back (node 255 characters or more, summary 1024 or more) are
// refused. 1 written, 0 not.
int SaveDefaultSettings(const std::string& nodeFolder, int32_t number, const std::string& summary,
                        IDataRecord& settings);
// The defaults file's bytes (sized, then written, in one buffer); false when a
// text could not be read back.
bool MakeDefaultSettingsBytes(const std::string& nodeFolder, int32_t number, const std::string& summary,
                              IDataRecord& settings, std::string* bytes);
// Reads the user folder's defaults file, or, when it is missing or cannot be
// read whole, the program folder's "default.cfg". 1 when one was read (from
// says which), else 0 with an empty node, profile 1 and an empty summary (the
// settings may then hold part of a damaged file).
int LoadDefaultSettings(std::string& nodeFolder, int32_t& number, std::string& summary, IDataRecord& settings,
                        std::string* from = nullptr);
