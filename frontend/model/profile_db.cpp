#include "frontend/model/profile_db.h"

#include <strings.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "frontend/model/ini_file.h"
#include "frontend/model/output_settings.h"
#include "frontend/model/profile_store.h"
#include "frontend/model/user_folders.h"
#include "frontend/model/whole_file.h"
#include "platform/program_folder.h"
#include "platform/text_case.h"

namespace {

// Counts read from description files beyond this are bad data, not lists.
constexpr int32_t kMaxListCount = 1000;
constexpr uint64_t kMaxDefaultsFileSize = 1u << 20;
constexpr int32_t kNodeNameCapacity = 255;
constexpr int32_t kSummaryCapacity = 1024;

std::mutex g_foldersMutex;
ProfileFolders* g_folders = nullptr;

std::string Cut(std::string s, size_t capacity) {
  if (capacity > 0 && s.size() > capacity - 1) s.resize(capacity - 1);
  return s;
}

std::string TreeFile(const std::string& node, const std::string& file) { return "tree/" + node + "/" + file; }

// Names in the program folder's and the user folder's copy of a folder, each once, sorted.
std::vector<std::string> ListBoth(const std::string& relativeFolder, bool folders) {
  const ProfileFolders& f = GetProfileFolders();
  std::vector<std::string> names = ListFolder(JoinPath(f.program, relativeFolder), folders);
  if (!f.user.empty()) {
    for (const std::string& n : ListFolder(JoinPath(f.user, relativeFolder), folders)) names.push_back(n);
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
  }
  return names;
}

double ParseDouble(const std::string& text) {
  const char* p = text.c_str();
  while (*p == ' ' || *p == '\t') ++p;
  if (*p == '+') ++p;
  double value = 0;
  std::from_chars(p, text.c_str() + text.size(), value);
  return value;
}

std::vector<OptionDesc> LoadOptionList(const std::string& path, int32_t count) {
  std::vector<OptionDesc> options;
  count = std::clamp(count, 0, kMaxListCount);
  for (int32_t i = 1; i <= count; ++i) {
    OptionDesc option;
    LoadOptionDesc(path, "OP" + std::to_string(i), option);
    options.push_back(std::move(option));
  }
  return options;
}

std::vector<std::string> LoadLimitList(const std::string& path) {
  std::vector<std::string> limits;
  const int32_t count = std::clamp(ReadProfileInt(path, "NUM", 0, "LIMIT"), 0, kMaxListCount);
  for (int32_t i = 1; i <= count; ++i)
    limits.push_back(ReadProfileText(path, ("L" + std::to_string(i)).c_str(), 1024, "LIMIT"));
  return limits;
}

int LoadCodecDesc(const char* folder, bool audio, const std::string& name, CodecDesc& desc) {
  desc = CodecDesc();
  const std::string relative = std::string(folder) + "/" + name + ".ini";
  const std::string path = ResolveProfileFile(relative);
  desc.name = Cut(name, 64);
  desc.shortName = ReadProfileText(path, "SHORTNAME", 64);
  desc.displayName = ReadProfileText(path, "DSPNAME", 64);
  desc.encoder = ReadProfileText(path, "ENCODER", 64);
  desc.enableAdv = ReadProfileInt(path, "ENABLEADV", 1);
  desc.vcc = ReadProfileText(path, "VCC", 64);
  desc.options = LoadOptionList(path, ReadProfileInt(path, "OPNUM", 0));
  desc.limits = LoadLimitList(path);
  if (audio && std::none_of(desc.options.begin(), desc.options.end(),
                            [](const OptionDesc& o) { return EqualsIgnoringCase(o.name, "VOL"); })) {
    OptionDesc volume;
    LoadOptionDesc(ResolveProfileFile("acodec/VOL.ini"), "VOL", volume);
    if (!volume.name.empty()) desc.options.push_back(std::move(volume));
  }
  return ProfileFileExists(relative) ? 1 : 0;
}

std::string ProfileFileText(const OutputProfile& p) {
  std::string text = "[CONFIG]\r\n";
  text += "DSPNAME=" + p.displayName + "\r\n";
  text += "MUXER=" + p.muxer + "\r\n";
  text += "ACODEC=" + p.audioCodec + "\r\n";
  text += "VCODEC=" + p.videoCodec + "\r\n";
  text += "EXT=" + p.ext + "\r\n";
  text += "QUALITY=" + std::to_string(p.quality) + "\r\n";
  text += "DESC=" + p.desc + "\r\n";
  text += "AOPTION=\"" + p.audioOptions + "\"\r\n";
  text += "VOPTION=\"" + p.videoOptions + "\"\r\n";
  text += "MOPTION=\"" + p.muxerOptions + "\"\r\n";
  return text;
}

bool HoldsLineBreak(const OutputProfile& p) {
  for (const std::string* s : {&p.displayName, &p.muxer, &p.audioCodec, &p.videoCodec, &p.ext, &p.desc, &p.audioOptions,
                               &p.videoOptions, &p.muxerOptions})
    if (s->find_first_of("\r\n") != std::string::npos) return true;
  return false;
}

// Reads of the defaults file that never run past its end: a read that would
// marks the stream failed and gives zeros from then on.
class CheckedReader final : public CDataStream {
 public:
  explicit CheckedReader(CDataWriter& in) : in_(in) {}
  bool Failed() const { return failed_; }

