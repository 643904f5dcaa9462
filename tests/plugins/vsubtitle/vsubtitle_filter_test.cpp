// "VSUBTITLE" drawing into 4:2:0 frames: subtitles from a file or from a
// stream's samples appear only during their intervals and only in their
// band, and the subtitle dialog's keys change what is drawn and where.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "common/param_list.h"
#include "platform/media_sample.h"
#include "plugin-api/subtitle_types.h"
#include "plugins/vsubtitle/vsubtitle_filter.h"

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 384, kHeight = 288;
constexpr uint8_t kGrey = 100;

struct Frame {
  Frame() : y(size_t(kWidth * kHeight), kGrey), u(size_t(kWidth / 2 * kHeight / 2), 128), v(u) {
    planes.pitch[0] = kWidth;
    planes.pitch[1] = planes.pitch[2] = kWidth / 2;
    planes.rows[0] = kHeight;
    planes.rows[1] = planes.rows[2] = kHeight / 2;
    planes.planeCount = 3;
    planes.pointer[0] = y.data();
    planes.pointer[1] = u.data();
    planes.pointer[2] = v.data();
  }
  std::vector<uint8_t> y, u, v;
  FramePlanes planes{};
};

// Where a frame differs from the plain grey one.
struct Drawn {
  int count = 0;  // changed luma pixels
  int left = kWidth, top = kHeight, right = -1, bottom = -1;
  int bright = 0;  // luma above 200
  int maxV = 128, maxU = 128, minU = 128;
  std::vector<uint8_t> luma;

  bool Empty() const { return count == 0; }
  int Height() const { return bottom - top + 1; }
};

Drawn Measure(const Frame& f) {
  Drawn d;
  d.luma = f.y;
  for (int r = 0; r < kHeight; ++r)
    for (int c = 0; c < kWidth; ++c) {
      const uint8_t y = f.y[size_t(r * kWidth + c)];
      if (y == kGrey) continue;
      ++d.count;
      d.left = std::min(d.left, c), d.right = std::max(d.right, c);
      d.top = std::min(d.top, r), d.bottom = std::max(d.bottom, r);
      if (y > 200) ++d.bright;
    }
  for (size_t i = 0; i < f.u.size(); ++i) {
    d.maxV = std::max<int>(d.maxV, f.v[i]);
    d.maxU = std::max<int>(d.maxU, f.u[i]);
    d.minU = std::min<int>(d.minU, f.u[i]);
  }
  return d;
}

// The program's folder for subtitle files, removed when the program ends.
const fs::path& TempFolder() {
  static const struct Folder {
    fs::path path = fs::temp_directory_path() / ("vsubtitle_test_" + std::to_string(::getpid()));
    ~Folder() {
      std::error_code ec;
      fs::remove_all(path, ec);
    }
  } folder;
  return folder.path;
}

std::string TempFile(const std::string& name, const std::string& content) {
  const fs::path& dir = TempFolder();
  fs::create_directories(dir);
  const fs::path path = dir / name;
  std::ofstream(path, std::ios::binary) << content;
  return path.string();
}

const char* const kSrt =
    "1\n00:00:01,000 --> 00:00:02,000\nSubtitle text\n\n"
    "2\n00:00:03,000 --> 00:00:04,000\nSecond one\n";

// The 27 keys as the subtitle dialog writes them, with changes.
void DialogKeys(CParamList& p, const std::function<void(CParamList&)>& change = {}) {
  p.SetInt("maginRectl", 20), p.SetInt("maginRectr", 20), p.SetInt("maginRectt", 20), p.SetInt("maginRectb", 20);
  p.SetInt("scrAlignment", 2);
  p.SetDouble("outlineWidth", 2.0), p.SetDouble("shadowDepth", 3.0);
  p.SetInt("colors0", 0xFFFFFF), p.SetInt("colors2", 0), p.SetInt("colors3", 0);
  p.SetInt("alpha0", 0), p.SetInt("alpha2", 0), p.SetInt("alpha3", 128);
  p.SetInt("charSet", 1);
  p.SetString("fontName", "DejaVu Sans");
  p.SetDouble("fontSize", 18.0), p.SetDouble("fontScaleX", 100.0), p.SetDouble("fontScaleY", 100.0);
  p.SetDouble("fontAngleZ", 0.0), p.SetDouble("fontSpacing", 0.0);
  p.SetInt("fontWeight", 700), p.SetInt("fItalic", 0), p.SetInt("fUnderline", 0), p.SetInt("fStrikeOut", 0);
  p.SetInt("delay", 0), p.SetDouble("mul", 1.0);
  p.SetString("SUBFILE", "");
  if (change) change(p);
}

