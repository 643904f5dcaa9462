// "dvd:" source: path forms, the ring, the block-reading thread over the fixture discs,
// the "dvd" protocol under FFmpeg's demuxer, and the dvdcat tool.
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/dvd/dvd_backend.h"
#include "common/dvd/dvd_playback.h"
#include "common/dvd/dvd_trace.h"
#include "engine/modules/dvd/dvd_protocol.h"
#include "engine/modules/dvd/dvd_reader_input.h"
#include "engine/modules/dvd/dvd_stream_buffer.h"
#include "engine/modules/dvd/dvd_url.h"
#include "engine/modules/ffmpeg/ffmpeg_adapter.h"
#include "platform/win_types.h"
#include "tests/common/dvd/dvd_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

std::mutex g_traceLock;
std::string g_trace;
void CaptureTrace(const char* text) {
  std::lock_guard<std::mutex> guard(g_traceLock);
  g_trace += text;
}
std::string Trace() {
  std::lock_guard<std::mutex> guard(g_traceLock);
  return g_trace;
}

class DvdSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    {
      std::lock_guard<std::mutex> guard(g_traceLock);
      g_trace.clear();
    }
    previous_ = DvdSetTraceSink(CaptureTrace);
    DvdProtocolRegister();
  }
  void TearDown() override { DvdSetTraceSink(previous_); }
  DvdTraceSink previous_ = nullptr;
};

// ---------------------------------------------------------------- path forms

