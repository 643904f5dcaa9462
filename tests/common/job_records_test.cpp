#include "common/job_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// Expected serialised bytes, built value by value.
class Expect {
 public:
  Expect& I32(int32_t v) { return Raw(&v, 4); }
  Expect& I64(int64_t v) { return Raw(&v, 8); }
  Expect& Str(const std::string& s) {
    I32(static_cast<int32_t>(s.size()));
    return Raw(s.data(), s.size());
  }
  Expect& Blob(const void* p, size_t n) {
    I32(static_cast<int32_t>(n));
    return Raw(p, n);
  }
  Expect& Raw(const void* p, size_t n) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    bytes.insert(bytes.end(), b, b + n);
    return *this;
  }
  Bytes bytes;
};

void FillInput(JobInput& in, int seed) {
  in.Clear();
  SetJobText(in.path, "/media/source" + std::to_string(seed) + ".vob");
  in.start = 10 + seed;
  in.stop = 20 + seed;
  in.selectedCount = 3;
  in.selected[0] = 0;
  in.selected[1] = 2;
  in.selected[2] = static_cast<uint8_t>(seed);
  in.descriptionCount = 2;
  SetJobText(in.descriptions[0], "\"TYPE\"=0,\"VFCC\"=1196444237");
  SetJobText(in.descriptions[1], "\"TYPE\"=1,\"STREAMID\"=" + std::to_string(128 + seed));
  in.paletteValid = 1;
  for (int i = 0; i < 16; ++i) in.palette[i] = 0x00108080u + static_cast<uint32_t>(i * 0x010000 + seed);
}

void FillInputs(JobInputList& list, int sources) {
  list.Clear();
  list.count = sources;
  for (int i = 0; i < sources; ++i) FillInput(list.inputs[i], i + 1);
  std::u16string artist = u"Ärtist";
  std::copy(artist.begin(), artist.end(), list.tags.artist);
  list.tags.title[0] = u'T';
  list.tags.album[0] = u'A';
  list.tags.comment[0] = u'C';
  list.tags.year = 2009;
  list.tags.track = 7;
  SetJobText(list.tags.genre, "Rock");
  list.tags.enabled = 1;
}

std::unique_ptr<ConvertJob> FullConvertJob() {
  auto job = std::make_unique<ConvertJob>();
  FillInputs(job->inputs, 2);
  SetJobText(job->output.path, "/out/title1.mp4");
  job->output.targetWord1 = 2;
  job->output.targetWord2 = 3;
  job->output.targetValue = 2048000;
  job->output.numbered = 1;
  EncodeSettings& s = job->settings;
  int32_t n = 100;
  s.sourceMode = 1;
  SetJobText(s.audioCodec, "aac");
  s.audioSetting1 = ++n;
  s.channels = ++n;
  s.audioBitrate = ++n;
  s.audioSetting2 = ++n;
  s.sampleRate = ++n;
  s.passFlag = ++n;
  s.passReaderId = ++n;
  SetJobText(s.videoCodec, "mpeg4");
  s.videoSetting = ++n;
  s.width = ++n;
  s.height = ++n;
  s.videoBitrate = ++n;
  s.frameRateNum = ++n;
  s.frameRateDen = ++n;
  SetJobText(s.writerTag, "[FFM]MP4");
  s.audioTag = ++n;
  s.videoTag = ++n;
  s.rawAudioCode = ++n;
  s.rawVideoCode = ++n;
  s.audioTrackCount = ++n;
  s.videoTrackCount = ++n;
  SetJobText(s.writerParams, "\"W\"=1");
  SetJobText(s.audioParams, "\"A\"=2");
  SetJobText(s.videoParams, "\"V\"=3");
  FilterEntry vol{2, {}, "\"VOLUME\"=150"};
  SetJobText(vol.key, "AVOLUME");
  FilterEntry eq{2, {}, std::string(3000, 'e')};  // parameter texts have no width
  SetJobText(eq.key, "AEQ");
  s.audioFilters = {vol, eq};
  FilterEntry resize{kFilterFrameRateControl, {}, "\"WIDTH\"=640"};
  SetJobText(resize.key, "VRESIZE");
  s.videoFilters = {resize};
  job->frameRate = {1, 1001, 24000};
  return job;
}

