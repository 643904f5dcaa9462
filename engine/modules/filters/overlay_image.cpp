#include "engine/modules/filters/overlay_image.h"

#include <algorithm>

#include "engine/modules/ffmpeg/ffm_picture_loader.h"

namespace {

uint8_t Blend(double weight, uint8_t picture, uint8_t frame) {
  return uint8_t(weight * picture + (1.0 - weight) * frame);
}

// Picture columns (or rows) [from, to) whose frame position p + offset lies in [0, limit).
void KeepInside(int64_t offset, int64_t limit, int64_t* from, int64_t* to) {
  *from = std::max(*from, -offset);
  *to = std::min(*to, limit - offset);
}

// The visible part of image `index`, kept inside the picture; false when there is nothing to draw.
const OverlayImage* Visible(const COverlayImageList& list, int32_t index, int64_t* x0, int64_t* y0, int64_t* x1,
                            int64_t* y1) {
  if (index < 0 || size_t(index) >= list.images.size() || !(list.level > 0)) return nullptr;
  const OverlayImage& image = list.images[size_t(index)];
  const OverlayPlacement& p = list.place;
  *x0 = std::max<int64_t>(p.srcX, 0);
  *y0 = std::max<int64_t>(p.srcY, 0);
  *x1 = std::min<int64_t>(p.srcEndX, image.width);
  *y1 = std::min<int64_t>(p.srcEndY, image.height);
  return *x0 < *x1 && *y0 < *y1 ? &image : nullptr;
}

int64_t HalfDown(int64_t v) { return v >= 0 ? v / 2 : -((1 - v) / 2); }

}  // namespace

void COverlayImageList::Free() {
  images.clear();
  images.shrink_to_fit();
  totalDelay = 0;
}

int32_t COverlayImageList::ImageAt(int64_t start) const {
  if (images.size() < 2 || totalDelay <= 0) return 0;
  const int64_t t = (start / 100000) % totalDelay;
  int64_t sum = 0;
  for (size_t i = 0; i < images.size(); ++i) {
    sum += images[i].delay;
    if (sum > t) return int32_t(i);
  }
  return 0;
}

bool BuildOverlayImages(const std::vector<DecodedPicture>& pictures, COverlayImageList* list, bool rgbPlanes,
                        std::string* reason) {
  list->Free();
  std::vector<OverlayImage> images;
  int64_t total = 0;
  for (const DecodedPicture& picture : pictures) {
    const int32_t w = picture.width, h = picture.height;
    if (w < 1 || h < 1 || picture.rgba.size() != size_t(w) * size_t(h) * 4) {
      if (reason) *reason = "a picture has no pixels";
      return false;
    }
    if (!images.empty() && (w != images[0].width || h != images[0].height)) {
      if (reason) *reason = "its frames differ in size";
      return false;
    }
    OverlayImage image;
    image.width = w;
    image.height = h;
    image.delay = picture.delay > 0 ? picture.delay : 1;
    const size_t pixels = size_t(w) * size_t(h);
    for (auto& plane : image.planes) plane.resize(pixels);
    std::vector<uint8_t> yuv[3];
    if (!rgbPlanes && SplitPictureYuv(picture, &yuv[0], &yuv[1], &yuv[2]) != S_OK) {
      if (reason) *reason = "cannot convert it to YUV";
      return false;
    }
    for (int32_t r = 0; r < h; ++r) {
      const size_t from = size_t(r) * size_t(w);        // top-down
      const size_t to = size_t(h - 1 - r) * size_t(w);  // bottom-up
      for (int32_t c = 0; c < w; ++c) {
        const uint8_t* px = &picture.rgba[(from + size_t(c)) * 4];
        for (int i = 0; i < 3; ++i)
          image.planes[size_t(i)][to + size_t(c)] = rgbPlanes ? px[i] : yuv[i][from + size_t(c)];
        const int32_t colour = px[0] | px[1] << 8 | px[2] << 16;
        image.planes[3][to + size_t(c)] = (list->transparent && colour == list->transColour) ? 0 : px[3];
      }
    }
    total += image.delay;
    images.push_back(std::move(image));
  }
  if (images.empty()) {
    if (reason) *reason = "it holds no picture";
    return false;
  }
  list->images = std::move(images);
  list->totalDelay = int32_t(std::min<int64_t>(total, INT32_MAX));
  return true;
}

