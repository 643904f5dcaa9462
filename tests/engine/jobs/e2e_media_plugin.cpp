// Plug-in for the conversion end-to-end tests: a reader of "TVXS" files (the
// four letters, then 16-bit stereo PCM at 8 kHz) delivering timed samples on
// its own thread, and a writer storing every sample's bytes in its output.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "common/param_list.h"
#include "plugin-api/media_module.h"
#include "plugin-api/media_type_helpers.h"
#include "plugin-api/plugin_helpers.h"

namespace {

constexpr int32_t kRate = 8000;
constexpr int32_t kBlockAlign = 4;
constexpr size_t kChunk = 3200;  // 100 ms

void FillPcmType(AM_MEDIA_TYPE* mt) {
  InitMediaType(mt);
  mt->majortype = MEDIATYPE_Audio;
  mt->subtype = MEDIASUBTYPE_PCM;
  mt->formattype = FORMAT_WaveFormatEx;
  if (!AllocMediaTypeFormat(mt, sizeof(WAVEFORMATEX))) return;
  WAVEFORMATEX wave{};
  wave.wFormatTag = WAVE_FORMAT_PCM;
  wave.nChannels = 2;
  wave.nSamplesPerSec = kRate;
  wave.wBitsPerSample = 16;
  wave.nBlockAlign = kBlockAlign;
  wave.nAvgBytesPerSec = kRate * kBlockAlign;
  std::memcpy(mt->pbFormat, &wave, sizeof wave);
}

class OwnedSample final : public CMediaSample {
 public:
  explicit OwnedSample(std::vector<BYTE> bytes) : CMediaSample(nullptr, nullptr, 0), bytes_(std::move(bytes)) {
    SetBuffer(bytes_.data(), static_cast<LONG>(bytes_.size()));
    SetActualDataLength(static_cast<LONG>(bytes_.size()));
  }

