#include "engine/modules/filters/audio_equalizer_filter.h"

#include <samplerate.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "common/param_list.h"
#include "engine/modules/filters/real_fft.h"
#include "platform/diagnostics.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kN = CEqualizerFilter::kWindowLength;
constexpr int kSize = CEqualizerFilter::kFftSize;
constexpr int kHalf = CEqualizerFilter::kDelay;  // taps each side of the centre
constexpr int kBands = 10;

// Upper band edges in hundredths of a hertz; the last band ends at the sample rate.
constexpr int64_t kUpperEdges[kBands - 1] = {6000, 17000, 31000, 60000, 100000, 300000, 600000, 1200000, 1400000};

constexpr double kStopBandDb = 96.0;

double KaiserAlpha(double attenuation) {
  if (attenuation <= 21.0) return 0.0;
  if (attenuation <= 50.0) return 0.5842 * std::pow(attenuation - 21.0, 0.4) + 0.07886 * (attenuation - 21.0);
  return 0.1102 * (attenuation - 8.7);
}

// I0(x) = 1 + sum over m = 1..15 of ((x/2)^m / m!)^2.
double BesselI0(double x, const float* factorials) {
  double sum = 1.0;
  double power = 1.0;
  for (int m = 1; m < 16; ++m) {
    power *= x / 2.0;
    const double term = power / factorials[m];
    sum += term * term;
  }
  return sum;
}

double Lowpass(double edgeHz, int n, double rate) {
  const double x = 2.0 * kPi * edgeHz * n / rate;
  const double sinc = n == 0 ? 1.0 : std::sin(x) / x;
  return 2.0 * edgeHz / rate * sinc;
}

}  // namespace

double EqualizerBandGainDb(int setting) {
  if (setting == CEqualizerFilter::kNeutral) return 0.0;
  if (setting < CEqualizerFilter::kNeutral) return 12.0 - 0.38 * setting;
  return 11.94 - 0.38 * setting;
}

// One channel's filter and block state.
struct CEqualizerFilter::Channel {
  std::vector<int> fftIndex;
  std::vector<float> fftTable;
  float factorials[16] = {};
  double i0Beta = 1.0;
  std::vector<float> spectrum;  // the filter's spectrum, packed
  std::vector<float> block;     // FFT block
  int held = 0;                 // input samples waiting for a block
  bool firstBlock = true;
  std::vector<float> input;    // kN
  std::vector<float> overlap;  // kSize
  std::vector<float> output;   // converted samples not yet handed out
  size_t outputRead = 0;

  Channel()
      : fftIndex(RealFftIndexWorkSize(kSize), 0),
        fftTable(RealFftTableSize(kSize), 0.0f),
        spectrum(kSize, 0.0f),
        block(kSize, 0.0f),
        input(kN, 0.0f),
        overlap(kSize, 0.0f) {
    fftIndex[0] = 0;  // build the tables on the first transform
    float f = 1.0f;
    factorials[0] = 1.0f;
    for (int m = 1; m < 16; ++m) factorials[m] = f *= static_cast<float>(m);
    i0Beta = BesselI0(KaiserAlpha(kStopBandDb), factorials);
  }

  size_t Pending() const { return output.size() - outputRead; }

  double Window(int n) const {
    const double r = 1.0 - 4.0 * n * n / (double(kN - 1) * (kN - 1));
    return BesselI0(KaiserAlpha(kStopBandDb) * std::sqrt(std::max(r, 0.0)), factorials) / i0Beta;
  }

