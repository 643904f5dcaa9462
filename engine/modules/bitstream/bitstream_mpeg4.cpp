#include "engine/modules/bitstream/bitstream_mpeg4.h"

int32_t FindMpeg4PictureStart(const uint8_t* data, int32_t length) {
  if (data == nullptr) return 0;
  for (int32_t i = 0; i + 3 < length; ++i) {
    if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1 && (data[i + 3] == 0xB3 || data[i + 3] == 0xB6)) {
      return i;
    }
  }
  return 0;
}