struct FilterHolder {
  IVideoFilter* filter = CVSubtitleFilter::Create(nullptr);
  ~FilterHolder() { filter->Destroy(); }
  CVSubtitleFilter* operator->() { return static_cast<CVSubtitleFilter*>(filter); }
};

// A filter for 384x288 frames set up with the parameters; its set-up answer in *answer.
void Configure(FilterHolder& h, CParamList& params, int32_t* answer) {
  FrameFormat format{};
  format.width = kWidth;
  format.height = kHeight;
  format.colourType = kColourYuv420;
  format.durationNum = 1;
  format.durationDen = 25;
  ASSERT_EQ(0, h.filter->SetFormat(&format));
  *answer = h.filter->SetParams(&params);
}

Drawn Render(FilterHolder& h, int64_t ms) {
  Frame frame;
  int64_t time = ms * 10000;
  EXPECT_EQ(0, h.filter->Process(&time, &frame.planes, nullptr));
  return Measure(frame);
}

// A filter drawing the subtitle file, with the dialog's keys changed.
void ConfigureForFile(FilterHolder& h, const std::string& path, const std::function<void(CParamList&)>& change = {}) {
  CParamList p;
  DialogKeys(p, [&](CParamList& q) {
    q.SetString("SUBFILE", path.c_str());
    if (change) change(q);
  });
  int32_t answer = -1;
  Configure(h, p, &answer);
  ASSERT_EQ(1, answer);  // in place
}

// The file's first subtitle (1 to 2 s) drawn at 1.5 s with the dialog's keys changed.
Drawn FileSubtitle(const std::function<void(CParamList&)>& change, const std::string& srt = kSrt, int64_t ms = 1500) {
  FilterHolder h;
  ConfigureForFile(h, TempFile("keys.srt", srt), change);
  return Render(h, ms);
}

TEST(VSubtitleFilter, FileSubtitlesShowInTheirIntervalsInABottomBand) {
  FilterHolder h;
  ConfigureForFile(h, TempFile("plain.srt", kSrt));
  EXPECT_EQ(2, h->EventCount());
  struct Step {
    int64_t ms;
    bool shown;
  };
  for (const Step s : {Step{0, false}, Step{999, false}, Step{1000, true}, Step{1999, true}, Step{2000, false},
                       Step{2500, false}, Step{3500, true}, Step{4200, false}}) {
    SCOPED_TRACE(s.ms);
    const Drawn d = Render(h, s.ms);
    EXPECT_EQ(s.shown, !d.Empty());
    if (!s.shown) continue;
    // Centred at the bottom, above the 20-line margin, within the side margins.
    EXPECT_GT(d.top, kHeight / 2);
    EXPECT_LE(d.bottom, kHeight - 20 + 6);  // the shadow reaches a few lines lower
    EXPECT_GE(d.bottom, kHeight - 20 - 6);
    EXPECT_LT(std::abs((d.left + d.right) / 2 - kWidth / 2), 12);
    EXPECT_GT(d.bright, 50);  // white text
  }
}

