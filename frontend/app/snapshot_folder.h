// The preview's snapshot folder: [CONFIG] "SNAPOUTPATH" of "setting.ini" (at
// most 250 bytes), else "Snapshot" under the default output folder, which is
// made then and not written back.
#pragma once

#include <string>

#include "frontend/dialogs/dlg_preview.h"

class CSnapshotFolderSetting final : public ISnapshotFolder {
 public:
  std::string Read() override;
  // false (nothing written) for a folder longer than 250 bytes.
  bool Write(const std::string& folder) override;
};
