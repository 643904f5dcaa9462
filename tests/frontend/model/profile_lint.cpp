#include "tests/frontend/model/profile_lint.h"

#include <strings.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <set>

#include "common/codec_tables.h"
#include "common/param_list.h"
#include "frontend/model/ini_file.h"
#include "frontend/model/output_settings.h"
#include "frontend/model/profile_settings.h"
#include "frontend/model/profile_store.h"
#include "frontend/model/whole_file.h"

namespace {

bool Same(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

bool ParseInt(const std::string& text, int64_t* value) {
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, *value);
  return ec == std::errc() && p == end && !text.empty();
}

bool ParseNumber(const std::string& text, double* value) {
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, *value);
  return ec == std::errc() && p == end && !text.empty();
}

enum class TagKind { kWriter, kAudioEncoder, kVideoEncoder, kAudioFilter, kVideoFilter };

const char* KindName(TagKind kind) {
  switch (kind) {
    case TagKind::kWriter:
      return "writer";
    case TagKind::kAudioEncoder:
      return "audio encoder";
    case TagKind::kVideoEncoder:
      return "video encoder";
    case TagKind::kAudioFilter:
      return "audio filter";
    case TagKind::kVideoFilter:
      return "video filter";
  }
  return "?";
}

class Linter {
 public:
  Linter(CModuleRegistry& registry, const std::map<std::string, std::string>& unavailable)
      : registry_(registry), unavailable_(unavailable) {}

  LintReport Run(const std::string& folder);

 private:
  void Problem(const std::string& where, const std::string& what) { report_.problems.push_back(where + ": " + what); }

  // "" when the engine can build the tag; else why not.
  std::string TagMissing(TagKind kind, const std::string& tag);
  // Checks a tag for a file: a missing tag is a problem unless the file is listed unavailable.
  void CheckTag(const std::string& file, TagKind kind, const std::string& tag);

  bool Fits(const OptionDesc& o, CParamList& list, const char* key, std::string* why);
  void CheckOption(const std::string& where, const OptionDesc& o);
  // Every key of the text names an option and fits it.
  void CheckText(const std::string& where, const std::string& text, const std::vector<OptionDesc>& options);
  void CheckCodec(const std::string& file, bool audio, const CodecDesc& codec);
  void CheckMuxer(const std::string& name);
  void CheckNodes(const std::string& folder);
  void CheckProfile(const ProfileNode& node, const OutputProfile& p, const std::set<int32_t>& numbers);
  void CheckFilters();
  void CheckDefaults();

  CModuleRegistry& registry_;
  const std::map<std::string, std::string>& unavailable_;
  LintReport report_;
  std::set<std::string> engineMissing_;  // files with a tag the engine cannot build
  std::map<std::string, MuxerDesc> muxers_;
};

std::string Linter::TagMissing(TagKind kind, const std::string& tag) {
  IMediaModule* module = nullptr;
  bool found = false;
  switch (kind) {
    case TagKind::kWriter:
      found = registry_.writers.FindByTag(tag.c_str()) != nullptr;
      if (found) module = registry_.writers.CreateByTag(tag.c_str());
      break;
    case TagKind::kAudioEncoder:
    case TagKind::kVideoEncoder:
    case TagKind::kAudioFilter:
    case TagKind::kVideoFilter: {
      const CCoderList& list = kind == TagKind::kAudioEncoder   ? registry_.audioEncoders
                               : kind == TagKind::kVideoEncoder ? registry_.videoEncoders
                               : kind == TagKind::kAudioFilter  ? registry_.audioFilters
                                                                : registry_.videoFilters;
      found = list.FindByName(tag.c_str()) != nullptr;
      if (found) module = list.CreateByName(tag.c_str());
      break;
    }
  }
  if (!found) return std::string(KindName(kind)) + " \"" + tag + "\" is not in the engine's registry";
  if (!module)
    return std::string(KindName(kind)) + " \"" + tag + "\" is in the engine's registry but this build cannot create it";
  module->Release();
  return "";
}

