#include "platform/program_folder.h"

#include <unistd.h>

#include <climits>

std::string ProgramFolder() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  if (n <= 0) return ".";
  std::string path(buf, static_cast<size_t>(n));
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BesideProgram(const std::string& name) {
  std::string folder = ProgramFolder();
  if (folder == "/") return "/" + name;
  return folder + "/" + name;
}
