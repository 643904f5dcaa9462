// CAsfWriterFilter: the file-writing filter that writes WMV and WMA files
// (it stands in for the system's WM ASF Writer under its display name). A
// profile (IConfigAsfWriter) decides its input pins: one per profile stream
// whose codec this system can encode, taking 16-bit PCM of the stream's rate
// and channels, or YV12 pictures of its size. Each pin encodes what it
// receives on the delivering thread with an FFmpeg encoder module and hands
// the packets to an FFmpeg writer module with the "asf" muxer, which writes
// the file under a temporary name. Once every connected pin has ended the
// file is finished and put at its name, and the graph gets EC_COMPLETE, or
// EC_ERRORABORT with the failure when the file could not be finished (then
// nothing is left at the name). Stopping the filter before that drops the
// file.
// Results: S_OK or a failure code.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/modules/dshow/wm_profile.h"
#include "platform/dshow/base_filter.h"
#include "plugin-api/module_interfaces.h"

extern const char16_t kAsfWriterName[];
// {7C23220E-55BB-11D3-8B16-00C04FB6BD3D}
constexpr CLSID CLSID_WMAsfWriter = {0x7C23220E, 0x55BB, 0x11D3, {0x8B, 0x16, 0x00, 0xC0, 0x4F, 0xB6, 0xBD, 0x3D}};

class CAsfWriterFilter final : public CBaseFilter, public IFileSinkFilter2, public IConfigAsfWriter {
 public:
  CAsfWriterFilter();
  ~CAsfWriterFilter() override;

  HRESULT QueryInterface(REFIID iid, void** out) override { return CBaseFilter::QueryInterface(iid, out); }
  ULONG AddRef() override { return CBaseFilter::AddRef(); }
  ULONG Release() override { return CBaseFilter::Release(); }
  HRESULT NonDelegatingQuery(REFIID iid, void** out) override;
  ULONG GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }

  // IFileSinkFilter(2): the output file is created (under its temporary
  // name) here; a path that cannot be written fails with the writer's code.
  HRESULT SetFileName(const WCHAR* fileName, const AM_MEDIA_TYPE* mt) override;
  HRESULT GetCurFile(WCHAR** fileName, AM_MEDIA_TYPE* mt) override;
  HRESULT SetMode(DWORD flags) override;
  HRESULT GetMode(DWORD* flags) override;

  // IConfigAsfWriter: only while stopped. The pins of the profile's streams
  // replace the unconnected pins; a stream without an encoder here gets no pin.
  HRESULT ConfigureFilterUsingProfile(const CWMProfile* profile) override;

  int32_t GetPinCount() override;
  CBasePin* GetPin(int32_t index) override;
  HRESULT Pause() override;
  HRESULT Stop() override;

  // The failure that ended the file (S_OK while none).
  HRESULT Result() const { return result_.load(); }

 private:
  class InPin;
  friend class InPin;

  // A pin's stream in the writer: its encoder made and its output added; false when it cannot be.
  bool OpenStream(InPin* pin, const AM_MEDIA_TYPE* mt);
  // A connected pin ended; the last one finishes the file.
  void InputEnded();
  void Finish();
  // Drops an unfinished file.
  void Abandon();

  std::recursive_mutex filterLock_;
  std::mutex finishLock_;
  std::u16string fileName_;
  DWORD mode_ = 0;
  Ref<IMediaModule> sink_;       // the FFmpeg writer
  std::vector<InPin*> pins_;     // the current pins
  std::vector<InPin*> retired_;  // pins of an earlier profile, kept while references may remain
  std::atomic<bool> sinkRunning_{false};
  std::atomic<bool> finished_{false};
  std::atomic<HRESULT> result_{S_OK};
};
