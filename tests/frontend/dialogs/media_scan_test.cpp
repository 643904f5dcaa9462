// The media-scan dialog over the stand-in engine: records in input order with
// failures kept, an empty list, the status line, keys that cannot end a
// running scan, and the sliding strip.
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstring>

#include "frontend/dialogs/dlg_media_scan.h"
#include "frontend/ui/modal_script.h"
#include "qt_test_util.h"
#include "tests/frontend/model/fake_engine_folder.h"

namespace {

class MediaScan : public FakeEngineTest {};

TEST_F(MediaScan, OneRecordPerPathInInputOrderFailuresIncluded) {
  Script("fail-path bad\nprobe-ret 0\nresult 0\n");
  const std::vector<std::string> paths = {"/m/one.mp4", "/m/bad two.mp4", "/m/three, \"3\".mp4", "/m/four.mkv"};
  MediaInfoRecords records;
  EXPECT_TRUE(ScanMediaFiles(paths, records, 4));
  ASSERT_EQ(paths.size(), records.size());
  for (size_t i = 0; i < paths.size(); ++i) {
    SCOPED_TRACE(paths[i]);
    if (i == 1) {
      EXPECT_EQ(0x80040202u, static_cast<uint32_t>(records[i]->result));
      EXPECT_EQ(0, records[i]->trackCount);
      EXPECT_STREQ("", records[i]->info);
    } else {
      EXPECT_EQ(0, records[i]->result);
      EXPECT_EQ(paths[i], records[i]->info);
      EXPECT_EQ(2, records[i]->trackCount);
    }
  }
}

TEST_F(MediaScan, EmptyListEndsAtOnce) {
  MediaInfoRecords records;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(ScanMediaFiles({}, records, 4));
  EXPECT_TRUE(records.empty());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST_F(MediaScan, RunningScanShowsItsFileSlidesItsStripAndIgnoresKeys) {
  Script("delay 1500\nprobe-ret 0\nresult 0\n");
  QString status;
  bool stillOpen = false;
  QImage shot;
  QRect strip;
  int counter = 0;
  ModalScript script;
  // A step runs inside a posted event, where the worker's posts wait for it
  // to return: the checks run on a timer of their own instead.
  script.Then([&](UiDialog& d) {
    auto& scan = static_cast<CDlgMediaScan&>(d);
    auto* poll = new QTimer(&scan);
    QObject::connect(poll, &QTimer::timeout, &scan, [&, poll] {
      if (scan.ItemText(IDC_SCAN_STATUS).isEmpty() || scan.Counter() < 3) return;
      poll->stop();
      status = scan.ItemText(IDC_SCAN_STATUS);
      QTest::keyClick(&scan, Qt::Key_Escape);
      QTest::keyClick(&scan, Qt::Key_Return);
      scan.close();
      Pump(100);
      stillOpen = scan.IsOpen() && scan.InModalLoop();
      shot = scan.Client()->grab().toImage();
      counter = scan.Counter();
      strip = scan.StripRect();
    });
    poll->start(20);
  });
  MediaInfoRecords records;
  ScanMediaFiles({"/m/slow clip.mp4"}, records, 4);
  EXPECT_EQ(0u, script.Remaining());
  EXPECT_EQ(QStringLiteral("Scan media info from  /m/slow clip.mp4 ..."), status);
  EXPECT_TRUE(stillOpen);
  ASSERT_EQ(1u, records.size());
  EXPECT_EQ(0, records[0]->result);

  SaveArtifact(shot, "media_scan.png");
  ASSERT_FALSE(shot.isNull());
  EXPECT_GT(counter, 0);
  // The strip holds the picture drawn from x = (counter mod 41) x 10, repeating
  // every 411 pixels; nothing of it leaks above or below its five rows.
  const QImage picture = ScanStripPicture();
  const int p = (counter % 41) * 10;
  int wrong = 0;
  for (int x = strip.left(); x <= strip.right(); ++x)
    for (int y = strip.top(); y <= strip.bottom(); ++y)
      if (!Near(shot.pixelColor(x, y), picture.pixelColor(((x - p) % 411 + 411) % 411, y - strip.top()), 2)) ++wrong;
  EXPECT_EQ(0, wrong);
  const QColor highlight = picture.pixelColor(410, 0);
  for (int y : {strip.top() - 2, strip.bottom() + 2})
    for (int x = strip.left(); x <= strip.right(); ++x)
      EXPECT_FALSE(Near(shot.pixelColor(x, y), highlight, 16)) << x << "," << y;
}

}  // namespace
