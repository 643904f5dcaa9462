// The readable texts beside result codes.
#include <gtest/gtest.h>

#include "platform/result_text.h"

namespace {

TEST(ResultText, KnownCodesFamiliesAndTheirPrintedForm) {
  const struct {
    uint32_t code;
    const char* text;
  } cases[] = {
      {0x00000000u, "00000000 (success)"},
      {0x80040081u, "80040081 (not a file or a known protocol)"},
      {0x80040012u, "80040012 (no reader knows the file)"},
      {0x80040203u, "80040203 (no writer with the job's tag)"},
      {0x80070052u, "80070052 (cannot create the output file)"},
      {0x8007001Eu, "8007001E (the source is damaged or shorter than it declares)"},
      {0x80070005u, "80070005 (a system error)"},
      {0xC0000005u, "C0000005 (the engine crashed: invalid memory access)"},
      {0xC0000999u, "C0000999 (the engine ended abnormally)"},
      {0x8004FFFFu, "8004FFFF (a failure)"},
      {0x00000001u, "00000001 (success)"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.text, ResultWithText(static_cast<HRESULT>(c.code))) << std::hex << c.code;
}

}  // namespace
