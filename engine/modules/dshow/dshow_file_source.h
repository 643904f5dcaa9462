// CFileSourceFilter: a source filter of the graph layer over FFmpeg's
// demuxers (through the FFmpeg family's demuxer). Load opens the file; each
// video or audio stream whose type the engine can describe becomes an
// output pin, in stream order, delivering compressed samples stamped from 0
// on a streaming thread of its own. One demuxer feeds every pin: packets of
// the other connected pins wait in their queues. Seeking asked of the first
// connected pin flushes every pin and starts a new segment at the target.
// It stands in for the system's file sources (the Windows Media ASF reader,
// the generic file source) under their display names.
// Results: S_OK or a failure code.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "engine/modules/ffmpeg/ffm_source_checks.h"
#include "engine/modules/ffmpeg/ffmpeg_adapter.h"
#include "platform/dshow/base_filter.h"
#include "platform/dshow/source_stream.h"

class CFileSourceFilter final : public CBaseFilter, public IFileSourceFilter {
 public:
  // Bytes of packets waiting for their pins before the demuxer waits for them to drain.
  static constexpr size_t kMaxQueuedBytes = size_t{256} << 20;

  explicit CFileSourceFilter(const CLSID& clsid);
  ~CFileSourceFilter() override;

  HRESULT QueryInterface(REFIID iid, void** out) override { return CBaseFilter::QueryInterface(iid, out); }
  ULONG AddRef() override { return CBaseFilter::AddRef(); }
  ULONG Release() override { return CBaseFilter::Release(); }
  HRESULT NonDelegatingQuery(REFIID iid, void** out) override;
  ULONG GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_SOURCE; }

  // IFileSourceFilter: once per filter. A file FFmpeg cannot open or whose
  // streams it cannot find gives VFW_E_UNKNOWN_FILE_TYPE (VFW_E_NOT_FOUND
  // when the path is no file at all); a file without a usable stream
  // VFW_E_NO_TYPES.
  HRESULT Load(const WCHAR* fileName, const AM_MEDIA_TYPE* mt) override;
  HRESULT GetCurFile(WCHAR** fileName, AM_MEDIA_TYPE* mt) override;

  int32_t GetPinCount() override;
  CBasePin* GetPin(int32_t index) override;
  // Every connected pin's stream is wanted before the first streaming thread reads.
  HRESULT Pause() override;

 private:
  class StreamPin;
  class PinSeeking;
  friend class StreamPin;
  friend class PinSeeking;

  struct Packet {
    std::vector<uint8_t> data;
    int64_t start = 0;  // 100 ns from the file's start
    bool timed = false;
    int64_t decode = 0;
    bool decodeTimed = false;
    bool key = false;
    bool discontinuity = false;
  };

  // The next packet of the stream: S_OK, S_FALSE at the end, a failure on a read error.
  HRESULT NextPacket(int32_t stream, Packet* out, const StreamPin* pin);
  void SetWanted(int32_t stream, bool wanted);
  HRESULT Seek(StreamPin* asking, int64_t target);
  bool IsMasterPin(const StreamPin* pin);
  int64_t Duration() const;
  int64_t ToUnits(int64_t ts, FFRational base) const;
  // At the input's own end: a source cut short of the length it declares fails the job.
  void CheckDeclaredEnd();

  std::recursive_mutex filterLock_;
  std::u16string file_;
  std::vector<StreamPin*> pins_;

  std::mutex demuxLock_;
  std::condition_variable drained_;
  FFDemuxer demuxer_;
  std::vector<FFStreamDesc> streams_;
  std::vector<std::deque<Packet>> queues_;  // by FFmpeg stream index
  std::vector<bool> wanted_;
  size_t queuedBytes_ = 0;
  bool endOfInput_ = false;
  int readError_ = 0;
  std::vector<CRawPictureGuard> rawGuards_;  // by FFmpeg stream index
  int64_t reachedEnd_ = kNoTimestamp;        // latest packet end read since the last seek (input clock)
  int64_t segmentStart_ = 0;                 // 100 ns from the file's start: where reading began
  int64_t startOffset_ = 0;                  // 100 ns
  std::atomic<int64_t> position_{0};
  std::mutex seekLock_;
};
