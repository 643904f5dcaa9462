// velmo-gallery about: the About box on its skin; prints its title, size,
// shape and texts, and saves a screenshot with the cut-away parts transparent.
#include <QBitmap>
#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <string>

#include "frontend/app/product.h"
#include "frontend/controls/gradient_label.h"
#include "frontend/controls/link_button.h"
#include "frontend/dialogs/dlg_about.h"
#include "frontend/tools/velmo-gallery/gallery.h"
#include "frontend/ui/resources.h"

namespace {

// The dialog as it shows: its face where its shape is, transparent elsewhere.
QImage ShapedPicture(QWidget& dialog) {
  QCoreApplication::processEvents();
  QImage face = dialog.grab().toImage().convertToFormat(QImage::Format_ARGB32);
  const QRegion shape = dialog.mask();
  if (shape.isEmpty()) return face;
  QImage shaped(face.size(), QImage::Format_ARGB32);
  shaped.fill(Qt::transparent);
  QPainter p(&shaped);
  p.setClipRegion(shape);
  p.drawImage(0, 0, face);
  p.end();
  return shaped;
}

int RunAbout(GalleryArgs& args) {
  if (args.Has("resource-folder")) SetResourceFolder(args.Value("resource-folder"));
  const std::string screenshot = args.Screenshot();
  args.values_.erase("screenshot");  // saved here, with the shape

  CDlgAbout dialog;
  dialog.webAddress = args.Value("web", kProductWebAddress);
  dialog.supportAddress = args.Value("mail", kProductSupportAddress);
  dialog.description = args.Value("text", kProductDescription);
  bool saved = true;
  args.RunModal([&dialog] { return dialog.DoModal(); },
                [&](UiDialog&) {
                  const QRect shape = dialog.mask().boundingRect();
                  std::printf("title=%s\n", dialog.windowTitle().toUtf8().constData());
                  std::printf("skin=%s\n", dialog.Skin().isNull() ? "none" : "loaded");
                  std::printf("size=%dx%d\n", dialog.width(), dialog.height());
                  std::printf("shape=%d,%d %dx%d\n", shape.x(), shape.y(), shape.width(), shape.height());
                  std::printf("text=%s\n", dialog.Label(IDC_ABOUT_TEXT)->Text().toUtf8().constData());
                  std::printf("web=%s\n", dialog.WebLink()->text().toUtf8().constData());
                  std::printf("mail=%s\n", dialog.MailLink()->text().toUtf8().constData());
                  if (!screenshot.empty()) {
                    saved = ShapedPicture(dialog).save(QString::fromStdString(screenshot), "PNG");
                  }
                });
  if (!saved) return GalleryFailed("cannot write the screenshot " + screenshot);
  return 0;
}

const GalleryRegistrar kAbout({"about",
                               "the About box on its skin (the resource folder's brelsk.bmp)",
                               {{"resource-folder", "DIR", "where the skin is (default: this program's resource)"},
                                {"web", "URL", "the web address shown"},
                                {"mail", "ADDRESS", "the support mail address shown"},
                                {"text", "TEXT", "the line under the title"}},
                               RunAbout});

}  // namespace