TEST(DvdUrl, Forms) {
  const std::string longPath(259, 'a');
  struct Case {
    std::string text;
    bool ok;
    int title, first, last;
    std::string path;
  } cases[] = {
      {"dvd:2,3,5,/media/cdrom", true, 2, 3, 5, "/media/cdrom"},
      {"dvd:1,1,3,/tmp/My Disc/with  spaces ", true, 1, 1, 3, "/tmp/My Disc/with  spaces "},
      {"DVD:4,1,2,/d", true, 4, 1, 2, "/d"},
      {"dvd:/media/my disc", true, 1, 1, 1, "/media/my disc"},
      {"3,1,1,/x", true, 3, 1, 1, "/x"},
      {"dvd:1,2,/x", true, 1, 1, 1, "1,2,/x"},
      {"dvd:-1,0,99,/x", true, -1, 0, 99, "/x"},
      {"dvd:" + longPath, true, 1, 1, 1, longPath},
      {"dvd:1,1,1," + longPath, true, 1, 1, 1, longPath},
      {"dvd:" + longPath + "b", false, 0, 0, 0, ""},
      {"dvd:", false, 0, 0, 0, ""},
      {"", false, 0, 0, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::optional<DvdUrl> url = DvdUrlParse(c.text.c_str());
    ASSERT_EQ(url.has_value(), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(url->title, c.title);
    EXPECT_EQ(url->firstChapter, c.first);
    EXPECT_EQ(url->lastChapter, c.last);
    EXPECT_EQ(url->path, c.path);
  }
  EXPECT_FALSE(DvdUrlParse(nullptr));
  EXPECT_TRUE(IsDvdUrl("dvd:x"));
  EXPECT_FALSE(IsDvdUrl("/dvd:x"));
  EXPECT_EQ(CDvdStreamBuffer::Open("dvd:"), nullptr);
}

TEST(DvdStreamIds, DemuxerIdsMatchScanIds) {
  struct Case {
    int32_t scan, demuxer;
  } cases[] = {{0xE0, 0x1E0},  {0xC0, 0x1C0},  {0xC3, 0x1C3},  {0x80BD, 0x80}, {0x81BD, 0x81},
               {0xA0BD, 0xA0}, {0x88BD, 0x88}, {0x20BD, 0x20}, {0x80, 0x80}};
  for (const Case& c : cases) {
    EXPECT_EQ(DvdDemuxerStreamId(c.scan), c.demuxer) << std::hex << c.scan;
    EXPECT_TRUE(DvdStreamIdMatches(c.demuxer, c.scan));
  }
  EXPECT_FALSE(DvdStreamIdMatches(0xE0, 0xE0));
  EXPECT_FALSE(DvdStreamIdMatches(0x1C1, 0xC0));
}

// ---------------------------------------------------------------- the ring alone

Bytes Block(int n, int32_t size = 2048) {
  Bytes b(size);
  for (int32_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(n * 7 + i / 256);
  return b;
}

TEST_F(DvdSourceTest, RingEndAndBehindWindow) {
  CDvdStreamBuffer ring;
  ASSERT_TRUE(ring.Init(8192, 8192));
  for (int i = 0; i < 3; ++i) ASSERT_EQ(ring.Write(Block(i).data(), 2048), 2048);
  Bytes out(4096);
  ASSERT_EQ(ring.Read(out.data(), 4096), 4096);
  EXPECT_EQ(std::memcmp(out.data(), Block(0).data(), 2048), 0);
  EXPECT_EQ(std::memcmp(out.data() + 2048, Block(1).data(), 2048), 0);
  ring.MarkEnd();
  EXPECT_EQ(ring.Read(out.data(), 4096), 2048);  // what is left
  EXPECT_EQ(std::memcmp(out.data(), Block(2).data(), 2048), 0);
  EXPECT_EQ(ring.Read(out.data(), 4096), 0);
  struct SeekCase {
    int64_t pos;
    int whence;
    int64_t result;
  } seeks[] = {{100, 0, 100}, {50, 1, 150}, {-150, 1, 0}, {0, 2, -1}, {7, 9, 0}};
  for (const SeekCase& s : seeks) EXPECT_EQ(ring.Seek(s.pos, s.whence), s.result);
}

TEST_F(DvdSourceTest, RingKeepsOrderWhileFullAndRefusesOverwrittenData) {
  CDvdStreamBuffer ring;
  ASSERT_TRUE(ring.Init(8192, 8192));  // 8 blocks in all
  constexpr int kBlocks = 40;
  std::thread writer([&] {
    for (int i = 0; i < kBlocks; ++i) ring.Write(Block(i).data(), 2048);
    ring.MarkEnd();
  });
  Bytes out(2048);
  for (int i = 0; i < kBlocks; ++i) {
    ASSERT_EQ(ring.Read(out.data(), 2048), 2048) << i;
    ASSERT_EQ(out, Block(i)) << i;
  }
  EXPECT_EQ(ring.Read(out.data(), 2048), 0);
  writer.join();
  // More than the behind size back from the furthest read: overwritten.
  EXPECT_EQ(ring.ReadAt(2048, out.data(), 2048), -1);
  EXPECT_NE(Trace().find("back...\n"), std::string::npos);
}

TEST_F(DvdSourceTest, SeekRequestOnAFullIdleRingIsTakenAtOnce) {
  CDvdStreamBuffer ring;
  ASSERT_TRUE(ring.Init(8192, 8192));
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; i < 100 && !done; ++i) ring.Write(Block(i).data(), 2048);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // ring full, writer waiting
  const auto t0 = Clock::now();
  ring.RequestSeek(20000000);
  EXPECT_TRUE(ring.WaitSeekTaken(300));
  EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(150));
  EXPECT_EQ(ring.readPosition(), 0);
  Bytes out(2048);
  ASSERT_EQ(ring.Read(out.data(), 2048), 2048);  // the stream restarts at 0
  EXPECT_NE(out, Block(0));
  done = true;
  ring.RequestSeek(0);  // releases a writer waiting on the full ring
  writer.join();
}

// ---------------------------------------------------------------- the source over discs

class DvdSourceDisc : public DvdSourceTest {
 protected:
  void SetUp() override {
    REQUIRE_DVD_FIXTURES();
    DvdSourceTest::SetUp();
  }

  // Sectors of chapters first..last of a title read straight from the title set's VOBs.
  // The blocks of chapters first to last and, when the title goes on, its next chapter's first
  // VOBUs (read for the sound of the range's last pictures).
  static Bytes Cells(const std::string& disc, int titleNumber, int first, int last) {
    Bytes out = Chapters(disc, titleNumber, first, last);
    Bytes next = Chapters(disc, titleNumber, last + 1, last + 1, false);
    // Its VOBUs that start within a second of it.
    const int64_t nextStart = next.size() >= 2048 && IsNavPack(next.data()) ? VobuStart(next.data()) : 0;
    for (size_t at = 2048; at + 2048 <= next.size(); at += 2048)
      if (IsNavPack(next.data() + at) &&
          (VobuStart(next.data() + at) - nextStart >= 90000 || VobuStart(next.data() + at) < nextStart)) {
        next.resize(at);
        break;
      }
    out.insert(out.end(), next.begin(), next.end());
    return out;
  }

  static bool IsNavPack(const uint8_t* b) {
    return b[0] == 0 && b[1] == 0 && b[2] == 1 && b[3] == 0xBA && b[0x26] == 0 && b[0x27] == 0 && b[0x28] == 1 &&
           b[0x29] == 0xBF && b[0x2C] == 0;
  }

  static int64_t VobuStart(const uint8_t* nav) {
    return static_cast<int64_t>(nav[0x39]) << 24 | nav[0x3A] << 16 | nav[0x3B] << 8 | nav[0x3C];
  }

  static Bytes Chapters(const std::string& disc, int titleNumber, int first, int last, bool mustExist = true) {
    Bytes out;
    const DvdNavHandlePtr handle = DvdInit(disc.c_str());
    EXPECT_NE(handle, nullptr);
    if (!handle) return out;
    const DvdTitlePtr title = DvdTitleScan(*handle, titleNumber);
    EXPECT_NE(title, nullptr);
    if (!title) return out;
    const int vtsn = handle->vmg->tt_srpt->title[titleNumber - 1].title_set_nr;
    const DvdFilePtr file(DVDOpenFile(handle->reader.get(), vtsn, DVD_READ_TITLE_VOBS));
    for (int c = first; c <= last; ++c) {
      if (mustExist) {
        EXPECT_LE(c, static_cast<int>(title->chapters.size())) << "chapter " << c;
      }
      if (c > static_cast<int>(title->chapters.size())) break;
      for (const DvdCell& cell : title->chapters[c - 1].cells)
        for (int32_t s = cell.firstSector; s <= cell.lastSector; ++s) {
          uint8_t block[2048];
          EXPECT_EQ(DVDReadBlocks(file.get(), s, 1, block), 1);
          out.insert(out.end(), block, block + 2048);
        }
    }
    return out;
  }

  static Bytes ReadAll(CDvdStreamBuffer* source) {
    Bytes out;
    Bytes chunk(100000);
    for (;;) {
      const int32_t n = source->Read(chunk.data(), static_cast<int32_t>(chunk.size()));
      if (n <= 0) break;
      out.insert(out.end(), chunk.begin(), chunk.begin() + n);
    }
    return out;
  }
};

TEST_F(DvdSourceDisc, ChapterRangesReadExactlyTheirCells) {
  const std::string basic = DvdFixture("basic");
  // A folder whose name has spaces, pointing at the same disc.
  const std::string spacedDir = std::string(TRIVOX_BINARY_DIR) + "/fixtures/dvd source spaces";
  std::filesystem::create_directories(spacedDir);
  const std::string spaced = spacedDir + "/my basic disc";
  std::error_code ec;
  std::filesystem::remove(spaced, ec);
  std::filesystem::create_directory_symlink(basic, spaced);
  struct Case {
    std::string url;
    std::string disc;
    int title, first, last;
  } cases[] = {
      {"dvd:1,1,3," + basic, basic, 1, 1, 3},
      {"dvd:1,2,2," + basic, basic, 1, 2, 2},
      {"dvd:1,2,3," + basic, basic, 1, 2, 3},
      {"dvd:1,1,1," + basic, basic, 1, 1, 1},
      {"dvd:1,3,3," + basic, basic, 1, 3, 3},
      {"dvd:2,1,2," + basic, basic, 2, 1, 2},
      {"dvd:2,2,3," + basic, basic, 2, 2, 2},  // title 2 has two chapters
      {"dvd:4,2,2," + basic, basic, 4, 2, 2},
      {"dvd:1,2,99," + basic, basic, 1, 2, 3},  // last above the count: to the title's end
      {"dvd:1,7,3," + basic, basic, 1, 1, 3},   // first above the count: from chapter 1
      {"dvd:" + basic, basic, 1, 1, 1},         // path alone: title 1, chapter 1
      {"dvd:1,1,3," + spaced, basic, 1, 1, 3},
      {"dvd:1,2,3," + DvdFixture("basic.iso"), DvdFixture("basic.iso"), 1, 2, 3},
      {"dvd:3,1,1," + DvdFixture("basic.iso"), DvdFixture("basic.iso"), 3, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    const std::unique_ptr<CDvdStreamBuffer> source = CDvdStreamBuffer::Open(c.url.c_str());
    ASSERT_NE(source, nullptr);
    const Bytes got = ReadAll(source.get());
    const Bytes want = Cells(c.disc, c.title, c.first, c.last);
    EXPECT_EQ(got.size(), want.size());
    EXPECT_TRUE(got == want);
    EXPECT_FALSE(source->failed());
    EXPECT_GT(source->duration(), 0.0);
  }
}

TEST_F(DvdSourceDisc, FailuresAreFailuresNotEnds) {
  struct Case {
    std::string url;
    const char* why;
  } cases[] = {
      {"dvd:1,1,3," + DvdFixture("broken/trunc"), "reading"},
      {"dvd:1,1,3," + DvdFixture("no such disc"), "open"},
      {"dvd:9,1,1," + DvdFixture("basic"), "title"},
      {"dvd:1,3,2," + DvdFixture("basic"), "first chapter"},  // first above last
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    const std::unique_ptr<CDvdStreamBuffer> source = CDvdStreamBuffer::Open(c.url.c_str());
    ASSERT_NE(source, nullptr);
    ReadAll(source.get());
    EXPECT_TRUE(source->failed()) << c.why;
    uint8_t buffer[4096];
    CDvdByteSource bytes(c.url.c_str());
    ASSERT_NE(bytes.buffer(), nullptr);
    while (bytes.Read(buffer, sizeof buffer) > 0) {
    }
    EXPECT_LT(bytes.Read(buffer, sizeof buffer), 0);
  }
}

TEST_F(DvdSourceDisc, CloseStopsAWaitingThreadPromptly) {
  const std::string url = "dvd:1,1,3," + DvdFixture("basic");
  for (int round = 0; round < 5; ++round) {
    std::unique_ptr<CDvdStreamBuffer> source = CDvdStreamBuffer::Open(url.c_str(), 16384, 16384);
    ASSERT_NE(source, nullptr);
    if (round > 0) std::this_thread::sleep_for(std::chrono::milliseconds(20 * round));
    const auto t0 = Clock::now();
    source.reset();
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(500));
  }
  // A source whose thread has ended closes at once without a stop.
  std::unique_ptr<CDvdStreamBuffer> source = CDvdStreamBuffer::Open(url.c_str());
  ASSERT_NE(source, nullptr);
  ReadAll(source.get());
  EXPECT_TRUE(source->ended());
  const auto t0 = Clock::now();
  source.reset();
  EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(200));
  EXPECT_NE(Trace().find("end ,break out"), std::string::npos);
}