  // A text of the given capacity; one too long for it is skipped whole and reads empty.
  std::string Text(int32_t capacity) {
    std::string text(static_cast<size_t>(capacity), '\0');
    int32_t cap = capacity;
    if (ReadString(text.data(), &cap)) return std::string(text.c_str());
    if (failed_ || cap <= 0) return std::string();
    std::string skipped(static_cast<size_t>(cap), '\0');
    ReadString(skipped.data(), &cap);
    return std::string();
  }

  int32_t WriteInt32(int32_t) override { return 0; }
  int32_t WriteUInt32(uint32_t) override { return 0; }
  int32_t WriteInt64(int64_t) override { return 0; }
  int32_t WriteFloat(float) override { return 0; }
  int32_t WriteString(const char*) override { return 0; }
  int32_t WriteInt16(int16_t) override { return 0; }
  int32_t WriteUInt16(uint16_t) override { return 0; }
  int32_t WriteDouble(double) override { return 0; }
  int32_t WriteByte(uint8_t) override { return 0; }
  int32_t WriteBlob(const void*, int32_t) override { return 0; }

  int32_t ReadInt32() override { return Have(4) ? in_.ReadInt32() : 0; }
  double ReadDouble() override { return Have(8) ? in_.ReadDouble() : 0.0; }
  float ReadFloat() override { return Have(4) ? in_.ReadFloat() : 0.0f; }
  uint32_t ReadUInt32() override { return Have(4) ? in_.ReadUInt32() : 0; }
  int32_t ReadString(char* buffer, int32_t* capacity) override { return Counted(buffer, capacity, true); }
  int16_t ReadInt16() override { return Have(2) ? in_.ReadInt16() : 0; }
  uint16_t ReadUInt16() override { return Have(2) ? in_.ReadUInt16() : 0; }
  int64_t ReadInt64() override { return Have(8) ? in_.ReadInt64() : 0; }
  uint8_t ReadByte() override { return Have(1) ? in_.ReadByte() : 0; }
  int32_t ReadBlob(void* buffer, int32_t* capacity) override { return Counted(buffer, capacity, false); }
  int32_t BytesLeft() override { return failed_ ? 0 : in_.BytesLeft(); }

 private:
  bool Have(int32_t bytes) {
    if (!failed_ && in_.BytesLeft() < bytes) failed_ = true;
    return !failed_;
  }
  int32_t Counted(void* buffer, int32_t* capacity, bool text) {
    if (!capacity) return 0;
    if (!Have(4)) {
      *capacity = -1;
      if (text && buffer) static_cast<char*>(buffer)[0] = '\0';
      return 0;
    }
    const int32_t r = text ? in_.ReadString(static_cast<char*>(buffer), capacity) : in_.ReadBlob(buffer, capacity);
    if (r == 0 && *capacity < 0) failed_ = true;  // a length that is negative or runs past the end
    return r;
  }

  CDataWriter& in_;
  bool failed_ = false;
};

}  // namespace

// ---------------------------------------------------------------------------
// Folders

