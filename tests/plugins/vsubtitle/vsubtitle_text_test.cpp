// "VSUBTITLE" without drawing: the subtitle dialog's keys, bytes to UTF-8,
// SRT cues and their markup, SSA/ASS scripts with broken event lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/param_list.h"
#include "plugins/vsubtitle/subtitle_style.h"
#include "plugins/vsubtitle/subtitle_text.h"

namespace {

TEST(VSubtitleStyle, EmptyTextGivesTheDialogDefaults) {
  CParamList none;
  const SubtitleStyle s = ReadSubtitleStyle(&none);
  EXPECT_EQ(20, s.marginLeft);
  EXPECT_EQ(20, s.marginRight);
  EXPECT_EQ(20, s.marginTop);
  EXPECT_EQ(20, s.marginBottom);
  EXPECT_EQ(2, s.alignment);
  EXPECT_DOUBLE_EQ(2.0, s.outlineWidth);
  EXPECT_DOUBLE_EQ(3.0, s.shadowDepth);
  EXPECT_EQ(0xFFFFFFu, s.textColour);
  EXPECT_EQ(0u, s.borderColour);
  EXPECT_EQ(0u, s.shadowColour);
  EXPECT_EQ(0, s.textAlpha);
  EXPECT_EQ(0, s.borderAlpha);
  EXPECT_EQ(128, s.shadowAlpha);
  EXPECT_EQ(1, s.charSet);
  EXPECT_EQ("Arial", s.fontName);
  EXPECT_DOUBLE_EQ(18.0, s.fontSize);
  EXPECT_DOUBLE_EQ(100.0, s.fontScaleX);
  EXPECT_DOUBLE_EQ(100.0, s.fontScaleY);
  EXPECT_DOUBLE_EQ(0.0, s.fontAngleZ);
  EXPECT_DOUBLE_EQ(0.0, s.fontSpacing);
  EXPECT_EQ(700, s.fontWeight);
  EXPECT_FALSE(s.italic || s.underline || s.strikeOut);
  EXPECT_EQ(0, s.delayMs);
  EXPECT_DOUBLE_EQ(1.0, s.timeFactor);
  EXPECT_EQ("", s.subtitleFile);
}

TEST(VSubtitleStyle, ReadsEveryKeyTheDialogWrites) {
  CParamList p;
  p.SetInt("maginRectl", 11);
  p.SetInt("maginRectr", 12);
  p.SetInt("maginRectt", 13);
  p.SetInt("maginRectb", 14);
  p.SetInt("scrAlignment", 7);
  p.SetDouble("outlineWidth", 1.5);
  p.SetDouble("shadowDepth", 0.5);
  p.SetInt("colors0", 0x0000FF);
  p.SetInt("colors2", 0x00FF00);
  p.SetInt("colors3", 0xFF0000);
  p.SetInt("alpha0", 10);
  p.SetInt("alpha2", 20);
  p.SetInt("alpha3", 300);  // kept within 0-255
  p.SetInt("charSet", 204);
  p.SetString("fontName", "DejaVu Serif");
  p.SetDouble("fontSize", 24.0);
  p.SetDouble("fontScaleX", 90.0);
  p.SetDouble("fontScaleY", 110.0);
  p.SetDouble("fontAngleZ", 45.0);
  p.SetDouble("fontSpacing", 2.0);
  p.SetInt("fontWeight", 400);
  p.SetInt("fItalic", 1);
  p.SetInt("fUnderline", 2);  // only 1 is on
  p.SetInt("fStrikeOut", 1);
  p.SetInt("delay", -500);
  p.SetDouble("mul", 0.0);  // not a usable factor
  p.SetString("SUBFILE", "/tmp/a.srt");
  const SubtitleStyle s = ReadSubtitleStyle(&p);
  EXPECT_EQ(11, s.marginLeft);
  EXPECT_EQ(12, s.marginRight);
  EXPECT_EQ(13, s.marginTop);
  EXPECT_EQ(14, s.marginBottom);
  EXPECT_EQ(7, s.alignment);
  EXPECT_DOUBLE_EQ(1.5, s.outlineWidth);
  EXPECT_DOUBLE_EQ(0.5, s.shadowDepth);
  EXPECT_EQ(0x0000FFu, s.textColour);
  EXPECT_EQ(0x00FF00u, s.borderColour);
  EXPECT_EQ(0xFF0000u, s.shadowColour);
  EXPECT_EQ(10, s.textAlpha);
  EXPECT_EQ(20, s.borderAlpha);
  EXPECT_EQ(255, s.shadowAlpha);
  EXPECT_EQ(204, s.charSet);
  EXPECT_EQ("DejaVu Serif", s.fontName);
  EXPECT_DOUBLE_EQ(24.0, s.fontSize);
  EXPECT_DOUBLE_EQ(90.0, s.fontScaleX);
  EXPECT_DOUBLE_EQ(110.0, s.fontScaleY);
  EXPECT_DOUBLE_EQ(45.0, s.fontAngleZ);
  EXPECT_DOUBLE_EQ(2.0, s.fontSpacing);
  EXPECT_EQ(400, s.fontWeight);
  EXPECT_TRUE(s.italic);
  EXPECT_FALSE(s.underline);
  EXPECT_TRUE(s.strikeOut);
  EXPECT_EQ(-500, s.delayMs);
  EXPECT_DOUBLE_EQ(1.0, s.timeFactor);
  EXPECT_EQ("/tmp/a.srt", s.subtitleFile);

  // The style line of the script header: colours as &HAABBGGRR, regular weight,
  // italic and strike-out on, top alignment with the top margin.
  const std::string header = StyleScriptHeader(s, 720, 576);
  EXPECT_NE(header.find("PlayResX: 360\nPlayResY: 288\n"), std::string::npos) << header;
  EXPECT_NE(header.find("Style: Default,DejaVu Serif,24.000,&H0A0000FF,&H0000FFFF,&H1400FF00,&HFFFF0000,0,-1,0,-1,"
                        "90.000,110.000,2.000,45.000,1,1.500,0.500,7,11,12,13,204\n"),
            std::string::npos)
      << header;
}

TEST(VSubtitleStyle, LookupTimeFollowsDelayAndFactor) {
  SubtitleStyle s;
  EXPECT_EQ(1500, SubtitleLookupMs(s, 1500));
  s.delayMs = 1000;
  EXPECT_EQ(500, SubtitleLookupMs(s, 1500));  // shown one second later
  s.timeFactor = 2.0;
  EXPECT_EQ(250, SubtitleLookupMs(s, 1500));  // and at twice its times
  EXPECT_EQ(-500, SubtitleLookupMs(s, 0));
}

TEST(VSubtitleText, Utf8Validation) {
  struct Case {
    const char* label;
    std::string text;
    bool valid;
  };
  const Case cases[] = {
      {"ascii", "plain", true},
      {"two, three and four bytes", "\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", true},
      {"latin-1 byte", "caf\xE9", false},
      {"overlong slash", "\xC0\xAF", false},
      {"overlong three-byte", "\xE0\x80\xAF", false},
      {"surrogate", "\xED\xA0\x80", false},
      {"past U+10FFFF", "\xF4\x90\x80\x80", false},
      {"cut at the end", "ok\xE2\x82", false},
      {"lone continuation", "\x80", false},
      {"empty", "", true},
  };
  for (const Case& c : cases) EXPECT_EQ(c.valid, IsValidUtf8(c.text)) << c.label;
}

TEST(VSubtitleText, BytesToUtf8ByMarkThenUtf8ThenCharacterSet) {
  // "Привет" in windows-1251 and UTF-8.
  const std::string cp1251 = "\xCF\xF0\xE8\xE2\xE5\xF2";
  const std::string utf8 = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";
  struct Case {
    const char* label;
    std::string bytes;
    int32_t charSet;
    std::string text;
    int32_t dropped;
  };
  const Case cases[] = {
      {"UTF-8 as it is", "a\n" + utf8 + "\n", 204, "a\n" + utf8 + "\n", 0},
      {"UTF-8 mark",
       "\xEF\xBB\xBF"
       "a\nb",
       1, "a\nb", 0},
      {"UTF-16 LE mark",
       std::string("\xFF\xFE"
                   "a\0\n\0\x1F\x04",
                   8),
       1, "a\n\xD0\x9F\n", 0},
      {"UTF-16 BE mark", std::string("\xFE\xFF\0a\0\n", 6), 1, "a\n\n", 0},
      {"Cyrillic code page", "x\n" + cp1251 + "\n", 204, "x\n" + utf8 + "\n\n", 0},
      {"default set: lines that are not UTF-8 left out", "x\n" + cp1251 + "\ny", 1, "x\ny\n", 1},
      {"symbol set: the same", cp1251 + "\r\nz\r\n", 2, "z\n\n", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const Utf8Text out = SubtitleBytesToUtf8(c.bytes, c.charSet);
    EXPECT_EQ(c.text, out.text);
    EXPECT_EQ(c.dropped, out.droppedLines);
  }
}

TEST(VSubtitleText, SrtTimes) {
  struct Case {
    const char* text;
    bool ok;
    int64_t ms;
  };
  const Case cases[] = {
      {"00:00:01,500", true, 1500},
      {"1:02:03.004", true, 3723004},
      {"00:00:01,5", true, 1500},
      {"00:00:01,50", true, 1500},
      {" 00:00:02,000 ", true, 2000},
      {"00:60:00,000", false, 0},
      {"00:00:61,000", false, 0},
      {"00:00:01", false, 0},
      {"00:00:01,5000", false, 0},
      {"aa:00:01,000", false, 0},
      {"", false, 0},
      {"-1:00:01,000", false, 0},
  };
  for (const Case& c : cases) {
    int64_t ms = -1;
    EXPECT_EQ(c.ok, ParseSrtTime(c.text, &ms)) << c.text;
    if (c.ok) {
      EXPECT_EQ(c.ms, ms) << c.text;
    }
  }
  int64_t a = 0, b = 0;
  EXPECT_TRUE(ParseSrtTiming("00:00:01,000 --> 00:00:02,500  X1:10 X2:20 Y1:5 Y2:9", &a, &b));
  EXPECT_EQ(1000, a);
  EXPECT_EQ(2500, b);
  EXPECT_FALSE(ParseSrtTiming("00:00:01,000 -> 00:00:02,500", &a, &b));
  EXPECT_FALSE(ParseSrtTiming("00:00:01,000 --> soon", &a, &b));
}

TEST(VSubtitleText, SrtCuesSkipBrokenTimingAndKeepTheRest) {
  const std::string srt =
      "stray text before any cue\n"
      "\n"
      "1\r\n"
      "00:00:01,000 --> 00:00:02,000\r\n"
      "First <i>line</i>\r\n"
      "second line\r\n"
      "\r\n"
      "2\n"
      "00:00:03,000 --> 00:0x:04,000\n"  // broken: left out with its text
      "never shown\n"
      "\n"
      "3\n"
      "00:00:05,000 --> 00:00:04,000\n"  // ends before it starts
      "backwards\n"
      "\n"
      "4\n"
      "00:00:06,000 --> 00:00:07,000\n"
      "no empty line after this\n"
      "5\n"
      "00:00:08,000 --> 00:00:09,000\n"
      "<font color=\"#FF8000\">orange</font> 12\n"
      "00:00:10,000 --> 00:00:11,000\n"
      "last, without a line end";
  const SrtParse parse = ParseSrt(srt);
  EXPECT_EQ(2, parse.skippedCues);
  ASSERT_EQ(4u, parse.cues.size());
  const struct {
    int64_t start, end;
    const char* text;
  } want[] = {{1000, 2000, "First {\\i1}line{\\i0}\\Nsecond line"},
              {6000, 7000, "no empty line after this"},
              {8000, 9000, "{\\c&H0080FF&}orange{\\c} 12"},
              {10000, 11000, "last, without a line end"}};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(want[i].start, parse.cues[i].startMs) << i;
    EXPECT_EQ(want[i].end, parse.cues[i].endMs) << i;
    EXPECT_EQ(want[i].text, parse.cues[i].text) << i;
  }
}

TEST(VSubtitleText, SrtMarkupBecomesOverrideTags) {
  struct Case {
    const char* srt;
    const char* ass;
  };
  const Case cases[] = {
      {"<b>bold</b> <U>under</U> <s>gone</s>", "{\\b1}bold{\\b0} {\\u1}under{\\u0} {\\s1}gone{\\s0}"},
      {"a\r\nb\n", "a\\Nb"},
      {"<font color=\"#00ff00\" face=\"x\">g</font>", "{\\c&H00FF00&}g{\\c}"},
      {"<font face=\"x\">f</font>", "f{\\c}"},
      {"1 < 2 and <unknown>", "1 < 2 and <unknown>"},
      {"unclosed <i", "unclosed <i"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.ass, SrtToAssText(c.srt)) << c.srt;
}

TEST(VSubtitleText, AssScriptsLoseEventsWithBrokenTimes) {
  const std::string script =
      "[Script Info]\n"
      "ScriptType: v4.00+\n"
      "\n"
      "[Events]\n"
      "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
      "Dialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,good\n"
      "Dialogue: 0,0:00:0x.00,0:00:02.00,Default,,0,0,0,,bad start\n"
      "Dialogue: 0,0:00:03.00,,Default,,0,0,0,,no end\n"
      "Comment: 0,broken,but,a comment\n"
      "Dialogue: 0,0:00:04.00,0:00:05.00,Default,,0,0,0,,good, with commas\n";
  int32_t dropped = 0;
  const std::string clean = CleanAssScript(script, &dropped);
  EXPECT_EQ(2, dropped);
  EXPECT_NE(clean.find(",good\n"), std::string::npos);
  EXPECT_NE(clean.find("good, with commas"), std::string::npos);
  EXPECT_NE(clean.find("Comment:"), std::string::npos);
  EXPECT_EQ(clean.find("bad start"), std::string::npos);
  EXPECT_EQ(clean.find("no end"), std::string::npos);

  // A Format line with its own order.
  dropped = 0;
  const std::string other = CleanAssScript(
      "[Events]\nFormat: Text, End, Start\nDialogue: hi,0:00:02.00,0:00:01.00\nDialogue: hi,x,0:00:01.00\n", &dropped);
  EXPECT_EQ(1, dropped);
  EXPECT_NE(other.find("Dialogue: hi,0:00:02.00"), std::string::npos);

  EXPECT_TRUE(LooksLikeAssScript("\n  [script info]\n"));
  EXPECT_FALSE(LooksLikeAssScript("1\n00:00:01,000 --> 00:00:02,000\n[Script Info]\n"));
}

}  // namespace
