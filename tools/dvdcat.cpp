// dvdcat "dvd:TITLE,FIRST,LAST,PATH": writes the chapter range's program stream to standard
// output, as the engine's "dvd:" source delivers it. Exit 0 when the range was read to its
// end, 1 when the disc could not be read, 2 on bad arguments.
#include <cstdio>
#include <memory>
#include <vector>

#include "common/dvd/dvd_trace.h"
#include "engine/modules/dvd/dvd_protocol.h"
#include "engine/modules/dvd/dvd_stream_buffer.h"

namespace {

void TraceToStderr(const char* text) { std::fputs(text, stderr); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: dvdcat \"dvd:TITLE,FIRST,LAST,PATH\" > out.mpg\n");
    return 2;
  }
  DvdSetTraceSink(TraceToStderr);  // standard output carries the stream
  DvdProtocolRegister();
  const std::unique_ptr<CDvdStreamBuffer> source = CDvdStreamBuffer::Open(argv[1]);
  if (!source) {
    std::fprintf(stderr, "dvdcat: not a usable \"dvd:\" path: %s\n", argv[1]);
    return 2;
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
