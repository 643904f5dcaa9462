#include "tests/test_util/shm_namespace.h"

#include <dirent.h>
#include <unistd.h>

#include <cstring>

#include "platform/named_objects.h"

std::vector<std::string> NamespaceObjects(const char* except) {
  std::vector<std::string> found;
  const std::string prefix = ShmNamespace() + ".";
  if (DIR* d = opendir("/dev/shm")) {
    while (dirent* e = readdir(d))
      if (strncmp(e->d_name, prefix.c_str(), prefix.size()) == 0 && !(except && strstr(e->d_name, except)))
        found.push_back(e->d_name);
    closedir(d);
  }
  return found;
}

void RemoveNamespaceObjects(const char* except) {
  for (const auto& name : NamespaceObjects(except)) unlink(("/dev/shm/" + name).c_str());
}