std::string UserDataFolder() { return CurrentUserFolders().data; }

ProfileFolders DefaultProfileFolders() { return ProfileFolders{ProgramFolder(), UserDataFolder()}; }

void SetProfileFolders(const ProfileFolders& folders) {
  std::lock_guard<std::mutex> lock(g_foldersMutex);
  if (!g_folders)
    g_folders = new ProfileFolders(folders);
  else
    *g_folders = folders;
}

const ProfileFolders& GetProfileFolders() {
  std::lock_guard<std::mutex> lock(g_foldersMutex);
  if (!g_folders) g_folders = new ProfileFolders(DefaultProfileFolders());
  return *g_folders;
}

std::string ResolveProfileFile(const std::string& relativePath) {
  const ProfileFolders& f = GetProfileFolders();
  if (!f.user.empty()) {
    const std::string user = JoinPath(f.user, relativePath);
    if (IsRegularFile(user)) return user;
  }
  return JoinPath(f.program, relativePath);
}

bool ProfileFileExists(const std::string& relativePath) {
  const ProfileFolders& f = GetProfileFolders();
  if (!f.user.empty() && IsRegularFile(JoinPath(f.user, relativePath))) return true;
  const std::string program = JoinPath(f.program, relativePath);
  if (IsRegularFile(program)) return true;
  const ProfileIniCache& cache = TheProfileIniCache();
  const std::string relative = cache.RelativePath(program.c_str());
  return !relative.empty() && cache.KnowsFile(relative);
}

// ---------------------------------------------------------------------------
// Ini reads

std::string ReadProfileText(const std::string& path, const char* key, uint32_t capacity, const char* section,
                            const char* def) {
  std::string buffer(capacity, '\0');
  const uint32_t n = CachedGetProfileString(section, key, def, buffer.data(), capacity, path.c_str());
  buffer.resize(n);
  return buffer;
}

int32_t ReadProfileInt(const std::string& path, const char* key, int32_t def, const char* section) {
  return CachedGetProfileInt(section, key, def, path.c_str());
}

// ---------------------------------------------------------------------------
// Tree

int LoadProfileNode(const std::string& folder, ProfileNode& node) {
  node = ProfileNode();
  if (folder.size() < 4 || folder.size() > 32) return 0;
  const char kind = folder[0];
  if (kind != 'A' && kind != 'V' && kind != 'C') return 0;
  // The number: the digits from the third character on; a name without them is not a node.
  int64_t number = 0;
  size_t i = 2;
  for (; i < folder.size() && folder[i] >= '0' && folder[i] <= '9'; ++i) {
    number = number * 10 + (folder[i] - '0');
    if (number > INT32_MAX) return 0;
  }
  if (i == 2) return 0;
  const std::string path = ResolveProfileFile(TreeFile(folder, "info.ini"));
  node.displayName = ReadProfileText(path, "DSPNAME", 64);
  if (node.displayName.empty()) return 0;
  node.kind = kind;
  node.folder = folder;
  node.number = static_cast<int32_t>(number);
  node.parentId = ReadProfileInt(path, "PARENTID", -1);
  node.infoText = ReadProfileText(path, "INFOTXT", 128);
  return 1;
}

void EnumProfileNodes(std::vector<ProfileNode>& list) {
  list.clear();
  for (const std::string& folder : ListBoth("tree", true)) {
    ProfileNode node;
    if (LoadProfileNode(folder, node)) list.push_back(std::move(node));
  }
  std::stable_sort(list.begin(), list.end(),
                   [](const ProfileNode& a, const ProfileNode& b) { return a.number < b.number; });
}

