// mktables: turns data/vfcc.txt and data/muxer.txt into vfcc.dat and muxer.dat.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/codec_tables.h"
#include "common/data_stream.h"
#include "tools/tool_args.h"

namespace {

struct ParseError {
  std::string message;
};

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

std::vector<std::string> Split(const std::string& line, char sep) {
  std::vector<std::string> out;
  std::string field;
  std::istringstream in(line);
  while (std::getline(in, field, sep)) out.push_back(Trim(field));
  if (!line.empty() && line.back() == sep) out.push_back("");
  return out;
}

std::vector<std::string> Words(const std::string& s) {
  std::vector<std::string> out;
  std::istringstream in(s);
  std::string w;
  while (in >> w) out.push_back(w);
  return out;
}

uint32_t Code4(const std::string& s) {
  if (s.size() != 4) throw ParseError{"'" + s + "' is not a four-character code"};
  return MakeFourcc(s[0], s[1], s[2], s[3]);
}

uint32_t Number(const std::string& s) {
  char* end = nullptr;
  unsigned long v = std::strtoul(s.c_str(), &end, 16);
  if (s.size() < 3 || *end != '\0' || v > 0xFFFFFFFFul) throw ParseError{"bad number '" + s + "'"};
  return static_cast<uint32_t>(v);
}

uint32_t FourccToken(const std::string& s) { return s.rfind("0x", 0) == 0 ? Number(s) : Code4(s); }

GUID GuidToken(const std::string& s) {
  if (s.empty() || s[0] != '{') return FourccGuid(FourccToken(s));
  unsigned d1, d2, d3, b[8];
  char close = 0;
  if (s.size() != 38 ||
      std::sscanf(s.c_str(), "{%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x%c", &d1, &d2, &d3, &b[0], &b[1], &b[2], &b[3],
                  &b[4], &b[5], &b[6], &b[7], &close) != 12 ||
      close != '}') {
    throw ParseError{"bad GUID '" + s + "'"};
  }
  GUID g{d1, static_cast<uint16_t>(d2), static_cast<uint16_t>(d3), {}};
  for (int i = 0; i < 8; ++i) g.Data4[i] = static_cast<uint8_t>(b[i]);
  return g;
}

void CopyField(char* dst, size_t capacity, const std::string& text, const char* what) {
  if (text.size() >= capacity) throw ParseError{std::string(what) + " longer than " + std::to_string(capacity - 1)};
  std::memcpy(dst, text.data(), text.size());
  dst[text.size()] = '\0';
}

// Calls fn(fields, line number) for every non-comment line.
template <class Fn>
void ForEachLine(const std::string& path, size_t fieldCount, Fn fn) {
  std::ifstream in(path);
  if (!in) throw ParseError{"cannot open " + path};
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    std::string t = Trim(line);
    if (t.empty() || t[0] == '#') continue;
    try {
      auto fields = Split(t, '|');
      if (fields.size() != fieldCount) {
        throw ParseError{"expected " + std::to_string(fieldCount) + " fields, found " + std::to_string(fields.size())};
      }
      fn(fields);
    } catch (const ParseError& e) {
      throw ParseError{path + ":" + std::to_string(number) + ": " + e.message};
    }
  }
}

// Writes the record to path through a temporary file; false on any failure.
bool SaveRecord(IDataRecord& record, const std::string& path) {
  CDataSizer sizer;
  record.Write(sizer);
  std::vector<uint8_t> bytes(static_cast<size_t>(sizer.GetSize()));
  CDataWriter writer;
  writer.Attach(bytes.data(), static_cast<int32_t>(bytes.size()));
  record.Write(writer);
  if (writer.GetWritePos() != static_cast<int32_t>(bytes.size())) return false;
  std::string tmp = path + ".tmp";
  FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = std::fclose(f) == 0 && ok;
  if (ok) ok = std::rename(tmp.c_str(), path.c_str()) == 0;
  if (!ok) std::remove(tmp.c_str());
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  static const char kUsage[] =
      "usage: mktables VFCC_TXT MUXER_TXT OUTPUT_FOLDER\n"
      "Builds the engine's codec table vfcc.dat and muxer table muxer.dat from their texts.\n"
      "  -h, --help  this text\n";
  const ToolArgs args = ParseToolArgs(argc, argv, {}, [](size_t, const std::string&) { return std::string(); });
  if (args.help && args.error.empty()) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!args.error.empty() || args.words.size() != 3) {
    std::fprintf(stderr, "mktables: %s\n%s", args.error.empty() ? "give three paths" : args.error.c_str(), kUsage);
    return 2;
  }

  MuxerTable muxers;
  VfccTable codecs(&muxers);
  try {
    std::set<uint32_t> codes;
    ForEachLine(args.words[0], 6, [&](const std::vector<std::string>& f) {
      VfccEntry e;
      e.code = static_cast<int32_t>(Code4(f[0]));
      if (!codes.insert(static_cast<uint32_t>(e.code)).second) throw ParseError{"duplicate code " + f[0]};
      CopyField(e.name, sizeof(e.name), f[1], "name");
      CopyField(e.displayName, sizeof(e.displayName), f[2], "display name");
      CopyField(e.text, sizeof(e.text), f[3], "text");
      for (const auto& w : Words(f[4])) e.fourccs.push_back(FourccToken(w));
      for (const auto& w : Words(f[5])) e.guids.push_back(GuidToken(w));
      codecs.Append(e);
    });
    std::set<uint32_t> muxerCodes;
    ForEachLine(args.words[1], 5, [&](const std::vector<std::string>& f) {
      MuxerRecord rec{};
      rec.code = static_cast<int32_t>(Code4(f[0]));
      if (!muxerCodes.insert(static_cast<uint32_t>(rec.code)).second) throw ParseError{"duplicate code " + f[0]};
      MuxerDescription desc{};
      CopyField(desc.ffmpegName, sizeof(desc.ffmpegName), f[1], "muxer name");
      CopyField(desc.extension, sizeof(desc.extension), f[2], "extension");
      CopyField(desc.text, sizeof(desc.text), f[3], "text");
      std::memcpy(rec.description, &desc, sizeof(desc));
      std::vector<int32_t> list;
      for (const auto& w : Words(f[4])) {
        uint32_t c = Code4(w);
        if (!codes.count(c)) throw ParseError{"codec " + w + " is not in the codec table"};
        list.push_back(static_cast<int32_t>(c));
      }
      muxers.Append(rec, list);
    });
  } catch (const ParseError& e) {
    std::fprintf(stderr, "mktables: %s\n", e.message.c_str());
    return 1;
  }
  const std::string& out = args.words[2];
  if (!SaveRecord(muxers, out + "/muxer.dat") || !SaveRecord(codecs, out + "/vfcc.dat")) {
    std::fprintf(stderr, "mktables: cannot write the tables into %s\n", out.c_str());
    return 1;
  }
  std::printf("mktables: %zu codecs, %zu muxers\n", codecs.Entries().size(), muxers.Entries().size());
  return 0;
}