void Linter::CheckTag(const std::string& file, TagKind kind, const std::string& tag) {
  const std::string why = TagMissing(kind, tag);
  if (why.empty()) return;
  engineMissing_.insert(file);
  const auto listed = unavailable_.find(file);
  if (listed == unavailable_.end())
    Problem(file, why + " (list the file in unavailable.txt with a reason, or name a tag the engine has)");
  else
    report_.notes.push_back(file + ": unavailable: " + listed->second + " [" + why + "]");
}

bool Linter::Fits(const OptionDesc& o, CParamList& list, const char* key, std::string* why) {
  const int32_t type = list.GetType(key);
  const int32_t wanted = o.type == kOptionInt     ? PARAM_TYPE_INT
                         : o.type == kOptionFloat ? PARAM_TYPE_DOUBLE
                                                  : PARAM_TYPE_STRING;
  if (type != wanted) {
    *why = "is stored as type " + std::to_string(type) + ", its option wants type " + std::to_string(wanted) +
           " (an integer, F<number> or a quoted text)";
    return false;
  }
  if (o.type == kOptionInt) {
    const int64_t v = list.GetInt(key, 0);
    if (o.editable) {
      if (v == 0 && (o.name == "WIDTH" || o.name == "HEIGHT")) return true;
      if (v < o.minInt || v > o.maxInt) {
        *why = std::to_string(v) + " is outside " + std::to_string(o.minInt) + ".." + std::to_string(o.maxInt);
        return false;
      }
      if (o.div > 1 && v % o.div != 0) {
        *why = std::to_string(v) + " is not a multiple of " + std::to_string(o.div);
        return false;
      }
      return true;
    }
    for (const std::string& s : o.values) {
      int64_t e;
      if (ParseInt(s, &e) && e == v) return true;
    }
    *why = std::to_string(v) + " is not one of " + o.valueText;
    return false;
  }
  if (o.type == kOptionFloat) {
    const double v = list.GetDouble(key, 0);
    if (o.editable) {
      if (v < o.minDouble || v > o.maxDouble) {
        *why = std::to_string(v) + " is outside the option's range";
        return false;
      }
      return true;
    }
    for (const std::string& s : o.values) {
      double e;
      if (ParseNumber(s, &e) && std::fabs(e - v) <= 0.0001) return true;
    }
    *why = std::to_string(v) + " is not one of " + o.valueText;
    return false;
  }
  const std::string v = list.GetStringPtr(key);
  if (o.editable) {
    if (static_cast<int64_t>(v.size()) > o.maxInt) {
      *why = "\"" + v + "\" is longer than " + std::to_string(o.maxInt);
      return false;
    }
    return true;
  }
  for (const std::string& s : o.values)
    if (s == v) return true;
  *why = "\"" + v + "\" is not one of " + o.valueText;
  return false;
}