TEST(VSubtitleFilter, TheDialogsKeysAreFollowed) {
  const Drawn base = FileSubtitle({});
  ASSERT_FALSE(base.Empty());

  const Drawn big = FileSubtitle([](CParamList& p) { p.SetDouble("fontSize", 36.0); });
  EXPECT_GT(big.Height(), base.Height() * 3 / 2);
  EXPECT_GT(big.right - big.left, (base.right - base.left) * 3 / 2);

  const Drawn top = FileSubtitle([](CParamList& p) { p.SetInt("scrAlignment", 8); });
  EXPECT_LT(top.bottom, kHeight / 3);
  EXPECT_GE(top.top, 20 - 2);  // the top margin

  const Drawn left = FileSubtitle([](CParamList& p) {
    p.SetInt("scrAlignment", 1);
    p.SetInt("maginRectl", 50);
  });
  EXPECT_NEAR(left.left, 50, 3);

  const Drawn raised = FileSubtitle([](CParamList& p) { p.SetInt("maginRectb", 100); });
  EXPECT_NEAR(raised.bottom, base.bottom - 80, 2);

  const Drawn red = FileSubtitle([](CParamList& p) {
    p.SetInt("colors0", 0x0000FF);  // red, as 0x00BBGGRR
    p.SetDouble("outlineWidth", 0.0);
    p.SetDouble("shadowDepth", 0.0);
  });
  EXPECT_GT(red.maxV, 200);
  EXPECT_EQ(0, red.bright);
  EXPECT_GT(base.bright, 0);

  const Drawn clearText = FileSubtitle([](CParamList& p) {
    p.SetInt("alpha0", 255);
    p.SetDouble("outlineWidth", 0.0);
    p.SetDouble("shadowDepth", 0.0);
  });
  EXPECT_TRUE(clearText.Empty());

  const Drawn bare = FileSubtitle([](CParamList& p) {
    p.SetDouble("outlineWidth", 0.0);
    p.SetDouble("shadowDepth", 0.0);
  });
  EXPECT_LT(bare.count, base.count * 2 / 3);

  const Drawn regular = FileSubtitle([](CParamList& p) { p.SetInt("fontWeight", 400); });
  const Drawn italic = FileSubtitle([](CParamList& p) { p.SetInt("fItalic", 1); });
  const Drawn notItalic = FileSubtitle([](CParamList& p) { p.SetInt("fItalic", 2); });
  const Drawn serif = FileSubtitle([](CParamList& p) { p.SetString("fontName", "DejaVu Serif"); });
  const Drawn wide = FileSubtitle([](CParamList& p) { p.SetDouble("fontScaleX", 150.0); });
  const Drawn spaced = FileSubtitle([](CParamList& p) { p.SetDouble("fontSpacing", 5.0); });
  EXPECT_LT(regular.right - regular.left, base.right - base.left);
  EXPECT_NE(italic.luma, base.luma);
  EXPECT_EQ(notItalic.luma, base.luma);
  EXPECT_NE(serif.luma, base.luma);
  EXPECT_GT(wide.right - wide.left, (base.right - base.left) * 5 / 4);
  EXPECT_GT(spaced.right - spaced.left, base.right - base.left + 20);

  const Drawn turned = FileSubtitle([](CParamList& p) { p.SetDouble("fontAngleZ", 30.0); });
  EXPECT_GT(turned.Height(), base.Height() * 2);
}

TEST(VSubtitleFilter, AMissingFontFallsBackToADefaultFont) {
  const Drawn fallback = FileSubtitle([](CParamList& p) { p.SetString("fontName", "No Such Font 4711"); });
  EXPECT_FALSE(fallback.Empty());
  EXPECT_GT(fallback.bright, 50);
  EXPECT_GT(fallback.Height(), 8);
}

TEST(VSubtitleFilter, DelayAndTimeFactorMoveTheIntervals) {
  auto shownAt = [](int64_t ms, const std::function<void(CParamList&)>& change) {
    return !FileSubtitle(change, kSrt, ms).Empty();
  };
  auto delayed = [](CParamList& p) { p.SetInt("delay", 1000); };
  EXPECT_FALSE(shownAt(1500, delayed));
  EXPECT_TRUE(shownAt(2500, delayed));
  auto stretched = [](CParamList& p) { p.SetDouble("mul", 2.0); };
  EXPECT_FALSE(shownAt(1500, stretched));
  EXPECT_TRUE(shownAt(3500, stretched));  // 2 to 4 s
  EXPECT_TRUE(shownAt(6500, stretched));  // the second, 6 to 8 s
}

TEST(VSubtitleFilter, CharacterSetReadsFilesThatAreNotUtf8) {
  // "Привет" in windows-1251: drawn with the Russian set, left out with the default one.
  const std::string srt = "1\n00:00:01,000 --> 00:00:02,000\n\xCF\xF0\xE8\xE2\xE5\xF2\n";
  const Drawn russian = FileSubtitle([](CParamList& p) { p.SetInt("charSet", 204); }, srt);
  EXPECT_FALSE(russian.Empty());
  const Drawn leftOut = FileSubtitle({}, srt);
  EXPECT_TRUE(leftOut.Empty());
}

TEST(VSubtitleFilter, BrokenLinesOfAFileAreSkipped) {
  const std::string srt =
      "1\n00:00:01,000 --> 00:00:02,000\nkept \xE9t\xE9\nkept too\n\n"  // one line not UTF-8
      "2\n00:00:01,000 --> 00:00:0x,000\nBROKEN TIMING\n\n"
      "3\n00:00:03,000 --> 00:00:04,000\nthird\n";
  FilterHolder h;
  ConfigureForFile(h, TempFile("broken.srt", srt));
  EXPECT_EQ(2, h->EventCount());
  EXPECT_EQ(2, h->SkippedCount());  // the line and the cue
  const Drawn first = Render(h, 1500);
  EXPECT_FALSE(first.Empty());
  // One line of text: the line that is not UTF-8 is left out of its cue.
  const Drawn oneLine = FileSubtitle({}, "1\n00:00:01,000 --> 00:00:02,000\nkept too\n");
  EXPECT_EQ(oneLine.luma, first.luma);
  EXPECT_FALSE(Render(h, 3500).Empty());
}

