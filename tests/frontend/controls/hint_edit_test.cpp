// The hint edit (grey hint while empty and unfocused, dropped files, typed and
// pasted text kept) and the property sheet (start page, pages created when
// first shown, a page added while the sheet is open, OK and leaving a page).
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QFocusEvent>
#include <QMimeData>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QUrl>
#include <string>
#include <vector>

#include "frontend/controls/hint_edit.h"
#include "frontend/controls/prop_sheet.h"
#include "frontend/ui/modal_script.h"
#include "frontend/ui/sys_colors.h"
#include "qt_test_util.h"

namespace {

constexpr int kEditId = 1255;
const QString kHint = QStringLiteral("<You can drag and drop files here>");

const DialogTemplate kHostTemplate = {
    700,
    "Hint edit",
    200,
    40,
    {{CtrlKind::Placeholder, kEditId, "", 7, 7, 186, 14}, {CtrlKind::Edit, 1256, "", 7, 24, 60, 12}}};

class EditHost : public UiDialog {
 public:
  EditHost() : UiDialog(kHostTemplate) { edit = SubclassItem(kEditId, new CHintEdit); }
  intptr_t OnMessage(const UiMessage& m) override {
    if (m.msg == WM_HINT_EDIT_DROP) drops.push_back({m.wParam, m.lParam});
    return 0;
  }
  CHintEdit* edit;
  std::vector<std::pair<uint64_t, int64_t>> drops;
};

void Focus(QWidget* w, bool in) {
  QFocusEvent event(in ? QEvent::FocusIn : QEvent::FocusOut, Qt::OtherFocusReason);
  QApplication::sendEvent(w, &event);
}

// Drags the URLs onto the box and drops them; whether the drop was taken.
bool Drop(QWidget* w, const QList<QUrl>& urls) {
  QMimeData data;
  data.setUrls(urls);
  QDragEnterEvent enter(QPoint(4, 4), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(4, 4), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w, &drop);
  return drop.isAccepted();
}

QColor TextColour(const QLineEdit* edit) { return edit->palette().color(QPalette::Text); }

class HintEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host.Create();
    host.edit->SetHint(kHint);
    QApplication::processEvents();
  }
  void TearDown() override { host.DestroyWindow(); }
  EditHost host;
};

TEST_F(HintEditTest, TheHintShowsGreyWhileEmptyAndUnfocusedAndIsNeverTheText) {
  CHintEdit* edit = host.edit;
  EXPECT_EQ(edit->text(), kHint);
  EXPECT_EQ(TextColour(edit), SysColor(COLOR_GRAYTEXT));
  EXPECT_EQ(edit->GetText(), "");

  Focus(edit, true);
  EXPECT_EQ(edit->text(), "");
  EXPECT_EQ(TextColour(edit), SysColor(COLOR_WINDOWTEXT));
  Focus(edit, false);
  EXPECT_EQ(edit->text(), kHint);
  EXPECT_EQ(edit->GetText(), "");

  // A stored text shows in the normal colour and stays through focus changes.
  edit->SetText("/media/film.srt");
  Focus(edit, true);
  Focus(edit, false);
  EXPECT_EQ(edit->text(), "/media/film.srt");
  EXPECT_EQ(TextColour(edit), SysColor(COLOR_WINDOWTEXT));

  // An empty SetTextOrHint on a focused box shows the grey hint at once.
  Focus(edit, true);
  edit->SetTextOrHint("");
  EXPECT_EQ(edit->text(), kHint);
  EXPECT_EQ(TextColour(edit), SysColor(COLOR_GRAYTEXT));
  EXPECT_EQ(edit->GetText(), "");
  edit->SetTextOrHint("/media/other.srt");
  EXPECT_EQ(edit->text(), "/media/other.srt");

  QImage picture = edit->grab().toImage();
  SaveArtifact(picture, "hint_edit.png");
}

TEST_F(HintEditTest, TypedAndPastedTextIsTheStoredText) {
  CHintEdit* edit = host.edit;
  edit->setFocus();
  Focus(edit, true);
  QTest::keyClicks(edit, "/tmp/a.srt");
  EXPECT_EQ(edit->GetText(), "/tmp/a.srt");
  edit->selectAll();
  QApplication::clipboard()->setText("/tmp/pasted.ass");
  QTest::keySequence(edit, QKeySequence::Paste);
  EXPECT_EQ(edit->GetText(), "/tmp/pasted.ass");
  // Typing into a box that shows its hint (emptied while focused) replaces the hint.
  edit->SetTextOrHint("");
  QTest::keyClicks(edit, "x.srt");
  EXPECT_EQ(edit->GetText(), "x.srt");
  EXPECT_EQ(edit->text(), "x.srt");
  EXPECT_EQ(TextColour(edit), SysColor(COLOR_WINDOWTEXT));
  // Programmatic texts are no edits.
  edit->SetText("/set/by/owner.srt");
  EXPECT_EQ(edit->GetText(), "/set/by/owner.srt");
}