void Linter::CheckOption(const std::string& where0, const OptionDesc& o) {
  const std::string where = where0 + " option " + (o.name.empty() ? "(no NAME)" : o.name);
  if (o.name.empty()) return Problem(where, "has no NAME");
  if (o.visible && o.displayName.empty()) Problem(where, "is visible but has no DSPNAME");
  if (o.div < 1) Problem(where, "DIV is below 1");
  if (o.minInt > o.maxInt || o.minDouble > o.maxDouble) Problem(where, "MIN is above MAX");
  if (!o.editable && o.values.empty()) Problem(where, "is not editable and has no VALUELIST");
  // Every listed value, and the default, must fit the option itself.
  std::vector<std::string> candidates = o.values;
  candidates.push_back(o.defaultValue);
  for (size_t i = 0; i < candidates.size(); ++i) {
    const std::string& text = candidates[i];
    const bool isDefault = i + 1 == candidates.size();
    const std::string what = isDefault ? "DEFAULT \"" + text + "\"" : "VALUELIST entry \"" + text + "\"";
    CParamList one;
    if (o.type == kOptionInt) {
      int64_t v;
      if (!ParseInt(text, &v) || v < INT32_MIN || v > INT32_MAX) {
        Problem(where, what + " is not an integer");
        continue;
      }
      one.SetInt(o.name.c_str(), static_cast<int32_t>(v));
    } else if (o.type == kOptionFloat) {
      double v;
      if (!ParseNumber(text, &v)) {
        Problem(where, what + " is not a number");
        continue;
      }
      one.SetDouble(o.name.c_str(), v);
    } else {
      one.SetString(o.name.c_str(), text.c_str());
    }
    std::string why;
    if (o.editable || isDefault) {
      if (!Fits(o, one, o.name.c_str(), &why)) Problem(where, what + ": " + why);
    } else if (o.type == kOptionInt &&
               (one.GetInt(o.name.c_str(), 0) < o.minInt || one.GetInt(o.name.c_str(), 0) > o.maxInt)) {
      Problem(where, what + " is outside MIN..MAX");
    }
  }
  for (const WordEntry& w : o.words) {
    if (w.value.empty()) continue;
    bool listed = false;
    for (const std::string& s : o.values) listed = listed || s == w.value;
    if (!listed) Problem(where, "WORDLIST value \"" + w.value + "\" is not in VALUELIST");
  }
}

void Linter::CheckText(const std::string& where, const std::string& text, const std::vector<OptionDesc>& options) {
  CParamList list;
  list.ParseText(text.c_str());
  for (POSITION pos = list.GetHeadPosition(); pos; pos = list.GetNext(pos)) {
    char key[256];
    int32_t type = 0;
    if (list.GetAt(pos, key, sizeof(key), &type) >= static_cast<int32_t>(sizeof(key))) continue;
    const OptionDesc* option = nullptr;
    for (const OptionDesc& o : options)
      if (Same(o.name, key)) option = &o;
    if (!option) {
      Problem(where, std::string("\"") + key + "\" names no option of the description");
      continue;
    }
    std::string why;
    if (!Fits(*option, list, key, &why)) Problem(where, std::string("\"") + key + "\" " + why);
  }
}

