// velmo-gallery frame-preview: the frame preview over a frame file, with crop
// bands, pads and sizes from the command line; prints what it shows and can
// keep a screenshot.
#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "frontend/controls/previews.h"

namespace {

void FrameHelp() {
  std::printf(
      "Usage: velmo-gallery frame-preview --frame FILE [OPTION]...\n"
      "Shows a frame (a BMP, such as trivox_free -b renders) in the frame preview.\n\n"
      "  --frame FILE          the frame picture\n"
      "  --source WxH          the source size the frame must have (default: the frame's own)\n"
      "  --bands L,R,T,B       crop bands in source pixels (default 0,0,0,0)\n"
      "  --output WxH          output size (default: the source size)\n"
      "  --pads L,R,T,B        pads in output pixels (default 0,0,0,0)\n"
      "  --pad-color 0xBBGGRR  pad colour (default 0, black)\n"
      "  --aspect A            source pixel aspect (default 1; 0 counts as 1)\n"
      "  --output-aspect A     output pixel aspect (default 1)\n"
      "  --mode N              1 crop bands over the source (default), 2 the output\n"
      "  --size WxH            the control's size (default 362x292)\n"
      "  --screenshot FILE     write the control as a PNG picture\n\n"
      "Prints \"valid=0|1 shown=X,Y,W,H\". Exit status 0 when the frame is shown, 1 when only\n"
      "the background is (a frame that cannot be read or has another size), 2 on a usage error.\n");
}

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

int Usage(const std::string& message) {
  std::fprintf(stderr, "velmo-gallery frame-preview: %s (see --help)\n", message.c_str());
  return 2;
}

}  // namespace

int GalleryFramePreview(int argc, char** argv) {
  std::string frame, screenshot;
  FrameGeometry g;
  int source[2] = {0, 0}, output[2] = {0, 0}, size[2] = {362, 292};
  int bands[4] = {0, 0, 0, 0}, pads[4] = {0, 0, 0, 0};
  int padColour = 0, mode = CFramePreviewCtrl::kModeCrop;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--help" || option == "-h") {
      FrameHelp();
      return 0;
    }
    if (i + 1 >= argc) return Usage(option + " needs a value");
    const char* value = argv[++i];
    bool ok = true;
    if (option == "--frame")
      frame = value;
    else if (option == "--screenshot")
      screenshot = value;
    else if (option == "--source")
      ok = Ints(value, source, 2, 'x') && source[0] > 0 && source[1] > 0;
    else if (option == "--output")
      ok = Ints(value, output, 2, 'x') && output[0] > 0 && output[1] > 0;
    else if (option == "--size")
      ok = Ints(value, size, 2, 'x') && size[0] > 2 && size[1] > 2 && size[0] <= 8192 && size[1] <= 8192;
    else if (option == "--bands")
      ok = Ints(value, bands, 4, ',');
    else if (option == "--pads")
      ok = Ints(value, pads, 4, ',');
    else if (option == "--pad-color")
      ok = Ints(value, &padColour, 1, ',') && padColour >= 0 && padColour <= 0xFFFFFF;
    else if (option == "--mode")
      ok = Ints(value, &mode, 1, ',');
    else if (option == "--aspect")
      ok = Real(value, &g.sourceAspect);
    else if (option == "--output-aspect")
      ok = Real(value, &g.outputAspect);
    else
      return Usage("unknown option " + option);
    if (!ok) return Usage("bad value \"" + std::string(value) + "\" for " + option);
  }
  if (frame.empty()) return Usage("--frame is missing");

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
    if (!view.grab().toImage().save(QString::fromStdString(screenshot), "PNG")) {
      std::fprintf(stderr, "velmo-gallery: cannot write %s\n", screenshot.c_str());
      return 1;
    }
    std::printf("screenshot=%s\n", screenshot.c_str());
  }
  return view.IsValid() ? 0 : 1;
}
