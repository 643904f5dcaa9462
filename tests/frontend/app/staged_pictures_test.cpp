// Every picture the front end's windows load is in the staged program folder,
// drawn (not one flat colour, not a filled square) in the size and strip
// layout its loader expects; a contact sheet of them all is kept. The main
// window shows them: the Start button's icon, the hover buttons' faces, the
// empty tree's picture, the profile box's node icon, the menu icons and the
// window icon.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QIcon>
#include <QPainter>
#include <QPushButton>
#include <filesystem>
#include <set>

#include "common/codec_tables.h"
#include "frontend/app/app_settings.h"
#include "frontend/app/dlg_dvd_main.h"
#include "frontend/app/user_folders.h"
#include "frontend/controls/column_tree.h"
#include "frontend/controls/icon_button.h"
#include "frontend/controls/image_list.h"
#include "frontend/model/profile_db.h"
#include "frontend/model/profile_store.h"
#include "frontend/ui/menu_xp.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/resources.h"
#include "qt_test_util.h"

namespace fs = std::filesystem;

namespace {

const std::string kStage = TRIVOX_STAGE_DIR;
const QColor kMagenta(255, 0, 255);
const QColor kNavy(0, 0, 128);

// One picture a window loads: where, its size, the tile its loader cuts it
// into (0: the whole picture) and its see-through colour (invalid: none; the
// icons' own alpha when alpha is set).
struct Expected {
  std::string path;  // under the staged program folder
  int width, height;
  int tile;
  QColor key;
  bool alpha = false;
  bool block = false;  // a slider's block, not a pictogram
};

std::vector<Expected> ExpectedPictures() {
  std::vector<Expected> list = {
      {"resource/bitmap/128.png", 17 * 16, 16, 16, kMagenta},          // menu icons 0..16
      {"resource/bitmap/181.png", 36, 18, 18, kNavy},                  // Start: normal, hover
      {"resource/bitmap/144.png", 16, 16, 0, kMagenta},                // Del
      {"resource/bitmap/146.png", 16, 16, 0, kMagenta},                // Add DVD
      {"resource/bitmap/152.png", 16, 16, 0, kMagenta},                // Edit
      {"resource/bitmap/185.png", 16, 16, 0, kMagenta},                // Trim
      {"resource/bitmap/212.png", 330, 96, 0, QColor()},               // the empty title tree
      {"resource/bitmap/133.png", 411, 5, 0, QColor()},                // the media scan's strip
      {"resource/bitmap/172.png", 11, 106, 0, kMagenta, false, true},  // equaliser channel
      {"resource/bitmap/173.png", 11, 9, 0, kMagenta, false, true},    // its thumb
      {"resource/bitmap/176.png", 11, 9, 0, kMagenta, false, true},    // its thumb while dragged
      {"resource/bitmap/214.png", 11, 14, 0, kMagenta, false, true},   // the player's position thumb
      {"resource/icon/175.png", 32, 32, 0, QColor(), true},
      {"resource/icon/178.png", 16, 16, 0, QColor(), true},
      {"resource/icon/227.png", 16, 16, 0, QColor(), true},  // the preview panel
      {"tree/a.bmp", 16, 16, 0, kMagenta},
      {"tree/v.bmp", 16, 16, 0, kMagenta},
      {"tree/c.bmp", 16, 16, 0, kMagenta},
      {"tree/o.bmp", 16, 16, 0, kMagenta},
  };
  for (int size : kProgramIconSizes)
    list.push_back({"resource/icon/velmo-" + std::to_string(size) + ".png", size, size, 0, QColor(), true});
  std::vector<ProfileNode> nodes;
  EnumProfileNodes(nodes);
  for (const ProfileNode& node : nodes) list.push_back({"tree/" + node.folder + "/info.bmp", 16, 16, 0, kMagenta});
  return list;
}

bool SeeThrough(const Expected& e, const QImage& image, int x, int y) {
  if (e.alpha) return qAlpha(image.pixel(x, y)) < 128;
  return e.key.isValid() && (image.pixel(x, y) & 0xFFFFFF) == (e.key.rgb() & 0xFFFFFF);
}

// A tile is drawn when it has at least three colours where it shows, and,
// for a pictogram with a key, when both its shape and the see-through part
// take a fair share.
void ExpectDrawn(const Expected& e, const QImage& image, const QRect& tile) {
  std::set<QRgb> colours;
  int clear = 0;
  for (int y = tile.top(); y <= tile.bottom(); ++y) {
    for (int x = tile.left(); x <= tile.right(); ++x) {
      if (SeeThrough(e, image, x, y))
        ++clear;
      else
        colours.insert(image.pixel(x, y) | 0xFF000000u);
    }
  }
  const int area = tile.width() * tile.height();
  EXPECT_GE(colours.size(), 3u) << "tile at " << tile.x();
  if ((e.key.isValid() || e.alpha) && !e.block) {
    EXPECT_GE(clear * 10, area) << "tile at " << tile.x() << ": a filled square";
    EXPECT_GE((area - clear) * 5, area) << "tile at " << tile.x() << ": next to nothing drawn";
  }
}

// The pictures side by side, twice their size up to 64 pixels, see-through
// pixels on a light chequer.
QImage ContactSheet(const std::vector<std::pair<Expected, QImage>>& pictures) {
  constexpr int kWidth = 900, kGap = 8;
  int x = kGap, y = kGap, rowHeight = 0;
  std::vector<QRect> places;
  for (const auto& [e, image] : pictures) {
    QSize size = image.size();
    if (size.width() <= 64 && size.height() <= 64) size *= 2;
    if (x + size.width() + kGap > kWidth) {
      x = kGap;
      y += rowHeight + kGap;
      rowHeight = 0;
    }
    places.emplace_back(QPoint(x, y), size);
    x += size.width() + kGap;
    rowHeight = std::max(rowHeight, size.height());
  }
  QImage sheet(kWidth, y + rowHeight + kGap, QImage::Format_RGB32);
  sheet.fill(QColor(200, 204, 212));
  QPainter p(&sheet);
  for (size_t i = 0; i < pictures.size(); ++i) {
    const auto& [e, image] = pictures[i];
    QImage shown = image.convertToFormat(QImage::Format_ARGB32);
    for (int py = 0; py < shown.height(); ++py)
      for (int px = 0; px < shown.width(); ++px)
        if (!e.alpha && SeeThrough(e, image, px, py)) shown.setPixel(px, py, 0);
    const QRect& r = places[i];
    for (int cy = 0; cy < r.height(); cy += 4)
      for (int cx = 0; cx < r.width(); cx += 4)
        p.fillRect(QRect(r.x() + cx, r.y() + cy, 4, 4),
                   (cx + cy) / 4 % 2 ? QColor(255, 255, 255) : QColor(225, 225, 225));
    p.drawImage(r, shown);
  }
  return sheet;
}

class StagedPictures : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    SetProfileFolders(ProfileFolders{kStage, ""});
    TheProfileIniCache().Load(kStage.c_str(), (kStage + "/formats.dat").c_str());
    SetResourceFolder(kStage + "/resource");
  }
};