std::unique_ptr<DemuxJob> FullDemuxJob() {
  auto job = std::make_unique<DemuxJob>();
  SetJobText(job->sourcePath, "/in/movie.avi");
  for (int i = 0; i < 3; ++i) {
    DemuxOutput out;
    out.stream = i;
    SetJobText(out.writerTag, "[FFM]RAW" + std::to_string(i));
    SetJobText(out.path, "/out/stream" + std::to_string(i));
    out.globalHeader = i % 2;
    job->outputs.push_back(out);
  }
  job->frameRate = {1, 1, 25};
  return job;
}

std::unique_ptr<MuxJob> FullMuxJob() {
  auto job = std::make_unique<MuxJob>();
  FillInputs(job->inputs, 8);
  SetJobText(job->output.path, "/out/joined.mkv");
  job->output.targetWord1 = 5;
  job->output.targetValue = -1;
  SetJobText(job->writerTag, "[FFM]MATROSKA");
  job->globalHeader = 1;
  job->frameRate = {0, 3, 4};
  return job;
}

std::unique_ptr<FrameJob> FullFrameJob() {
  auto job = std::make_unique<FrameJob>();
  FillInputs(job->inputs, 1);
  SetJobText(job->sourcePath, "dvd:1,1,3,/media/disc");
  job->stream = 4;
  job->sourceMode = 2;
  SetJobText(job->outputPath, "/home/u/.local/share/velmo/preview.bmp");
  job->frameCount = 12;
  job->startSeconds = 95;
  return job;
}

template <typename Record>
std::unique_ptr<Record> ReadBack(const Bytes& bytes) {
  auto record = std::make_unique<Record>();
  std::string reason;
  EXPECT_TRUE(ParseJobRecord(*record, bytes, reason)) << reason;
  return record;
}

// Write, read back, write again: the same bytes, and the sizer's count fills
// the buffer exactly.
template <typename Record>
void ExpectRoundTrip(Record& record) {
  CDataSizer sizer;
  record.Write(sizer);
  Bytes bytes = SerialiseRecord(record);
  EXPECT_EQ(static_cast<int32_t>(bytes.size()), sizer.GetSize());
  Bytes exact(bytes.size());
  CDataWriter writer;
  writer.Attach(exact.data(), static_cast<int32_t>(exact.size()));
  record.Write(writer);
  EXPECT_EQ(writer.GetWritePos(), writer.GetBufferSize());
  auto back = ReadBack<Record>(bytes);
  EXPECT_EQ(SerialiseRecord(*back), bytes);
}

TEST(JobRecords, EveryRecordRoundTrips) {
  {
    SCOPED_TRACE("convert");
    auto job = FullConvertJob();
    ExpectRoundTrip(*job);
    auto back = ReadBack<ConvertJob>(SerialiseRecord(*job));
    EXPECT_STREQ(back->inputs.inputs[1].descriptions[1], "\"TYPE\"=1,\"STREAMID\"=130");
    EXPECT_EQ(back->inputs.inputs[1].selectedCount, 3);
    EXPECT_EQ(back->inputs.inputs[1].palette[15], job->inputs.inputs[1].palette[15]);
    EXPECT_EQ(std::memcmp(&back->inputs.tags, &job->inputs.tags, sizeof(TagInfo)), 0);
    EXPECT_EQ(back->settings.audioFilters[1].params, std::string(3000, 'e'));
    EXPECT_EQ(back->settings.videoFilters[0].flags, kFilterFrameRateControl);
    EXPECT_EQ(back->output.targetValue, 2048000);
    EXPECT_EQ(back->frameRate.denominator, 24000);
  }
  {
    SCOPED_TRACE("demux");
    auto job = FullDemuxJob();
    ExpectRoundTrip(*job);
    auto back = ReadBack<DemuxJob>(SerialiseRecord(*job));
    ASSERT_EQ(back->outputs.size(), 3u);
    EXPECT_STREQ(back->outputs[2].path, "/out/stream2");
  }
  {
    SCOPED_TRACE("mux");
    auto job = FullMuxJob();
    ExpectRoundTrip(*job);
    EXPECT_EQ(ReadBack<MuxJob>(SerialiseRecord(*job))->inputs.count, 8);
  }
  {
    SCOPED_TRACE("frame");
    auto job = FullFrameJob();
    ExpectRoundTrip(*job);
    EXPECT_EQ(ReadBack<FrameJob>(SerialiseRecord(*job))->startSeconds, 95);
  }
  {
    SCOPED_TRACE("empty records");
    ConvertJob c;
    ExpectRoundTrip(c);
    DemuxJob d;
    ExpectRoundTrip(d);
    JobInputList l;
    ExpectRoundTrip(l);
  }
}