int LoadOutputProfile(const std::string& nodeFolder, const std::string& fileName, OutputProfile& profile) {
  profile = OutputProfile();
  const int32_t number = ParseIniInt(fileName);
  if (strcasecmp(fileName.c_str(), (std::to_string(number) + ".ini").c_str()) != 0) return 0;
  const std::string path = ResolveProfileFile(TreeFile(nodeFolder, fileName));
  profile.displayName = ReadProfileText(path, "DSPNAME", 64);
  if (profile.displayName.empty()) return 0;
  profile.muxer = ReadProfileText(path, "MUXER", 64);
  profile.audioCodec = ReadProfileText(path, "ACODEC", 64);
  profile.videoCodec = ReadProfileText(path, "VCODEC", 64);
  profile.ext = ReadProfileText(path, "EXT", 32);
  profile.desc = ReadProfileText(path, "DESC", 256);
  profile.quality = ReadProfileInt(path, "QUALITY", 0);
  profile.audioOptions = ReadProfileText(path, "AOPTION", 1024);
  profile.videoOptions = ReadProfileText(path, "VOPTION", 1024);
  profile.muxerOptions = ReadProfileText(path, "MOPTION", 1024);
  profile.number = number;
  profile.parentId = ReadProfileInt(path, "PARENTID", 0);
  return 1;
}

void EnumNodeProfiles(const std::string& nodeFolder, std::vector<OutputProfile>& list) {
  list.clear();
  for (const std::string& file : ListBoth("tree/" + nodeFolder, false)) {
    OutputProfile profile;
    if (LoadOutputProfile(nodeFolder, file, profile)) list.push_back(std::move(profile));
  }
  std::stable_sort(list.begin(), list.end(),
                   [](const OutputProfile& a, const OutputProfile& b) { return a.number < b.number; });
}

// ---------------------------------------------------------------------------
// Descriptions

std::vector<std::string> SplitCommaList(const std::string& text) {
  std::vector<std::string> pieces;
  if (text.empty()) return pieces;
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    pieces.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return pieces;
}

void ParseWordList(const std::string& text, std::vector<WordEntry>& list) {
  list.clear();
  for (const std::string& entry : SplitCommaList(text)) {
    const size_t slash = entry.find('/');
    WordEntry word;
    if (slash == std::string::npos) {
      word.word = Cut(entry, 64);
    } else {
      word.value = Cut(entry.substr(0, slash), 64);
      word.word = Cut(entry.substr(slash + 1), 64);
    }
    list.push_back(std::move(word));
  }
}

void LoadOptionDesc(const std::string& iniPath, const std::string& section, OptionDesc& desc) {
  desc = OptionDesc();
  const char* s = section.c_str();
  desc.name = ReadProfileText(iniPath, "NAME", 64, s);
  desc.displayName = ReadProfileText(iniPath, "DSPNAME", 64, s);
  const std::string type = ReadProfileText(iniPath, "TYPE", 64, s);
  desc.type = EqualsIgnoringCase(type, "INT")     ? kOptionInt
              : EqualsIgnoringCase(type, "FLOAT") ? kOptionFloat
                                                  : kOptionText;
  desc.valueText = ReadProfileText(iniPath, "VALUELIST", 4000, s);
  desc.values = SplitCommaList(desc.valueText);
  desc.enable = ReadProfileInt(iniPath, "ENABLE", 1, s);
  desc.editable = ReadProfileInt(iniPath, "EDITABLE", 0, s);
  const std::string minText = ReadProfileText(iniPath, "MIN", 64, s);
  const std::string maxText = ReadProfileText(iniPath, "MAX", 64, s);
  if (desc.type == kOptionFloat) {
    if (!minText.empty()) desc.minDouble = ParseDouble(minText);
    if (!maxText.empty()) desc.maxDouble = ParseDouble(maxText);
    desc.minInt = static_cast<int32_t>(std::clamp(desc.minDouble, -2147483648.0, 2147483647.0));
    desc.maxInt = static_cast<int32_t>(std::clamp(desc.maxDouble, -2147483648.0, 2147483647.0));
  } else {
    if (!minText.empty()) desc.minInt = ParseIniInt(minText);
    if (!maxText.empty()) desc.maxInt = ParseIniInt(maxText);
    desc.minDouble = desc.minInt;
    desc.maxDouble = desc.maxInt;
  }
  ParseWordList(ReadProfileText(iniPath, "WORDLIST", 1000, s), desc.words);
  desc.unit = ReadProfileText(iniPath, "UNIT", 64, s);
  desc.div = ReadProfileInt(iniPath, "DIV", 1, s);
  desc.visible = ReadProfileInt(iniPath, "VISIBLE", 1, s);
  desc.defaultValue = ReadProfileText(iniPath, "DEFAULT", 120, s);
  desc.param = ReadProfileInt(iniPath, "PARAM", 0, s);
}

