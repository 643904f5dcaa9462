#include "tests/engine/modules/acm/avi_test_writer.h"

#include <cstdio>
#include <cstring>

namespace {

struct Bytes {
  std::vector<uint8_t> b;
  void U16(uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
  }
  void U32(uint32_t v) {
    U16(v & 0xFFFF);
    U16(v >> 16);
  }
  void Tag(const char* t) { b.insert(b.end(), t, t + 4); }
  void Add(const std::vector<uint8_t>& v) { b.insert(b.end(), v.begin(), v.end()); }
};

std::vector<uint8_t> Chunk(const char* id, const std::vector<uint8_t>& data) {
  Bytes c;
  c.Tag(id);
  c.U32(uint32_t(data.size()));
  c.Add(data);
  if (data.size() & 1) c.b.push_back(0);
  return c.b;
}

std::vector<uint8_t> List(const char* type, const std::vector<uint8_t>& data) {
  Bytes l;
  l.Tag("LIST");
  l.U32(uint32_t(data.size() + 4));
  l.Tag(type);
  l.Add(data);
  return l.b;
}

}  // namespace

bool WriteAudioAvi(const std::string& path, const AviAudio& a) {
  Bytes avih;
  for (uint32_t v : {0u, a.avgBytesPerSec, 0u, 0x10u /* has index */, 0u, 0u, 1u, 4096u, 0u, 0u, 0u, 0u, 0u, 0u})
    avih.U32(v);
  Bytes strh;
  strh.Tag("auds");
  for (uint32_t v : {0u, 0u}) strh.U32(v);  // handler, flags
  strh.U16(0);                              // priority
  strh.U16(0);                              // language
  for (uint32_t v : {0u, 1u, a.avgBytesPerSec, 0u, uint32_t(a.payload.size()), 4096u, 0xFFFFFFFFu, 1u}) strh.U32(v);
  for (int i = 0; i < 4; ++i) strh.U16(0);  // frame rectangle
  Bytes strf;
  strf.U16(a.tag);
  strf.U16(a.channels);
  strf.U32(a.rate);
  strf.U32(a.avgBytesPerSec);
  strf.U16(1);  // block align: byte-based
  strf.U16(0);  // bits per sample
  strf.U16(uint32_t(a.extra.size()));
  strf.Add(a.extra);

  Bytes strl;
  strl.Add(Chunk("strh", strh.b));
  strl.Add(Chunk("strf", strf.b));
  Bytes hdrl;
  hdrl.Add(Chunk("avih", avih.b));
  hdrl.Add(List("strl", strl.b));

  Bytes movi, idx1;
  for (size_t at = 0; at < a.payload.size(); at += a.chunkBytes) {
    const size_t n = std::min(a.chunkBytes, a.payload.size() - at);
    std::vector<uint8_t> data(a.payload.begin() + long(at), a.payload.begin() + long(at + n));
    idx1.Tag("00wb");
    idx1.U32(0x10);                         // key frame
    idx1.U32(uint32_t(movi.b.size() + 4));  // from the 'movi' type
    idx1.U32(uint32_t(n));
    movi.Add(Chunk("00wb", data));
  }
  Bytes body;
  body.Tag("AVI ");
  body.Add(List("hdrl", hdrl.b));
  body.Add(List("movi", movi.b));
  body.Add(Chunk("idx1", idx1.b));
  Bytes file;
  file.Tag("RIFF");
  file.U32(uint32_t(body.b.size()));
  file.Add(body.b);

  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(file.b.data(), 1, file.b.size(), f) == file.b.size();
  return std::fclose(f) == 0 && ok;
}

std::vector<uint8_t> FirstOggPage(const std::vector<uint8_t>& ogg) {
  if (ogg.size() < 27 || std::memcmp(ogg.data(), "OggS", 4) != 0) return {};
  const size_t segments = ogg[26];
  if (ogg.size() < 27 + segments) return {};
  size_t size = 27 + segments;
  for (size_t i = 0; i < segments; ++i) size += ogg[27 + i];
  if (size > ogg.size()) return {};
  return std::vector<uint8_t>(ogg.begin(), ogg.begin() + long(size));
}
