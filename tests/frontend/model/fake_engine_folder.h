// Tests with a stand-in engine: a fresh program folder per test holding the
// fake engine as "trivox_free", with the script it follows, and sessions
// pointed at it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A fresh folder "<build>/fe_session/<name>" with the fake engine copied in as trivox_free.
std::string MakeFakeEngineFolder(const std::string& name);

// Writes the fake engine's script (fake_engine.txt) into the folder.
void WriteFakeScript(const std::string& folder, const std::string& script);

// The "key=value" lines of a fake engine's report.
std::map<std::string, std::string> ReadReport(const std::string& path);

std::vector<uint8_t> FileBytes(const std::string& path);
void WriteText(const std::string& path, const std::string& text);

class FakeEngineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  void Script(const std::string& script) { WriteFakeScript(folder_, script); }

  std::string folder_;
};