void LoadFourccOption(const std::string& iniPath, const std::string& section, OptionDesc& desc) {
  desc = OptionDesc();
  desc.name = "FCC";
  desc.displayName = "FOURCC";
  desc.type = kOptionText;
  desc.valueText = ReadProfileText(iniPath, "FCC", 4000, section.c_str());
  desc.values = SplitCommaList(desc.valueText);
  desc.defaultValue = desc.values.empty() ? std::string() : Cut(desc.values.front(), 120);
}

int LoadAudioCodecDesc(const std::string& name, CodecDesc& desc) { return LoadCodecDesc("acodec", true, name, desc); }

int LoadVideoCodecDesc(const std::string& name, CodecDesc& desc) { return LoadCodecDesc("vcodec", false, name, desc); }

int LoadMuxerDesc(const std::string& name, MuxerDesc& desc) {
  desc = MuxerDesc();
  const std::string path = ResolveProfileFile("muxer/" + name + ".ini");
  desc.name = Cut(name, 64);
  desc.displayName = ReadProfileText(path, "DSPNAME", 64);
  desc.vcc = ReadProfileText(path, "VCC", 64);
  desc.muxer = ReadProfileText(path, "MUXER", 64);
  const int32_t audioCount = std::clamp(ReadProfileInt(path, "ACODEC", 0), 0, kMaxListCount);
  const int32_t videoCount = std::clamp(ReadProfileInt(path, "VCODEC", 0), 0, kMaxListCount);
  const int32_t optionCount = ReadProfileInt(path, "OPNUM", 0);
  const int32_t codeCount = std::clamp(ReadProfileInt(path, "CODECNUM", 0), 0, kMaxListCount);
  for (int32_t i = 1; i <= codeCount && desc.codes.size() < kMaxMuxerCodes; ++i)
    desc.codes.push_back(ParseFourCC(ReadProfileText(path, ("CODEC" + std::to_string(i)).c_str(), 64, "CODEC")));
  const auto loadCodecs = [&](char letter, int32_t count, std::vector<CodecDesc>& list) {
    for (int32_t i = 1; i <= count; ++i) {
      const std::string section = letter + std::to_string(i);
      const std::string codec = ReadProfileText(path, "NAME", 64, section.c_str());
      if (codec.empty()) continue;
      CodecDesc desc;
      if (letter == 'A')
        LoadAudioCodecDesc(codec, desc);
      else
        LoadVideoCodecDesc(codec, desc);
      if (!ReadProfileText(path, "FCC", 4000, section.c_str()).empty()) {
        OptionDesc fcc;
        LoadFourccOption(path, section, fcc);
        desc.options.push_back(std::move(fcc));
      }
      list.push_back(std::move(desc));
    }
  };
  loadCodecs('A', audioCount, desc.audioCodecs);
  loadCodecs('V', videoCount, desc.videoCodecs);
  desc.options = LoadOptionList(path, optionCount);
  return static_cast<int>(desc.options.size());
}

int LoadFilterDesc(const std::string& path, FilterDesc& desc) {
  desc = FilterDesc();
  desc.name = ReadProfileText(path, "NAME", 64);
  desc.displayName = ReadProfileText(path, "DSPNAME", 64);
  desc.tip = ReadProfileText(path, "TIP", 512);
  desc.enableAdv = ReadProfileInt(path, "ENABLEADV", 1);
  desc.changeSize = ReadProfileInt(path, "CHANGESIZE", 0);
  desc.changeFps = ReadProfileInt(path, "CHANGEFPS", 0);
  desc.option = ReadProfileText(path, "OPTION", 1024);
  desc.options = LoadOptionList(path, ReadProfileInt(path, "OPNUM", 0));
  desc.limits = LoadLimitList(path);
  return desc.name.empty() ? 0 : 1;
}

void LoadFilterDescs(int audio, std::vector<FilterDesc>& list) {
  list.clear();
  const std::string folder = audio ? "filter/audio" : "filter/video";
  for (const std::string& file : ListBoth(folder, false)) {
    FilterDesc desc;
    if (LoadFilterDesc(ResolveProfileFile(folder + "/" + file), desc)) list.push_back(std::move(desc));
  }
}

