#pragma once
// The "dvd:" input of the DVD reader: the byte source its demuxer reads, time seeks handed
// to the block-reading thread, and the clock at the start of the stream after a seek.
// Each input has its own source and navigator, so two "dvd:" inputs never disturb each other.

#include <cstdint>

#include "engine/modules/dvd/dvd_protocol.h"

class CDvdReaderInput {
 public:
  // Opens the "dvd:" path (the block-reading thread starts at once).
  explicit CDvdReaderInput(const char* path);

  bool ok() const { return source_.buffer() != nullptr; }
  // For FFDemuxer::OpenCustom; stays valid across reopens.
  IByteSource* source() { return &source_; }
  CDvdStreamBuffer* buffer() const { return source_.buffer(); }

  // Hands a time (100-ns units) to the block-reading thread, reopening the source first
  // when its thread has ended; waits in 10-ms steps, at most maxSteps. After it the stream
  // restarts at position 0 with the data at that time. true when the thread took it.
  bool SeekTo(int64_t target, int maxSteps = 300);
  // The clock of the pack at stream position 0, in 100-ns units; 0 when the stream does
  // not start with a pack header.
  int64_t StartClock();
  // Reading the disc failed (not a normal end): the job must not succeed.
  bool Failed() const;
  // The chapter range's duration in seconds (0 until the thread has scanned the title).
  double Duration() const;

 private:
  CDvdByteSource source_;
};

// The stream id the DVD reader gives a stream made from a job's stream descriptor
// (TYPE 0 video, 1 audio; VFCC; STREAMID): 0x1E0 for video, STREAMID | 0x100 for MPEG
// audio ('MP2A'), STREAMID otherwise, as the MPEG-PS demuxer numbers its streams.
int32_t DvdDescriptorStreamId(int32_t type, int32_t vfcc, int32_t streamId);
