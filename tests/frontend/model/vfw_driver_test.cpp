// The codec driver layer over the stand-in driver: lookup in the registry
// files, loading once per library, the instance messages, and drivers that
// are missing, export nothing or refuse.
#include "frontend/model/vfw_driver.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/frontend/model/model_test_util.h"

namespace fs = std::filesystem;

namespace {

constexpr FOURCC kTcfg = MakeFourcc('T', 'C', 'F', 'G');
constexpr FOURCC kTnoc = MakeFourcc('T', 'N', 'O', 'C');

std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A program folder with a registry file, a plug-in folder and the driver log.
class DriverFolder {
 public:
  DriverFolder() : root_(TestFolder()) {
    fs::create_directories(root_ + "/plugin");
    folders_.registry.machine = root_ + "/registry.ini";
    folders_.registry.user = root_ + "/user-registry.ini";
    folders_.pluginFolder = root_ + "/plugin";
    log_ = root_ + "/driver.log";
    setenv("FAKE_VFW_LOG", log_.c_str(), 1);
    previous_ = GetVfwDriverFolders();
    SetVfwDriverFolders(folders_);
  }
  ~DriverFolder() {
    SetVfwDriverFolders(previous_);
    unsetenv("FAKE_VFW_LOG");
  }

  // Registers values "name=path" under Drivers32.
  void Register(const std::vector<std::pair<std::string, std::string>>& values) {
    std::ofstream out(folders_.registry.machine);
    out << "[" << kDrivers32Key << "]\n";
    for (const auto& [name, value] : values) out << name << "=" << value << "\n";
  }
  std::string Log() const { return Slurp(log_); }
  const VfwDriverFolders& Folders() const { return folders_; }
  const std::string& Root() const { return root_; }

