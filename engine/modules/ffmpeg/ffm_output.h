// CFFMOutput: one output file written through an FFmpeg muxer chosen by short
// name. Holds the streams, applies the container rules for codec data and
// frame sizes, rewrites H.264, MPEG-4 and AAC packets into the container's
// form, gives every packet its presentation and decode time, and tracks write
// errors so that a full disk is reported, never taken for success.
// The file is written under a new hidden temporary name in the target's
// folder (created exclusively, never through a link) and renamed onto the
// target only once it is complete, so a failed or abandoned output leaves
// whatever was at the target untouched (a process that dies removes it on its
// way out, and temporary files of processes that are gone are removed before
// the next one is made beside them). A link at the target is replaced, never
// written through; a folder, device, pipe or socket there is refused.
// Results: 0 or a negative FFmpeg error for the writes, bool for done, OPEN_* when opening.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "engine/modules/bitstream/bitstream_h264.h"
#include "engine/modules/ffmpeg/ffmpeg_adapter.h"

struct AVDictionary;
struct AVFormatContext;
struct AVIOContext;

// Packet flags of the writer queues.
enum : uint32_t {
  MUX_PACKET_DISCONTINUITY = 0x01,
  MUX_PACKET_SYNC = 0x02,
  MUX_PACKET_PREROLL = 0x04,
  MUX_PACKET_START_VALID = 0x08,
  MUX_PACKET_STOP_VALID = 0x10,
  MUX_PACKET_END = 0x20,
};

// One encoded packet handed to the output; times in 100-ns units.
struct MuxPacket {
  const uint8_t* data = nullptr;
  int32_t size = 0;
  uint32_t flags = 0;
  int64_t start = 0;
  int64_t stop = 0;
  int64_t decodeTime = kNoTimestamp;  // kNoTimestamp when the source gave none
  // Codec data the encoder updated with this packet (passed to the muxer as
  // the packet's new-extradata side data), null when none.
  const std::vector<uint8_t>* newCodecData = nullptr;
};

class CFFMOutput {
 public:
  static constexpr int kMaxStreams = 20;

  // Results of Open / OpenNext.
  enum : int { OPEN_OK = 0, OPEN_NO_MUXER = 1, OPEN_CANNOT_OPEN = 2 };

  CFFMOutput() = default;
  ~CFFMOutput();
  CFFMOutput(const CFFMOutput&) = delete;
  CFFMOutput& operator=(const CFFMOutput&) = delete;

  // Finds the muxer by name (or by the path when the name is empty) and opens
  // the output. numbered: the file is "<path>_0", the next OpenNext "<path>_1".
  // "image2" makes a directory named path holding 1.jpg, 2.jpg... (the
  // pictures are moved into it when the output finishes).
  int Open(const char* muxerName, const char* path, bool numbered);
  // Numbered output: finishes the current file (one with nothing written is
  // dropped) and opens the next one with the same streams; their header is
  // written before the next packet.
  int OpenNext();
  bool IsOpen() const { return format_ != nullptr; }
  // Short name of the muxer in use ("" when not open).
  const std::string& MuxerName() const { return muxerName_; }
  // The file being written (its final name).
  const std::string& FileName() const { return fileName_; }
  // Where the muxer writes until the file is finished: a temporary name
  // beside the target (for "image2" a temporary folder's picture pattern).
  const std::string& WritePath() const { return writePath_; }
  // Packets written into the current file.
  int64_t PacketsWritten() const { return packetsWritten_; }

  // Adds a stream for the codec, with the container's rules applied. Returns
  // its index, or -1 when the muxer cannot take it (nothing is left behind).
  int AddStream(const CodecContext& codec);
  int StreamCount() const { return static_cast<int>(streams_.size()); }
  int32_t StreamCodecId(int stream) const;
  int32_t StreamCodecType(int stream) const;
  // Nonzero tags replace the codec tag of every stream of that type.
  void SetCodecTags(uint32_t audioTag, uint32_t videoTag);

  void SetGlobalHeader(bool on) { globalHeader_ = on; }
  bool GlobalHeader() const { return globalHeader_; }