  void Design(const std::array<uint8_t, kSettings>& settings, int rate) {
    std::fill(spectrum.begin(), spectrum.end(), 0.0f);
    if (rate <= 0) return;
    double gains[kBands];
    const double preamp = EqualizerBandGainDb(settings[kBands]);
    for (int i = 0; i < kBands; ++i) gains[i] = std::pow(10.0, (EqualizerBandGainDb(settings[i]) + preamp) / 15.0);
    const double fs = rate;
    // The band that closes the chain: the first whose upper edge reaches half the rate, else the last.
    int last = kBands - 1;
    for (int e = 1; e < kBands - 1; ++e) {
      if (kUpperEdges[e] >= int64_t(rate) * 50) {
        last = e;
        break;
      }
    }
    for (int j = 0; j < kN; ++j) {
      const int n = j - kHalf;
      double h = gains[0] * Lowpass(kUpperEdges[0] / 100.0, n, fs);
      for (int e = 1; e < last; ++e)
        h += gains[e] * (Lowpass(kUpperEdges[e] / 100.0, n, fs) - Lowpass(kUpperEdges[e - 1] / 100.0, n, fs));
      h += gains[last] * ((n == 0 ? 1.0 : 0.0) - Lowpass(kUpperEdges[last - 1] / 100.0, n, fs));
      spectrum[static_cast<size_t>(j)] = static_cast<float>(Window(n) * h);
    }
    RealFft(kSize, 1, spectrum.data(), fftIndex.data(), fftTable.data());
  }

  // Filters the block held in `input` (held samples, the rest zero) into the overlap buffer.
  void RunBlock() {
    std::memmove(overlap.data(), overlap.data() + kN, sizeof(float) * (kSize - kN));
    std::copy(input.begin(), input.begin() + held, block.begin());
    std::fill(block.begin() + held, block.end(), 0.0f);
    RealFft(kSize, 1, block.data(), fftIndex.data(), fftTable.data());
    block[0] *= spectrum[0];
    block[1] *= spectrum[1];
    for (int k = 2; k < kSize; k += 2) {
      const float a = block[k], b = block[k + 1], c = spectrum[k], d = spectrum[k + 1];
      block[k] = a * c - b * d;
      block[k + 1] = a * d + b * c;
    }
    RealFft(kSize, -1, block.data(), fftIndex.data(), fftTable.data());
    constexpr float scale = 2.0f / kSize;
    for (int j = 0; j < kN; ++j) overlap[j] += block[j] * scale;
    for (int j = kN; j < kSize; ++j) overlap[j] = block[j] * scale;
  }

  void Append(const float* from, size_t count) {
    if (outputRead > 0 && outputRead == output.size()) {
      output.clear();
      outputRead = 0;
    }
    output.insert(output.end(), from, from + count);
  }

  // Feeds `count` samples spaced `stride` apart.
  void Feed(const float* samples, size_t count, size_t stride) {
    while (count > 0) {
      const size_t take = std::min(count, static_cast<size_t>(kN - held));
      for (size_t i = 0; i < take; ++i) input[static_cast<size_t>(held) + i] = samples[i * stride];
      held += static_cast<int>(take);
      samples += take * stride;
      count -= take;
      if (held < kN) break;
      RunBlock();
      if (firstBlock)
        Append(overlap.data() + kHalf, static_cast<size_t>(kN - kHalf));
      else
        Append(overlap.data(), kN);
      firstBlock = false;
      held = 0;
    }
  }

  // End of stream: the held samples as a last, zero-padded block, then the
  // overlap tail, so that the output is exactly as long as the input.
  void Flush() {
    if (firstBlock && held == 0) return;  // nothing came in
    const size_t skip = firstBlock ? kHalf : 0;
    const size_t count = firstBlock ? static_cast<size_t>(held) : static_cast<size_t>(held) + kHalf;
    RunBlock();
    Append(overlap.data() + skip, count);
    held = 0;
    firstBlock = true;
    std::fill(overlap.begin(), overlap.end(), 0.0f);
  }
};

IAudioFilter* CEqualizerFilter::Create(CParamList* /*params*/) { return new (std::nothrow) CEqualizerFilter(); }

CEqualizerFilter::CEqualizerFilter() { settings_.fill(kNeutral); }
CEqualizerFilter::~CEqualizerFilter() = default;

