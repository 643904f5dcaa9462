// velmo-gallery: the "Advance settings" dialog of shipped codec descriptions
// and the "Output format" dialog on an MP4 profile, opened offscreen, their
// screenshots kept as artifacts, values typed and picked, what they return,
// and usage errors.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <string>
#include <vector>

#include "qt_test_util.h"
#include "tests/test_util/shell_command.h"

namespace {

CommandRun Gallery(const std::vector<std::string>& args) { return RunStagedTool("velmo-gallery", args); }

std::vector<std::string> Lines(const std::string& text, const std::string& prefix) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (line.rfind(prefix, 0) == 0) out.push_back(line.substr(prefix.size()));
    start = end + 1;
  }
  return out;
}

std::string Line(const std::string& text, const std::string& prefix) {
  std::vector<std::string> all = Lines(text, prefix);
  return all.empty() ? "<none>" : all.back();
}

TEST(VelmoGallery, AdvanceDialogOfAShippedCodecShowsEveryOption) {
  const std::string picture = std::string(VELMO_ARTIFACT_DIR) + "/advance_mpeg2.png";
  std::remove(picture.c_str());
  CommandRun run = Gallery({"advance", "--codec", "vcodec/mpeg2", "--rows", "--screenshot", picture});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(Line(run.output, "description="), "vcodec/mpeg2");
  EXPECT_EQ(Line(run.output, "advanced="), "yes");
  EXPECT_EQ(Lines(run.output, "row="),
            (std::vector<std::string>{"WIDTH|Width|720|pixels", "HEIGHT|Height|576|pixels", "BITRATE|Bitrate|6000|kbps",
                                      "FRAMERATE|Frame rate|Original|fps", "GOP|Key frame interval|12|frames",
                                      "MAXBFRAME|B-frames|2|"}));
  EXPECT_EQ(Line(run.output, "result="), "CANCEL");

  QImage image(QString::fromStdString(picture));
  ASSERT_FALSE(image.isNull()) << picture;
  // Four common rows, two extra rows: content ends at 25*4 + 51 + 25*2 + 15.
  EXPECT_EQ(image.height(), 216 + 35);
  EXPECT_GE(image.width(), 371);
  const QColor background = image.pixelColor(2, 2);
  const int rowTops[] = {28, 53, 78, 103, 151, 176};
  for (int top : rowTops) {
    EXPECT_GT(CountOtherThan(image, QRect(20, top + 3, 90, 14), background), 5) << "label at " << top;
    EXPECT_GT(CountOtherThan(image, QRect(144, top + 4, 130, 12), background), 20) << "value at " << top;
  }
  // The group captions and the buttons.
  EXPECT_GT(CountOtherThan(image, QRect(11, 11, 100, 12), background), 20);
  EXPECT_GT(CountOtherThan(image, QRect(11, 136, 100, 12), background), 20);
  EXPECT_GT(CountOtherThan(image, QRect(180, 216, 80, 25), background), 40);
  EXPECT_GT(CountOtherThan(image, QRect(280, 216, 80, 25), background), 40);
}

TEST(VelmoGallery, OkReturnsTheRecomputedParameterText) {
  CommandRun ok = Gallery({"advance", "--codec", "mpeg2", "--params", "\"WIDTH\"=725", "--accept"});
  ASSERT_EQ(ok.status, 0) << ok.output;
  EXPECT_EQ(Line(ok.output, "result="), "OK");
  EXPECT_EQ(Line(ok.output, "params="),
            "\"WIDTH\"=724,\"HEIGHT\"=576,\"BITRATE\"=6000,\"FRAMERATE\"=D0000000000000000,\"GOP\"=12,"
            "\"MAXBFRAME\"=2");
  // Cancel hands the text back as it was.
  CommandRun cancel = Gallery({"advance", "--codec", "mpeg2", "--params", "\"WIDTH\"=725"});
  ASSERT_EQ(cancel.status, 0) << cancel.output;
  EXPECT_EQ(Line(cancel.output, "result="), "CANCEL");
  EXPECT_EQ(Line(cancel.output, "params="), "\"WIDTH\"=725");
}

