// Pictures read, drawn, cropped and written through Qt's image readers and
// writers: skins, watermark pictures (all frames of an animated GIF with
// their delays), frame previews and snapshots.
//
// Types: 0 unknown (the content decides), 1 BMP, 2 GIF, 3 JPEG, 4 PNG. A type
// given to Load is tried first; a file whose content is another picture
// format still loads, as the engine's picture loader reads it.
#pragma once

#include <QImage>
#include <QRgb>
#include <cstdint>
#include <string>
#include <vector>

class QPainter;
class QRect;

enum PictureType : int {
  kPictureUnknown = 0,
  kPictureBmp = 1,
  kPictureGif = 2,
  kPictureJpg = 3,
  kPicturePng = 4,
};

// The text after the last '.' of a path, or the whole path when it has none.
std::string FindFileExtension(const std::string& path);

class CPicture {
 public:
  explicit CPicture(int type = kPictureUnknown);

  // The type of a file-name extension ("gif" -> 2); 0 when unknown.
  static int GetTypeIdFromName(const std::string& extension);

  // Reads a regular file. false when it cannot be read or decoded; the picture
  // then holds no image. A multi-frame file gives the frame chosen with
  // SetFrame (the first by default) and, with all-frame retrieval on, every
  // frame (GetFrame).
  bool Load(const std::string& path, int type);
  bool IsValid() const { return !image_.isNull(); }
  int GetType() const { return type_; }
  int GetWidth() const { return image_.width(); }
  int GetHeight() const { return image_.height(); }
  // Bytes of pixel memory; 0 when there is no image.
  int64_t GetSize() const { return IsValid() ? int64_t(image_.sizeInBytes()) : 0; }

  // Draws the image scaled into the rectangle (its own size for a width and
  // height of -1), cut to clip when one is given; smooth scaling on request.
  // The transparent colour, when set, is not drawn.
  void Draw(QPainter* painter, int x, int y, int width = -1, int height = -1, const QRect* clip = nullptr,
            bool smooth = false) const;
  void Draw(QPainter* painter, const QRect& rect, const QRect* clip = nullptr, bool smooth = false) const;
  // The part (left, top) .. (right, bottom) (exclusive) of the image, cut to
  // the image, into destination (this picture when null). false when nothing
  // of it lies on the image.
  bool Crop(int left, int top, int right, int bottom, CPicture* destination) const;

  // Multi-frame pictures.
  void SetRetreiveAllFrames(bool all) { retrieveAll_ = all; }
  // Frames of the file last loaded (1 for a still picture, 0 before a load).
  int GetNumFrames() const { return numFrames_; }
  // The frame Load reads; out of range reads the last.
  void SetFrame(int index) { frame_ = index; }
  int GetFrame() const { return frame_; }
  // A frame read with all-frame retrieval; null out of range. Owned here.
  const CPicture* GetFrame(int index) const;
  // The delay after this picture (a frame) in 1/100 s; 0 when the file gives none.
  int GetFrameDelay() const { return delay_; }
  // Copies another picture: its pixels (else an empty image of its size), its
  // transparency and its alpha (else made opaque). Frames are not copied.
  void Copy(const CPicture& source, bool pixels = true, bool selection = true, bool alpha = true);

  // Pixels; out-of-range coordinates give 0. Without alpha the colour is opaque.
  QRgb GetPixelColor(int x, int y, bool alpha = true) const;
  // The palette index of an indexed image; -1 for other images.
  int GetPixelIndex(int x, int y) const;
  // A transparent colour, or a palette entry of an indexed image (-1: none).
  void SetTransIndex(int index);
  void SetTransColor(QRgb colour);
  bool HasTransColor() const { return hasTrans_; }

  // From and to in-memory images (the bitmaps of the desktop).
  bool CreateFromImage(const QImage& image);
  QImage MakeBitmap() const { return image_; }
  const QImage& Image() const { return image_; }

  // A new image of 24 bits a pixel (bytes blue, green, red) or 32 (blue,
  // green, red, alpha); the pixel memory, or null for other depths or sizes.
  uint8_t* Create(int width, int height, int bitsPerPixel, int type);
  // The start of a row counted from the bottom, as device-independent bitmaps
  // count them; null out of range.
  uint8_t* GetBits(int row = 0);
  void SetJpegQuality(int quality) { jpegQuality_ = quality; }
  // Writes the image whole (a temporary file renamed into place); false when
  // there is no image, the type cannot be written, or the file cannot be.
  bool Save(const std::string& path, int type) const;

 private:
  void Clear();
  QImage Drawable() const;

  QImage image_;
  int type_;
  int delay_ = 0;
  int numFrames_ = 0;
  int frame_ = 0;
  bool retrieveAll_ = false;
  std::vector<CPicture> frames_;
  bool hasTrans_ = false;
  QRgb transColour_ = 0;
  int jpegQuality_ = 90;
};