void Linter::CheckCodec(const std::string& file, bool audio, const CodecDesc& c) {
  if (c.shortName.empty() || c.displayName.empty() || c.encoder.empty())
    Problem(file, "needs SHORTNAME, DSPNAME and ENCODER");
  std::set<std::string> names;
  for (const OptionDesc& o : c.options) {
    CheckOption(file, o);
    std::string upper = o.name;
    for (char& ch : upper) ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
    if (!names.insert(upper).second) Problem(file, "option " + o.name + " is described twice");
  }
  const auto option = [&](const char* name) -> const OptionDesc* {
    for (const OptionDesc& o : c.options)
      if (Same(o.name, name)) return &o;
    return nullptr;
  };
  const bool copy = Same(c.encoder, "COPY") || Same(c.encoder, "NONE");
  const char* rawKey = audio ? "ARAWFCC" : "VRAWFCC";
  const OptionDesc* raw = option(rawKey);
  if (!copy) {
    // The keys the settings pages and the job building read, with the types they read them as.
    const std::vector<std::pair<const char*, int32_t>> keys =
        audio
            ? std::vector<std::pair<const char*, int32_t>>{{"SAMPLERATE", kOptionInt},
                                                           {"CHANNEL", kOptionInt},
                                                           {"BITRATE", kOptionFloat},
                                                           {"VOL", kOptionInt}}
            : std::vector<std::pair<const char*, int32_t>>{
                  {"WIDTH", kOptionInt}, {"HEIGHT", kOptionInt}, {"BITRATE", kOptionInt}, {"FRAMERATE", kOptionFloat}};
    for (const auto& [key, type] : keys) {
      const OptionDesc* o = option(key);
      const bool optional = std::strcmp(key, "BITRATE") == 0 && audio;  // lossless and raw audio have none
      if (!o && !optional) Problem(file, std::string("has no ") + key + " option");
      if (o && o->type != type) Problem(file, std::string("option ") + key + " has the wrong TYPE");
    }
    if (c.vcc.empty() || !TheVfccTable().FindByCode(static_cast<int32_t>(ParseFourCC(c.vcc))))
      Problem(file, "VCC \"" + c.vcc + "\" is not a code of the engine's codec table");
  }
  for (const std::string& limit : c.limits) CheckText(file + " LIMIT \"" + limit + "\"", limit, c.options);

  if (copy) return;
  if (Same(c.encoder, "RAW") || raw) {
    if (!raw) return Problem(file, std::string("a RAW codec needs a hidden ") + rawKey + " option");
    if (ParseFourCC(raw->defaultValue) == 0) Problem(file, std::string(rawKey) + " default is no four-character code");
    if (!audio && !TheVfccTable().FindByCode(static_cast<int32_t>(ParseFourCC(raw->defaultValue))))
      Problem(file, "VRAWFCC \"" + raw->defaultValue + "\" is not a code of the engine's codec table");
    if (Same(c.encoder, "RAW")) return;
    // Codecs the Windows Media writer encodes itself (its profile has a format
    // for them); the muxer's check vouches for the writer.
    for (const char* own : {"[DS]WMA9", "[DS]WMA9AV", "[DS]WMV1", "[DS]WMV2"})
      if (Same(c.encoder, own)) return;
    // The writer takes this codec by name; no registry row stands behind it.
    engineMissing_.insert(file);
    const auto listed = unavailable_.find(file);
    const std::string why = "\"" + c.encoder + "\" is a codec of its writer, which the registry cannot vouch for";
    if (listed == unavailable_.end())
      Problem(file, why);
    else
      report_.notes.push_back(file + ": unavailable: " + listed->second + " [" + why + "]");
    return;
  }
  CheckTag(file, audio ? TagKind::kAudioEncoder : TagKind::kVideoEncoder, c.encoder);
}

void Linter::CheckMuxer(const std::string& name) {
  const std::string file = "muxer/" + name + ".ini";
  MuxerDesc m;
  LoadMuxerDesc(name, m);
  if (m.displayName.empty() || m.muxer.empty()) Problem(file, "needs DSPNAME and MUXER");
  CheckTag(file, TagKind::kWriter, m.muxer);
  const MuxerEntry* entry = TheMuxerTable().FindByCode(static_cast<int32_t>(ParseFourCC(m.vcc)));
  if (!entry) Problem(file, "VCC \"" + m.vcc + "\" is not a code of the engine's muxer table");
  for (uint32_t code : m.codes) {
    const std::string text(reinterpret_cast<const char*>(&code), 4);
    if (!TheVfccTable().FindByCode(static_cast<int32_t>(code)))
      Problem(file, "CODEC \"" + text + "\" is not a code of the engine's codec table");
    else if (entry &&
             std::find(entry->codes.begin(), entry->codes.end(), static_cast<int32_t>(code)) == entry->codes.end())
      Problem(file, "CODEC \"" + text + "\" is not one the engine's muxer " + m.vcc + " accepts");
  }
  for (const OptionDesc& o : m.options) CheckOption(file, o);
  for (bool audio : {true, false}) {
    const std::vector<CodecDesc>& list = audio ? m.audioCodecs : m.videoCodecs;
    const int32_t count = ReadProfileInt(ResolveProfileFile(file), audio ? "ACODEC" : "VCODEC", 0);
    if (static_cast<int32_t>(list.size()) != count) Problem(file, "a codec section has no NAME");
    for (const CodecDesc& c : list) {
      const std::string codecFile = std::string(audio ? "acodec/" : "vcodec/") + c.name + ".ini";
      if (!ProfileFileExists(codecFile)) {
        Problem(file, "names " + codecFile + ", which does not exist");
        continue;
      }
      if (Same(c.encoder, "COPY") || Same(c.encoder, "NONE")) continue;
      if (std::find(m.codes.begin(), m.codes.end(), ParseFourCC(c.vcc)) == m.codes.end())
        Problem(file, "offers " + c.name + ", whose code " + c.vcc + " is not in its CODEC list");
      for (const OptionDesc& o : c.options)
        if (o.name == "FCC")
          for (const std::string& v : o.values)
            if (ParseFourCC(v) == 0) Problem(file, "FCC value \"" + v + "\" is no four-character code");
    }
  }
  muxers_[name] = std::move(m);
}

