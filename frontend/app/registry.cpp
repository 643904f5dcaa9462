#include "frontend/app/registry.h"

#include "frontend/app/user_folders.h"
#include "platform/program_folder.h"

RegistryFiles DefaultRegistryFiles() {
  RegistryFiles files;
  files.machine = BesideProgram("registry.ini");
  files.user = GetUserConfigDir() + "/registry.ini";
  return files;
}