TEST_F(DvdSourceDisc, TimeSeekRestartsTheStreamNearTheTarget) {
  const std::string url = "dvd:1,1,3," + DvdFixture("basic");
  const std::unique_ptr<CDvdStreamBuffer> source = CDvdStreamBuffer::Open(url.c_str(), 65536, 65536);
  ASSERT_NE(source, nullptr);
  Bytes first(2048);
  ASSERT_EQ(source->Read(first.data(), 2048), 2048);
  const std::optional<int64_t> scr0 = DvdPackScr(first.data());
  ASSERT_TRUE(scr0);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  for (double seconds : {3.0, 0.5, 5.0}) {
    SCOPED_TRACE(seconds);
    source->RequestSeek(static_cast<int64_t>(seconds * 1e7));
    ASSERT_TRUE(source->WaitSeekTaken(300));
    Bytes block(2048);
    ASSERT_EQ(source->Read(block.data(), 2048), 2048);
    const std::optional<int64_t> scr = DvdPackScr(block.data());
    ASSERT_TRUE(scr);
    EXPECT_NEAR((*scr - *scr0) / 90000.0, seconds, 0.8);
  }
  // After a seek backwards the stream still runs to the range's end without a break.
  Bytes rest = ReadAll(source.get());
  EXPECT_GT(rest.size(), 0u);
  EXPECT_FALSE(source->failed());
  EXPECT_EQ(Trace().find("not chapter,read break out"), std::string::npos);
}