TEST(VelmoGallery, TypedAndPickedValues) {
  // A picked width moves the height to its LIMIT combination.
  CommandRun h263 = Gallery({"advance", "--codec", "vcodec/h263", "--set", "WIDTH=352", "--accept"});
  ASSERT_EQ(h263.status, 0) << h263.output;
  EXPECT_EQ(Line(h263.output, "advanced="), "no");
  EXPECT_EQ(Line(h263.output, "params="),
            "\"WIDTH\"=352,\"HEIGHT\"=288,\"BITRATE\"=128,\"FRAMERATE\"=D0000000000000000");
  // Refused values are told and never reach the text.
  CommandRun refused = Gallery({"advance", "--codec", "mpeg2", "--set", "GOP=1.5", "--set",
                                "GOP=99999999999999999999999", "--set", "MAXBFRAME=7", "--accept"});
  ASSERT_EQ(refused.status, 0) << refused.output;
  EXPECT_EQ(Lines(refused.output, "message: "),
            (std::vector<std::string>{"The input value should be a valid integer number!",
                                      "The input value should between 1 and 600!"}));
  EXPECT_NE(refused.output.find("\"7\" is not one of the values of MAXBFRAME"), std::string::npos) << refused.output;
  EXPECT_NE(Line(refused.output, "params=").find("\"GOP\"=12,\"MAXBFRAME\"=2"), std::string::npos);
  // An audio codec: a typed volume (the option every audio codec gets) and a picked bit rate.
  CommandRun mp3 =
      Gallery({"advance", "--codec", "acodec/mp3", "--set", "VOL=150", "--set", "BITRATE=192", "--accept"});
  ASSERT_EQ(mp3.status, 0) << mp3.output;
  EXPECT_EQ(Line(mp3.output, "params="),
            "\"SAMPLERATE\"=44100,\"CHANNEL\"=2,\"BITRATE\"=D0000000000006840,\"VOL\"=150");
}

TEST(VelmoGallery, OutputFormatOnAnMp4ProfilePrintsTheSummaryAndTheSettings) {
  const std::string picture = std::string(VELMO_ARTIFACT_DIR) + "/output_format_mp4.png";
  std::remove(picture.c_str());
  CommandRun run =
      Gallery({"output-format", "--node", "V_10_MP4", "--profile", "1", "--accept", "--screenshot", picture});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(Line(run.output, "result="), "OK");
  EXPECT_EQ(Line(run.output, "node="), "V_10_MP4");
  EXPECT_EQ(Line(run.output, "summary="), "V_10_MP4/MP4 [1200kb/s,orginal fps H.264;  44.1 kHZ 128 kb/s stereo AAC]");
  EXPECT_EQ(Line(run.output, "settings.muxer="), "[FFM]MP4");
  EXPECT_EQ(Line(run.output, "settings.video-codec="), "[FFM]H264");
  EXPECT_EQ(Line(run.output, "settings.audio-codec="), "[FFM]AAC");
  EXPECT_EQ(Line(run.output, "settings.audio-bitrate="), "128000");
  EXPECT_EQ(Line(run.output, "settings.video-bitrate="), "1200000");
  EXPECT_EQ(Line(run.output, "settings.frame="), "0/0");
  EXPECT_EQ(Line(run.output, "settings.ext="), "mp4");

  QImage image(QString::fromStdString(picture));
  ASSERT_FALSE(image.isNull()) << picture;
  // The page frame's caption bar over the right-hand side, with the profile's description in white.
  const QColor bar(0, 0, 128);
  EXPECT_TRUE(Near(image.pixelColor(210, 8), bar)) << image.pixelColor(210, 8).name().toStdString();
  EXPECT_TRUE(Near(image.pixelColor(image.width() - 12, 24), bar));
  EXPECT_GT(CountOtherThan(image, QRect(206, 6, 300, 20), bar), 100);
  // The node tree on the left and the button band below.
  const QColor face = image.pixelColor(200, image.height() - 40);
  EXPECT_GT(CountOtherThan(image, QRect(6, 6, 190, 250), face), 500);
  EXPECT_GT(CountOtherThan(image, QRect(image.width() - 170, image.height() - 30, 165, 24), face), 100);

  // Another node and values typed: the summary follows; Cancel returns no settings.
  CommandRun other =
      Gallery({"output-format", "--choose-node", "V_30_3GP", "--set", "video.WIDTH=352", "--tab", "audio"});
  ASSERT_EQ(other.status, 0) << other.output;
  EXPECT_EQ(Line(other.output, "result="), "CANCEL");
  EXPECT_EQ(Line(other.output, "summary="),
            "V_30_3GP/3GP [352x288,128kb/s,orginal fps H.263;  8 kHZ 12.2 kb/s mono AMR-NB]");
  EXPECT_EQ(Line(other.output, "settings.muxer="), "<none>");
  // A node that is gone chooses nothing, and OK is Cancel.
  CommandRun gone = Gallery({"output-format", "--node", "V_99_GONE", "--accept"});
  ASSERT_EQ(gone.status, 0) << gone.output;
  EXPECT_EQ(Line(gone.output, "result="), "CANCEL");
  EXPECT_EQ(Line(gone.output, "summary="), "");
}