TEST(JobRecords, FieldsAreWrittenInTheirOrder) {
  auto job = FullConvertJob();
  job->inputs.count = 1;
  const JobInput& in = job->inputs.inputs[0];
  const EncodeSettings& s = job->settings;
  Expect e;
  e.I32(1).Str(in.path).I32(in.start).I32(in.stop).Blob(in.selected, 3).I32(2);
  e.Str(in.descriptions[0]).Str(in.descriptions[1]).I32(1).Blob(in.palette, 64);
  e.Blob(&job->inputs.tags, 1068);
  e.Str("/out/title1.mp4").I32(2).I32(3).I64(2048000).I32(1);
  e.I32(s.sourceMode).Str("aac").I32(s.audioSetting1).I32(s.channels).I32(s.audioBitrate).I32(s.audioSetting2);
  e.I32(s.sampleRate).I32(s.passFlag).I32(s.passReaderId).Str("mpeg4").I32(s.videoSetting).I32(s.width);
  e.I32(s.height).I32(s.videoBitrate).I32(s.frameRateNum).I32(s.frameRateDen).Str("[FFM]MP4");
  e.I32(s.audioTag).I32(s.videoTag).I32(s.rawAudioCode).I32(s.rawVideoCode).I32(s.audioTrackCount);
  e.I32(s.videoTrackCount).Str("\"W\"=1").Str("\"A\"=2").Str("\"V\"=3");
  // Two audio filters, then none for video.
  job->settings.videoFilters.clear();
  e.I32(2).I32(2).Str("AVOLUME").Str("\"VOLUME\"=150").I32(2).Str("AEQ").Str(std::string(3000, 'e'));
  e.I32(0);
  e.I32(1).I32(1001).I32(24000);
  EXPECT_EQ(SerialiseRecord(*job), e.bytes);

  auto demux = FullDemuxJob();
  demux->outputs.resize(1);
  Expect d;
  d.Str("/in/movie.avi").I32(1).I32(0).Str("[FFM]RAW0").Str("/out/stream0").I32(0).I32(1).I32(1).I32(25);
  EXPECT_EQ(SerialiseRecord(*demux), d.bytes);

  auto mux = FullMuxJob();
  mux->inputs.count = 0;
  Expect m;
  m.I32(0).Blob(&mux->inputs.tags, 1068).Str("/out/joined.mkv").I32(5).I32(0).I64(-1).I32(0);
  m.Str("[FFM]MATROSKA").I32(1).I32(0).I32(3).I32(4);
  EXPECT_EQ(SerialiseRecord(*mux), m.bytes);

  auto frame = FullFrameJob();
  frame->inputs.count = 0;
  Expect f;
  f.I32(0).Blob(&frame->inputs.tags, 1068).Str("dvd:1,1,3,/media/disc").I32(4).I32(2);
  f.Str("/home/u/.local/share/velmo/preview.bmp").I32(12).I32(95);
  EXPECT_EQ(SerialiseRecord(*frame), f.bytes);
}

