// The codec configurator over the stand-in driver: opening, the driver's own
// dialog, and its state as the setting bytes.
#include "frontend/ui/vfw_codec_setup.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QWidget>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

constexpr FOURCC kTcfg = MakeFourcc('T', 'C', 'F', 'G');
constexpr FOURCC kTcan = MakeFourcc('T', 'C', 'A', 'N');
constexpr FOURCC kTnoc = MakeFourcc('T', 'N', 'O', 'C');
constexpr FOURCC kTunk = MakeFourcc('T', 'U', 'N', 'K');
constexpr FOURCC kMiss = MakeFourcc('M', 'I', 'S', 'S');
constexpr FOURCC kNone = MakeFourcc('N', 'O', 'N', 'E');

// Registry files naming the stand-in drivers, and the driver's log.
class Drivers {
 public:
  Drivers() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = std::string(TRIVOX_BINARY_DIR) + "/fixtures/fe-dialogs/" + info->test_suite_name() + "." + info->name();
    fs::remove_all(root_);
    fs::create_directories(root_);
    std::ofstream(root_ + "/registry.ini")
        << "[" << kDrivers32Key << "]\n"
        << "vidc.tcfg=" << FAKE_VFW_DRIVER << "\nvidc.tcan=" << FAKE_VFW_DRIVER << "\nvidc.tnoc=" << FAKE_VFW_DRIVER
        << "\nvidc.tunk=" << FAKE_VFW_DRIVER << "\nvidc.miss=" << root_ << "/missing.so"
        << "\nvidc.none=" << FAKE_VFW_NO_ENTRY << "\n";
    previous_ = GetVfwDriverFolders();
    SetVfwDriverFolders(VfwDriverFolders{RegistryFiles{root_ + "/registry.ini", ""}, root_});
    setenv("FAKE_VFW_LOG", (root_ + "/driver.log").c_str(), 1);
  }
  ~Drivers() {
    SetVfwDriverFolders(previous_);
    unsetenv("FAKE_VFW_LOG");
  }
  std::string Log() const {
    std::ifstream in(root_ + "/driver.log");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

 private:
  std::string root_;
  VfwDriverFolders previous_;
};

std::vector<uint8_t> State(CVfwCodecSetup& setup) {
  std::vector<uint8_t> state(1200);
  uint32_t length = 1200;
  EXPECT_EQ(setup.GetParams(state.data(), &length), S_OK);
  EXPECT_EQ(length, 1200u);
  return state;
}

TEST(VfwCodecSetup, StateIsTheSettingBytes) {
  Drivers drivers;
  CVfwCodecSetup setup;
  ASSERT_EQ(setup.Open(kTcfg, true), S_OK);
  // The size first: no buffer, or a short one.
  uint32_t length = 0;
  EXPECT_EQ(setup.GetParams(nullptr, &length), SETUP_E_BUFFER_TOO_SMALL);
  EXPECT_EQ(length, 1200u);
  std::vector<uint8_t> state(1199);
  length = 1199;
  EXPECT_EQ(setup.GetParams(state.data(), &length), SETUP_E_BUFFER_TOO_SMALL);
  EXPECT_EQ(length, 1200u);
  EXPECT_EQ(setup.GetParams(state.data(), nullptr), E_POINTER);

  state = State(setup);
  EXPECT_EQ(state[7], 7);
  state[20] = 0x34;
  state[21] = 0x12;
  state[44] = 1;
  EXPECT_EQ(setup.SetParams(state.data(), 1200), S_OK);
  EXPECT_EQ(State(setup), state);
  EXPECT_EQ(setup.SetParams(state.data(), 1000), SETUP_E_STATE_REFUSED);  // the driver takes nothing
  EXPECT_EQ(setup.Reserved(7, -1), S_OK);
  EXPECT_EQ(drivers.Log(), "load\nenable\nopen TCFG mode 1\n");
}

TEST(VfwCodecSetup, TheDriversDialogOwnedByTheTopLevelWindow) {
  Drivers drivers;
  QWidget window;
  auto* child = new QWidget(&window);
  window.show();
  CVfwCodecSetup setup;
  ASSERT_EQ(setup.Open(kTcfg, false), S_OK);
  EXPECT_EQ(setup.Edit(child), S_OK);
  std::vector<uint8_t> state = State(setup);
  EXPECT_EQ(state[0], 1);  // the dialog ran once
  intptr_t owner = 0;
  std::memcpy(&owner, state.data() + 8, sizeof(owner));
  EXPECT_EQ(owner, static_cast<intptr_t>(window.winId()));
  EXPECT_EQ(setup.Edit(nullptr), S_OK);
  EXPECT_EQ(State(setup)[0], 2);

  CVfwCodecSetup cancelled;
  ASSERT_EQ(cancelled.Open(kTcan, true), S_OK);
  EXPECT_EQ(cancelled.Edit(&window), S_FALSE);
  // No dialog: nothing is shown at all.
  CVfwCodecSetup plain;
  ASSERT_EQ(plain.Open(kTnoc, true), S_OK);
  EXPECT_EQ(plain.Edit(&window), S_FALSE);
  EXPECT_EQ(drivers.Log().find("configure TNOC"), std::string::npos);
  EXPECT_NE(drivers.Log().find("open TCFG mode 2\nconfigure TCFG\nconfigure TCFG\n"), std::string::npos);
  EXPECT_NE(drivers.Log().find("configure TCAN"), std::string::npos);
}

TEST(VfwCodecSetup, CodecsThatCannotBeOpened) {
  Drivers drivers;
  for (FOURCC handler : {kTunk, kMiss, kNone}) {
    CVfwCodecSetup setup;
    EXPECT_EQ(setup.Open(handler, true), SETUP_E_CANNOT_OPEN);
    EXPECT_FALSE(setup.OpenError().empty());
    EXPECT_FALSE(setup.IsOpen());
    // Nothing open: nothing to edit, no state either way.
    EXPECT_EQ(setup.Edit(nullptr), S_FALSE);
    uint8_t byte = 0;
    EXPECT_EQ(setup.SetParams(&byte, 1), SETUP_E_STATE_REFUSED);
    uint32_t length = 99;
    EXPECT_EQ(setup.GetParams(nullptr, &length), SETUP_E_STATE_REFUSED);
    EXPECT_EQ(length, 0u);
  }
  // A failed open keeps the compressor opened before, with its handler.
  CVfwCodecSetup setup;
  ASSERT_EQ(setup.Open(kTcfg, true), S_OK);
  EXPECT_EQ(setup.Open(kTunk, false), SETUP_E_CANNOT_OPEN);
  EXPECT_TRUE(setup.IsOpen());
  EXPECT_EQ(setup.Handler(), kTcfg);
  EXPECT_TRUE(setup.Compress());
  EXPECT_EQ(setup.Edit(nullptr), S_OK);
  // Opening another closes the first.
  ASSERT_EQ(setup.Open(kTnoc, true), S_OK);
  EXPECT_NE(drivers.Log().find("configure TCFG\nopen TNOC mode 1\nclose TCFG\n"), std::string::npos) << drivers.Log();
}

}  // namespace
