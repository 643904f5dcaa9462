// The current output choice (writer, coders, their numbers, extension and
// parameter texts) and how it becomes the output settings of an engine job.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/job_records.h"

// The job's output settings as the front end names them.
using JobOutputSettings = EncodeSettings;

constexpr int kOutputNameField = 64;
constexpr int kOutputParamField = 1024;

class OutputSettings final : public JobRecord {
 public:
  char name[kOutputNameField];        // the chosen profile's name
  char muxer[kOutputNameField];       // the engine's writer tag
  char audioCodec[kOutputNameField];  // empty = no audio coder chosen
  int32_t sampleRate;
  int32_t channels;
  int32_t audioBitrate;               // bits per second
  int32_t volume;                     // percent: 100 leaves the level alone, 0 normalises
  char videoCodec[kOutputNameField];  // empty = none chosen
  int32_t width;                      // 0 = the source's
  int32_t height;
  int32_t videoBitrate;
  int32_t frameNum;  // frame period frameNum / frameDen seconds; 0 = the source's rate
  int32_t frameDen;
  char ext[kOutputNameField];  // a leading '@' makes it a name prefix
  int32_t rawBitsPerPixel;     // uncompressed video: bits per pixel for the size estimate
  int32_t jobWordA;            // passed unchanged into the job
  int32_t jobWordB;
  char muxerParams[kOutputParamField];
  char audioParams[kOutputParamField];
  char videoParams[kOutputParamField];

  OutputSettings() { Clear(); }
  void Clear() override;
  void WriteFields(CDataStream& stream) const override;
  void ReadFields(RecordFieldReader& reader) override;
};

// Fills the job's output settings from the output choice; the mode word is the
// MODE option. The job's filter lists and merge words are left alone. A text
// that would not fit its job field (a raw stream's parameters appended to the
// writer's) refuses the whole change: false with the reason, job untouched.
bool BuildJobOutputSettings(JobOutputSettings& job, const OutputSettings& settings, int32_t mode, std::string& message);

// "0x32595559" read as hexadecimal; "YV12" as four letters, first lowest;
// three letters get a blank fourth; shorter texts give 0.
uint32_t ParseFourCC(std::string_view text);

// Appends a filter entry at the tail of the video list (video nonzero) or the
// audio list; false when the name does not fit its 63-byte field.
bool AddFilter(JobOutputSettings& job, std::string_view name, std::string_view params, int32_t flags, int video);
// Empties the video and then the audio filter list.
void ClearFilters(JobOutputSettings& job);
void ClearFilters(ConvertJob& job);
