// The process's registry files (the value access itself is the model's).
#pragma once

#include "frontend/model/registry_files.h"

// "<program folder>/registry.ini" and "<settings folder>/registry.ini".
RegistryFiles DefaultRegistryFiles();
