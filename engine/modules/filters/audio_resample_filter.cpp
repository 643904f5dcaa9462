#include "engine/modules/filters/audio_resample_filter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/param_list.h"
#include "engine/modules/filters/audio_sample_convert.h"
#include "platform/diagnostics.h"

namespace {

size_t FrameBytes(const AudioFormat& f) { return static_cast<size_t>(f.channels) * (f.bitsPerSample / 8); }

}  // namespace

IAudioFilter* CResampleFilter::Create(CParamList* /*params*/) { return new CResampleFilter(); }

CResampleFilter::~CResampleFilter() {
  if (converter_) src_delete(converter_);
}

HRESULT CResampleFilter::Init(const AudioFormat* input) {
  if (!input || input->kind != kAudioKindPcm || !audio::IsSupportedPcmWidth(input->bitsPerSample) ||
      input->channels < 1 || input->samplesPerSec < 1)
    return E_FAIL;
  input_ = *input;
  output_ = *input;
  return S_OK;
}

HRESULT CResampleFilter::GetOutputFormat(AudioFormat* output) {
  if (!output) return E_POINTER;
  *output = output_;
  return S_OK;
}

HRESULT CResampleFilter::SetParams(CParamList* params) {
  if (!params) return E_POINTER;
  const int32_t channels = params->GetInt("CHANNEL", 0);
  const int32_t rate = params->GetInt("SAMPLERATE", 0);
  const int32_t bits = params->GetInt("BITSPERSAMPLE", 0);
  if (channels < 0 || rate < 0 || (bits != 0 && !audio::IsSupportedPcmWidth(bits))) return E_FAIL;
  if (channels) output_.channels = channels;
  if (rate) output_.samplesPerSec = rate;
  if (bits) output_.bitsPerSample = bits;
  return S_OK;
}

HRESULT CResampleFilter::Start() {
  if (converter_) {
    src_delete(converter_);
    converter_ = nullptr;
  }
  converterChannels_ = 0;
  flushed_ = false;
  pending_.clear();
  if (output_.channels < 1 || input_.samplesPerSec < 1 || output_.samplesPerSec < 1) return E_FAIL;
  if (input_.samplesPerSec != output_.samplesPerSec &&
      !src_is_valid_ratio(static_cast<double>(output_.samplesPerSec) / input_.samplesPerSec)) {
    Diag(DiagLevel::kError, "audio resampling: %d Hz to %d Hz is not supported", input_.samplesPerSec,
         output_.samplesPerSec);
    return E_FAIL;
  }
  int error = 0;
  converter_ = src_new(SRC_SINC_MEDIUM_QUALITY, output_.channels, &error);
  if (!converter_) {
    Diag(DiagLevel::kError, "audio resampling: cannot create the converter (%s)", src_strerror(error));
    return E_FAIL;
  }
  converterChannels_ = output_.channels;
  SizeBuffers();
  return S_OK;
}

HRESULT CResampleFilter::Destroy() {
  delete this;
  return S_OK;
}

int CResampleFilter::GetMaxInputChunk() { return 5000; }
int CResampleFilter::GetBlockMultiplier() { return 1; }

bool CResampleFilter::NeedsDownmix() const {
  if (input_.bitsPerSample != 16 || output_.bitsPerSample != 16) return false;
  return (output_.channels == 1 && input_.channels > 1) || (output_.channels == 2 && input_.channels >= 4);
}

void CResampleFilter::SizeBuffers() {
  const size_t inCh = static_cast<size_t>(input_.channels);
  const size_t outCh = static_cast<size_t>(output_.channels);
  const double ratio = static_cast<double>(output_.samplesPerSec) / input_.samplesPerSec;
  const size_t outFrames = static_cast<size_t>(std::ceil(kChunkFrames * ratio)) + 64;
  frames16_.resize(NeedsDownmix() ? kChunkFrames * inCh : 0);
  inFloat_.resize(kChunkFrames * inCh);
  mapped_.resize(kChunkFrames * outCh);
  converted_.resize(outFrames * outCh);
}

HRESULT CResampleFilter::Process(AudioBuffer* in, AudioBuffer* out) {
  if (!in || !out) return E_POINTER;
  const size_t inFrameBytes = FrameBytes(input_);
  const size_t outFrameBytes = FrameBytes(output_);
  if (inFrameBytes == 0 || outFrameBytes == 0) return E_FAIL;

  const uint64_t frames = in->length / inFrameBytes;
  const uint64_t outFrames =
      frames * static_cast<uint64_t>(output_.samplesPerSec) / static_cast<uint64_t>(input_.samplesPerSec);
  const uint64_t needed = outFrameBytes * outFrames;
  if (out->length < needed) {
    ConsoleLine("audio buffer too small\n");
    out->length = 0;
    return E_FAIL;
  }
  if ((frames && !in->data) || (out->length && !out->data)) return E_POINTER;

  Output o{out->data, out->length / outFrameBytes, 0};
  const HRESULT hr = input_.samplesPerSec == output_.samplesPerSec
                         ? ProcessEqualRates(in->data, static_cast<size_t>(frames), o)
                         : ProcessOtherRates(in->data, static_cast<size_t>(frames), o);
  out->length = static_cast<uint32_t>(o.writtenFrames * outFrameBytes);
  return hr;
}

