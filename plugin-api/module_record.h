// The registration record a plug-in hands to the engine: arrays of it come
// back from DllGetRegister, contiguous, one record per module the plug-in
// offers. The field offsets are fixed; only the last reader field is a
// pointer, so a record is 176 bytes on 64-bit systems (172 on 32-bit).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/guid.h"

// Record kinds: the four letters read as a big-endian number.
constexpr uint32_t kRecordReader = 0x494D5244;             // "IMRD"
constexpr uint32_t kRecordWriter = 0x494D5752;             // "IMWR"
constexpr uint32_t kRecordCoder = 0x494D5446;              // "IMTF"
constexpr uint32_t kRecordAudioFilterObject = 0x49414F42;  // "IAOB"
constexpr uint32_t kRecordVideoFilterObject = 0x49564F42;  // "IVOB"

constexpr size_t kRecordNameSize = 64;
constexpr size_t kRecordTagSize = 64;
constexpr size_t kRecordExtensionSize = 32;

// The fields every kind shares.
struct ModuleRecordHeader {
  uint32_t kind;
  char name[kRecordNameSize];  // reader name, writer tag, coder or filter name
};

struct alignas(alignof(void*)) ReaderRecord {
  uint32_t kind;
  char name[kRecordNameSize];
  char tag[kRecordTagSize];               // printed as the reader's name
  char extensions[kRecordExtensionSize];  // "ext1;ext2" or a prefix ending in ':'
  uint32_t signatureCount;
  const char* const* signatures;  // signatureCount signature texts
};

struct alignas(alignof(void*)) WriterRecord {
  uint32_t kind;
  char name[kRecordNameSize];  // the writer's tag
  int32_t minAudio;
  int32_t maxAudio;
  int32_t minVideo;
  int32_t maxVideo;
  int32_t minSubtitle;  // not read: plug-in writers take no subtitle streams
  int32_t maxSubtitle;  // not read
  char extension[kRecordExtensionSize];
  uint8_t unused[48];
};

struct alignas(alignof(void*)) CoderRecord {
  uint32_t kind;
  char name[kRecordNameSize];
  GUID inputMajor;
  GUID inputSubtype;
  GUID outputMajor;
  GUID outputSubtype;
  uint8_t unused[40];
};

// Audio and video filter objects: only the name is read.
struct alignas(alignof(void*)) FilterObjectRecord {
  uint32_t kind;
  char name[kRecordNameSize];
  uint8_t unused[104];
};

union ModuleRecord {
  ModuleRecordHeader header;
  ReaderRecord reader;
  WriterRecord writer;
  CoderRecord coder;
  FilterObjectRecord filter;
};

constexpr size_t kModuleRecordSize = sizeof(ModuleRecord);

#define TRIVOX_RECORD_AT(type, field, offset) static_assert(offsetof(type, field) == (offset))
TRIVOX_RECORD_AT(ModuleRecordHeader, kind, 0);
TRIVOX_RECORD_AT(ModuleRecordHeader, name, 4);
TRIVOX_RECORD_AT(ReaderRecord, kind, 0);
TRIVOX_RECORD_AT(ReaderRecord, name, 4);
TRIVOX_RECORD_AT(ReaderRecord, tag, 68);
TRIVOX_RECORD_AT(ReaderRecord, extensions, 132);
TRIVOX_RECORD_AT(ReaderRecord, signatureCount, 164);
TRIVOX_RECORD_AT(ReaderRecord, signatures, 168);
TRIVOX_RECORD_AT(WriterRecord, kind, 0);
TRIVOX_RECORD_AT(WriterRecord, name, 4);
TRIVOX_RECORD_AT(WriterRecord, minAudio, 68);
TRIVOX_RECORD_AT(WriterRecord, maxAudio, 72);
TRIVOX_RECORD_AT(WriterRecord, minVideo, 76);
TRIVOX_RECORD_AT(WriterRecord, maxVideo, 80);
TRIVOX_RECORD_AT(WriterRecord, minSubtitle, 84);
TRIVOX_RECORD_AT(WriterRecord, maxSubtitle, 88);
TRIVOX_RECORD_AT(WriterRecord, extension, 92);
TRIVOX_RECORD_AT(WriterRecord, unused, 124);
TRIVOX_RECORD_AT(CoderRecord, kind, 0);
TRIVOX_RECORD_AT(CoderRecord, name, 4);
TRIVOX_RECORD_AT(CoderRecord, inputMajor, 68);
TRIVOX_RECORD_AT(CoderRecord, inputSubtype, 84);
TRIVOX_RECORD_AT(CoderRecord, outputMajor, 100);
TRIVOX_RECORD_AT(CoderRecord, outputSubtype, 116);
TRIVOX_RECORD_AT(CoderRecord, unused, 132);
TRIVOX_RECORD_AT(FilterObjectRecord, kind, 0);
TRIVOX_RECORD_AT(FilterObjectRecord, name, 4);
TRIVOX_RECORD_AT(FilterObjectRecord, unused, 68);
#undef TRIVOX_RECORD_AT

static_assert(sizeof(ReaderRecord) == 168 + sizeof(void*));
static_assert(sizeof(WriterRecord) == sizeof(ReaderRecord));
static_assert(sizeof(CoderRecord) == sizeof(ReaderRecord));
static_assert(sizeof(FilterObjectRecord) == sizeof(ReaderRecord));
static_assert(sizeof(ModuleRecord) == 168 + sizeof(void*));
