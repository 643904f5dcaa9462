// The media-info probe (command "-l"): opens one file with the reader a
// conversion would use, describes its streams, and reads its tags and, for
// some formats, a better length into a MediaInfoRecord.
// Results: HRESULT (S_OK or the open error); bool for described.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "common/media_info_record.h"
#include "common/param_list.h"
#include "engine/registry/module_source.h"
#include "platform/media_types.h"
#include "plugin-api/module_interfaces.h"

// The front end waits 15 s for a probe. FFmpeg gets 8 s from the probe's
// start to open and probe the file (5 MB and 5 s of media at most, its
// defaults, so that a probe sees the streams a conversion sees); the MPEG
// audio frame scan may run until 11 s. Tag reading only touches the tags.
constexpr std::chrono::milliseconds kProbeInputBudget{8000};
constexpr std::chrono::milliseconds kProbeLengthBudget{11000};
constexpr int64_t kProbeBytes = 5000000;
constexpr int64_t kProbeAnalyzeMicroseconds = 5000000;

// The file path of the probe command's path word: a leading double quote is
// dropped, and with it a closing one. A lone quote gives the empty path.
std::string ProbePathFromWord(const char* word);

// Adds the track description keys of one output type; true when the type was
// described (a subtitle type of a subtype without a code is described with
// TYPE 2 and no VFCC).
bool StreamInfoToParams(const AM_MEDIA_TYPE* type, const StreamInfo& info, CParamList& list);

// Probes path into record (fields the probe does not reach keep their
// contents). The MPEG audio frame scan stops at lengthDeadline.
HRESULT ProbeMediaInfo(IModuleSource& modules, const char* path, int32_t mode, MediaInfoRecord& record,
                       std::chrono::steady_clock::time_point lengthDeadline);

// The length of an AMR-NB (wideband false) or AMR-WB file in whole seconds,
// from the file's size and the mode of its first frame; false for a mode
// without a rate or a file too short to hold the header.
bool AmrLengthSeconds(const char* path, bool wideband, int64_t* seconds);

// The probe command's lines: "RET=", "LENGTH=", "TRACK=", "MINFO=" and one
// "TRACK n,INFO=" per track.
void PrintProbeRecord(const MediaInfoRecord& record);