HRESULT CResampleFilter::ProcessEqualRates(const uint8_t* src, size_t frames, Output& out) {
  const int inCh = input_.channels, outCh = output_.channels;
  const int inBits = input_.bitsPerSample, outBits = output_.bitsPerSample;
  const size_t inFrameBytes = FrameBytes(input_), outFrameBytes = FrameBytes(output_);
  const bool downmix = NeedsDownmix();
  std::vector<int16_t> frame(downmix ? inCh : 0);
  for (size_t f = 0; f < frames; ++f) {
    const uint8_t* in = src + f * inFrameBytes;
    uint8_t* dst = out.data + f * outFrameBytes;
    if (downmix) {
      std::memcpy(frame.data(), in, inFrameBytes);
      audio::DownmixFrame16(frame.data(), inCh, outCh);
      in = reinterpret_cast<const uint8_t*>(frame.data());
    }
    for (int c = 0; c < outCh; ++c)
      audio::ConvertPcmSample(in + audio::MappedChannel(c, inCh) * (inBits / 8), inBits, dst + c * (outBits / 8),
                              outBits);
  }
  out.writtenFrames = frames;
  return S_OK;
}

void CResampleFilter::LoadChunk(const uint8_t* src, size_t count) {
  const int inCh = input_.channels, outCh = output_.channels;
  const size_t samples = count * inCh;
  if (NeedsDownmix()) {
    std::memcpy(frames16_.data(), src, samples * 2);
    for (size_t f = 0; f < count; ++f) audio::DownmixFrame16(frames16_.data() + f * inCh, inCh, outCh);
    src = reinterpret_cast<const uint8_t*>(frames16_.data());
  }
  audio::PcmToFloat(src, input_.bitsPerSample, inFloat_.data(), samples);
  for (size_t f = 0; f < count; ++f)
    for (int c = 0; c < outCh; ++c) mapped_[f * outCh + c] = inFloat_[f * inCh + audio::MappedChannel(c, inCh)];
}

void CResampleFilter::Emit(const float* frames, size_t count, Output& out) {
  const size_t outCh = static_cast<size_t>(output_.channels);
  const size_t fit = std::min(count, out.capacityFrames - out.writtenFrames);
  audio::FloatToPcm(frames, out.data + out.writtenFrames * FrameBytes(output_), output_.bitsPerSample, fit * outCh);
  out.writtenFrames += fit;
  pending_.insert(pending_.end(), frames + fit * outCh, frames + count * outCh);
}

void CResampleFilter::EmitPending(Output& out) {
  if (pending_.empty()) return;
  const size_t outCh = static_cast<size_t>(output_.channels);
  const size_t count = std::min(pending_.size() / outCh, out.capacityFrames - out.writtenFrames);
  audio::FloatToPcm(pending_.data(), out.data + out.writtenFrames * FrameBytes(output_), output_.bitsPerSample,
                    count * outCh);
  out.writtenFrames += count;
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(count * outCh));
}

HRESULT CResampleFilter::RunConverter(const float* src, long frames, bool endOfInput, Output& out) {
  const long outCh = output_.channels;
  SRC_DATA data{};
  data.src_ratio = static_cast<double>(output_.samplesPerSec) / input_.samplesPerSec;
  data.end_of_input = endOfInput ? 1 : 0;
  data.data_out = converted_.data();
  data.output_frames = static_cast<long>(converted_.size() / outCh);
  // Every input frame must be taken: the converter may need several calls for it.
  for (;;) {
    data.data_in = src;
    data.input_frames = frames;
    const int error = src_process(converter_, &data);
    if (error) {
      Diag(DiagLevel::kError, "audio resampling: the conversion failed (%s)", src_strerror(error));
      return E_FAIL;
    }
    Emit(converted_.data(), static_cast<size_t>(data.output_frames_gen), out);
    src += data.input_frames_used * outCh;
    frames -= data.input_frames_used;
    if (endOfInput ? data.output_frames_gen == 0 : frames == 0) return S_OK;
    if (data.input_frames_used == 0 && data.output_frames_gen == 0) {
      Diag(DiagLevel::kError, "audio resampling: the converter stopped taking input");
      return E_FAIL;
    }
  }
}

HRESULT CResampleFilter::ProcessOtherRates(const uint8_t* src, size_t frames, Output& out) {
  if (!converter_ || converterChannels_ != output_.channels) return E_FAIL;
  SizeBuffers();
  EmitPending(out);
  if (frames == 0) {
    // Empty input is the end of the stream: flush the converter's delayed tail once.
    if (flushed_) return S_OK;
    flushed_ = true;
    return RunConverter(mapped_.data(), 0, true, out);
  }
  if (flushed_) {
    src_reset(converter_);
    flushed_ = false;
  }
  const size_t inFrameBytes = FrameBytes(input_);
  for (size_t done = 0; done < frames;) {
    const size_t count = std::min(kChunkFrames, frames - done);
    LoadChunk(src + done * inFrameBytes, count);
    const HRESULT hr = RunConverter(mapped_.data(), static_cast<long>(count), false, out);
    if (FAILED(hr)) return hr;
    done += count;
  }
  return S_OK;
}
