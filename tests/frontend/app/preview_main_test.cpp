// The main window makes its preview panel at the placeholder's corner with no
// task; the snapshot folder comes from "SNAPOUTPATH" or defaults to
// "Snapshot" under the default output folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "frontend/app/app_settings.h"
#include "frontend/app/dlg_dvd_main.h"
#include "frontend/app/ini_access.h"
#include "frontend/app/snapshot_folder.h"
#include "frontend/app/user_folders.h"
#include "frontend/dialogs/dlg_preview.h"
#include "qt_test_util.h"

namespace fs = std::filesystem;

namespace {

class NoDrives final : public IDvdDriveList {
 public:
  std::vector<DvdDrive> Drives() override { return {}; }
};

TEST(PreviewInMainWindow, PanelSitsAtThePlaceholderWithNoTask) {
  NoDrives drives;
  CDlgDvdMain dlg(nullptr, &drives);
  dlg.Create();
  ASSERT_TRUE(WaitUntil([&] { return dlg.isVisible(); }));
  CDlgPreview* panel = nullptr;
  for (QWidget* w : dlg.Client()->findChildren<QWidget*>())
    if (auto* p = dynamic_cast<CDlgPreview*>(w)) panel = p;
  ASSERT_NE(panel, nullptr);
  EXPECT_TRUE(panel->isVisible());
  EXPECT_EQ(panel->pos(), dlg.ItemRect(IDC_PREVIEW_PLACE).topLeft());
  EXPECT_EQ(panel->ChosenTask(), nullptr);
  EXPECT_FALSE(panel->Item(IDC_PREVIEW_PLAY)->isEnabled());
  EXPECT_EQ(panel->ItemText(IDC_PREVIEW_TITLE), "Preview");
  SaveArtifact(dlg.grab().toImage(), "main_window.png");
  dlg.DestroyWindow();
}

TEST(SnapshotFolderSetting, DefaultSetAndTooLong) {
  CSnapshotFolderSetting setting;
  const std::string byDefault = GetDefaultOutputDir() + "/Snapshot";
  EXPECT_EQ(setting.Read(), byDefault);
  EXPECT_TRUE(fs::is_directory(byDefault));
  EXPECT_EQ(ReadIniString(SettingsFilePath(), "CONFIG", "SNAPOUTPATH", "-"), "-");  // not written back

  const std::string chosen = GetUserDataDir() + "/snaps";
  ASSERT_TRUE(setting.Write(chosen));
  EXPECT_EQ(setting.Read(), chosen);
  EXPECT_FALSE(setting.Write("/" + std::string(250, 'x')));
  EXPECT_EQ(setting.Read(), chosen);
}

}  // namespace
