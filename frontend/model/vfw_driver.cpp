#include "frontend/model/vfw_driver.h"

#include <sys/stat.h>

#include <cstdlib>
#include <map>
#include <mutex>

#include "platform/dynamic_library.h"
#include "platform/program_folder.h"
#include "platform/text_case.h"

namespace {

constexpr size_t kPathCapacity = 260;

std::mutex g_mutex;
VfwDriverFolders* g_folders = nullptr;

void Say(std::string* why, const std::string& text) {
  if (why != nullptr) *why = text;
}

// A loaded driver library: DRV_LOAD and DRV_ENABLE sent, DRV_DISABLE and
// DRV_FREE sent and the library unloaded when its last instance closes.
class LoadedDriver {
 public:
  LoadedDriver() = default;
  ~LoadedDriver() {
    if (enabled_) {
      proc_(0, this, DRV_DISABLE, 0, 0);
      proc_(0, this, DRV_FREE, 0, 0);
    }
  }
  LoadedDriver(const LoadedDriver&) = delete;
  LoadedDriver& operator=(const LoadedDriver&) = delete;

  bool Start() {
    if (proc_(0, this, DRV_LOAD, 0, 0) == 0) return false;
    enabled_ = true;
    proc_(0, this, DRV_ENABLE, 0, 0);
    return true;
  }
  DriverProcFn Proc() const { return proc_; }
  DynamicLibrary& Library() { return library_; }
  void SetProc(DriverProcFn proc) { proc_ = proc; }

 private:
  DynamicLibrary library_;  // unloaded after DRV_FREE
  DriverProcFn proc_ = nullptr;
  bool enabled_ = false;
};

// Libraries by their real path, shared by their instances.
std::map<std::string, std::weak_ptr<LoadedDriver>>& Loaded() {
  static std::map<std::string, std::weak_ptr<LoadedDriver>> loaded;
  return loaded;
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::shared_ptr<LoadedDriver> LoadDriver(const std::string& file, std::string* why) {
  if (file.empty() || file.size() + 1 > kPathCapacity) {
    Say(why, "the driver path is empty or longer than 259 bytes");
    return nullptr;
  }
  if (!IsRegularFile(file)) {
    Say(why, "\"" + file + "\" is not a file");
    return nullptr;
  }
  char* real = realpath(file.c_str(), nullptr);
  std::string key = real != nullptr ? real : file;
  std::free(real);
  std::lock_guard<std::mutex> lock(g_mutex);
  if (std::shared_ptr<LoadedDriver> driver = Loaded()[key].lock()) return driver;
  auto driver = std::make_shared<LoadedDriver>();
  std::string error;
  if (!driver->Library().Open(key, &error)) {
    Say(why, "\"" + file + "\" cannot be loaded: " + error);
    return nullptr;
  }
  auto proc = reinterpret_cast<DriverProcFn>(driver->Library().Symbol(kDriverProcName));
  if (proc == nullptr) {
    Say(why, "\"" + file + "\" exports no " + kDriverProcName);
    return nullptr;
  }
  driver->SetProc(proc);
  if (!driver->Start()) {
    Say(why, "\"" + file + "\" refused to load");
    return nullptr;
  }
  Loaded()[key] = driver;
  return driver;
}

// The four bytes of a code as a name part: printable, no character the
// registry files give a meaning to; trailing blanks dropped.
bool CodeName(FOURCC code, std::string& out) {
  out.clear();
  for (int i = 0; i < 4; ++i) out += static_cast<char>((code >> (8 * i)) & 0xFF);
  while (!out.empty() && out.back() == ' ') out.pop_back();
  if (out.empty()) return false;
  for (char& c : out) {
    if (c <= ' ' || c > '~' || c == '=' || c == ';' || c == '[' || c == ']' || c == '\\' || c == '"' || c == '\'')
      return false;
    c = AsciiLower(c);
  }
  return true;
}

}  // namespace

class VfwInstance {
 public:
  VfwInstance(std::shared_ptr<LoadedDriver> driver, uintptr_t id) : driver_(std::move(driver)), id_(id) {}
  ~VfwInstance() { driver_->Proc()(id_, this, DRV_CLOSE, 0, 0); }
  VfwInstance(const VfwInstance&) = delete;
  VfwInstance& operator=(const VfwInstance&) = delete;