bool LoadOverlayImages(const char* path, COverlayImageList* list, bool rgbPlanes, std::string* reason) {
  std::vector<DecodedPicture> pictures;
  list->Free();
  if (LoadPictureFrames(path, &pictures, reason) != S_OK) return false;
  return BuildOverlayImages(pictures, list, rgbPlanes, reason);
}

void BlendOverlayYV12(FramePlanes* f, const COverlayImageList& list, int32_t index) {
  int64_t x0, y0, x1, y1;
  const OverlayImage* image = Visible(list, index, &x0, &y0, &x1, &y1);
  if (image == nullptr || f == nullptr || f->pointer[0] == nullptr) return;
  const double level = std::min(list.level, 1.0);
  const OverlayPlacement& p = list.place;
  const int64_t offX = int64_t{p.dstX} - p.srcX;  // frame column = picture column + offX
  const int64_t offY = int64_t{p.dstY} - p.srcY;

  int64_t c0 = x0, c1 = x1, r0 = y0, r1 = y1;
  KeepInside(offX, f->pitch[0], &c0, &c1);
  KeepInside(offY, f->rows[0], &r0, &r1);
  for (int64_t r = r0; r < r1; ++r) {
    uint8_t* row = f->pointer[0] + size_t(r + offY) * size_t(f->pitch[0]);
    for (int64_t c = c0; c < c1; ++c) {
      const uint8_t a = image->At(3, int32_t(r), int32_t(c));
      if (a == 0) continue;
      uint8_t& px = row[c + offX];
      px = Blend(level * a / 255.0, image->At(0, int32_t(r), int32_t(c)), px);
    }
  }

  if (f->pointer[1] == nullptr || f->pointer[2] == nullptr) return;
  // Chroma from the even picture rows and columns of the visible part. Frame
  // positions are halved rounding down, so a picture cut at the top or left
  // by an odd amount never blends one chroma sample twice.
  for (int64_t k = y0 / 2; k < y1 / 2; ++k) {
    const int64_t r = 2 * k;
    const int64_t row = HalfDown(r + offY);
    if (r >= image->height || row < 0 || row >= f->rows[1] || row >= f->rows[2]) continue;
    uint8_t* u = f->pointer[1] + size_t(row) * size_t(f->pitch[1]);
    uint8_t* v = f->pointer[2] + size_t(row) * size_t(f->pitch[2]);
    for (int64_t m = x0 / 2; m < x1 / 2; ++m) {
      const int64_t c = 2 * m;
      const int64_t column = HalfDown(c + offX);
      if (c >= image->width || column < 0 || column >= f->pitch[1] || column >= f->pitch[2]) continue;
      const uint8_t a = image->At(3, int32_t(r), int32_t(c));
      if (a == 0) continue;
      const double w = level * a / 255.0;
      u[column] = Blend(w, image->At(1, int32_t(r), int32_t(c)), u[column]);
      v[column] = Blend(w, image->At(2, int32_t(r), int32_t(c)), v[column]);
    }
  }
}

void BlendOverlayRGB24(FramePlanes* f, const COverlayImageList& list, int32_t index) {
  int64_t x0, y0, x1, y1;
  const OverlayImage* image = Visible(list, index, &x0, &y0, &x1, &y1);
  if (image == nullptr || f == nullptr || f->pointer[0] == nullptr) return;
  const double level = std::min(list.level, 1.0);
  const OverlayPlacement& p = list.place;
  const int64_t offX = int64_t{p.dstX} - p.srcX;
  const int64_t offY = int64_t{p.dstY} - p.srcY;
  const int64_t rows = f->rows[0];
  KeepInside(offX, f->pitch[0] / 3, &x0, &x1);
  KeepInside(offY, rows, &y0, &y1);
  for (int64_t r = y0; r < y1; ++r) {
    uint8_t* row = f->pointer[0] + size_t(rows - 1 - (r + offY)) * size_t(f->pitch[0]);  // rows bottom-up
    for (int64_t c = x0; c < x1; ++c) {
      const uint8_t a = image->At(3, int32_t(r), int32_t(c));
      if (a == 0) continue;
      const double w = level * a / 255.0;
      uint8_t* px = row + 3 * (c + offX);
      px[0] = Blend(w, image->At(2, int32_t(r), int32_t(c)), px[0]);
      px[1] = Blend(w, image->At(1, int32_t(r), int32_t(c)), px[1]);
      px[2] = Blend(w, image->At(0, int32_t(r), int32_t(c)), px[2]);
    }
  }
}
