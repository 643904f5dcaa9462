// dvdcat "dvd:TITLE,FIRST,LAST,PATH": writes the chapter range's program stream to standard
// output, as the engine's "dvd:" source delivers it. Exit 0 when the range was read to its
// end, 1 when the disc could not be read, 2 on bad arguments.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/dvd/dvd_trace.h"
#include "engine/modules/dvd/dvd_protocol.h"
#include "engine/modules/dvd/dvd_stream_buffer.h"
#include "engine/modules/dvd/dvd_url.h"
#include "platform/version.h"
#include "tools/tool_args.h"

namespace {

const char kUsage[] =
    "usage: dvdcat [-v] \"dvd:TITLE,FIRST,LAST,PATH\" > out.mpg\n"
    "Writes the program stream of chapters FIRST to LAST of a DVD title to standard output,\n"
    "as the engine's \"dvd:\" source reads it (\"dvd:PATH\" alone: title 1, chapter 1).\n"
    "  PATH           DVD device, folder holding VIDEO_TS, or image\n"
    "  -v, --verbose  show the DVD libraries' messages on standard error\n"
    "  -h, --help     this text\n"
    "Exit status: 0 read to its end, 1 the disc could not be read, 2 bad arguments.\n";

void TraceToStderr(const char* text) { std::fputs(text, stderr); }
void TraceNowhere(const char*) {}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "dvdcat: %s\n%s", message.c_str(), kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (AnswerVersion(argc, argv, "dvdcat")) return 0;
  bool verbose = false;
  const ToolArgs args = ParseToolArgs(argc, argv, {{"verbose", false, 'v'}}, [&](size_t, const std::string&) {
    verbose = true;
    return std::string();
  });
  if (!args.error.empty()) return UsageError(args.error);
  if (args.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (args.words.size() != 1) return UsageError("give one \"dvd:\" path");
  const char* url = args.words[0].c_str();
  if (!IsDvdUrl(url) || !DvdUrlParse(url)) return UsageError(std::string("not a \"dvd:\" path: ") + url);
  // Standard output carries the stream; the libraries' messages go to standard error with -v.
  DvdSetTraceSink(verbose ? TraceToStderr : TraceNowhere);
  DvdProtocolRegister();
  const std::unique_ptr<CDvdStreamBuffer> source = CDvdStreamBuffer::Open(url);
  if (!source) {
    std::fprintf(stderr, "dvdcat: cannot open the DVD title %s\n", url);
    return 1;
  }
  std::vector<uint8_t> chunk(256 * 1024);
  long long total = 0;
  bool ok = true;
  for (;;) {
    const int32_t n = source->Read(chunk.data(), static_cast<int32_t>(chunk.size()));
    if (n < 0) {
      std::fprintf(stderr, "dvdcat: stream position %lld was overwritten\n", total);
      ok = false;
      break;
    }
    if (n == 0) break;
    if (std::fwrite(chunk.data(), 1, n, stdout) != static_cast<size_t>(n)) {
      std::fprintf(stderr, "dvdcat: cannot write standard output\n");
      ok = false;
      break;
    }
    total += n;
  }
  if (ok && source->failed()) {
    std::fprintf(stderr, "dvdcat: reading the disc failed after %lld bytes\n", total);
    ok = false;
  }
  if (std::fflush(stdout) != 0) ok = false;
  return ok ? 0 : 1;
}