TEST(JobRecords, EmptySelectedStreamsMeansEveryStream) {
  JobInputList list;
  list.count = 1;
  SetJobText(list.inputs[0].path, "a.mp4");
  list.inputs[0].selectedCount = 0;
  Bytes bytes = SerialiseRecord(list);
  // count, path (4 + 5), start, stop, then the blob's length word.
  int32_t blobLength;
  std::memcpy(&blobLength, bytes.data() + 4 + 9 + 8, 4);
  EXPECT_EQ(blobLength, 0);
  JobInputList back;
  std::string reason;
  ASSERT_TRUE(ParseJobRecord(back, bytes, reason)) << reason;
  EXPECT_EQ(back.inputs[0].selectedCount, 0);
}

TEST(JobRecords, EmptyBytesReadAsAnEmptyRecord) {
  auto job = FullConvertJob();
  std::string reason;
  EXPECT_TRUE(ParseJobRecord(*job, {}, reason)) << reason;
  EXPECT_EQ(job->inputs.count, 0);
  EXPECT_STREQ(job->settings.writerTag, "");
  EXPECT_TRUE(job->settings.audioFilters.empty());
  EXPECT_EQ(job->frameRate.denominator, 0);
}

TEST(JobRecords, SetJobTextRefusesTextsLongerThanTheField) {
  char field[8] = "old";
  EXPECT_TRUE(SetJobText(field, "1234567"));
  EXPECT_STREQ(field, "1234567");
  EXPECT_FALSE(SetJobText(field, "12345678"));
  EXPECT_STREQ(field, "1234567");
}

// ---- malformed input ----

// Patches an int32 at the offset of a written record.
void Poke(Bytes& bytes, size_t offset, int32_t value) { std::memcpy(bytes.data() + offset, &value, 4); }

// A record whose first source path is as long as asked (not limited by a field).
Bytes ConvertJobWithPath(size_t pathLength, const std::string& outputPath) {
  Expect e;
  e.I32(1).Str(std::string(pathLength, 'p')).I32(5).I32(6).Blob("\1\2", 2).I32(0).I32(0).Blob(Bytes(64).data(), 64);
  e.Blob(Bytes(1068).data(), 1068);
  e.Str(outputPath).I32(0).I32(0).I64(0).I32(0);
  ConvertJob tail;  // settings and frame rate of an empty job
  Bytes rest = SerialiseRecord(tail);
  size_t headSize = SerialiseRecord(tail.inputs).size() + 4 + 4 + 4 + 8 + 4;
  e.Raw(rest.data() + headSize, rest.size() - headSize);
  return e.bytes;
}

TEST(JobRecords, ValueTooLongForItsFieldIsSkippedWholeAndMarksTheRecord) {
  auto job = std::make_unique<ConvertJob>();
  std::string reason;
  // 259 bytes fit a 260-byte field; 260 do not.
  ASSERT_TRUE(ParseJobRecord(*job, ConvertJobWithPath(259, "/out.mp3"), reason)) << reason;
  EXPECT_EQ(strlen(job->inputs.inputs[0].path), 259u);

  EXPECT_FALSE(ParseJobRecord(*job, ConvertJobWithPath(260, "/out.mp3"), reason));
  EXPECT_NE(reason.find("source path"), std::string::npos) << reason;
  EXPECT_TRUE(job->Malformed());
  // The rest of the record was still read in step.
  EXPECT_STREQ(job->inputs.inputs[0].path, "");
  EXPECT_EQ(job->inputs.inputs[0].start, 5);
  EXPECT_EQ(job->inputs.inputs[0].selectedCount, 2);
  EXPECT_STREQ(job->output.path, "/out.mp3");
}