 private:
  std::vector<BYTE> bytes_;
};

class PcmFileReader final : public CReaderModule {
 public:
  ~PcmFileReader() override { Join(); }
  HRESULT SetParams(CParamList*) override { return S_OK; }
  HRESULT Open(CParamList*) override { return S_OK; }
  HRESULT Close() override {
    stop_ = true;
    Join();
    return S_OK;
  }
  HRESULT Stop() override {
    stop_ = true;
    return S_OK;
  }
  HRESULT Run() override {
    thread_ = std::thread([this] {
      int64_t offset = 0;
      for (size_t at = 0; at < data_.size() && !stop_; at += kChunk) {
        std::vector<BYTE> chunk(data_.begin() + static_cast<long>(at),
                                data_.begin() + static_cast<long>(std::min(data_.size(), at + kChunk)));
        REFERENCE_TIME start = offset * 10000000 / (kRate * kBlockAlign);
        offset += static_cast<int64_t>(chunk.size());
        REFERENCE_TIME stop = offset * 10000000 / (kRate * kBlockAlign);
        auto* sample = new OwnedSample(std::move(chunk));
        sample->SetTime(&start, &stop);
        Deliver(0, sample);
      }
      Deliver(0, nullptr);
    });
    return S_OK;
  }
  uint32_t GetInputPinCount() override { return 0; }
  uint32_t GetOutputPinCount() override { return 1; }
  HRESULT AddInputPin(const AM_MEDIA_TYPE*, int32_t) override { return E_FAIL; }
  HRESULT SetInputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) override { return E_FAIL; }
  HRESULT GetInputType(uint32_t, uint32_t, AM_MEDIA_TYPE*) override { return MODULE_E_NO_TYPE; }
  HRESULT Receive(uint32_t, IMediaSample*) override { return E_FAIL; }
  HRESULT SetOutputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t) override {
    return pin == 0 && type->subtype == MEDIASUBTYPE_PCM ? S_OK : E_FAIL;
  }
  HRESULT GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override {
    if (pin != 0 || index != 0) return MODULE_E_NO_TYPE;
    FillPcmType(type);
    return S_OK;
  }
  HRESULT OpenFile(const char* path, int32_t, int32_t) override {
    FILE* file = std::fopen(path, "rb");
    if (!file) return E_FAIL;
    char magic[4];
    bool ok = std::fread(magic, 1, 4, file) == 4 && std::memcmp(magic, "TVXS", 4) == 0;
    BYTE buffer[4096];
    for (size_t n; ok && (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
      data_.insert(data_.end(), buffer, buffer + n);
    std::fclose(file);
    return ok ? S_OK : E_FAIL;
  }
  HRESULT GetInfo(int64_t* duration, CParamList*) override {
    if (duration) *duration = static_cast<int64_t>(data_.size()) * 10000000 / (kRate * kBlockAlign);
    return S_OK;
  }
  HRESULT GetStreamInfo(uint32_t, StreamInfo*) override { return E_FAIL; }
  HRESULT Seek(uint32_t, int32_t, int32_t) override { return S_OK; }

 private:
  void Join() {
    if (thread_.joinable()) thread_.join();
  }
  std::vector<BYTE> data_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

class PcmFileWriter final : public CWriterModule {
 public:
  ~PcmFileWriter() override { CloseOutput(); }
  HRESULT SetParams(CParamList*) override { return S_OK; }
  HRESULT Run() override { return S_OK; }
  HRESULT Open(CParamList*) override { return S_OK; }
  HRESULT Close() override { return CloseOutput(); }
  uint32_t GetInputPinCount() override { return inputs_; }
  uint32_t GetOutputPinCount() override { return 0; }
  HRESULT AddInputPin(const AM_MEDIA_TYPE* type, int32_t) override {
    if (inputs_ != 0 || type->majortype != MEDIATYPE_Audio || type->subtype != MEDIASUBTYPE_PCM) return E_FAIL;
    FillPcmType(&input_);
    inputs_ = 1;
    return S_OK;
  }
  HRESULT SetInputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) override { return E_FAIL; }
  HRESULT GetInputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override {
    if (pin >= inputs_ || index != 0) return MODULE_E_NO_TYPE;
    return CopyMediaTypeDeep(type, &input_) ? S_OK : E_FAIL;
  }
  HRESULT Receive(uint32_t, IMediaSample* sample) override {
    if (!sample) {
      finished_ = true;
      return S_OK;
    }
    BYTE* data = nullptr;
    if (file_ && sample->GetPointer(&data) == S_OK && data)
      std::fwrite(data, 1, static_cast<size_t>(sample->GetActualDataLength()), file_);
    sample->Release();
    return S_OK;
  }
  HRESULT SetOutputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) override { return E_FAIL; }
  HRESULT GetOutputType(uint32_t, uint32_t, AM_MEDIA_TYPE*) override { return MODULE_E_NO_TYPE; }
  // Buffers for a module in front of the writer that fills new ones.
  HRESULT GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) override {
    if (pin >= inputs_ || !props) return E_FAIL;
    *props = ALLOCATOR_PROPERTIES{4, 65536, 32, 0};
    return S_OK;
  }
  int32_t GetState() override { return finished_ ? WRITER_FINISHED : WRITER_RUNNING; }
  HRESULT SetOutput(const char* path, const int32_t*) override {
    file_ = std::fopen(path, "wb");
    return file_ ? S_OK : E_FAIL;
  }
  HRESULT SetOutputOption(int32_t) override { return S_OK; }
  HRESULT CloseOutput() override {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    ClearMediaTypeFormat(&input_);
    return S_OK;
  }

 private:
  FILE* file_ = nullptr;
  uint32_t inputs_ = 0;
  AM_MEDIA_TYPE input_{};
  std::atomic<bool> finished_{false};
};

const char* const kSignatures[] = {"0,4,,54565853"};

ModuleRecord g_records[] = {
    MakeReaderRecord("tvxs", "[PLUGIN]TVXS", "tvxs", kSignatures, 1),
    MakeWriterRecord("[PLUGIN]TVXSWR", "pcm", 0, 1, 0, 0),
};

// Record 0 and record 1.
void* Make(CParamList*, int32_t index) {
  if (index == 0) return static_cast<IMediaModule*>(new PcmFileReader);
  return static_cast<IMediaModule*>(new PcmFileWriter);
}

}  // namespace

TRIVOX_PLUGIN_EXPORTS(g_records, Make)