// ---------------------------------------------------------------- the protocol under FFmpeg

TEST_F(DvdSourceDisc, DemuxerReadsTheTitleToItsEnd) {
  const std::string url = "dvd:1,1,3," + DvdFixture("basic");
  CDvdByteSource source(url.c_str());
  ASSERT_NE(source.buffer(), nullptr);
  EXPECT_EQ(source.Seek(0, IByteSource::kSeekSize), -1);
  EXPECT_EQ(source.Seek(0, SEEK_END), -1);
  FFDemuxer demuxer;
  ASSERT_EQ(demuxer.OpenCustom(url.c_str(), &source), 0);
  ASSERT_EQ(demuxer.FindStreamInfo(), 0);
  EXPECT_EQ(demuxer.FormatName(), "mpeg");
  // The scan's ids name the demuxer's streams.
  const DvdNavHandlePtr handle = DvdInit(DvdFixture("basic").c_str());
  ASSERT_NE(handle, nullptr);
  const DvdTitlePtr title = DvdTitleScan(*handle, 1);
  ASSERT_NE(title, nullptr);
  std::vector<int32_t> scanIds = {title->videoStreamId};
  for (const DvdAudio& audio : title->audio) scanIds.push_back(audio.streamId);
  for (int32_t id : scanIds) {
    bool found = false;
    for (int s = 0; s < demuxer.StreamCount(); ++s) {
      FFStreamDesc desc;
      ASSERT_TRUE(demuxer.GetStream(s, &desc));
      found = found || DvdStreamIdMatches(desc.id, id);
    }
    EXPECT_TRUE(found) << std::hex << id;
  }
  // Reads to the end (the byte source ends with 0, never with an error).
  FFPacket packet;
  int packets = 0;
  int r = 0;
  while ((r = demuxer.ReadPacket(&packet)) == 0) ++packets;
  EXPECT_TRUE(IsEndOfInput(r)) << FFErrorText(r);
  EXPECT_GT(packets, 100);
  demuxer.Close();
}

