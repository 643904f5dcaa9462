#include "tests/test_util/engine_process.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

std::string EngineRun::LastLine() const {
  std::string text = output;
  while (!text.empty() && text.back() == '\n') text.pop_back();
  size_t nl = text.rfind('\n');
  return nl == std::string::npos ? text : text.substr(nl + 1);
}

bool EngineRun::HasLine(const std::string& line) const {
  std::istringstream in(output);
  for (std::string l; std::getline(in, l);)
    if (l == line) return true;
  return false;
}

std::string MakeEngineFolder(const std::string& name) {
  fs::path folder = fs::path(TRIVOX_BINARY_DIR) / "fixtures" / "entry" / name;
  fs::remove_all(folder);
  fs::create_directories(folder);
  // A hard link shares the staged engine's bytes, and the engine still finds its files beside the
  // link's folder; a copy only where the two folders do not share a file system.
  std::error_code linkError;
  fs::create_hard_link(fs::path(TRIVOX_STAGE_DIR) / "trivox_free", folder / "trivox_free", linkError);
  if (linkError) fs::copy_file(fs::path(TRIVOX_STAGE_DIR) / "trivox_free", folder / "trivox_free");
  return folder.string();
}

StartedEngine StartEngine(const std::string& folder, const std::vector<std::string>& args, bool resultFd) {
  int out[2];
  int result[2];
  if (pipe(out) != 0 || pipe(result) != 0) throw std::runtime_error("pipe");
  std::string exe = folder + "/trivox_free";
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    if (resultFd) {
      dup2(result[1], 3);
      setenv("TRIVOX_RESULT_FD", "3", 1);
    } else {
      unsetenv("TRIVOX_RESULT_FD");
    }
    int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 2);
    for (int fd = 4; fd < 64; ++fd) close(fd);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(exe.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
  close(out[1]);
  close(result[1]);
  return StartedEngine{pid, out[0], result[0]};
}

EngineRun FinishEngine(StartedEngine& engine) {
  EngineRun run;
  static_cast<ChildRun&>(run) = CollectChild(engine.pid, engine.outputFd, engine.resultFd);
  engine = StartedEngine{};
  return run;
}

EngineRun RunEngine(const std::string& folder, const std::vector<std::string>& args, bool resultFd) {
  StartedEngine engine = StartEngine(folder, args, resultFd);
  return FinishEngine(engine);
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw std::runtime_error("cannot write " + path);
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}