HRESULT CEqualizerFilter::Init(const AudioFormat* input) {
  if (!input || input->kind != kAudioKindPcm || input->bitsPerSample != 16) return E_FAIL;
  if (input->channels < 1 || input->channels > kMaxChannels) {
    Diag(DiagLevel::kWarning, "equalizer: cannot filter %d channels, at most %d", input->channels, kMaxChannels);
    return E_FAIL;
  }
  input_ = *input;
  output_ = *input;
  return S_OK;
}

HRESULT CEqualizerFilter::GetOutputFormat(AudioFormat* output) {
  if (!output) return E_POINTER;
  *output = output_;
  return S_OK;
}

HRESULT CEqualizerFilter::SetParams(CParamList* params) {
  if (!params) return E_POINTER;
  char key[8];
  for (int i = 0; i < kSettings; ++i) {
    std::snprintf(key, sizeof key, "DB%d", i);
    // The sliders' range; anything else would give gains no slider can set.
    settings_[static_cast<size_t>(i)] = static_cast<uint8_t>(std::clamp(params->GetInt(key, kNeutral), 0, 63));
  }
  return S_OK;
}

HRESULT CEqualizerFilter::Start() { return S_OK; }

HRESULT CEqualizerFilter::Destroy() {
  delete this;
  return S_OK;
}

int CEqualizerFilter::GetMaxInputChunk() { return 0; }
int CEqualizerFilter::GetBlockMultiplier() { return 1; }

size_t CEqualizerFilter::PendingFrames() const { return channelCount_ > 0 ? channels_[0]->Pending() : 0; }

void CEqualizerFilter::CreateChannels() {
  channelCount_ = input_.channels;
  for (int c = 0; c < channelCount_; ++c) {
    channels_[static_cast<size_t>(c)] = std::make_unique<Channel>();
    channels_[static_cast<size_t>(c)]->Design(settings_, input_.samplesPerSec);
  }
  work_.assign(kWorkFloats, 0.0f);
}

void CEqualizerFilter::Flush() {
  for (int c = 0; c < channelCount_; ++c) channels_[static_cast<size_t>(c)]->Flush();
  fed_ = false;
}

// Hands out as many converted frames as the output holds; the rest waits.
uint32_t CEqualizerFilter::Emit(AudioBuffer* out) {
  const size_t channels = static_cast<size_t>(channelCount_);
  const size_t capacity = std::min<size_t>(out->length / (2 * channels), kWorkFloats / channels);
  const size_t frames = std::min(PendingFrames(), capacity);
  for (size_t c = 0; c < channels; ++c) {
    Channel& ch = *channels_[c];
    const float* from = ch.output.data() + ch.outputRead;
    for (size_t i = 0; i < frames; ++i) work_[i * channels + c] = from[i];
    ch.outputRead += frames;
  }
  if (frames > 0)
    src_float_to_short_array(work_.data(), reinterpret_cast<short*>(out->data), static_cast<int>(frames * channels));
  return static_cast<uint32_t>(frames * channels * 2);
}

HRESULT CEqualizerFilter::Process(AudioBuffer* in, AudioBuffer* out) {
  if (!in || !out || !out->data) return E_POINTER;
  if (in->length != 0 && !in->data) return E_POINTER;
  if (input_.channels < 1) return E_FAIL;  // no format
  if (channelCount_ == 0) CreateChannels();
  const size_t channels = static_cast<size_t>(channelCount_);

  if (in->length == 0) {
    if (fed_) Flush();
  } else {
    // Whole frames only; the work array takes at most its size per call.
    const size_t frames = std::min<size_t>(in->length / 2 / channels, kWorkFloats / channels);
    const size_t samples = frames * channels;
    src_short_to_float_array(reinterpret_cast<const short*>(in->data), work_.data(), static_cast<int>(samples));
    for (size_t c = 0; c < channels; ++c) channels_[c]->Feed(work_.data() + c, frames, channels);
    fed_ = true;
  }
  out->length = Emit(out);
  return S_OK;
}
