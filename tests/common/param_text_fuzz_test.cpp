// Randomised parameter texts: well-formed ones round-trip exactly (less addresses), mutated
// ones parse without reading past their end, and whatever a text parses to
// writes a text that parses back to the same list.
#include "common/param_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

std::string TextOf(CParamList& list) {
  char* text = list.ToText();
  std::string out = text != nullptr ? text : "";
  list.FreeText(text);
  return out;
}

// Parses from a heap buffer of exactly the text's size, so a read past the
// terminator is caught by the address sanitizer.
void ParseExact(CParamList& list, const std::string& text) {
  auto buf = std::make_unique<char[]>(text.size() + 1);
  std::memcpy(buf.get(), text.c_str(), text.size() + 1);
  list.ParseText(buf.get());
}

// The list less its address entries: a text shows them but never sets them.
void DropPointers(CParamList& list) {
  std::vector<std::string> keys;
  for (POSITION pos = list.GetHeadPosition(); pos != nullptr; pos = list.GetNext(pos)) {
    char key[64];
    int32_t type = 0;
    if (list.GetAt(pos, key, sizeof key, &type) < static_cast<int32_t>(sizeof key) && type == PARAM_TYPE_PTR)
      keys.push_back(key);
  }
  for (const std::string& key : keys) list.Remove(key.c_str());
}

class TextGenerator {
 public:
  explicit TextGenerator(uint32_t seed) : rng_(seed) {}

  uint32_t Below(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng_); }

  std::string Piece() {
    static const char* const kPieces[] = {"\"", "\\", ",", "=", " ", "F",    "D",    "L",  "P",     "-",
                                          "+",  "0",  "9", "A", "f", "\xFF", "\x01", "\n", "1.5e3", "\\\""};
    return kPieces[Below(sizeof(kPieces) / sizeof(kPieces[0]))];
  }

  std::string Bytes(uint32_t max) {
    std::string s;
    const uint32_t n = Below(max + 1);
    for (uint32_t i = 0; i < n; ++i) {
      s += Below(3) == 0 ? Piece() : std::string(1, static_cast<char>(1 + Below(255)));
    }
    return s;
  }

  void FillList(CParamList& list) {
    list.Clear();
    const uint32_t n = Below(8);
    for (uint32_t i = 0; i < n; ++i) {
      const std::string key = Bytes(6);
      switch (Below(5)) {
        case 0:
          list.SetInt(key.c_str(), static_cast<int32_t>(rng_()));
          break;
        case 1: {
          uint64_t bits = (static_cast<uint64_t>(rng_()) << 32) | rng_();
          double d;
          std::memcpy(&d, &bits, sizeof(d));
          list.SetDouble(key.c_str(), d);
          break;
        }
        case 2:
          list.SetString(key.c_str(), Bytes(10).c_str());
          break;
        case 3: {
          std::u16string w;
          const uint32_t len = Below(5);
          for (uint32_t k = 0; k < len; ++k) w.push_back(static_cast<char16_t>(1 + Below(0xFFFF)));
          list.SetWString(key.c_str(), w.c_str());
          break;
        }
        default:
          list.SetPtr(key.c_str(), reinterpret_cast<void*>(static_cast<uintptr_t>(rng_())));
          break;
      }
    }
  }

  std::string Mutate(std::string text) {
    const uint32_t edits = 1 + Below(4);
    for (uint32_t e = 0; e < edits; ++e) {
      const size_t at = text.empty() ? 0 : Below(static_cast<uint32_t>(text.size() + 1));
      switch (Below(5)) {
        case 0:
          text.resize(at);  // truncate
          break;
        case 1:
          text.insert(at, Piece());
          break;
        case 2:
          if (at < text.size()) text.erase(at, 1 + Below(4));
          break;
        case 3:
          if (at < text.size()) text[at] = static_cast<char>(1 + Below(255));
          break;
        default:
          text.insert(at, Bytes(8));
          break;
      }
    }
    return text;
  }

 private:
  std::mt19937 rng_;
};

TEST(ParamTextFuzz, GeneratedAndMutatedTexts) {
  TextGenerator gen(20240611u);
  CParamList source;
  CParamList parsed;
  CParamList again;
  CParamList readable;
  constexpr int kRounds = 35000;  // three texts a round
  for (int round = 0; round < kRounds; ++round) {
    gen.FillList(source);
    const std::string text = TextOf(source);

    // A written text reads back to the same list, less its addresses.
    ParseExact(parsed, text);
    readable.CopyFrom(source);
    DropPointers(readable);
    ASSERT_EQ(TextOf(parsed), TextOf(readable)) << "round " << round;

    const std::string inputs[2] = {gen.Mutate(text), gen.Bytes(40)};
    for (const std::string& input : inputs) {
      ParseExact(parsed, input);
      const std::string written = TextOf(parsed);
      ParseExact(again, written);
      ASSERT_EQ(TextOf(again), written) << "input: " << input;
      ASSERT_EQ(again.GetCount(), parsed.GetCount());
    }
  }
}

}  // namespace