TEST_F(DvdSourceDisc, ReadsCapAtTheAheadSize) {
  const std::string url = "dvd:1,1,3," + DvdFixture("basic");
  const std::unique_ptr<CDvdStreamBuffer> source = CDvdStreamBuffer::Open(url.c_str(), 65536, 65536);
  ASSERT_NE(source, nullptr);
  Bytes big(1 << 20);
  constexpr int kCap = 65536 - 2048;
  EXPECT_EQ(source->readCap(), kCap);
  // Reads of more are capped, instead of waiting for ever on a full ring.
  EXPECT_EQ(source->Read(big.data(), static_cast<int32_t>(big.size())), kCap);
  size_t total = kCap;
  int32_t n;
  while ((n = source->Read(big.data(), static_cast<int32_t>(big.size()))) > 0) {
    EXPECT_LE(n, kCap);
    total += n;
  }
  EXPECT_EQ(total, Cells(DvdFixture("basic"), 1, 1, 3).size());
  // The byte source the demuxer reads asks its ring for no more either.
  CDvdByteSource bytes(url.c_str());
  ASSERT_NE(bytes.buffer(), nullptr);
  Bytes huge(8 << 20);
  const int got = bytes.Read(huge.data(), static_cast<int>(huge.size()));
  EXPECT_GT(got, 0);
  EXPECT_LE(got, bytes.buffer()->readCap());
}