void Linter::CheckProfile(const ProfileNode& node, const OutputProfile& p, const std::set<int32_t>& numbers) {
  const std::string file = "tree/" + node.folder + "/" + std::to_string(p.number) + ".ini";
  const auto m = muxers_.find(p.muxer);
  if (m == muxers_.end()) return Problem(file, "MUXER \"" + p.muxer + "\" names no muxer description");
  if (p.ext.empty() || p.ext.find('/') != std::string::npos) Problem(file, "EXT is empty or holds '/'");
  if (p.desc.empty()) Problem(file, "has no DESC");
  if (p.parentId != 0 && !numbers.count(p.parentId)) Problem(file, "PARENTID names no profile of the node");
  if (p.audioCodec.empty() && p.videoCodec.empty()) Problem(file, "names neither ACODEC nor VCODEC");
  if (node.kind == 'A' && !p.videoCodec.empty()) Problem(file, "an audio profile with a VCODEC");
  if (node.kind == 'V' && p.videoCodec.empty()) Problem(file, "a video profile without a VCODEC");
  CheckText(file + " MOPTION", p.muxerOptions, m->second.options);
  for (bool audio : {true, false}) {
    const std::string& name = audio ? p.audioCodec : p.videoCodec;
    const std::string& text = audio ? p.audioOptions : p.videoOptions;
    if (name.empty()) {
      if (!text.empty()) Problem(file, audio ? "AOPTION without ACODEC" : "VOPTION without VCODEC");
      continue;
    }
    const CodecDesc* codec = nullptr;
    for (const CodecDesc& c : audio ? m->second.audioCodecs : m->second.videoCodecs)
      if (Same(c.name, name.c_str())) codec = &c;
    if (!codec) {
      Problem(file, std::string(audio ? "ACODEC" : "VCODEC") + " \"" + name + "\" is not in the muxer's list");
      continue;
    }
    const std::string where = file + (audio ? " AOPTION" : " VOPTION");
    CheckText(where, text, codec->options);
    // With combinations, the profile's values must be one of them, or the pages move them.
    if (!codec->limits.empty()) {
      CParamList given;
      given.ParseText(text.c_str());
      bool matched = false;
      for (const std::string& limit : codec->limits) {
        CParamList l;
        l.ParseText(limit.c_str());
        bool all = true;
        for (POSITION pos = l.GetHeadPosition(); pos && all; pos = l.GetNext(pos)) {
          char key[256];
          int32_t type = 0;
          l.GetAt(pos, key, sizeof(key), &type);
          all = given.GetType(key) == type &&
                (type == PARAM_TYPE_INT      ? given.GetInt(key, 0) == l.GetInt(key, 0)
                 : type == PARAM_TYPE_DOUBLE ? std::fabs(given.GetDouble(key, 0) - l.GetDouble(key, 0)) <= 0.0001
                                             : std::string(given.GetStringPtr(key)) == l.GetStringPtr(key));
        }
        matched = matched || all;
      }
      if (!matched) Problem(where, "matches none of the codec's LIMIT combinations");
    }
  }
}