TEST_F(HintEditTest, ADropTakesTheFirstUsableFileAndTellsTheDialogOnce) {
  const QString tooLong = "/" + QString(300, 'a') + ".srt";
  struct Case {
    const char* what;
    QList<QUrl> urls;
    QString text;  // the text after the drop ("" = unchanged)
    size_t messages;
  };
  const std::vector<Case> cases = {
      {"two files",
       {QUrl::fromLocalFile("/media/one.srt"), QUrl::fromLocalFile("/media/two.srt")},
       "/media/one.srt",
       1},
      {"a path over 259 bytes is passed over",
       {QUrl::fromLocalFile(tooLong), QUrl::fromLocalFile("/media/short.srt")},
       "/media/short.srt",
       1},
      {"a remote link then a file", {QUrl("http://example.org/a.srt"), QUrl::fromLocalFile("/m/b.srt")}, "/m/b.srt", 1},
      {"nothing usable", {QUrl::fromLocalFile(tooLong)}, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host.edit->SetTextOrHint("");
    host.drops.clear();
    Drop(host.edit, c.urls);
    EXPECT_EQ(host.edit->GetText(), c.text);
    EXPECT_EQ(host.edit->text(), c.text.isEmpty() ? kHint : c.text);
    ASSERT_EQ(host.drops.size(), c.messages);
    if (c.messages != 0) {
      EXPECT_EQ(host.drops[0], (std::pair<uint64_t, int64_t>{0, 0}));
    }
  }
  // Plain text dragged over the box is not taken.
  QMimeData text;
  text.setText("just words");
  QDragEnterEvent enter(QPoint(4, 4), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(host.edit, &enter);
  EXPECT_FALSE(enter.isAccepted());
}

// A page that counts what the sheet does to it.
class CountingPage : public CPropertyPage {
 public:
  explicit CountingPage(const char* caption)
      : CPropertyPage(
            DialogTemplate{800, caption, 180, 60 + 20 * ++made, {{CtrlKind::Edit, 1001, "", 7, 7, 100, 12}}}) {}
  bool OnInitDialog() override {
    ++inits;
    return true;
  }
  bool OnSetActive() override {
    ++activations;
    return true;
  }
  bool OnKillActive() override { return mayLeave; }
  bool OnApply() override {
    ++applies;
    return true;
  }
  int inits = 0, activations = 0, applies = 0;
  bool mayLeave = true;
  static inline int made = 0;
};

TEST(PropertySheet, OpensOnItsStartPageTakesAPageWhileOpenAndAppliesCreatedPagesOnOK) {
  CountingPage resize("Resize"), video("Video filter"), audio("Audio filter");
  CMyPropSheet sheet("Edit", nullptr, 1);
  ASSERT_TRUE(sheet.AddPage(&resize));
  ASSERT_TRUE(sheet.AddPage(&video));
  EXPECT_FALSE(sheet.AddPage(&video));
  EXPECT_FALSE(sheet.AddPage(nullptr));

  int result = 0;
  QSize before, after;
  ModalScript script;
  script.Then([&](UiDialog&) {
    EXPECT_EQ(sheet.GetActiveIndex(), 1);
    EXPECT_EQ(sheet.Tabs()->currentWidget(), &video);
    EXPECT_EQ(video.inits, 1);
    EXPECT_EQ(video.activations, 1);
    EXPECT_EQ(resize.inits, 0);  // made when first shown

    before = sheet.size();
    ASSERT_TRUE(sheet.AddPage(&audio));  // the tallest page
    QApplication::processEvents();
    after = sheet.size();
    EXPECT_EQ(sheet.Tabs()->count(), 3);
    EXPECT_EQ(sheet.Tabs()->tabText(2), "Audio filter");
    EXPECT_FALSE(sheet.Tabs()->tabBar()->tabRect(2).isEmpty());
    EXPECT_EQ(sheet.GetActiveIndex(), 1);
    SaveArtifact(sheet.grab().toImage(), "sheet_with_added_page.png");

    // A page that refuses to be left keeps the sheet on it.
    video.mayLeave = false;
    sheet.Tabs()->setCurrentIndex(2);
    EXPECT_EQ(sheet.GetActiveIndex(), 1);
    EXPECT_EQ(sheet.Tabs()->currentIndex(), 1);
    EXPECT_EQ(audio.inits, 0);
    video.mayLeave = true;
    sheet.Tabs()->setCurrentIndex(2);
    EXPECT_EQ(sheet.GetActiveIndex(), 2);
    EXPECT_EQ(audio.inits, 1);
    EXPECT_EQ(audio.activations, 1);

    // Enter on a page presses the sheet's OK.
    QTest::keyClick(&audio, Qt::Key_Return);
  });
  result = sheet.DoModal();
  EXPECT_EQ(result, IDOK);
  EXPECT_GT(after.height(), before.height());
  EXPECT_EQ(resize.applies, 0);
  EXPECT_EQ(video.applies, 1);
  EXPECT_EQ(audio.applies, 1);
}

TEST(PropertySheet, CancelAppliesNothingAndAPageAddedBeforeOpeningShowsWhenOpened) {
  CountingPage only("Filename");
  int result = 0;
  {
    CMyPropSheet sheet("File info", nullptr, 5);  // past the last page: the last one
    sheet.AddPage(&only);
    ModalScript script;
    script.Then([&](UiDialog& dialog) {
      EXPECT_EQ(sheet.GetActiveIndex(), 0);
      EXPECT_EQ(only.activations, 1);
      dialog.OnCommand(IDCANCEL, BN_CLICKED);
    });
    result = sheet.DoModal();
  }
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(only.applies, 0);
  EXPECT_EQ(only.parent(), nullptr);  // handed back when the sheet went
}

}  // namespace