  intptr_t Send(uint32_t msg, intptr_t lParam1, intptr_t lParam2) {
    return driver_->Proc()(id_, this, msg, lParam1, lParam2);
  }

 private:
  std::shared_ptr<LoadedDriver> driver_;
  uintptr_t id_;
};

VfwDriverFolders DefaultVfwDriverFolders() {
  VfwDriverFolders folders;
  folders.registry.machine = BesideProgram("registry.ini");
  folders.registry.user = UserRegistryFile();
  folders.pluginFolder = BesideProgram("plugin");
  return folders;
}

void SetVfwDriverFolders(const VfwDriverFolders& folders) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_folders == nullptr)
    g_folders = new VfwDriverFolders(folders);
  else
    *g_folders = folders;
}

VfwDriverFolders GetVfwDriverFolders() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_folders == nullptr) g_folders = new VfwDriverFolders(DefaultVfwDriverFolders());
  return *g_folders;
}

std::string VfwDriverValueName(FOURCC type, FOURCC handler) {
  std::string t, h;
  if (!CodeName(type, t) || !CodeName(handler, h)) return {};
  return t + "." + h;
}

std::string FindVfwDriverFile(const VfwDriverFolders& folders, FOURCC type, FOURCC handler, std::string* why) {
  std::string name = VfwDriverValueName(type, handler);
  if (name.empty()) {
    Say(why, "the codec's four-character codes cannot name a driver");
    return {};
  }
  std::string value;
  if (!RegistryReadValue(folders.registry, std::string(kDrivers32Key) + "\\" + name, value, kPathCapacity) ||
      value.empty()) {
    Say(why, "no driver is registered as \"" + name + "\"");
    return {};
  }
  std::string path;
  if (value[0] == '/') {
    path = value;
  } else if (value.find('/') == std::string::npos && value != "." && value != "..") {
    path = folders.pluginFolder + "/" + value;
  } else {
    Say(why, "the driver \"" + value + "\" is neither an absolute path nor a file of the plug-in folder");
    return {};
  }
  if (path.size() + 1 > kPathCapacity) {
    Say(why, "the driver path is longer than 259 bytes");
    return {};
  }
  if (!IsRegularFile(path)) {
    Say(why, "\"" + path + "\" is not a file");
    return {};
  }
  return path;
}

HIC ICOpenFile(const std::string& file, FOURCC type, FOURCC handler, uint32_t mode, std::string* why) {
  std::shared_ptr<LoadedDriver> driver = LoadDriver(file, why);
  if (driver == nullptr) return nullptr;
  ICOPEN open{};
  open.dwSize = sizeof(open);
  open.fccType = type;
  open.fccHandler = handler;
  open.dwFlags = mode;
  intptr_t id = driver->Proc()(0, driver.get(), DRV_OPEN, 0, reinterpret_cast<intptr_t>(&open));
  if (id == 0) {
    Say(why, "the driver refused to open (error " + std::to_string(open.dwError) + ")");
    return nullptr;
  }
  return new VfwInstance(std::move(driver), static_cast<uintptr_t>(id));
}

HIC ICOpen(FOURCC type, FOURCC handler, uint32_t mode, std::string* why) {
  std::string file = FindVfwDriverFile(GetVfwDriverFolders(), type, handler, why);
  if (file.empty()) return nullptr;
  return ICOpenFile(file, type, handler, mode, why);
}

intptr_t ICClose(HIC hic) {
  if (hic == nullptr) return ICERR_BADHANDLE;
  delete hic;
  return ICERR_OK;
}

intptr_t ICSendMessage(HIC hic, uint32_t msg, intptr_t lParam1, intptr_t lParam2) {
  if (hic == nullptr) return ICERR_BADHANDLE;
  return hic->Send(msg, lParam1, lParam2);
}
