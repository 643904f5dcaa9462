// The About box on the staged skin: its shape and size from the skin, its
// texts and links, the keys it swallows, how it closes; and velmo-gallery's
// about entry.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "frontend/app/product.h"
#include "frontend/controls/gradient_label.h"
#include "frontend/controls/link_button.h"
#include "frontend/dialogs/dlg_about.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/modal_script.h"
#include "frontend/ui/resources.h"
#include "frontend/ui/shell.h"
#include "qt_test_util.h"
#include "tests/test_util/shell_command.h"

namespace {

const std::string kResources = TRIVOX_STAGE_DIR "/resource";

class AboutDialog : public testing::Test {
 protected:
  void SetUp() override {
    SetAppName(kProductDisplayName);
    SetResourceFolder(kResources);
    CDropShadowWnd::OverrideSupport(true);
  }
  void TearDown() override { CDropShadowWnd::OverrideSupport(std::nullopt); }

  // Runs the dialog; step runs while it shows.
  int Run(const std::function<void(CDlgAbout&)>& step) {
    CDlgAbout dialog;
    dialog.webAddress = kProductWebAddress;
    dialog.supportAddress = kProductSupportAddress;
    dialog.description = "Converts DVD titles.";
    ModalScript script;
    script.Then([&](UiDialog&) { step(dialog); });
    const int result = dialog.DoModal();
    EXPECT_EQ(script.Remaining(), 0u);
    return result;
  }
};

TEST_F(AboutDialog, ShapeAndSizeComeFromItsSkin) {
  QImage skin(QString::fromStdString(kResources + "/brelsk.bmp"));
  ASSERT_FALSE(skin.isNull()) << "the build draws " << kResources << "/brelsk.bmp";
  Run([&](CDlgAbout& dialog) {
    EXPECT_EQ(dialog.size(), skin.size());
    const QRegion shape = dialog.mask();
    EXPECT_EQ(shape, RegionFromBitmap(skin, kAboutSkinKey));
    EXPECT_EQ(shape.boundingRect(), QRect(QPoint(0, 0), skin.size()));
    // Magenta corners are cut away; the face is kept.
    EXPECT_FALSE(shape.contains(QPoint(0, 0)));
    EXPECT_FALSE(shape.contains(QPoint(skin.width() - 1, skin.height() - 1)));
    EXPECT_TRUE(shape.contains(QPoint(skin.width() / 2, skin.height() / 2)));
    EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint);
    ASSERT_NE(dialog.Shadow().Window(), nullptr);
    EXPECT_TRUE(WaitUntil([&] { return dialog.Shadow().Window()->isVisible(); }));

    // The face is the skin; the screenshot as it shows, cut away transparent.
    const QImage face = dialog.grab().toImage();
    EXPECT_TRUE(Near(face.pixelColor(skin.width() / 2, 10), skin.pixelColor(skin.width() / 2, 10), 2));
    QImage shown(face.size(), QImage::Format_ARGB32);
    shown.fill(Qt::transparent);
    QPainter p(&shown);
    p.setClipRegion(shape);
    p.drawImage(0, 0, face);
    p.end();
    SaveArtifact(shown, "about_dialog.png");
    dialog.EndDialog(IDCANCEL);
  });
}

