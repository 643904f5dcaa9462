// Test plug-in: a reader with an extension and a signature, a writer, an
// audio encoder, a decoder, a video encoder, a video filter object, a record
// of unknown kind and a coder whose object answers the wrong interface.
#include "common/param_list.h"
#include "plugin-api/plugin_helpers.h"
#include "tests/plugin-api/sample_modules.h"

namespace {

const GUID kSampleAudio = FourccGuid(MakeFourcc('S', 'M', 'P', 'A'));
const GUID kWrongSubtype = FourccGuid(MakeFourcc('W', 'R', 'N', 'G'));

// The second text does not parse: the reader keeps the first chain only.
const char* const kSignatures[] = {"0,4,,534D504C", "0,4,,5"};

enum Index { kReader, kWriter, kEncoder, kDecoder, kVideoEncoder, kFilter, kUnknown, kWrong, kCount };

ModuleRecord g_records[kCount] = {
    MakeReaderRecord("smpl", "[PLUGIN]SAMPLE", "smp;smpx", kSignatures, 2),
    MakeWriterRecord("[PLUGIN]SMPWR", "smp", 1, 2, 0, 0),
    MakeCoderRecord("[PLUGIN]SMPENC", MEDIATYPE_Audio, MEDIASUBTYPE_PCM, MEDIATYPE_Audio, kSampleAudio),
    MakeCoderRecord("[PLUGIN]SMPDEC", MEDIATYPE_Audio, kSampleAudio, MEDIATYPE_Audio, MEDIASUBTYPE_PCM),
    MakeCoderRecord("[PLUGIN]SMPVENC", MEDIATYPE_Video, MEDIASUBTYPE_YV12, MEDIATYPE_Video,
                    FourccGuid(MakeFourcc('S', 'M', 'P', 'V'))),
    MakeFilterObjectRecord(kRecordVideoFilterObject, "[PLUGIN]VSAMPLE"),
    MakeFilterObjectRecord(0x494D5858, "[PLUGIN]UNKNOWN"),
    MakeCoderRecord("[PLUGIN]WRONG", MEDIATYPE_Audio, kWrongSubtype, MEDIATYPE_Audio, MEDIASUBTYPE_PCM),
};

}  // namespace

TRIVOX_PLUGIN_EXPORT uint32_t DllGetRegister(void** records) {
  *records = g_records;
  return kCount;
}

TRIVOX_PLUGIN_EXPORT HRESULT DllGetObject(CParamList* params, void** object) {
  *object = nullptr;
  switch (PluginRecordIndex(params)) {
    case kReader:
      return PluginHandOut(new CSampleReader, object);
    case kWriter:
      return PluginHandOut(new CSampleWriter, object);
    case kEncoder:
    case kDecoder:
    case kVideoEncoder:
      return PluginHandOut(new CSampleTransform, object);
    case kFilter:
      *object = static_cast<IVideoFilter*>(new CSampleVideoFilter);
      return S_OK;
    case kWrong:
      return PluginHandOut(new CSampleReader, object);  // a reader where a coder belongs
    default:
      return E_INVALIDARG;
  }
}