// ---------------------------------------------------------------- the DVD reader's input

TEST(DvdReaderInputIds, DescriptorStreamIds) {
  const int32_t mp2a = static_cast<int32_t>(MakeFourcc('M', 'P', '2', 'A'));
  const int32_t ac3a = static_cast<int32_t>(MakeFourcc('A', 'C', '3', 'A'));
  EXPECT_EQ(DvdDescriptorStreamId(0, static_cast<int32_t>(MakeFourcc('M', 'P', 'G', '2')), 0xE0), 0x1E0);
  EXPECT_EQ(DvdDescriptorStreamId(1, mp2a, 0xC1), 0x1C1);
  EXPECT_EQ(DvdDescriptorStreamId(1, ac3a, 0x80), 0x80);
  EXPECT_EQ(DvdDescriptorStreamId(2, 0, 0x20), 0x20);
}

TEST_F(DvdSourceDisc, ReaderInputsSeekAfterTheEndAndStayApart) {
  const std::string url = "dvd:1,1,3," + DvdFixture("basic");
  CDvdReaderInput a(url.c_str());
  CDvdReaderInput b(url.c_str());
  ASSERT_TRUE(a.ok());
  ASSERT_TRUE(b.ok());
  const int64_t start = a.StartClock();  // the fixture's clock starts near 0
  EXPECT_GE(start, 0);
  // a: read to the end, then seek: the source is reopened and the seek taken.
  ReadAll(a.buffer());
  EXPECT_TRUE(a.buffer()->ended());
  ASSERT_TRUE(a.SeekTo(40000000));
  EXPECT_NEAR((a.StartClock() - start) / 1e7, 4.0, 0.8);
  EXPECT_NEAR(a.Duration(), 6.0, 0.1);
  // a seeks back into chapter 1 while b plays straight through.
  uint8_t block[2048];
  ASSERT_EQ(a.buffer()->Read(block, sizeof block), 2048);
  ASSERT_TRUE(a.SeekTo(5000000));
  const Bytes a_rest = ReadAll(a.buffer());
  const Bytes b_all = ReadAll(b.buffer());
  const Bytes cells = Cells(DvdFixture("basic"), 1, 1, 3);
  EXPECT_TRUE(b_all == cells);
  EXPECT_GT(a_rest.size(), cells.size() / 2);
  EXPECT_FALSE(a.Failed());
  EXPECT_FALSE(b.Failed());
  EXPECT_EQ(Trace().find("not chapter,read break out"), std::string::npos);
  CDvdReaderInput broken(("dvd:1,1,3," + DvdFixture("broken/trunc")).c_str());
  ReadAll(broken.buffer());
  EXPECT_TRUE(broken.Failed());
}

// ---------------------------------------------------------------- dvdcat

Bytes RunDvdcat(const std::string& url, int* status) {
  const std::string command = std::string("'") + TRIVOX_STAGE_DIR + "/dvdcat' '" + url + "' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  Bytes out;
  if (pipe == nullptr) return out;
  uint8_t chunk[65536];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) out.insert(out.end(), chunk, chunk + n);
  const int raw = pclose(pipe);
  *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

TEST_F(DvdSourceDisc, DvdcatWritesTheCellsSectors) {
  struct Case {
    int title, first, last;
  } cases[] = {{1, 1, 3}, {2, 2, 2}, {3, 1, 1}};
  for (const Case& c : cases) {
    const std::string url = "dvd:" + std::to_string(c.title) + "," + std::to_string(c.first) + "," +
                            std::to_string(c.last) + "," + DvdFixture("basic");
    SCOPED_TRACE(url);
    int status = -1;
    const Bytes got = RunDvdcat(url, &status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(got == Cells(DvdFixture("basic"), c.title, c.first, c.last));
  }
  int status = -1;
  RunDvdcat("dvd:1,1,3," + DvdFixture("broken/trunc"), &status);
  EXPECT_EQ(status, 1);
  RunDvdcat("dvd:", &status);
  EXPECT_EQ(status, 2);
}

}  // namespace