TEST_F(StagedPictures, EveryPictureAWindowLoadsIsThereAndDrawn) {
  const std::vector<Expected> expected = ExpectedPictures();
  ASSERT_GT(expected.size(), 30u);  // the nodes' pictures are there too
  std::vector<std::pair<Expected, QImage>> loaded;
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.path);
    QImage image;
    ASSERT_TRUE(image.load(QString::fromStdString(kStage + "/" + e.path))) << "missing or unreadable";
    EXPECT_EQ(image.width(), e.width);
    EXPECT_EQ(image.height(), e.height);
    if (image.width() != e.width || image.height() != e.height) continue;
    if (e.alpha) {
      EXPECT_TRUE(image.hasAlphaChannel());
    }
    // The hover buttons, tree and slider pictures take their key from the
    // top-left pixel.
    if (e.key.isValid() && e.tile == 0) {
      EXPECT_EQ(image.pixelColor(0, 0), e.key);
    }
    const int tile = e.tile > 0 ? e.tile : e.width;
    std::set<QByteArray> tiles;
    for (int x = 0; x + tile <= e.width; x += tile) {
      ExpectDrawn(e, image, QRect(x, 0, tile, e.height));
      const QImage part = image.copy(x, 0, tile, e.height).convertToFormat(QImage::Format_RGB32);
      tiles.insert(QByteArray(reinterpret_cast<const char*>(part.constBits()), part.sizeInBytes()));
    }
    EXPECT_EQ(static_cast<int>(tiles.size()), e.width / tile) << "two tiles of the strip are the same";
    loaded.emplace_back(e, image);
  }
  // Nodes of one kind tell apart by colour; the kinds by picture.
  std::set<QByteArray> nodePictures;
  int nodes = 0;
  for (const auto& [e, image] : loaded) {
    if (e.path.find("/info.bmp") == std::string::npos) continue;
    ++nodes;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    nodePictures.insert(QByteArray(reinterpret_cast<const char*>(rgb.constBits()), rgb.sizeInBytes()));
  }
  EXPECT_GE(static_cast<int>(nodePictures.size()) * 2, nodes);
  SaveArtifact(ContactSheet(loaded), "staged_pictures.png");
}