TEST(VSubtitleFilter, AssFilesKeepTheirOwnStyles) {
  const std::string script =
      "[Script Info]\nScriptType: v4.00+\nPlayResX: 384\nPlayResY: 288\n\n"
      "[V4+ Styles]\nFormat: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, "
      "Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, "
      "MarginL, MarginR, MarginV, Encoding\n"
      "Style: Top,DejaVu Sans,30,&H00FFFFFF,&H000000FF,&H00000000,&H00000000,0,0,0,0,100,100,0,0,1,0,0,8,10,10,10,1\n\n"
      "[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
      "Dialogue: 0,0:00:01.00,0:00:02.00,Top,,0,0,0,,At the top\n"
      "Dialogue: 0,0:00:0x.00,0:00:04.00,Top,,0,0,0,,broken\n";
  FilterHolder h;
  ConfigureForFile(h, TempFile("styled.ass", script));
  EXPECT_EQ(1, h->SkippedCount());
  const Drawn d = Render(h, 1500);
  ASSERT_FALSE(d.Empty());
  EXPECT_LT(d.bottom, kHeight / 3);
  EXPECT_TRUE(Render(h, 2500).Empty());
  EXPECT_EQ(1, h->EventCount());
}

TEST(VSubtitleFilter, FilesThatCannotBeUsedAreRefused) {
  struct Case {
    const char* label;
    std::string path;
    int32_t answer;
  };
  const Case cases[] = {
      {"missing", "/nonexistent/subtitles.srt", E_SUBTITLE_FILE_MISSING},
      {"a folder", fs::temp_directory_path().string(), E_SUBTITLE_FILE_MISSING},
      {"VobSub index", TempFile("movie.idx", "# VobSub index file, v7\n"), E_SUBTITLE_FILE_UNSUPPORTED},
      {"no file named", "", 1},
      {"no subtitles in it", TempFile("empty.srt", ""), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    CParamList p;
    DialogKeys(p, [&](CParamList& q) { q.SetString("SUBFILE", c.path.c_str()); });
    FilterHolder h;
    int32_t answer = 0;
    Configure(h, p, &answer);
    EXPECT_EQ(c.answer, answer);
    if (answer == 1) {
      EXPECT_TRUE(Render(h, 1500).Empty());
    }
  }
  FilterHolder h;
  FrameFormat rgb{};
  rgb.width = kWidth;
  rgb.height = kHeight;
  rgb.colourType = kColourRgb24;
  EXPECT_EQ(1, h.filter->SetFormat(&rgb));
}

// ---------------------------------------------------------------- subtitle streams

IMediaSample* TextSample(std::string& text, int64_t startMs, int64_t stopMs) {
  auto* s = new CMediaSample(nullptr, reinterpret_cast<BYTE*>(text.data()), LONG(text.size()));
  s->AddRef();
  REFERENCE_TIME start = startMs * 10000, stop = stopMs * 10000;
  s->SetTime(&start, stopMs >= 0 ? &stop : nullptr);
  return s;
}

int32_t Hand(FilterHolder& h, IMediaSample* sample) {
  CParamList p;
  p.SetPtr("SAMPLE", sample);
  const int32_t answer = h.filter->SetParams(&p);
  sample->Release();
  return answer;
}

TEST(VSubtitleFilter, TextStreamSamplesAreDrawnInTheDialogsStyle) {
  CParamList p;
  DialogKeys(p, [](CParamList& q) { q.SetInt("scrAlignment", 8); });
  p.SetInt("VFCC", int32_t(kSubtitleCodeUtf8));
  FilterHolder h;
  int32_t answer = -1;
  Configure(h, p, &answer);
  ASSERT_EQ(1, answer);
  std::string first = "From the <i>stream</i>", untimed = "No stop time", bad = "caf\xE9", gap;
  EXPECT_EQ(0, Hand(h, TextSample(first, 1000, 2000)));
  EXPECT_EQ(0, Hand(h, TextSample(untimed, 10000, -1)));
  EXPECT_EQ(0, Hand(h, TextSample(bad, 3000, 4000)));
  EXPECT_EQ(0, Hand(h, TextSample(gap, 5000, 6000)));
  EXPECT_EQ(2, h->EventCount());
  EXPECT_EQ(1, h->SkippedCount());
  EXPECT_TRUE(Render(h, 900).Empty());
  const Drawn d = Render(h, 1500);
  ASSERT_FALSE(d.Empty());
  EXPECT_LT(d.bottom, kHeight / 3);  // the dialog's top alignment
  EXPECT_TRUE(Render(h, 2000).Empty());
  EXPECT_TRUE(Render(h, 3500).Empty());
  EXPECT_FALSE(Render(h, 14900).Empty());  // five seconds without a stop time
  EXPECT_TRUE(Render(h, 15000).Empty());
}

TEST(VSubtitleFilter, AssStreamSamplesUseTheStreamsHeader) {
  const std::string header =
      "[Script Info]\nScriptType: v4.00+\nPlayResX: 384\nPlayResY: 288\n\n"
      "[V4+ Styles]\nFormat: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, "
      "Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, "
      "MarginL, MarginR, MarginV, Encoding\n"
      "Style: Low,DejaVu Sans,20,&H0000FF00,&H000000FF,&H00000000,&H00000000,0,0,0,0,100,100,0,0,1,0,0,1,10,10,10,1\n\n"
      "[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n";
  std::vector<uint8_t> block(sizeof(SubtitleFormatHeader) + header.size());
  SubtitleFormatHeader head{};
  head.headerOffset = sizeof head;
  head.headerLength = uint32_t(header.size());
  std::memcpy(block.data(), &head, sizeof head);
  std::memcpy(block.data() + sizeof head, header.data(), header.size());

  struct Case {
    const char* label;
    int32_t length;  // DATALEN
    bool ownStyle;
  };
  const Case cases[] = {{"header in the block", int32_t(block.size()), true},
                        {"header said to reach past the block", int32_t(block.size()) - 1, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    CParamList p;
    DialogKeys(p);
    p.SetInt("VFCC", int32_t(kSubtitleCodeAss));
    p.SetPtr("DATA", block.data());
    p.SetInt("DATALEN", c.length);
    FilterHolder h;
    int32_t answer = -1;
    Configure(h, p, &answer);
    ASSERT_EQ(1, answer);
    std::string event = "1,0,Low,,0,0,0,,Green at the left";
    EXPECT_EQ(0, Hand(h, TextSample(event, 1000, 2000)));
    const Drawn d = Render(h, 1500);
    ASSERT_FALSE(d.Empty());
    if (c.ownStyle) {
      EXPECT_NEAR(d.left, 10, 3);  // bottom left, green
      EXPECT_LT(d.minU, 100);
    } else {
      EXPECT_GT(d.bright, 50);  // unknown style: the dialog's white default
    }
  }
}

TEST(VSubtitleFilter, HostileStylingIsDrawnBounded) {
  // Unbounded, each of these takes minutes and gigabytes for one frame.
  struct Case {
    const char* name;
    std::string srt;
    std::function<void(CParamList&)> keys;
  };
  const Case cases[] = {
      {"font size tag", "1\n00:00:01,000 --> 00:00:02,000\n{\\fs99999}Huge\n", {}},
      {"drawing", "1\n00:00:01,000 --> 00:00:02,000\n{\\p1}m 0 0 l 99999 99999 0 99999{\\p0}\n", {}},
      {"dialog keys", kSrt,
       [](CParamList& p) {
         p.SetDouble("fontSize", 99999.0), p.SetDouble("fontScaleX", 99999.0), p.SetDouble("fontSpacing", 99999.0);
         p.SetDouble("outlineWidth", 9999.0), p.SetDouble("shadowDepth", 9999.0);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FilterHolder h;
    ConfigureForFile(h, TempFile("hostile.srt", c.srt), c.keys);
    EXPECT_FALSE(Render(h, 1500).Empty());
    EXPECT_TRUE(Render(h, 2500).Empty());
  }
}

TEST(VSubtitleFilter, AFrameOverItsTimeBudgetIsLeftWithoutItsSubtitles) {
  FilterHolder h;
  ConfigureForFile(h, TempFile("slow.srt", kSrt));
  h->SetRenderBudget(std::chrono::nanoseconds(0));  // every render is too slow
  EXPECT_TRUE(Render(h, 1500).Empty());
  EXPECT_EQ(1, h->SlowCount());
  // The slow subtitle stays out; the next one is drawn.
  h->SetRenderBudget(std::chrono::hours(1));
  EXPECT_TRUE(Render(h, 1600).Empty());
  EXPECT_FALSE(Render(h, 3500).Empty());
  EXPECT_EQ(1, h->SlowCount());
}

}  // namespace
