#include "tests/engine/registry/registry_test_util.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>

#include "common/codec_tables.h"
#include "plugin-api/media_module.h"

namespace fs = std::filesystem;

std::string FreshTestFolder(const std::string& name) {
  const fs::path dir = fs::path(TRIVOX_BINARY_DIR) / "test-registry" / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir.string();
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

void LoadStagedCodecTables() {
  static const bool loaded = LoadCodecTables(TRIVOX_STAGE_DIR);
  ASSERT_TRUE(loaded) << "vfcc.dat and muxer.dat in " << TRIVOX_STAGE_DIR;
}

namespace {

std::atomic<int> g_liveReaders{0};

class CFakeReader final : public CReaderModule {
 public:
  CFakeReader() { ++g_liveReaders; }
  HRESULT SetParams(CParamList*) override { return S_OK; }
  HRESULT Run() override { return S_OK; }
  HRESULT Open(CParamList*) override { return S_OK; }
  HRESULT Close() override { return S_OK; }
  uint32_t GetInputPinCount() override { return 0; }
  uint32_t GetOutputPinCount() override { return 0; }
  HRESULT AddInputPin(const AM_MEDIA_TYPE*, int32_t) override { return E_NOTIMPL; }
  HRESULT SetInputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) override { return E_FAIL; }
  HRESULT GetInputType(uint32_t, uint32_t, AM_MEDIA_TYPE*) override { return MODULE_E_NO_TYPE; }
  HRESULT Receive(uint32_t, IMediaSample*) override { return E_FAIL; }
  HRESULT SetOutputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) override { return E_FAIL; }
  HRESULT GetOutputType(uint32_t, uint32_t, AM_MEDIA_TYPE*) override { return MODULE_E_NO_TYPE; }
  HRESULT OpenFile(const char*, int32_t, int32_t) override { return S_OK; }
  HRESULT GetInfo(int64_t*, CParamList*) override { return S_OK; }
  HRESULT GetStreamInfo(uint32_t, StreamInfo*) override { return E_FAIL; }
  HRESULT Seek(uint32_t, int32_t, int32_t) override { return S_OK; }

 private:
  ~CFakeReader() override { --g_liveReaders; }
};

}  // namespace

IMediaModule* CreateFakeReader(CParamList*) { return new CFakeReader; }
int LiveFakeReaders() { return g_liveReaders.load(); }

void UseFakeReaders(CReaderList& readers) {
  for (ReaderRegistration* e : readers.Entries()) e->create = CreateFakeReader;
}

std::string TagAndRelease(IMediaModule* module) {
  if (module == nullptr) return "";
  const auto* entry = static_cast<const ReaderRegistration*>(module->GetRegistration());
  std::string tag = entry ? entry->tag : "(unlabelled)";
  module->Release();
  return tag;
}