// The main window over the staged resources, with no disc loaded.
class MainWindowPictures : public StagedPictures {
 protected:
  static void SetUpTestSuite() {
    StagedPictures::SetUpTestSuite();
    LoadOptionSettings();
    SetProfileFolders(ProfileFolders{kStage, GetUserDataDir()});
    LoadCodecTables(kStage);
    SetAppName("Velmo DVD Converter");
  }
};

// Pixels of a rectangle that match a colour closely.
int CountNear(const QImage& image, const QRect& rect, const QColor& colour, int tolerance = 40) {
  int n = 0;
  for (int y = rect.top(); y <= rect.bottom(); ++y)
    for (int x = rect.left(); x <= rect.right(); ++x)
      if (image.valid(x, y) && Near(image.pixelColor(x, y), colour, tolerance)) ++n;
  return n;
}

TEST_F(MainWindowPictures, TheWindowShowsItsPictures) {
  CDlgDvdMain dlg;
  dlg.Create();
  ASSERT_TRUE(WaitUntil([&] { return dlg.isVisible(); }));
  Pump(100);
  const QImage shot = dlg.grab().toImage();
  SaveArtifact(shot, "main_window_pictures.png");
  const auto inWindow = [&](int id) {
    QWidget* item = dlg.Item(id);
    return QRect(item->mapTo(&dlg, QPoint(0, 0)), item->size());
  };

  // The window icon is the program's, in its sizes.
  const QIcon icon = dlg.windowIcon();
  ASSERT_FALSE(icon.isNull());
  EXPECT_GE(icon.availableSizes().size(), std::size(kProgramIconSizes));
  EXPECT_EQ(icon.pixmap(QSize(32, 32)).toImage().convertToFormat(QImage::Format_ARGB32),
            LoadIconResource(175).convertToFormat(QImage::Format_ARGB32));

  // Start: an icon button with the two tiles of 181, the play triangle shown.
  auto* start = dynamic_cast<CIconButton*>(dlg.Item(IDC_START));
  ASSERT_NE(start, nullptr);
  EXPECT_EQ(start->text(), QStringLiteral("&Start"));
  CImageList startTiles(18, 18);
  ASSERT_EQ(startTiles.AddMasked(LoadBitmapResource(181), 0x000080), 0);
  EXPECT_EQ(start->Icon(), startTiles.Image(0).toImage().convertToFormat(QImage::Format_ARGB32));
  EXPECT_EQ(start->HoverIcon(), startTiles.Image(1).toImage().convertToFormat(QImage::Format_ARGB32));
  EXPECT_EQ(qAlpha(start->Icon().pixel(0, 0)), 0);  // the navy is see-through
  EXPECT_GE(CountNear(shot, inWindow(IDC_START), QColor(60, 170, 60), 60), 40);

  // The hover buttons show their faces at their left.
  for (int id : {IDC_ADD_DVD, IDC_DELETE, ID_TRIM, IDC_EDIT_FILTERS}) {
    SCOPED_TRACE(id);
    const QRect button = inWindow(id);
    const QRect face(button.left() + 2, button.top() + 2, 16, button.height() - 4);
    EXPECT_GE(CountOtherThan(shot, face, QColor(237, 245, 255), 40), 30);
  }

  // The preview panel's caption shows icon 227 at its left.
  const QImage previewIcon = LoadIconResource(227);
  const QPoint caption = inWindow(IDC_PREVIEW_PLACE).topLeft() + QPoint(7, 3);
  int iconMatched = 0, iconDrawn = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      if (qAlpha(previewIcon.pixel(x, y)) < 250) continue;
      ++iconDrawn;
      if (Near(shot.pixelColor(caption + QPoint(x, y)), previewIcon.pixelColor(x, y), 12)) ++iconMatched;
    }
  EXPECT_GT(iconDrawn, 60);
  EXPECT_GE(iconMatched * 10, iconDrawn * 8);

  // The empty tree shows picture 212 from its top-left corner.
  CCustomTreeChildCtrl& tree = dlg.TitleTree()->Tree();
  ASSERT_EQ(tree.topLevelItemCount(), 0);
  const QImage treeShot = tree.viewport()->grab().toImage();
  const QImage empty = LoadBitmapResource(212);
  int same = 0, inked = 0;
  for (int y = 0; y < std::min(empty.height(), treeShot.height()); ++y)
    for (int x = 0; x < std::min(empty.width(), treeShot.width()); ++x) {
      if (empty.pixelColor(x, y) == Qt::white) continue;
      ++inked;
      if (Near(treeShot.pixelColor(x, y), empty.pixelColor(x, y), 8)) ++same;
    }
  EXPECT_GT(inked, 200);
  EXPECT_GE(same * 10, inked * 9);

  // The profile box draws the node's icon at its left.
  auto* profile = dlg.ItemAs<QComboBox>(IDC_PROFILE);
  const std::string line = profile->currentText().toStdString();
  ASSERT_NE(line.find('/'), std::string::npos) << line;
  const QImage node(QString::fromStdString(kStage + "/tree/" + line.substr(0, line.find('/')) + "/info.bmp"));
  ASSERT_FALSE(node.isNull());
  const QImage box = profile->grab().toImage();
  // Where the icon sits best near the box's left edge.
  int drawn = 0, matched = 0;
  for (int oy = 0; oy + 16 <= box.height(); ++oy)
    for (int ox = 0; ox <= 32; ++ox) {
      int d = 0, m = 0;
      for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
          if (node.pixelColor(x, y) == kMagenta) continue;
          ++d;
          if (Near(box.pixelColor(ox + x, oy + y), node.pixelColor(x, y), 12)) ++m;
        }
      drawn = d;
      matched = std::max(matched, m);
    }
  EXPECT_GT(drawn, 40);
  EXPECT_GE(matched * 10, drawn * 8);

  // The menu commands carry the tiles of 128 by their index.
  CImageList menuTiles(16, 16);
  ASSERT_EQ(menuTiles.AddMasked(LoadBitmapResource(128), kMaskMagenta), 0);
  const struct { int command, index; } menu[] = {{IDC_START, 4}, {IDC_DELETE, 8}, {IDC_EDIT_FILTERS, 11}};
  for (const auto& m : menu) {
    SCOPED_TRACE(m.command);
    EXPECT_EQ(CMenuXP::CommandImage(m.command).toImage(), menuTiles.Image(m.index).toImage());
  }
  dlg.DestroyWindow();
}

}  // namespace