 private:
  std::string root_;
  std::string log_;
  VfwDriverFolders folders_;
  VfwDriverFolders previous_;
};

TEST(VfwDriver, ValueNames) {
  EXPECT_EQ(VfwDriverValueName(ICTYPE_VIDEO, MakeFourcc('V', 'P', '6', '2')), "vidc.vp62");
  EXPECT_EQ(VfwDriverValueName(ICTYPE_VIDEO, MakeFourcc('D', 'I', 'V', ' ')), "vidc.div");
  EXPECT_EQ(VfwDriverValueName(ICTYPE_VIDEO, MakeFourcc('A', '=', 'B', 'C')), "");
  EXPECT_EQ(VfwDriverValueName(ICTYPE_VIDEO, MakeFourcc('A', '\n', 'B', 'C')), "");
  EXPECT_EQ(VfwDriverValueName(ICTYPE_VIDEO, 0), "");
}

TEST(VfwDriver, RegistryLookup) {
  DriverFolder dir;
  const std::string inPlugin = Touch(dir.Root() + "/plugin/codec.so");
  const std::string elsewhere = Touch(dir.Root() + "/codec.so");
  fs::create_directories(dir.Root() + "/plugin/folder.so");
  dir.Register({{"vidc.aaaa", elsewhere},
                {"vidc.bbbb", "codec.so"},
                {"vidc.cccc", "../codec.so"},
                {"vidc.dddd", "plugin/codec.so"},
                {"vidc.eeee", "missing.so"},
                {"vidc.ffff", "folder.so"},
                {"vidc.gggg", "/" + std::string(300, 'x') + ".so"},
                {"vidc.hhhh", ".."}});
  auto find = [&](const char* handler, std::string* why = nullptr) {
    return FindVfwDriverFile(dir.Folders(), ICTYPE_VIDEO, MakeFourcc(handler[0], handler[1], handler[2], handler[3]),
                             why);
  };
  EXPECT_EQ(find("AAAA"), elsewhere);
  EXPECT_EQ(find("bbbb"), inPlugin);
  for (const char* refused : {"cccc", "dddd", "eeee", "ffff", "gggg", "hhhh", "zzzz"}) {
    std::string why;
    EXPECT_EQ(find(refused, &why), "") << refused;
    EXPECT_FALSE(why.empty()) << refused;
  }
  std::string why;
  find("zzzz", &why);
  EXPECT_EQ(why, "no driver is registered as \"vidc.zzzz\"");
}

TEST(VfwDriver, InstancesShareOneLoadOfTheLibrary) {
  DriverFolder dir;
  dir.Register({{"vidc.tcfg", FAKE_VFW_DRIVER}, {"vidc.tnoc", FAKE_VFW_DRIVER}});
  {
    UniqueHic a(ICOpen(ICTYPE_VIDEO, kTcfg, ICMODE_COMPRESS));
    ASSERT_NE(a, nullptr);
    UniqueHic b(ICOpen(ICTYPE_VIDEO, kTnoc, ICMODE_DECOMPRESS));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(ICQueryConfigure(a.get()), ICERR_OK);
    EXPECT_NE(ICQueryConfigure(b.get()), ICERR_OK);
    EXPECT_EQ(ICGetStateSize(a.get()), 1200);
    std::vector<uint8_t> state(1200);
    EXPECT_EQ(ICGetState(a.get(), state.data(), 1200), ICERR_OK);
    EXPECT_EQ(state[250], 250);
    EXPECT_EQ(state[251], 0);
    state[3] = 99;
    EXPECT_EQ(ICSetState(a.get(), state.data(), 1200), 1200);
    EXPECT_EQ(ICSetState(a.get(), state.data(), 1000), 0);  // refused
    std::vector<uint8_t> back(1200);
    EXPECT_EQ(ICGetState(a.get(), back.data(), 1200), ICERR_OK);
    EXPECT_EQ(back[3], 99);
    EXPECT_EQ(ICConfigure(a.get(), 0x1234), ICERR_OK);
    EXPECT_EQ(ICGetState(a.get(), back.data(), 1200), ICERR_OK);
    EXPECT_EQ(back[0], 1);
    intptr_t window = 0;
    std::memcpy(&window, back.data() + 8, sizeof(window));
    EXPECT_EQ(window, 0x1234);
  }
  EXPECT_EQ(dir.Log(),
            "load\nenable\nopen TCFG mode 1\nopen TNOC mode 2\nconfigure TCFG\nclose TNOC\nclose TCFG\n"
            "disable\nfree\n");
  // Loaded again after the last instance closed.
  UniqueHic again(ICOpen(ICTYPE_VIDEO, kTcfg, ICMODE_COMPRESS));
  ASSERT_NE(again, nullptr);
  again.reset();
  const std::string log = dir.Log();
  EXPECT_TRUE(log.ends_with("free\nload\nenable\nopen TCFG mode 1\nclose TCFG\ndisable\nfree\n")) << log;
}

TEST(VfwDriver, DriversThatCannotBeUsed) {
  DriverFolder dir;
  const std::string text = Touch(dir.Root() + "/plugin/text.so", 100);
  dir.Register({{"vidc.miss", dir.Root() + "/plugin/missing.so"},
                {"vidc.none", FAKE_VFW_NO_ENTRY},
                {"vidc.text", text},
                {"vidc.tunk", FAKE_VFW_DRIVER}});
  struct Case {
    const char* handler;
    const char* reason;
  };
  const Case cases[] = {
      {"MISS", "is not a file"},
      {"NONE", "exports no DriverProc"},
      {"TEXT", "cannot be loaded"},
      {"TUNK", "refused to open (error -2)"},  // the driver does not know the handler
      {"NOPE", "no driver is registered"},
  };
  for (const Case& c : cases) {
    std::string why;
    HIC hic =
        ICOpen(ICTYPE_VIDEO, MakeFourcc(c.handler[0], c.handler[1], c.handler[2], c.handler[3]), ICMODE_COMPRESS, &why);
    EXPECT_EQ(hic, nullptr) << c.handler;
    EXPECT_NE(why.find(c.reason), std::string::npos) << c.handler << ": " << why;
  }
  // The refused open left no library loaded behind.
  EXPECT_EQ(dir.Log(), "load\nenable\nopen TUNK mode 1\ndisable\nfree\n");

  setenv("FAKE_VFW_REFUSE_LOAD", "1", 1);
  std::string why;
  EXPECT_EQ(ICOpenFile(FAKE_VFW_DRIVER, ICTYPE_VIDEO, kTcfg, ICMODE_COMPRESS, &why), nullptr);
  unsetenv("FAKE_VFW_REFUSE_LOAD");
  EXPECT_NE(why.find("refused to load"), std::string::npos) << why;

  EXPECT_EQ(ICSendMessage(nullptr, ICM_GETSTATE, 0, 0), ICERR_BADHANDLE);
  EXPECT_EQ(ICClose(nullptr), ICERR_BADHANDLE);
  EXPECT_EQ(ICOpenFile("", ICTYPE_VIDEO, kTcfg, ICMODE_COMPRESS), nullptr);
  EXPECT_EQ(ICOpenFile(dir.Root(), ICTYPE_VIDEO, kTcfg, ICMODE_COMPRESS), nullptr);  // a folder
}

}  // namespace