TEST(VelmoGallery, UsageAndFailures) {
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* says;
  };
  const Case cases[] = {
      {{}, 2, "no entry given"},
      {{"nothing"}, 2, "unknown entry \"nothing\""},
      {{"advance"}, 2, "give one of --codec and --filter"},
      {{"advance", "--codec", "mpeg2", "--filter", "video/resize.ini"}, 2, "give one of --codec and --filter"},
      {{"advance", "--colour", "red"}, 2, "unknown option --colour"},
      {{"advance", "--codec"}, 2, "--codec needs a value"},
      {{"advance", "--accept=yes", "--codec", "mpeg2"}, 2, "--accept takes no value"},
      {{"advance", "--codec", "nosuch"}, 1, "no codec description \"nosuch\""},
      {{"advance", "--codec", "vcodec/../tree"}, 1, "is not a codec description name"},
      {{"advance", "--codec", "muxer/MP4"}, 1, "--codec takes vcodec/NAME"},
      {{"advance", "--filter", "video/nosuch.ini"}, 1, "no filter description"},
      {{"advance", "--codec", "mpeg2", "--screenshot", "/nonexistent/folder/x.png"}, 1, "cannot write the screenshot"},
      {{"output-format", "--profile", "one"}, 2, "--profile takes a number"},
      {{"output-format", "--tab", "both"}, 2, "--tab takes video or audio"},
  };
  for (const Case& c : cases) {
    CommandRun run = Gallery(c.args);
    EXPECT_EQ(run.status, c.status) << run.output;
    EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
  }
  CommandRun help = Gallery({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.output.find("advance"), std::string::npos);
  CommandRun entryHelp = Gallery({"advance", "--help"});
  EXPECT_EQ(entryHelp.status, 0);
  EXPECT_NE(entryHelp.output.find("--params TEXT"), std::string::npos);
}

