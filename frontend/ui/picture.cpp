#include "frontend/ui/picture.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QRect>
#include <QSaveFile>
#include <algorithm>
#include <cctype>

namespace {

QByteArray FormatName(int type) {
  switch (type) {
    case kPictureBmp:
      return "bmp";
    case kPictureGif:
      return "gif";
    case kPictureJpg:
      return "jpg";
    case kPicturePng:
      return "png";
    default:
      return {};
  }
}

int TypeOfFormat(const QByteArray& format) {
  const QByteArray f = format.toLower();
  if (f == "bmp") return kPictureBmp;
  if (f == "gif") return kPictureGif;
  if (f == "jpg" || f == "jpeg") return kPictureJpg;
  if (f == "png") return kPicturePng;
  return kPictureUnknown;
}

QString FromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

// The delay (1/100 s) of each picture of a GIF file, from the graphic control
// block before it, as the file gives it (Qt's reader hides a delay of 0).
// Empty when the file is not a GIF or its blocks do not add up.
std::vector<int> GifFrameDelays(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = file.readAll();
  const auto* b = reinterpret_cast<const uint8_t*>(bytes.constData());
  const size_t n = size_t(bytes.size());
  if (n < 13 || (bytes.left(6) != "GIF87a" && bytes.left(6) != "GIF89a")) return {};
  size_t at = 13;
  if ((b[10] & 0x80) != 0) at += 3u << ((b[10] & 7) + 1);  // global colour table
  // Skips a chain of sub-blocks; false when it runs past the end.
  auto skipBlocks = [&]() {
    while (at < n) {
      const size_t len = b[at++];
      if (len == 0) return true;
      at += len;
    }
    return false;
  };
  std::vector<int> delays;
  int delay = 0;
  while (at < n) {
    const uint8_t kind = b[at++];
    if (kind == 0x3B) return delays;  // trailer
    if (kind == 0x21) {
      if (at >= n) break;
      const uint8_t label = b[at++];
      if (label == 0xF9 && at + 3 < n && b[at] >= 4) delay = b[at + 2] | b[at + 3] << 8;
      if (!skipBlocks()) break;
    } else if (kind == 0x2C) {
      if (at + 9 > n) break;
      const uint8_t flags = b[at + 8];
      at += 9;
      if ((flags & 0x80) != 0) at += 3u << ((flags & 7) + 1);  // local colour table
      ++at;                                                    // code size
      if (at > n || !skipBlocks()) break;
      delays.push_back(delay);
      delay = 0;
    } else {
      break;
    }
  }
  return delays;  // a file cut short: the pictures found so far
}

}  // namespace

std::string FindFileExtension(const std::string& path) {
  const size_t dot = path.rfind('.');
  return dot == std::string::npos ? path : path.substr(dot + 1);
}

CPicture::CPicture(int type) : type_(type) {}

int CPicture::GetTypeIdFromName(const std::string& extension) {
  std::string e;
  for (char c : extension) e.push_back(char(std::tolower(static_cast<unsigned char>(c))));
  if (e == "bmp" || e == "dib") return kPictureBmp;
  if (e == "gif") return kPictureGif;
  if (e == "jpg" || e == "jpeg" || e == "jpe") return kPictureJpg;
  if (e == "png") return kPicturePng;
  return kPictureUnknown;
}

void CPicture::Clear() {
  image_ = QImage();
  frames_.clear();
  delay_ = 0;
  numFrames_ = 0;
}

bool CPicture::Load(const std::string& path, int type) {
  Clear();
  const QString name = FromUtf8(path);
  if (path.empty() || !QFileInfo(name).isFile()) return false;
  QImageReader reader(name, FormatName(type));
  reader.setDecideFormatFromContent(true);
  const int count = std::max(1, reader.imageCount());
  const int wanted = std::clamp(frame_, 0, count - 1);
  // Frames are read in order: an animation's frames build on the ones before.
  std::vector<CPicture> frames;
  for (int i = 0; i <= (retrieveAll_ ? count - 1 : wanted); ++i) {
    QImage image = reader.read();
    if (image.isNull()) break;
    CPicture frame(type_);
    frame.image_ = std::move(image);
    frame.delay_ = std::max(0, reader.nextImageDelay() / 10);
    frame.numFrames_ = 1;
    frames.push_back(std::move(frame));
  }
  if (frames.empty()) return false;
  const int type0 = TypeOfFormat(QImageReader::imageFormat(name));
  if (type0 != kPictureUnknown) type_ = type0;
  if (type_ == kPictureGif) {
    const std::vector<int> delays = GifFrameDelays(name);
    for (size_t i = 0; i < frames.size() && i < delays.size(); ++i) frames[i].delay_ = delays[i];
  }
  const CPicture& chosen = frames[size_t(std::min<int>(wanted, int(frames.size()) - 1))];
  image_ = chosen.image_;
  delay_ = chosen.delay_;
  numFrames_ = count;
  if (retrieveAll_ && count > 1) {
    for (CPicture& f : frames) f.type_ = type_;
    frames_ = std::move(frames);
  }
  return true;
}

