#include "engine/modules/image/bmp_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/file_commit.h"

namespace {

void Put16(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

void Put32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

bool Failed(std::string* reason, const char* step, int error) {
  if (reason) *reason = std::string(step) + ": " + std::strerror(error);
  return false;
}

}  // namespace

int64_t BmpPixelBytes(const BITMAPINFOHEADER& header) {
  if (header.biBitCount != 32 || header.biWidth <= 0 || header.biHeight == 0) return -1;
  const int64_t height = header.biHeight < 0 ? -int64_t{header.biHeight} : int64_t{header.biHeight};
  const int64_t width = header.biWidth;
  // Checked a factor at a time so that the product cannot overflow.
  if (width > kMaxBmpPixelBytes / 4 || height > kMaxBmpPixelBytes / 4 || width * 4 > kMaxBmpPixelBytes / height)
    return -1;
  return int64_t{header.biBitCount} * height * width / 8;
}

std::array<uint8_t, kBmpHeaderBytes> BmpHeaders(const BITMAPINFOHEADER& h, uint32_t pixelBytes) {
  std::array<uint8_t, kBmpHeaderBytes> out{};
  uint8_t* p = out.data();
  Put16(p, 0x4D42);  // "BM"
  Put32(p + 2, static_cast<uint32_t>(kBmpHeaderBytes) + pixelBytes);
  Put32(p + 10, static_cast<uint32_t>(kBmpHeaderBytes));
  p += 14;
  Put32(p, h.biSize);
  Put32(p + 4, static_cast<uint32_t>(h.biWidth));
  Put32(p + 8, static_cast<uint32_t>(h.biHeight));
  Put16(p + 12, h.biPlanes);
  Put16(p + 14, h.biBitCount);
  Put32(p + 16, h.biCompression);
  Put32(p + 20, h.biSizeImage);
  Put32(p + 24, static_cast<uint32_t>(h.biXPelsPerMeter));
  Put32(p + 28, static_cast<uint32_t>(h.biYPelsPerMeter));
  Put32(p + 32, h.biClrUsed);
  Put32(p + 36, h.biClrImportant);
  return out;
}

void SetOpaque(uint8_t* pixels, size_t length) {
  for (size_t i = 3; i < length; i += 4) pixels[i] = 255;
}

bool WriteBmpFile(const std::string& path, const BITMAPINFOHEADER& header, const uint8_t* pixels, size_t length,
                  std::string* reason) {
  if (path.empty()) return Failed(reason, "no output path", EINVAL);
  if (length > static_cast<size_t>(kMaxBmpPixelBytes)) return Failed(reason, "frame too large", EFBIG);
  std::string temporary;
  const int fd = CreateTemporarySibling(path, &temporary);
  if (fd < 0) return Failed(reason, "create", errno);
  const auto headers = BmpHeaders(header, static_cast<uint32_t>(length));
  bool ok = WriteAll(fd, headers.data(), headers.size()) && WriteAll(fd, pixels, length) &&
            fchmod(fd, NewFileMode()) == 0 && fsync(fd) == 0;
  int error = errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    unlink(temporary.c_str());
    return Failed(reason, "write", error);
  }
  if (rename(temporary.c_str(), path.c_str()) != 0) {
    error = errno;
    unlink(temporary.c_str());
    return Failed(reason, "rename", error);
  }
  return true;
}