TEST(VelmoGallery, ColourPickerPrintsTheMessagesAndTheChosenColour) {
  const std::string picture = std::string(VELMO_ARTIFACT_DIR) + "/colour_popup.png";
  std::remove(picture.c_str());
  CommandRun run = Gallery({"colour-picker", "--colour", "gold", "--key", "right", "--key", "down", "--key", "right",
                            "--combo", "--show-name", "--screenshot", picture, "--accept"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(Lines(run.output, "message="),
            (std::vector<std::string>{"2026,00D7FF", "2025,default", "2025,000000", "2025,002AA5", "2027,002AA5",
                                      "2028,002AA5", "2025,002AA5"}));
  EXPECT_EQ(Line(run.output, "result="), "OK");
  EXPECT_EQ(Line(run.output, "colour="), "002AA5");
  EXPECT_EQ(Line(run.output, "name="), "Brown");
  EXPECT_EQ(Line(run.output, "text="), "Brown (R:165 G:42 B:0)");
  QImage image(QString::fromStdString(picture));
  ASSERT_FALSE(image.isNull()) << picture;
  EXPECT_GT(image.height(), image.width());  // boxes above and below the 8 x 5 grid
  // Every cell shows its colour: at least the 10 x 10 swatches of Gold and Brown.
  const int all = image.width() * image.height();
  EXPECT_GE(all - CountOtherThan(image, image.rect(), QColor(255, 215, 0), 0), 100);
  EXPECT_GE(all - CountOtherThan(image, image.rect(), QColor(165, 42, 0), 0), 100);

  // The custom box: a cancelled colour dialog cancels the choice.
  CommandRun more = Gallery({"colour-picker", "--colour", "123456", "--key", "left", "--accept"});
  ASSERT_EQ(more.status, 0) << more.output;
  EXPECT_EQ(Line(more.output, "colour-dialog="), "CANCEL");
  EXPECT_EQ(Line(more.output, "result="), "CANCEL");
  EXPECT_EQ(Line(more.output, "colour="), "123456");
  EXPECT_EQ(Line(more.output, "text="), "R:86 G:52 B:18");

  CommandRun bad = Gallery({"colour-picker", "--colour", "zz"});
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.output.find("--colour takes"), std::string::npos) << bad.output;
}

TEST(VelmoGallery, CropResizePrintsTheTextOkGives) {
  const std::string picture = std::string(VELMO_ARTIFACT_DIR) + "/crop_resize.png";
  std::remove(picture.c_str());
  // 720x576 square pixels letterboxed into 720x480: pads left and right.
  CommandRun run = Gallery({"crop-resize", "--source", "720x576", "--text", "\"WIDTH\"=720,\"HEIGHT\"=480", "--layout",
                            "1", "--screenshot", picture, "--accept"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(Line(run.output, "result="), "OK");
  EXPECT_EQ(Line(run.output, "frame="), "blank,shown");
  EXPECT_EQ(Line(run.output, "picture="), "600x480");
  EXPECT_EQ(Line(run.output, "text="),
            "\"WIDTH\"=720,\"HEIGHT\"=480,\"LEFTBAND\"=0,\"RIGHTBAND\"=0,\"TOPBAND\"=0,\"BOTTOMBAND\"=0,"
            "\"LEFTPAD\"=60,\"RIGHTPAD\"=60,\"TOPPAD\"=0,\"BOTTOMPAD\"=0,\"CRPAD\"=0,\"SCALEMODE\"=1");
  EXPECT_FALSE(QImage(QString::fromStdString(picture)).isNull()) << picture;

  CommandRun cancelled = Gallery({"crop-resize", "--source", "320x240", "--bands", "9,0,0,0", "--page", "crop"});
  EXPECT_EQ(cancelled.status, 1) << cancelled.output;
  EXPECT_EQ(Line(cancelled.output, "result="), "CANCEL");
  EXPECT_EQ(Line(cancelled.output, "text="), "<none>");
  for (const std::vector<std::string>& bad : {std::vector<std::string>{"crop-resize"},
                                              {"crop-resize", "--source", "0x240"},
                                              {"crop-resize", "--source", "320x240", "--bands", "1,2"},
                                              {"crop-resize", "--source", "320x240", "--layout", "6"}}) {
    const CommandRun r = Gallery(bad);
    EXPECT_EQ(r.status, 2) << bad.back() << ": " << r.output;
  }
}

}  // namespace
