#include "platform/result_text.h"

#include <cstdio>

namespace {

struct Entry {
  uint32_t code;
  const char* text;
};

constexpr Entry kTexts[] = {
    {0x00000000u, "success"},
    {0x80004001u, "not implemented"},
    {0x80004004u, "stopped"},
    {0x80004005u, "failed"},
    {0x8000FFFFu, "unexpected failure"},
    {0x80040007u, "no settings given yet"},
    {0x8004000Du, "buffer missing or too small"},
    {0x80040012u, "no reader knows the file"},
    {0x80040081u, "not a file or a known protocol"},
    {0x80040200u, "the module graph cannot be built"},
    {0x80040201u, "a module refuses the media type"},
    {0x80040203u, "no writer with the job's tag"},
    {0x80040205u, "no audio decoder or encoder"},
    {0x80040206u, "no video decoder or encoder"},
    {0x80040207u, "a named filter or converter is not registered"},
    {0x80040208u, "the compressor refused its settings"},
    {0x80040209u, "the compressor could not be opened"},
    {0x8004020Au, "no stream picked"},
    {0x80070002u, "file not found"},
    {0x8007000Eu, "out of memory"},
    {0x8007001Du, "cannot write the output"},
    {0x8007001Eu, "the source is damaged or shorter than it declares"},
    {0x80070020u, "the output is the source"},
    {0x80070032u, "file type not supported"},
    {0x80070052u, "cannot create the output file"},
    {0x80070057u, "invalid parameter"},
    {0xC0000005u, "the engine crashed: invalid memory access"},
    {0xC000001Du, "the engine crashed: illegal instruction"},
    {0xC0000094u, "the engine crashed: division by zero"},
    {0xC000013Au, "stopped by a signal"},
    {0xC0000409u, "the engine aborted"},
    {0xC00D002Fu, "invalid stream"},
    {0xC00D0BC2u, "audio codec not installed"},
    {0xC00D0BC4u, "video codec not installed"},
    {0xFFFFFFFFu, "bad command line"},
};

}  // namespace

std::string ResultText(HRESULT result) {
  const uint32_t code = static_cast<uint32_t>(result);
  for (const Entry& e : kTexts)
    if (e.code == code) return e.text;
  if ((code & 0xFFFF0000u) == 0x80070000u) return "a system error";
  if ((code & 0xF0000000u) == 0xC0000000u) return "the engine ended abnormally";
  if ((code & 0x80000000u) == 0) return "success";
  return "a failure";
}

std::string Hex8(uint32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", code);
  return text;
}

std::string ResultWithText(HRESULT result) {
  return Hex8(static_cast<uint32_t>(result)) + " (" + ResultText(result) + ")";
}
