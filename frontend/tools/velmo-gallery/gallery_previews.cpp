// velmo-gallery frame-preview: the frame preview over a frame file, with crop
// bands, pads and sizes from the command line; prints what it shows and can
// keep a screenshot.
#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "frontend/controls/previews.h"
#include "frontend/tools/velmo-gallery/gallery.h"

namespace {

bool Ints(const char* text, int* values, int count, char separator) {
  const char* p = text;
  for (int i = 0; i < count; ++i) {
    char* end = nullptr;
    const long v = std::strtol(p, &end, 0);
    if (end == p || v < -1000000 || v > 1000000) return false;
    values[i] = int(v);
    if (i + 1 < count) {
      if (*end != separator) return false;
      p = end + 1;
    } else if (*end != '\0') {
      return false;
    }
  }
  return true;
}

bool Real(const char* text, double* value) {
  char* end = nullptr;
  *value = std::strtod(text, &end);
  return end != text && *end == '\0';
}

int RunFramePreview(GalleryArgs& args) {
  std::string frame, screenshot;
  FrameGeometry g;
  int source[2] = {0, 0}, output[2] = {0, 0}, size[2] = {362, 292};
  int bands[4] = {0, 0, 0, 0}, pads[4] = {0, 0, 0, 0};
  int padColour = 0, mode = CFramePreviewCtrl::kModeCrop;
  frame = args.Value("frame");
  screenshot = args.Screenshot();
  const auto option = [&](const char* name, auto check) {
    if (!args.Has(name)) return;
    const std::string value = args.Value(name);
    if (!check(value.c_str())) GalleryUsage("bad value \"" + value + "\" for --" + name);
  };
  option("source", [&](const char* v) { return Ints(v, source, 2, 'x') && source[0] > 0 && source[1] > 0; });
  option("output", [&](const char* v) { return Ints(v, output, 2, 'x') && output[0] > 0 && output[1] > 0; });
  option("size", [&](const char* v) {
    return Ints(v, size, 2, 'x') && size[0] > 2 && size[1] > 2 && size[0] <= 8192 && size[1] <= 8192;
  });
  option("bands", [&](const char* v) { return Ints(v, bands, 4, ','); });
  option("pads", [&](const char* v) { return Ints(v, pads, 4, ','); });
  option("pad-color",
         [&](const char* v) { return Ints(v, &padColour, 1, ',') && padColour >= 0 && padColour <= 0xFFFFFF; });
  option("mode", [&](const char* v) { return Ints(v, &mode, 1, ','); });
  option("aspect", [&](const char* v) { return Real(v, &g.sourceAspect); });
  option("output-aspect", [&](const char* v) { return Real(v, &g.outputAspect); });
  if (frame.empty()) GalleryUsage("--frame is missing");

  CFramePreviewCtrl view;
  view.resize(size[0], size[1]);
  if (source[0] == 0) {  // the frame's own size
    const QImage image(QString::fromStdString(frame));
    source[0] = image.width();
    source[1] = image.height();
  }
  g.sourceWidth = source[0];
  g.sourceHeight = source[1];
  g.outputWidth = output[0] > 0 ? output[0] : source[0];
  g.outputHeight = output[1] > 0 ? output[1] : source[1];
  g.layout.leftBand = bands[0];
  g.layout.rightBand = bands[1];
  g.layout.topBand = bands[2];
  g.layout.bottomBand = bands[3];
  g.layout.leftPad = pads[0];
  g.layout.rightPad = pads[1];
  g.layout.topPad = pads[2];
  g.layout.bottomPad = pads[3];
  g.layout.padColor = uint32_t(padColour);
  view.Open(frame, &g);
  view.SetMode(mode);
  const QRect shown = view.ShownRect();
  std::printf("valid=%d shown=%d,%d,%d,%d\n", view.IsValid() ? 1 : 0, shown.x(), shown.y(), shown.width(),
              shown.height());
  if (!screenshot.empty()) {
    if (!SaveWidgetPicture(view, screenshot)) return GalleryFailed("cannot write " + screenshot);
    std::printf("screenshot=%s\n", screenshot.c_str());
  }
  return view.IsValid() ? 0 : 1;
}

// Prints "valid=0|1 shown=X,Y,W,H"; exit status 1 when only the background shows
// (a frame that cannot be read or has another size).
const GalleryRegistrar kFramePreview({"frame-preview",
                                      "the frame preview over a frame file (a BMP such as trivox_free -b renders)",
                                      {{"frame", "FILE", "the frame picture"},
                                       {"source", "WxH", "the source size the frame must have (default: its own)"},
                                       {"bands", "L,R,T,B", "crop bands in source pixels (default 0,0,0,0)"},
                                       {"output", "WxH", "output size (default: the source size)"},
                                       {"pads", "L,R,T,B", "pads in output pixels (default 0,0,0,0)"},
                                       {"pad-color", "0xBBGGRR", "pad colour (default 0, black)"},
                                       {"aspect", "A", "source pixel aspect (default 1; 0 counts as 1)"},
                                       {"output-aspect", "A", "output pixel aspect (default 1)"},
                                       {"mode", "N", "1 crop bands over the source (default), 2 the output"},
                                       {"size", "WxH", "the control's size (default 362x292)"}},
                                      RunFramePreview});

}  // namespace
