// Tags typed on the metadata page reach the converted file: an MP3 task's
// head edited through the "File info" sheet, converted by the staged engine,
// read back with ffprobe (non-ASCII texts included); with "Enable Metadata"
// cleared nothing is written.
#include <gtest/gtest.h>

#include <QComboBox>
#include <filesystem>
#include <string>

#include "frontend/dialogs/dlg_file_info.h"
#include "frontend/model/engine_process.h"
#include "frontend/model/engine_session.h"
#include "frontend/model/profile_db.h"
#include "frontend/model/profile_lookup.h"
#include "frontend/model/profile_settings.h"
#include "frontend/model/profile_store.h"
#include "frontend/model/task_list.h"
#include "frontend/ui/modal_script.h"
#include "qt_test_util.h"
#include "tests/frontend/model/model_test_util.h"
#include "tests/test_util/shell_command.h"

namespace fs = std::filesystem;

namespace {

const char kTitle[] = "T\u00eftle \u65e5\u672c";
const char kArtist[] = "\u00c4rtist \U0001D11E";
const char kAlbum[] = "Alb\u00fcm";
const char kComment[] = "\u00e7a va";

// ffprobe's format tags as "key=value" lines, keys in lower case.
std::string ProbedTags(const std::string& path) {
  return RunCommand("ffprobe -v error -show_entries format_tags -of default=nw=1 " + ShellQuote(path) +
                    " | sed 's/^TAG://' | awk -F= '{ k = tolower($1); sub(/^[^=]*=/, \"\"); print k \"=\" $0 }'")
      .output;
}

class FileInfoEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (RunCommand("command -v ffmpeg >/dev/null && command -v ffprobe >/dev/null").status != 0)
      GTEST_SKIP() << "ffmpeg or ffprobe missing";
    SetProfileFolders(ProfileFolders{TRIVOX_STAGE_DIR, UserDataFolder()});
    TheProfileIniCache().Load(TRIVOX_STAGE_DIR, TRIVOX_STAGE_DIR "/formats.dat");
    clip_ = work_.File("song.wav");
    const CommandRun made = RunCommand(
        "ffmpeg -v error -y -f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 "
        "-ac 2 -c:a pcm_s16le " +
        ShellQuote(clip_) + " 2>&1");
    ASSERT_EQ(0, made.status) << made.output;
    std::string node, message;
    OutputProfile profile;
    ASSERT_TRUE(FindNamedProfile("A_110_MP3/1", node, profile));
    ASSERT_TRUE(SettingsFromProfile(profile, settings_, &message)) << message;
  }

  // A task of the clip, its sheet run at the metadata page with step, then
  // converted; the output's path.
  std::string ConvertEdited(const std::string& name, const std::function<void(CPropertyPage&)>& step) {
    CTaskList tasks;
    tasks.SetOutputFolder(work_.path());
    std::string message;
    auto record = Probe({"\"TYPE\"=1,\"STREAMID\"=0,\"SAMPLERATE\"=44100,\"CHANNEL\"=2,\"BITSIZE\"=16"}, 2.0);
    CTask* task = tasks.AddTask(clip_, *record, settings_, TaskOptions(), message);
    EXPECT_NE(task, nullptr) << message;
    if (task == nullptr) return "";
    ModalScript script;
    script.Then([&](UiDialog& d) {
      auto& sheet = static_cast<CMyPropSheet&>(d);
      sheet.GetPage(0)->SetItemText(IDC_NAMES_OUTPUT, QString::fromStdString(name));
      sheet.SetActivePage(1);
      step(*sheet.GetPage(1));
      d.OnCommand(IDOK, BN_CLICKED);
    });
    EXPECT_TRUE(RunFileInfoSheet(nullptr, *task, work_.path(), 0));
    // As a run does: the job's sources (with the head), then the output name.
    fs::create_directories(work_.File("out"));
    OutputNameList names;
    names.SetFolder(work_.File("out"));
    EXPECT_TRUE(task->BuildJobSources(message)) << message;
    EXPECT_TRUE(task->MakeOutputPath(names, message)) << message;
    SetEngineProgram(std::string(TRIVOX_STAGE_DIR) + "/trivox_free");
    std::string error;
    std::unique_ptr<EngineSession> session = StartEngineConvert(0x4848, task->job, &error);
    EXPECT_NE(session, nullptr) << error;
    if (session == nullptr) return "";
    const bool ended = WaitEngine(session.get(), 120000);
    SetEngineProgram("");
    HRESULT code = 0;
    EngineSession::GetExitCode(session.get(), &code);
    EXPECT_TRUE(ended);
    EXPECT_EQ(code, S_OK);
    return task->job.output.path;
  }

  TempDir work_;
  std::string clip_;
  OutputSettings settings_;
};

TEST_F(FileInfoEndToEnd, TagsTypedOnThePageAreWrittenIntoTheOutput) {
  const std::string path = ConvertEdited("tagged song.mp3", [](CPropertyPage& page) {
    page.SetItemCheck(IDC_META_ENABLE, 1);
    page.OnCommand(IDC_META_ENABLE, BN_CLICKED);
    page.SetItemText(IDC_META_TITLE, QString::fromUtf8(kTitle));
    page.SetItemText(IDC_META_ARTIST, QString::fromUtf8(kArtist));
    page.SetItemText(IDC_META_ALBUM, QString::fromUtf8(kAlbum));
    page.SetItemText(IDC_META_COMMENT, QString::fromUtf8(kComment));
    page.SetItemText(IDC_META_TRACK, "7");
    page.SetItemText(IDC_META_YEAR, "1999");
    page.ItemAs<QComboBox>(IDC_META_GENRE)->setCurrentIndex(17);  // "Rock"
  });
  EXPECT_EQ(path, work_.File("out/tagged song.mp3"));
  ASSERT_TRUE(fs::is_regular_file(path)) << path;
  const std::string tags = ProbedTags(path);
  for (const std::string& line : {std::string("title=") + kTitle, std::string("artist=") + kArtist,
                                  std::string("album=") + kAlbum, std::string("genre=Rock"), std::string("date=1999")})
    EXPECT_NE(tags.find(line + "\n"), std::string::npos) << line << " in\n" << tags;
  EXPECT_NE(tags.find("track=7"), std::string::npos) << tags;
  EXPECT_NE(tags.find(kComment), std::string::npos) << tags;
}

TEST_F(FileInfoEndToEnd, TagsNotEnabledAreNotWritten) {
  const std::string path = ConvertEdited("plain.mp3", [](CPropertyPage& page) {
    page.SetItemCheck(IDC_META_ENABLE, 1);
    page.OnCommand(IDC_META_ENABLE, BN_CLICKED);
    page.SetItemText(IDC_META_ARTIST, QString::fromUtf8(kArtist));
    page.SetItemCheck(IDC_META_ENABLE, 0);
    page.OnCommand(IDC_META_ENABLE, BN_CLICKED);
  });
  ASSERT_TRUE(fs::is_regular_file(path)) << path;
  EXPECT_EQ(ProbedTags(path).find("artist="), std::string::npos);
}

}  // namespace
