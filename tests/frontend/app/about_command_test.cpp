// The main window's Help > About command opens the About box modally.
#include <gtest/gtest.h>

#include <QAction>

#include "frontend/app/dlg_dvd_main.h"
#include "frontend/app/product.h"
#include "frontend/controls/link_button.h"
#include "frontend/dialogs/dlg_about.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/modal_script.h"
#include "frontend/ui/resources.h"
#include "qt_test_util.h"

namespace {

class NoDrives final : public IDvdDriveList {
 public:
  std::vector<DvdDrive> Drives() override { return {}; }
};

TEST(MainWindowAbout, TheHelpMenusAboutItemOpensTheAboutBox) {
  SetAppName(kProductDisplayName);
  SetResourceFolder(TRIVOX_STAGE_DIR "/resource");
  NoDrives drives;
  CDlgDvdMain main(nullptr, &drives);
  main.Create();
  ASSERT_TRUE(WaitUntil([&] { return main.isVisible(); }));
  QAction* about = main.MenuAction(ID_APP_ABOUT);
  ASSERT_NE(about, nullptr);
  EXPECT_TRUE(about->isEnabled());

  int template_ = 0;
  std::string web, mail;
  bool modal = false;
  ModalScript script;
  script.Then([&](UiDialog& dialog) {
    template_ = dialog.TemplateId();
    modal = dialog.isModal() || dialog.InModalLoop();
    if (auto* box = dynamic_cast<CDlgAbout*>(&dialog)) {
      web = box->WebLink()->text().toStdString();
      mail = box->MailLink()->text().toStdString();
    }
    dialog.EndDialog(IDCANCEL);
  });
  about->trigger();
  EXPECT_EQ(template_, IDD_ABOUTBOX);
  EXPECT_TRUE(modal);
  EXPECT_EQ(web, kProductWebAddress);
  EXPECT_EQ(mail, kProductSupportAddress);
  EXPECT_EQ(script.Unscripted(), 0);
  main.DestroyWindow();
}

}  // namespace
