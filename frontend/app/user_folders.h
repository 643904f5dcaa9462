// The application's folders: the per-user ones (frontend/model/user_folders.h),
// the default output folder in the user's documents folder, and this
// process's preview picture folder.
#pragma once

#include <string>

#include "frontend/model/user_folders.h"

// Cached on first use and created then (failures to create are ignored).
const std::string& GetDefaultOutputDir();

// The folder of this process's preview pictures ("preview.bmp",
// "preview1.bmp", "preview2.bmp", "blank.bmp"): made on first use (0700),
// after the folders of velmo processes that no longer run are swept; a
// private temporary folder when it cannot be made. Removed at normal exit.
const std::string& GetPreviewDir();
// Removes the preview folder now (the process is ending).
void RemovePreviewDir();
