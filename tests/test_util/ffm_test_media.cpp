#include "tests/test_util/ffm_test_media.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace ffmtest {

std::string MediaDir() {
  const std::string dir = std::string(TRIVOX_BINARY_DIR) + "/fixtures/ffm_codec";
  Shell("mkdir -p '" + dir + "'");
  return dir;
}

std::string FixtureDir() { return std::string(TRIVOX_BINARY_DIR) + "/fixtures/media"; }

bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

bool HaveFfmpeg() { return Shell("ffmpeg -hide_banner -version >/dev/null 2>&1"); }

std::string MakeClip(const std::string& name, const std::string& args) {
  const std::string path = MediaDir() + "/" + name;
  if (std::ifstream(path).good()) return path;
  const std::string tmp = path + ".tmp";
  const std::string ext = name.substr(name.rfind('.') + 1);
  if (!Shell("ffmpeg -nostdin -hide_banner -loglevel error -y " + args + " -f " +
             (ext == "m4a"   ? std::string("mp4")
              : ext == "mkv" ? std::string("matroska")
              : ext == "aac" ? std::string("adts")
                             : ext) +
             " '" + tmp + "' && mv -f '" + tmp + "' '" + path + "'"))
    return "";
  return path;
}

bool ReadStream(const std::string& path, int codecType, Stream* stream) {
  AVFormatContext* fmt = nullptr;
  if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) return false;
  bool ok = false;
  if (avformat_find_stream_info(fmt, nullptr) >= 0) {
    int index = -1;
    for (unsigned i = 0; i < fmt->nb_streams; ++i)
      if (fmt->streams[i]->codecpar->codec_type == codecType) {
        index = static_cast<int>(i);
        break;
      }
    if (index >= 0) {
      AVStream* st = fmt->streams[index];
      const AVCodecParameters* par = st->codecpar;
      stream->codecType = par->codec_type;
      stream->codecId = par->codec_id;
      stream->sampleRate = par->sample_rate;
      stream->channels = par->ch_layout.nb_channels;
      stream->width = par->width;
      stream->height = par->height;
      stream->pixFmt = par->format;
      stream->bitsPerCodedSample = par->bits_per_coded_sample;
      stream->blockAlign = par->block_align;
      stream->bitRate = par->bit_rate;
      stream->codecTag = par->codec_tag;
      const AVRational rate = st->avg_frame_rate.num ? st->avg_frame_rate : st->r_frame_rate;
      stream->frameRateNum = rate.num;
      stream->frameRateDen = rate.den ? rate.den : 1;
      stream->extradata.assign(par->extradata, par->extradata + par->extradata_size);
      CodecContextFromParameters(par, &stream->codec);
      if (par->codec_type == AVMEDIA_TYPE_VIDEO && rate.num > 0)
        stream->codec.time_base = FFRational{rate.den, rate.num};
      else if (par->codec_type == AVMEDIA_TYPE_AUDIO)
        stream->codec.time_base = FFRational{1, par->sample_rate};
      AVPacket* pkt = av_packet_alloc();
      const AVRational units{1, 10000000};
      while (av_read_frame(fmt, pkt) >= 0) {
        if (pkt->stream_index == index) {
          Packet p;
          p.data.assign(pkt->data, pkt->data + pkt->size);
          if (pkt->pts != AV_NOPTS_VALUE) {
            p.start = av_rescale_q(pkt->pts, st->time_base, units);
            if (pkt->duration > 0) p.stop = p.start + av_rescale_q(pkt->duration, st->time_base, units);
          }
          p.key = (pkt->flags & AV_PKT_FLAG_KEY) != 0;
          stream->packets.push_back(std::move(p));
        }
        av_packet_unref(pkt);
      }
      av_packet_free(&pkt);
      ok = true;
    }
  }
  avformat_close_input(&fmt);
  return ok;
}

namespace {
std::string Capture(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buf[256];
  while (std::fgets(buf, sizeof buf, pipe)) out += buf;
  pclose(pipe);
  return out;
}
}  // namespace

int64_t ProbeFrameCount(const std::string& path, const char* kind) {
  const std::string out = Capture(std::string("ffprobe -v error -count_frames -select_streams ") + kind +
                                  ":0 -show_entries stream=nb_read_frames -of csv=p=0 '" + path + "'");
  return out.empty() ? -1 : std::atoll(out.c_str());
}

ProbedFile ProbeFile(const std::string& path) {
  ProbedFile p;
  p.raw = Capture(
      "ffprobe -v error -show_entries format=format_name,duration:stream=index,codec_type,codec_name -of "
      "default=nw=1 '" +
      path + "' 2>/dev/null");
  std::string name, index;
  std::vector<std::string> seen;
  for (size_t at = 0; at < p.raw.size();) {
    size_t nl = p.raw.find('\n', at);
    if (nl == std::string::npos) nl = p.raw.size();
    const std::string line = p.raw.substr(at, nl - at);
    at = nl + 1;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "format_name") p.format = value;
    if (key == "duration" && value != "N/A") p.duration = std::atof(value.c_str());
    if (key == "index") index = value;
    if (key == "codec_name") name = value;
    if (key == "codec_type" && std::find(seen.begin(), seen.end(), index) == seen.end()) {
      seen.push_back(index);
      p.codecs.push_back(value + ":" + name);
    }
  }
  std::sort(p.codecs.begin(), p.codecs.end());
  if (p.duration < 0) {
    const std::string packets =
        Capture("ffprobe -v error -show_entries packet=pts_time,duration_time -of csv=p=0 '" + path + "' 2>/dev/null");
    double end = -1;
    for (size_t at = 0; at < packets.size();) {
      size_t nl = packets.find('\n', at);
      if (nl == std::string::npos) nl = packets.size();
      const std::string line = packets.substr(at, nl - at);
      at = nl + 1;
      // Raw streams carry no stamps: their durations add up.
      double pts = 0, dur = 0;
      if (std::sscanf(line.c_str(), "%lf,%lf", &pts, &dur) == 2) {
        end = std::max(end, pts + dur);
      } else if (std::sscanf(line.c_str(), "N/A,%lf", &dur) == 1) {
        end = std::max(end, 0.0) + dur;
      }
    }
    p.duration = end;
  }
  return p;
}

int64_t CliAudioSampleCount(const std::string& path) {
  const std::string out = Capture("ffmpeg -nostdin -v error -i '" + path + "' -map 0:a:0 -f s16le -ac 1 - | wc -c");
  return out.empty() ? -1 : std::atoll(out.c_str()) / 2;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace ffmtest
