#include "tests/test_util/gif_file.h"

#include <algorithm>

std::vector<uint8_t> MakeGif(int w, int h, const std::vector<std::pair<int, int>>& frames) {
  std::vector<uint8_t> g = {'G', 'I', 'F', '8', '9', 'a'};
  auto le16 = [&](int v) {
    g.push_back(uint8_t(v & 0xFF));
    g.push_back(uint8_t(v >> 8));
  };
  le16(w);
  le16(h);
  g.insert(g.end(), {0x91, 0, 0});                                // global table of 4 entries
  g.insert(g.end(), {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255});  // black, red, green, blue
  for (auto [index, delay] : frames) {
    g.insert(g.end(), {0x21, 0xF9, 0x04, 0x04});  // graphic control: keep the frame
    le16(delay);
    g.insert(g.end(), {0, 0});
    g.push_back(0x2C);
    le16(0);
    le16(0);
    le16(w);
    le16(h);
    g.push_back(0);
    g.push_back(2);  // LZW minimum code size
    // 3-bit codes: a clear code before every two pixels keeps the code size at 3.
    std::vector<int> codes;
    for (int i = 0; i < w * h; i += 2) {
      codes.push_back(4);
      codes.push_back(index);
      if (i + 1 < w * h) codes.push_back(index);
    }
    codes.push_back(5);
    std::vector<uint8_t> bits;
    uint32_t acc = 0;
    int n = 0;
    for (int c : codes) {
      acc |= uint32_t(c) << n;
      n += 3;
      while (n >= 8) {
        bits.push_back(uint8_t(acc & 0xFF));
        acc >>= 8;
        n -= 8;
      }
    }
    if (n > 0) bits.push_back(uint8_t(acc));
    for (size_t at = 0; at < bits.size(); at += 255) {
      const size_t len = std::min<size_t>(255, bits.size() - at);
      g.push_back(uint8_t(len));
      g.insert(g.end(), bits.begin() + long(at), bits.begin() + long(at + len));
    }
    g.push_back(0);
  }
  g.push_back(0x3B);
  return g;
}