TEST(JobRecords, MalformedInputsFailCleanly) {
  auto full = FullConvertJob();
  full->inputs.count = 1;
  const Bytes good = SerialiseRecord(*full);
  const size_t pathEnd = 4 + 4 + strlen(full->inputs.inputs[0].path);
  const size_t blobAt = pathEnd + 8;
  const size_t descCountAt = blobAt + 4 + 3;
  // The filter lists are followed only by the frame-rate record.
  auto unfiltered = FullConvertJob();
  unfiltered->inputs.count = 1;
  unfiltered->settings.audioFilters.clear();
  unfiltered->settings.videoFilters.clear();
  const size_t audioCountAt = SerialiseRecord(*unfiltered).size() - 12 - 8;

  struct Case {
    const char* name;
    std::function<void(Bytes&)> damage;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {"nine sources", [](Bytes& b) { Poke(b, 0, 9); }, "sources"},
      {"negative source count", [](Bytes& b) { Poke(b, 0, -1); }, "sources"},
      {"21 stream descriptions", [&](Bytes& b) { Poke(b, descCountAt, 21); }, "stream descriptions"},
      {"negative path length", [](Bytes& b) { Poke(b, 4, -7); }, "source path"},
      {"path length past the end", [](Bytes& b) { Poke(b, 4, 0x7FFFFFF0); }, "source path"},
      {"selected streams longer than 20", [&](Bytes& b) { Poke(b, blobAt, 21); }, "selected streams"},
      {"trailing bytes", [](Bytes& b) { b.push_back(0); }, "left over"},
      {"huge audio filter count", [&](Bytes& b) { Poke(b, audioCountAt, 0x10000000); }, "audio filters"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes bytes = good;
    c.damage(bytes);
    auto job = std::make_unique<ConvertJob>();
    std::string reason;
    EXPECT_FALSE(ParseJobRecord(*job, bytes, reason));
    EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
  }
}

TEST(JobRecords, HugeDemuxOutputCountIsRefusedBeforeAllocating) {
  Expect e;
  e.Str("/in.avi").I32(0x7FFFFFFF);
  DemuxJob job;
  std::string reason;
  EXPECT_FALSE(ParseJobRecord(job, e.bytes, reason));
  EXPECT_NE(reason.find("outputs"), std::string::npos) << reason;
  EXPECT_TRUE(job.outputs.empty());
}

TEST(JobRecords, EveryTruncationOfEveryRecordIsMalformed) {
  std::vector<std::pair<std::unique_ptr<JobRecord>, Bytes>> records;
  auto convert = FullConvertJob();
  Bytes convertBytes = SerialiseRecord(*convert);
  records.emplace_back(std::make_unique<ConvertJob>(), convertBytes);
  auto demux = FullDemuxJob();
  records.emplace_back(std::make_unique<DemuxJob>(), SerialiseRecord(*demux));
  auto mux = FullMuxJob();
  records.emplace_back(std::make_unique<MuxJob>(), SerialiseRecord(*mux));
  auto frame = FullFrameJob();
  records.emplace_back(std::make_unique<FrameJob>(), SerialiseRecord(*frame));
  for (auto& [record, bytes] : records) {
    for (size_t cut = 1; cut < bytes.size(); ++cut) {
      Bytes prefix(bytes.begin(), bytes.begin() + static_cast<long>(cut));
      std::string reason;
      ASSERT_FALSE(ParseJobRecord(*record, prefix, reason)) << "cut at " << cut;
    }
  }
}

TEST(JobRecords, GarbageNeverCrashes) {
  std::mt19937 rng(12345);
  auto convert = std::make_unique<ConvertJob>();
  auto demux = std::make_unique<DemuxJob>();
  auto mux = std::make_unique<MuxJob>();
  auto frame = std::make_unique<FrameJob>();
  JobRecord* records[] = {convert.get(), demux.get(), mux.get(), frame.get()};
  const Bytes good = SerialiseRecord(*FullConvertJob());
  for (int round = 0; round < 2000; ++round) {
    Bytes bytes;
    if (round % 2) {
      bytes.resize(rng() % 4096);
      for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng());
    } else {
      bytes = good;  // a sound record with a few bytes flipped
      for (int k = 0; k < 4; ++k) bytes[rng() % bytes.size()] = static_cast<uint8_t>(rng());
    }
    std::string reason;
    ParseJobRecord(*records[round % 4], bytes, reason);
  }
}

}  // namespace