  // Before the header: the H.264 codec data of every stream is taken apart
  // (SPS + PPS in start-code form with a global header, none without).
  void PrepareCodecData();
  // MPEG audio streams wait for a first valid frame header; true when this
  // stream still needs one.
  bool NeedsMpegAudioProbe(int stream) const;
  // Looks at a queued packet of such a stream: true when it holds a valid
  // frame header (the stream's frame size is taken from it and the probe
  // ends); false means the packet is to be dropped.
  bool ProbeMpegAudio(int stream, const uint8_t* data, int32_t size);
  void EndMpegAudioProbe(int stream);
  // A stream's first packet before the header: false means drop it and wait
  // for the next (H.264 and MPEG-4 video wait for a sync point when they have
  // no codec data yet); codec data is taken from it where it is missing.
  bool AcceptFirstPacket(int stream, const MuxPacket& packet);
  // The time (100 ns) the packet is to be interleaved by: its decode time,
  // given or derived from the presentation times seen so far.
  int64_t InterleaveTime(int stream, const MuxPacket& packet);

  // Writes the header; 0 or a negative FFmpeg error (logged).
  int WriteHeader();
  bool HeaderWritten() const { return headerWritten_; }
  // Writes one packet. 0, or a negative value once the output failed (a
  // write error is logged once and every later packet is refused).
  int WritePacket(int stream, const MuxPacket& packet);
  // Writes the trailer, closes the file and puts it at its final name; false
  // when any write of this output failed (then the target is left as it was).
  bool Finish();
  // Closes without the trailer and drops what was written (failed or
  // abandoned output); the target is left as it was.
  void Abandon();

  bool Failed() const { return failed_; }

 private:
  struct Stream {
    CodecContext codec;
    int index = -1;
    bool probeMpegAudio = false;
    AvcParamSets avc;
    std::vector<uint8_t> mpeg4Config;  // stored MPEG-4 configuration bytes
    int64_t nextStart = 0;             // 100 ns, for packets without a time
    int64_t lastDts = kNoTimestamp;    // stream time base
    // Presentation times (100 ns) kept sorted to derive decode times for
    // streams that may reorder pictures and come without them.
    std::vector<int64_t> ptsBuffer;
    size_t segment = 0;  // stretches of time begun by a discontinuity (seeks)
  };

  int OpenFile();
  void ApplyContainerRules(Stream* s);
  void SetStreamExtradata(int stream, const uint8_t* data, int32_t size);
  int64_t PacketDuration(const Stream& s, const uint8_t* data, int32_t size) const;
  // Presentation time, duration and decode time (100 ns) of the packet;
  // commit advances the stream's state.
  void PacketTimes(Stream& s, const MuxPacket& packet, const uint8_t* data, int32_t size, bool commit, int64_t* pts,
                   int64_t* duration, int64_t* dts);
  // The packet's times moved into the output's time line: a packet marked as a
  // discontinuity (the first after a seek) begins the stream's next stretch,
  // which keeps the source's time unless that would go back before what was
  // written (a seek backwards): then every stream's stretch is moved to follow
  // it. commit takes the stretch over.
  MuxPacket ToOutputTime(Stream& s, const MuxPacket& packet, bool commit);
  bool CheckIo(const char* what);
  // Creates the temporary file the one named fileName_ is written to
  // (writePath_); its descriptor, or -1 (logged) when the target is refused
  // or nothing can be created beside it.
  int PlanFile();
  bool PlanImageDirectory();
  // The pictures of "image2", each a new file in our temporary folder whose
  // every write, mode change, sync and close is checked.
  static int OpenPicture(AVFormatContext* s, AVIOContext** pb, const char* url, int flags, AVDictionary** options);
  static int ClosePicture(AVFormatContext* s, AVIOContext* pb);
  void CloseFile();
  // After CloseFile: puts a finished file at its final name, or drops it.
  void CommitFile();
  void DiscardFile();
  void ForgetCrashFile();
  void ReleaseContext();
  void Fail(const char* what, int error);

  std::recursive_mutex lock_;
  AVFormatContext* format_ = nullptr;
  std::string muxerName_;
  std::string basePath_;
  std::string fileName_;
  std::string writePath_;
  std::string finalPath_;   // what writePath_ becomes
  bool keepOwner_ = false;  // the file replaces a regular file: take its owner
  unsigned fileMode_ = 0;   // the finished file's mode (the replaced file's, or a new file's)
  unsigned keptUid_ = 0;
  unsigned keptGid_ = 0;
  int64_t packetsWritten_ = 0;
  bool numbered_ = false;
  int counter_ = 0;
  bool globalHeader_ = false;
  bool headerWritten_ = false;
  bool failed_ = false;
  bool imageSequence_ = false;
  int crashSlot_ = -1;                    // the temporary file's crash clean-up registration
  std::vector<int64_t> segmentShift_{0};  // per stretch of time, added to its packets' times (100 ns)
  int64_t writtenEnd_ = kNoTimestamp;     // latest packet end written, output time
  std::vector<Stream> streams_;
};