TEST_F(AboutDialog, TitleTextsAndLinks) {
  Run([&](CDlgAbout& dialog) {
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8(kProductDisplayName));
    EXPECT_EQ(dialog.TemplateId(), IDD_ABOUTBOX);
    EXPECT_FALSE(dialog.windowIcon().isNull());
    EXPECT_EQ(dialog.Label(IDC_ABOUT_TEXT)->Text(), QStringLiteral("Converts DVD titles."));
    EXPECT_EQ(dialog.Label(IDC_ABOUT_SUPPORT_LABEL)->Text(), QStringLiteral("Support:"));
    for (int id : {IDC_ABOUT_TEXT, IDC_ABOUT_SUPPORT_LABEL}) EXPECT_TRUE(dialog.Label(id)->IsTransparent()) << id;
    EXPECT_FALSE(dialog.Item(IDC_ABOUT_HIDDEN)->isVisible());
    EXPECT_EQ(dialog.WebLink()->text(), QStringLiteral("https://velmo.test/"));
    EXPECT_EQ(dialog.WebLink()->TextOverride(), QStringLiteral("velmo.test"));  // shown without the scheme
    EXPECT_EQ(dialog.MailLink()->text(), QStringLiteral("help@velmo.test"));
    EXPECT_TRUE(dialog.MailLink()->TextOverride().isEmpty());
    for (CLinkButton* link : {dialog.WebLink(), dialog.MailLink()}) {
      EXPECT_TRUE(link->IsFlat());
      EXPECT_EQ(link->UnderlineMode(), CLinkButton::kUnderlineAlways);
      EXPECT_EQ(link->NormalTextColor(), kAboutLinkColour);
      EXPECT_EQ(link->HoverTextColor(), kAboutLinkColour);
      EXPECT_EQ(link->LinkFontOf().height, -13);
      EXPECT_EQ(link->LinkFontOf().weight, 700);
      EXPECT_TRUE(link->isVisible());
      // What the link shows fits on it.
      const QString shown = link->TextOverride().isEmpty() ? link->text() : link->TextOverride();
      EXPECT_LE(QFontMetrics(link->TextFont()).horizontalAdvance(shown), link->width()) << shown.toStdString();
    }
    // The labels and links lie on the face.
    for (int id : {IDC_ABOUT_TEXT, IDC_ABOUT_SUPPORT_LABEL, IDC_ABOUT_WEB, IDC_ABOUT_MAIL})
      EXPECT_TRUE(dialog.rect().contains(dialog.ItemRect(id))) << id;
    dialog.EndDialog(IDCANCEL);
  });
}

TEST_F(AboutDialog, LinksOpenThroughTheShellAndOtherCommandsDoNothing) {
  ShellScript shell;
  Run([&](CDlgAbout& dialog) {
    dialog.WebLink()->click();
    dialog.MailLink()->click();
    EXPECT_TRUE(dialog.OnCommand(IDC_ABOUT_IGNORED, BN_CLICKED));
    EXPECT_TRUE(dialog.InModalLoop());
    dialog.EndDialog(IDCANCEL);
  });
  EXPECT_EQ(shell.Opened(), (std::vector<std::string>{"https://velmo.test/", "mailto:help@velmo.test"}));
}

TEST_F(AboutDialog, EnterAndEscapeAreSwallowedAndADoubleClickCloses) {
  const int result = Run([&](CDlgAbout& dialog) {
    for (QWidget* target : {static_cast<QWidget*>(&dialog), static_cast<QWidget*>(dialog.WebLink())}) {
      for (int key : {int(Qt::Key_Return), int(Qt::Key_Enter), int(Qt::Key_Escape)}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
      }
    }
    QApplication::processEvents();
    EXPECT_TRUE(dialog.InModalLoop());
    EXPECT_TRUE(dialog.isVisible());
    const QPoint at(dialog.width() / 2, dialog.height() - 10);
    QMouseEvent twice(QEvent::MouseButtonDblClick, QPointF(at), QPointF(dialog.mapToGlobal(at)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &twice);
  });
  EXPECT_EQ(result, IDCANCEL);
}

TEST_F(AboutDialog, WithoutItsSkinItIsAPlainDialogThatStillWorks) {
  SetResourceFolder(TRIVOX_STAGE_DIR "/no-such-folder");
  ShellScript shell;
  Run([&](CDlgAbout& dialog) {
    EXPECT_TRUE(dialog.Skin().isNull());
    EXPECT_TRUE(dialog.mask().isEmpty());
    EXPECT_GT(dialog.width(), 0);
    dialog.WebLink()->click();
    dialog.EndDialog(IDCANCEL);
  });
  EXPECT_EQ(shell.Opened().size(), 1u);
}

TEST(AboutGallery, PrintsTheDialogAndSavesItsPicture) {
  const std::string shot = std::string(VELMO_ARTIFACT_DIR) + "/gallery_about.png";
  const CommandRun run = RunStagedTool("velmo-gallery", {"about", "--screenshot", shot});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("title=Velmo DVD Converter\n"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("skin=loaded\n"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("web=https://velmo.test/\n"), std::string::npos) << run.output;
  const QImage picture(QString::fromStdString(shot));
  ASSERT_FALSE(picture.isNull());
  EXPECT_EQ(qAlpha(picture.pixel(0, 0)), 0);  // cut away
  EXPECT_EQ(qAlpha(picture.pixel(picture.width() / 2, picture.height() / 2)), 255);
}

}  // namespace