void Linter::CheckNodes(const std::string& folder) {
  std::vector<ProfileNode> nodes;
  EnumProfileNodes(nodes);
  std::set<int32_t> numbers;
  for (const std::string& sub : ListFolder(JoinPath(folder, "tree"), true)) {
    ProfileNode n;
    if (!LoadProfileNode(sub, n)) Problem("tree/" + sub, "is not a profile node (name KIND_NUMBER_..., DSPNAME)");
  }
  for (const ProfileNode& n : nodes) {
    if (!numbers.insert(n.number).second) Problem("tree/" + n.folder, "shares its number with another node");
    if (n.number < 0 || n.number > 255) Problem("tree/" + n.folder, "number outside 0..255 is never shown");
  }
  for (const ProfileNode& n : nodes)
    if (n.parentId != -1 && !numbers.count(n.parentId)) Problem("tree/" + n.folder, "PARENTID names no node");
  for (const char* custom : {kCustomVideoNode, kCustomAudioNode}) {
    ProfileNode n;
    if (!LoadProfileNode(custom, n)) Problem(std::string("tree/") + custom, "the custom node is missing");
  }
  for (const ProfileNode& n : nodes) {
    std::vector<OutputProfile> profiles;
    EnumNodeProfiles(n.folder, profiles);
    std::set<int32_t> profileNumbers;
    for (const OutputProfile& p : profiles) profileNumbers.insert(p.number);
    for (const std::string& f : ListFolder(JoinPath(folder, "tree/" + n.folder), false)) {
      OutputProfile p;
      if (f != "info.ini" && f != "info.bmp" && !LoadOutputProfile(n.folder, f, p))
        Problem("tree/" + n.folder + "/" + f, "is neither info.ini nor a profile (\"<number>.ini\" with a DSPNAME)");
    }
    for (const OutputProfile& p : profiles) CheckProfile(n, p, profileNumbers);
  }
}

void Linter::CheckFilters() {
  for (int audio : {0, 1}) {
    const std::string folder = audio ? "filter/audio" : "filter/video";
    for (const std::string& f : ListFolder(JoinPath(GetProfileFolders().program, folder), false)) {
      const std::string file = folder + "/" + f;
      FilterDesc d;
      if (!LoadFilterDesc(ResolveProfileFile(file), d)) {
        Problem(file, "has no NAME");
        continue;
      }
      if (d.displayName.empty()) Problem(file, "has no DSPNAME");
      CheckTag(file, audio ? TagKind::kAudioFilter : TagKind::kVideoFilter, d.name);
      for (const OptionDesc& o : d.options) CheckOption(file, o);
      if (!d.options.empty()) CheckText(file + " OPTION", d.option, d.options);
      for (const std::string& limit : d.limits) CheckText(file + " LIMIT", limit, d.options);
    }
  }
}

void Linter::CheckDefaults() {
  std::string node, summary, from;
  int32_t number = 0;
  OutputSettings stored;
  if (!LoadDefaultSettings(node, number, summary, stored, &from)) return Problem("default.cfg", "cannot be read");
  ProfileNode n;
  OutputProfile p;
  if (!LoadProfileNode(node, n)) return Problem("default.cfg", "node \"" + node + "\" is not a node of the tree");
  if (!LoadOutputProfile(node, std::to_string(number) + ".ini", p))
    return Problem("default.cfg", "profile " + std::to_string(number) + " is not in node " + node);
  if (summary.rfind(node + "/" + n.displayName + " [", 0) != 0 || summary.back() != ']')
    Problem("default.cfg", "summary \"" + summary + "\" does not read \"" + node + "/" + n.displayName + " [...]\"");
  OutputSettings want;
  std::string error;
  if (!SettingsFromProfile(p, want, &error)) return Problem("default.cfg", error);
  if (SerialiseRecord(stored) != SerialiseRecord(want))
    Problem("default.cfg", "its output settings are not those of " + node + "/" + std::to_string(number));
}