const CPicture* CPicture::GetFrame(int index) const {
  if (index < 0 || size_t(index) >= frames_.size()) return nullptr;
  return &frames_[size_t(index)];
}

void CPicture::Copy(const CPicture& source, bool pixels, bool /*selection: there is no selection mask*/, bool alpha) {
  frames_.clear();
  type_ = source.type_;
  delay_ = source.delay_;
  numFrames_ = source.IsValid() ? 1 : 0;
  hasTrans_ = source.hasTrans_;
  transColour_ = source.transColour_;
  if (!source.IsValid()) {
    image_ = QImage();
    return;
  }
  if (pixels) {
    image_ = source.image_;
  } else {
    image_ = QImage(source.image_.size(), source.image_.format());
    image_.fill(0);
  }
  if (!alpha && image_.hasAlphaChannel()) image_ = image_.convertToFormat(QImage::Format_RGB32);
}

QImage CPicture::Drawable() const {
  if (!hasTrans_) return image_;
  QImage image = image_.convertToFormat(QImage::Format_ARGB32);
  const QRgb key = transColour_ & 0x00FFFFFFu;
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      if ((line[x] & 0x00FFFFFFu) == key) line[x] = 0;
    }
  }
  return image;
}

void CPicture::Draw(QPainter* painter, int x, int y, int width, int height, const QRect* clip, bool smooth) const {
  if (!IsValid() || painter == nullptr) return;
  Draw(painter, QRect(x, y, width < 0 ? GetWidth() : width, height < 0 ? GetHeight() : height), clip, smooth);
}

void CPicture::Draw(QPainter* painter, const QRect& rect, const QRect* clip, bool smooth) const {
  if (!IsValid() || painter == nullptr || rect.isEmpty()) return;
  painter->save();
  if (clip != nullptr) painter->setClipRect(*clip, Qt::IntersectClip);
  painter->setRenderHint(QPainter::SmoothPixmapTransform, smooth);
  painter->drawImage(rect, Drawable());
  painter->restore();
}

bool CPicture::Crop(int left, int top, int right, int bottom, CPicture* destination) const {
  if (!IsValid() || right <= left || bottom <= top) return false;
  const QRect part = QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)).intersected(image_.rect());
  if (part.isEmpty()) return false;
  CPicture* to = destination != nullptr ? destination : const_cast<CPicture*>(this);
  QImage cut = image_.copy(part);
  to->Copy(*this, false, false, true);
  to->image_ = std::move(cut);
  return true;
}

QRgb CPicture::GetPixelColor(int x, int y, bool alpha) const {
  if (!IsValid() || !image_.valid(x, y)) return 0;
  const QRgb pixel = image_.pixel(x, y);
  return alpha ? pixel : (pixel | 0xFF000000u);
}

int CPicture::GetPixelIndex(int x, int y) const {
  if (!IsValid() || !image_.valid(x, y) || image_.colorCount() == 0) return -1;
  return image_.pixelIndex(x, y);
}

void CPicture::SetTransIndex(int index) {
  if (index < 0 || index >= image_.colorCount()) {
    hasTrans_ = false;
    return;
  }
  SetTransColor(image_.color(index));
}

void CPicture::SetTransColor(QRgb colour) {
  hasTrans_ = true;
  transColour_ = colour;
}

bool CPicture::CreateFromImage(const QImage& image) {
  Clear();
  if (image.isNull()) return false;
  image_ = image;
  numFrames_ = 1;
  return true;
}

uint8_t* CPicture::Create(int width, int height, int bitsPerPixel, int type) {
  Clear();
  type_ = type;
  if (width < 1 || height < 1 || (bitsPerPixel != 24 && bitsPerPixel != 32)) return nullptr;
  image_ = QImage(width, height, bitsPerPixel == 24 ? QImage::Format_BGR888 : QImage::Format_ARGB32);
  if (image_.isNull()) return nullptr;
  image_.fill(0);
  numFrames_ = 1;
  return GetBits(0);
}

uint8_t* CPicture::GetBits(int row) {
  if (!IsValid() || row < 0 || row >= GetHeight()) return nullptr;
  return image_.scanLine(GetHeight() - 1 - row);
}

bool CPicture::Save(const std::string& path, int type) const {
  const QByteArray format = FormatName(type);
  if (!IsValid() || format.isEmpty() || path.empty()) return false;
  QSaveFile file(FromUtf8(path));
  if (!file.open(QIODevice::WriteOnly)) return false;
  QImageWriter writer(&file, format);
  if (type == kPictureJpg) writer.setQuality(jpegQuality_);
  if (!writer.write(image_)) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}
