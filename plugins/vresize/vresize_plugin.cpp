// Plug-in exports: one video filter object, "VRESIZE".
#include <cstdint>
#include <cstring>

#include "common/param_list.h"
#include "platform/win_types.h"
#include "plugins/vresize/vresize_filter.h"

namespace {

// The registration record as the registry reads it: kind, then the name;
// a filter object's tail is not read.
struct alignas(8) FilterObjectRecord {
  uint32_t kind;
  char name[64];
  uint8_t unused[108];
};
static_assert(sizeof(FilterObjectRecord) == 176);

constexpr uint32_t kVideoFilterObject = 0x49564F42;  // "IVOB"

FilterObjectRecord MakeRecord() {
  FilterObjectRecord r;
  std::memset(&r, 0, sizeof(r));
  r.kind = kVideoFilterObject;
  std::strcpy(r.name, "VRESIZE");
  return r;
}

FilterObjectRecord g_records[1] = {MakeRecord()};

}  // namespace

extern "C" __attribute__((visibility("default"))) uint32_t DllGetRegister(void** records) {
  if (records == nullptr) return 0;
  *records = g_records;
  return 1;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllGetObject(CParamList* params, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (params != nullptr && params->GetInt("INDEX", 0) != 0) return E_INVALIDARG;
  *object = CVResizeFilter::Create(params);
  return 0;
}