LintReport Linter::Run(const std::string& folder) {
  SetProfileFolders(ProfileFolders{folder, ""});
  TheProfileIniCache().Free();
  for (const auto& [file, reason] : unavailable_)
    if (!ProfileFileExists(file)) Problem("unavailable.txt", file + " does not exist");
  for (const char* kind : {"acodec", "vcodec"}) {
    for (const std::string& f : ListFolder(JoinPath(folder, kind), false)) {
      if (f.size() < 5 || f.substr(f.size() - 4) != ".ini" || f == "VOL.ini") continue;
      CodecDesc c;
      const bool audio = std::strcmp(kind, "acodec") == 0;
      const std::string name = f.substr(0, f.size() - 4);
      if (audio)
        LoadAudioCodecDesc(name, c);
      else
        LoadVideoCodecDesc(name, c);
      CheckCodec(std::string(kind) + "/" + f, audio, c);
    }
  }
  for (const std::string& f : ListFolder(JoinPath(folder, "muxer"), false))
    if (f.size() > 4 && f.substr(f.size() - 4) == ".ini") CheckMuxer(f.substr(0, f.size() - 4));
  CheckNodes(folder);
  CheckFilters();
  CheckDefaults();
  for (const auto& [file, reason] : unavailable_) {
    if (file.rfind("tree/", 0) == 0) continue;  // a profile may be listed for reasons of its own
    if (ProfileFileExists(file) && !engineMissing_.count(file))
      Problem("unavailable.txt", file + " is listed, but the engine has everything it names");
  }
  return report_;
}

}  // namespace

std::string LintReport::Text() const {
  std::string out;
  for (const std::string& p : problems) out += "problem: " + p + "\n";
  for (const std::string& n : notes) out += "note: " + n + "\n";
  return out;
}

std::map<std::string, std::string> ReadUnavailableList(const std::string& path, std::vector<std::string>* problems) {
  std::map<std::string, std::string> list;
  std::string text;
  if (!ReadWholeFile(path, &text)) {
    if (problems) problems->push_back(path + ": cannot be read");
    return list;
  }
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    const auto trim = [](std::string s) {
      const size_t a = s.find_first_not_of(" \t\r");
      const size_t b = s.find_last_not_of(" \t\r");
      return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
    };
    line = trim(line);
    if (line.empty() || line[0] == '#') continue;
    const size_t bar = line.find('|');
    const std::string file = trim(line.substr(0, bar)),
                      reason = bar == std::string::npos ? "" : trim(line.substr(bar + 1));
    if (file.empty() || reason.empty()) {
      if (problems) problems->push_back(path + ": \"" + line + "\" is not \"file | reason\"");
      continue;
    }
    list[file] = reason;
  }
  return list;
}

EngineCatalogue::EngineCatalogue(const std::string& stageFolder, const std::string& pluginFolder) {
  LoadCodecTables(stageFolder);
  registry_.Init(pluginFolder);
}

LintReport LintProfileTree(const std::string& folder, CModuleRegistry& registry,
                           const std::map<std::string, std::string>& unavailable) {
  Linter linter(registry, unavailable);
  return linter.Run(folder);
}

std::string ProfileUnavailableReason(const std::string& nodeFolder, const OutputProfile& profile,
                                     const std::map<std::string, std::string>& unavailable) {
  std::vector<std::string> files = {"tree/" + nodeFolder + "/" + std::to_string(profile.number) + ".ini",
                                    "muxer/" + profile.muxer + ".ini"};
  if (!profile.audioCodec.empty()) files.push_back("acodec/" + profile.audioCodec + ".ini");
  if (!profile.videoCodec.empty()) files.push_back("vcodec/" + profile.videoCodec + ".ini");
  for (const std::string& f : files) {
    const auto it = unavailable.find(f);
    if (it != unavailable.end()) return it->second;
  }
  return "";
}
