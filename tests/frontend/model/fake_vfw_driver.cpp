// A stand-in video codec driver for the driver-layer and configurator tests.
// It opens 'VIDC' instances of three handlers:
//   TCFG  has a configuration dialog that ends with ICERR_OK,
//   TCAN  has one that is cancelled (ICERR_ABORT),
//   TNOC  has none;
//   VP62  stands in for the VP6 codec: its dialog ends with ICERR_OK and adds
//         1000 to the 16-bit bit rate at byte 20 of the state, and every state
//         it takes is logged as "state VP62 <bit rate> <byte 44>";
// any other handler is refused. Each instance's state is 1,200 bytes: byte i
// starts as i % 251, the dialog counts itself in byte 0 and stores the owner
// window id at bytes 8..15, and only a state of exactly 1,200 bytes is taken.
// Every message is appended as a line to the file named by FAKE_VFW_LOG.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr uint32_t kDrvLoad = 1, kDrvEnable = 2, kDrvOpen = 3, kDrvClose = 4, kDrvDisable = 5, kDrvFree = 6;
constexpr uint32_t kGetState = 0x5000, kSetState = 0x5001, kConfigure = 0x500A;
constexpr intptr_t kOk = 0, kUnsupported = -1, kBadSize = -7, kAbort = -10;
constexpr uint32_t kStateSize = 1200;

struct OpenRecord {
  uint32_t size;
  uint32_t type;
  uint32_t handler;
  uint32_t version;
  uint32_t flags;
  intptr_t error;
};

struct Instance {
  char handler[5] = {};
  uint8_t state[kStateSize];
};

std::string Fourcc(uint32_t code) {
  std::string s;
  for (int i = 0; i < 4; ++i) s += static_cast<char>((code >> (8 * i)) & 0xFF);
  return s;
}

void Log(const std::string& line) {
  const char* path = std::getenv("FAKE_VFW_LOG");
  if (path == nullptr || *path == '\0') return;
  if (FILE* f = std::fopen(path, "a")) {
    std::fprintf(f, "%s\n", line.c_str());
    std::fclose(f);
  }
}

void ResetState(Instance& in) {
  for (uint32_t i = 0; i < kStateSize; ++i) in.state[i] = static_cast<uint8_t>(i % 251);
}

intptr_t Open(const OpenRecord* open) {
  if (open == nullptr) return 0;
  const std::string type = Fourcc(open->type), handler = Fourcc(open->handler);
  Log("open " + handler + " mode " + std::to_string(open->flags));
  if (type != "VIDC" && type != "vidc") return 0;
  if (handler != "TCFG" && handler != "TCAN" && handler != "TNOC" && handler != "VP62") {
    const_cast<OpenRecord*>(open)->error = -2;
    return 0;
  }
  auto* in = new Instance;
  std::memcpy(in->handler, handler.c_str(), 4);
  ResetState(*in);
  return reinterpret_cast<intptr_t>(in);
}

}  // namespace

EXPORT intptr_t DriverProc(uintptr_t driverId, void*, uint32_t msg, intptr_t lParam1, intptr_t lParam2) {
  auto* in = reinterpret_cast<Instance*>(driverId);
  switch (msg) {
    case kDrvLoad:
      Log("load");
      return std::getenv("FAKE_VFW_REFUSE_LOAD") != nullptr ? 0 : 1;
    case kDrvEnable:
      Log("enable");
      return 1;
    case kDrvDisable:
      Log("disable");
      return 1;
    case kDrvFree:
      Log("free");
      return 1;
    case kDrvOpen:
      return Open(reinterpret_cast<const OpenRecord*>(lParam2));
    case kDrvClose:
      if (in == nullptr) return 0;
      Log(std::string("close ") + in->handler);
      delete in;
      return 1;
    default:
      break;
  }
  if (in == nullptr) return kUnsupported;
  const std::string handler = in->handler;
  switch (msg) {
    case kConfigure:
      if (lParam1 == -1) return handler == "TNOC" ? kUnsupported : kOk;  // the query
      Log("configure " + handler);
      if (handler == "TNOC") return kUnsupported;
      if (handler == "TCAN") return kAbort;
      ++in->state[0];
      std::memcpy(in->state + 8, &lParam1, sizeof(lParam1));
      if (handler == "VP62") {
        uint16_t kbps = 0;
        std::memcpy(&kbps, in->state + 20, sizeof(kbps));
        kbps = static_cast<uint16_t>(kbps + 1000);
        std::memcpy(in->state + 20, &kbps, sizeof(kbps));
      }
      return kOk;
    case kGetState:
      if (lParam1 == 0) return kStateSize;
      if (static_cast<uint32_t>(lParam2) < kStateSize) return kBadSize;
      std::memcpy(reinterpret_cast<void*>(lParam1), in->state, kStateSize);
      return kOk;
    case kSetState:
      if (lParam1 == 0) {
        ResetState(*in);
        return 0;
      }
      if (static_cast<uint32_t>(lParam2) != kStateSize) return 0;
      std::memcpy(in->state, reinterpret_cast<const void*>(lParam1), kStateSize);
      if (handler == "VP62") {
        uint16_t kbps = 0;
        std::memcpy(&kbps, in->state + 20, sizeof(kbps));
        Log("state VP62 " + std::to_string(kbps) + " " + std::to_string(in->state[44]));
      }
      return kStateSize;
    default:
      return kUnsupported;
  }
}