// ---------------------------------------------------------------------------
// Writing profiles

int FormatProfileText(const std::string& path, const OutputProfile& profile) {
  if (HoldsLineBreak(profile)) return 0;
  return WriteWholeFile(path, ProfileFileText(profile), true) ? 1 : 0;
}

std::string UserProfilePath(const std::string& nodeFolder, int32_t number) {
  const ProfileFolders& f = GetProfileFolders();
  return JoinPath(f.user.empty() ? f.program : f.user, TreeFile(nodeFolder, std::to_string(number) + ".ini"));
}

int SaveCustomProfile(int audio, int32_t number, const std::string& displayName, const OutputProfile& profile) {
  OutputProfile custom = profile;
  custom.displayName = displayName;
  custom.quality = 0;
  custom.desc = "Custom format " + profile.muxer + "[" + profile.videoCodec + "/" + profile.audioCodec + "]";
  return FormatProfileText(UserProfilePath(audio ? kCustomAudioNode : kCustomVideoNode, number), custom);
}

void FindFreeProfileNumber(int32_t& videoNumber, int32_t& audioNumber) {
  const auto lowestFree = [](const char* node) {
    int32_t n = 1;
    while (ProfileFileExists(TreeFile(node, std::to_string(n) + ".ini"))) ++n;
    return n;
  };
  videoNumber = lowestFree(kCustomVideoNode);
  audioNumber = lowestFree(kCustomAudioNode);
}

// ---------------------------------------------------------------------------
// Defaults file

bool MakeDefaultSettingsBytes(const std::string& nodeFolder, int32_t number, const std::string& summary,
                              IDataRecord& settings, std::string* bytes) {
  if (nodeFolder.size() >= kNodeNameCapacity || summary.size() >= kSummaryCapacity) return false;
  CDataSizer sizer;
  sizer.WriteString(nodeFolder.c_str());
  sizer.WriteInt32(number);
  sizer.WriteString(summary.c_str());
  settings.Write(sizer);
  bytes->assign(static_cast<size_t>(sizer.GetSize()), '\0');
  CDataWriter writer;
  writer.Attach(bytes->data(), static_cast<int32_t>(bytes->size()));
  writer.WriteString(nodeFolder.c_str());
  writer.WriteInt32(number);
  writer.WriteString(summary.c_str());
  settings.Write(writer);
  return writer.GetWritePos() == writer.GetBufferSize();
}

int SaveDefaultSettings(const std::string& nodeFolder, int32_t number, const std::string& summary,
                        IDataRecord& settings) {
  std::string bytes;
  if (!MakeDefaultSettingsBytes(nodeFolder, number, summary, settings, &bytes)) return 0;
  const ProfileFolders& f = GetProfileFolders();
  const std::string path =
      JoinPath(f.user.empty() ? f.program : f.user, std::string("default_") + kDefaultsVersion + ".cfg");
  return WriteWholeFile(path, bytes, true) ? 1 : 0;
}

int LoadDefaultSettings(std::string& nodeFolder, int32_t& number, std::string& summary, IDataRecord& settings,
                        std::string* from) {
  const ProfileFolders& f = GetProfileFolders();
  std::vector<std::string> candidates;
  if (!f.user.empty()) candidates.push_back(JoinPath(f.user, std::string("default_") + kDefaultsVersion + ".cfg"));
  candidates.push_back(JoinPath(f.program, "default.cfg"));
  for (const std::string& path : candidates) {
    std::string bytes;
    if (!ReadWholeFile(path, &bytes, kMaxDefaultsFileSize)) continue;
    CDataWriter data;
    data.Attach(bytes.data(), static_cast<int32_t>(bytes.size()));
    CheckedReader reader(data);
    nodeFolder = reader.Text(kNodeNameCapacity);
    number = reader.ReadInt32();
    summary = reader.Text(kSummaryCapacity);
    settings.Read(reader);
    if (reader.Failed()) continue;
    if (from) *from = path;
    return 1;
  }
  nodeFolder.clear();
  number = 1;
  summary.clear();
  if (from) from->clear();
  return 0;
}
