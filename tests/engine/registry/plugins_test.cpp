#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/param_list.h"
#include "engine/modules/filters/video_filter_host.h"
#include "engine/registry/module_registry.h"
#include "platform/dynamic_library.h"
#include "tests/engine/registry/registry_test_util.h"
#include "tests/test_util/engine_process.h"

namespace fs = std::filesystem;

namespace {

const char* const kPlugins[] = {"a_sample_media.so", "c_missing_export.so", "d_no_records.so", "z_second.so"};

// A plug-in folder of copies of the sample plug-ins (fresh files, so a test
// sees them unloaded whatever other tests loaded), plus the broken files.
std::string MakePluginFolder(const std::string& base) {
  const std::string dir = base + "/plugin";
  fs::create_directories(dir);
  for (const char* name : kPlugins) fs::copy_file(fs::path(TRIVOX_TEST_PLUGIN_DIR) / name, fs::path(dir) / name);
  WriteBytes(dir + "/e_not_a_library.so", Bytes("this is plain text, not a shared object\n"));
  WriteBytes(dir + "/b_readme.txt", Bytes("not a plug-in name"));
  fs::create_directories(dir + "/f_folder.so");
  return dir;
}

bool IsLoaded(const std::string& path) { return DynamicLibrary::IsLoaded(path); }

class Plugins : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadStagedCodecTables();
    const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    folder_ = MakePluginFolder(FreshTestFolder("plugins_" + test));
    ::testing::internal::CaptureStdout();
    registry_.Init(folder_);
    trace_ = ::testing::internal::GetCapturedStdout();
  }
  std::string Path(const char* name) const { return folder_ + "/" + name; }
  bool Traced(const std::string& text) const { return trace_.find(text) != std::string::npos; }

  CModuleRegistry registry_;
  std::string folder_;
  std::string trace_;
};

// Built-in counts, as registered with no plug-in folder.
struct BuiltinCounts {
  size_t readers, writers, decoders, audioEncoders, videoEncoders, audioFilters, videoFilters;
};
BuiltinCounts CountsOf(const CModuleRegistry& r) {
  return {r.readers.Count(),       r.writers.Count(),      r.decoders.Count(),    r.audioEncoders.Count(),
          r.videoEncoders.Count(), r.audioFilters.Count(), r.videoFilters.Count()};
}
bool operator==(const BuiltinCounts& a, const BuiltinCounts& b) {
  return a.readers == b.readers && a.writers == b.writers && a.decoders == b.decoders &&
         a.audioEncoders == b.audioEncoders && a.videoEncoders == b.videoEncoders && a.audioFilters == b.audioFilters &&
         a.videoFilters == b.videoFilters;
}

BuiltinCounts Builtins() {
  CModuleRegistry r;
  r.Init(FreshTestFolder("plugins_none") + "/missing");
  return CountsOf(r);
}

TEST_F(Plugins, RegisteredAfterBuiltinsInNameOrderAndUnloaded) {
  const BuiltinCounts b = Builtins();
  const std::string sample = Path("a_sample_media.so");
  const std::string second = Path("z_second.so");

  // Writers: a_sample_media's, then z_second's, after every built-in row.
  ASSERT_EQ(registry_.writers.Count(), b.writers + 2);
  const WriterRegistration* w = registry_.writers.Entries()[b.writers];
  EXPECT_STREQ(w->tag, "[PLUGIN]SMPWR");
  EXPECT_STREQ(w->extension, "smp");
  EXPECT_EQ(std::vector<int32_t>({w->minAudio, w->maxAudio, w->minVideo, w->maxVideo, w->minSubtitle, w->maxSubtitle}),
            std::vector<int32_t>({1, 2, 0, 0, 0, 0}));
  EXPECT_STREQ(w->params->GetStringPtr("PATH"), sample.c_str());
  EXPECT_EQ(w->params->GetInt("INDEX", -1), 1);
  EXPECT_STREQ(registry_.writers.Entries()[b.writers + 1]->tag, "[PLUGIN]SECOND");
  EXPECT_STREQ(registry_.writers.Entries()[b.writers + 1]->params->GetStringPtr("PATH"), second.c_str());

  // Readers: texts copied, the good signature kept, the bad one left out.
  ASSERT_EQ(registry_.readers.Count(), b.readers + 2);
  const ReaderRegistration* r = registry_.readers.Entries()[b.readers];
  EXPECT_STREQ(r->name, "smpl");
  EXPECT_STREQ(r->tag, "[PLUGIN]SAMPLE");
  EXPECT_STREQ(r->extensions, "smp;smpx");
  EXPECT_NE(r->signatures[0], nullptr);
  EXPECT_EQ(r->signatures[1], nullptr);
  EXPECT_EQ(r->params->GetInt("INDEX", -1), 0);
  const ReaderRegistration* tagged = registry_.readers.Entries()[b.readers + 1];
  EXPECT_STREQ(tagged->tag, "[PLUGIN]TAGGED");
  ASSERT_NE(tagged->signatures[0], nullptr);
  EXPECT_EQ(tagged->signatures[0]->offset, -4);

  // Coders by their input types; the filter object; nothing of unknown kind.
  ASSERT_EQ(registry_.audioEncoders.Count(), b.audioEncoders + 1);
  EXPECT_STREQ(registry_.audioEncoders.Entries().back()->name, "[PLUGIN]SMPENC");
  ASSERT_EQ(registry_.videoEncoders.Count(), b.videoEncoders + 1);
  EXPECT_STREQ(registry_.videoEncoders.Entries().back()->name, "[PLUGIN]SMPVENC");
  ASSERT_EQ(registry_.decoders.Count(), b.decoders + 2);
  EXPECT_STREQ(registry_.decoders.Entries()[b.decoders]->name, "[PLUGIN]SMPDEC");
  EXPECT_STREQ(registry_.decoders.Entries()[b.decoders + 1]->name, "[PLUGIN]WRONG");
  ASSERT_EQ(registry_.videoFilters.Count(), b.videoFilters + 1);
  const CoderRegistration* f = registry_.videoFilters.Entries().back();
  EXPECT_STREQ(f->name, "[PLUGIN]VSAMPLE");
  EXPECT_EQ(f->inputMajor, MEDIATYPE_Audio);
  EXPECT_EQ(f->inputSubtype, MEDIASUBTYPE_PCM);
  EXPECT_EQ(f->outputMajor, GUID_NULL);
  EXPECT_EQ(f->params->GetType("FNVF"), PARAM_TYPE_PTR);
  EXPECT_EQ(f->params->GetInt("INDEX", -1), 5);
  EXPECT_EQ(registry_.audioFilters.Count(), b.audioFilters);
  EXPECT_TRUE(Traced("record 6 of unknown kind")) << trace_;
  EXPECT_TRUE(Traced("signature 1 refused")) << trace_;

  // Every library was unloaded after registration; the copies stand alone.
  for (const char* name : kPlugins) EXPECT_FALSE(IsLoaded(Path(name))) << name;
  EXPECT_STREQ(r->tag, "[PLUGIN]SAMPLE");
  EXPECT_STREQ(f->name, "[PLUGIN]VSAMPLE");
}

TEST_F(Plugins, BrokenFilesSkippedWithATrace) {
  EXPECT_TRUE(Traced("c_missing_export.so lacks DllGetObject")) << trace_;
  EXPECT_TRUE(Traced("d_no_records.so registers no module")) << trace_;
  EXPECT_TRUE(Traced("cannot load plug-in " + Path("e_not_a_library.so"))) << trace_;
  EXPECT_FALSE(Traced("f_folder.so")) << "a folder is not a plug-in";
  EXPECT_FALSE(Traced("b_readme")) << "only *.so files are looked at";
  EXPECT_EQ(registry_.writers.FindByTag("[PLUGIN]MISSING"), nullptr);
  EXPECT_NE(registry_.writers.FindByTag("[PLUGIN]SECOND"), nullptr) << "loading goes on after broken files";

  // The folder loaded again gives the same records again, nothing more.
  CModuleRegistry again;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(again.LoadPlugins(folder_), 9);
  ::testing::internal::GetCapturedStdout();
}

TEST_F(Plugins, CreatingLoadsTheLibraryAgain) {
  const std::string sample = Path("a_sample_media.so");
  ASSERT_FALSE(IsLoaded(sample));

  IMediaModule* encoder = registry_.audioEncoders.CreateByName("[plugin]smpenc");
  ASSERT_NE(encoder, nullptr);
  EXPECT_TRUE(IsLoaded(sample)) << "stays loaded while its modules live";
  EXPECT_EQ(encoder->GetInputPinCount(), 7u) << "the plug-in's own code answers";
  EXPECT_EQ(encoder->GetRegistration(), registry_.audioEncoders.Entries().back());
  IMediaTransform* transform = QueryAsTransform(encoder);
  ASSERT_NE(transform, nullptr);
  transform->Release();

  AM_MEDIA_TYPE mt{};
  mt.majortype = MEDIATYPE_Audio;
  mt.subtype = FourccGuid(MakeFourcc('S', 'M', 'P', 'A'));
  EXPECT_TRUE(registry_.decoders.HasType(&mt, 1));
  IMediaModule* decoder = registry_.decoders.CreateByType(&mt, 1);
  ASSERT_NE(decoder, nullptr);
  EXPECT_STREQ(static_cast<const CoderRegistration*>(decoder->GetRegistration())->name, "[PLUGIN]SMPDEC");
  decoder->Release();

  IMediaModule* writer = registry_.writers.CreateByTag("[PLUGIN]SMPWR");
  ASSERT_NE(writer, nullptr);
  IMediaWriter* w = QueryAsWriter(writer);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->GetState(), WRITER_RUNNING);
  w->Release();

  // Readers by extension, by signature and by a trailing signature.
  const std::string dir = fs::path(folder_).parent_path().string();
  WriteBytes(dir + "/clip.SMPX", Bytes("no signature"));
  WriteBytes(dir + "/clip.bin", Bytes("SMPL and more"));
  WriteBytes(dir + "/trailer.bin", Bytes("payload TAG!"));
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(TagAndRelease(registry_.CreateReaderForPath((dir + "/clip.SMPX").c_str())), "[PLUGIN]SAMPLE");
  EXPECT_EQ(TagAndRelease(registry_.CreateReaderForPath((dir + "/clip.bin").c_str())), "[PLUGIN]SAMPLE");
  EXPECT_EQ(TagAndRelease(registry_.CreateReaderForPath((dir + "/trailer.bin").c_str())), "[PLUGIN]TAGGED");
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("fmt:[PLUGIN]TAGGED"), std::string::npos) << out;
  IMediaModule* reader = registry_.readers.CreateByExtension("x.smp");
  ASSERT_NE(reader, nullptr);
  EXPECT_NE(QueryAsReader(reader), nullptr);
  reader->Release();

  // The video filter object runs inside the video filter host.
  IMediaModule* host = registry_.videoFilters.CreateByName("[PLUGIN]VSAMPLE");
  ASSERT_NE(host, nullptr);
  IVideoFilter* filter = static_cast<CVideoFilterHost*>(host)->Filter();
  ASSERT_NE(filter, nullptr);
  FrameFormat format{64, 48, kColourYuv420, {0, 0}, 1, 25};
  EXPECT_EQ(filter->SetFormat(&format), 0);
  FrameFormat out2{};
  filter->GetOutputFormat(&out2);
  EXPECT_EQ(out2.width, 4242);
  host->Release();
}

TEST_F(Plugins, FailedCreationsGiveNull) {
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(registry_.decoders.CreateByName("[PLUGIN]WRONG"), nullptr);
  std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("does not answer its interface"), std::string::npos) << out;

  // The library went away after registration.
  fs::remove(Path("z_second.so"));
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(registry_.writers.CreateByTag("[PLUGIN]SECOND"), nullptr);
  out = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("cannot load plug-in " + Path("z_second.so")), std::string::npos) << out;

  // A path too long for the fixed field is refused, not cut.
  CoderRegistration* encoder = registry_.audioEncoders.Entries().back();
  encoder->params->SetString("PATH", (folder_ + "/" + std::string(300, 'x') + ".so").c_str());
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(registry_.audioEncoders.CreateByName("[PLUGIN]SMPENC"), nullptr);
  ::testing::internal::GetCapturedStdout();
}

TEST(PluginFolder, MissingOrEmptyRegistersNothing) {
  const BuiltinCounts b = Builtins();
  const std::string empty = FreshTestFolder("plugins_empty");
  CModuleRegistry r;
  ::testing::internal::CaptureStdout();
  r.Init(empty);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_TRUE(CountsOf(r) == b);
  EXPECT_EQ(r.LoadPlugins(empty + "/missing"), 0);
  EXPECT_EQ(r.LoadPlugins(empty), 0);
  EXPECT_TRUE(CountsOf(r) == b);
}

TEST(EngineStart, WithMissingEmptyOrBrokenPluginFolder) {
  const std::string missing = MakeEngineFolder("plugins_missing");
  EngineRun run = RunEngine(missing, {});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.LastLine(), "RESULT=00000000");

  const std::string empty = MakeEngineFolder("plugins_empty");
  fs::create_directories(empty + "/plugin");
  run = RunEngine(empty, {});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.LastLine(), "RESULT=00000000");

  const std::string broken = MakeEngineFolder("plugins_broken");
  MakePluginFolder(broken);
  run = RunEngine(broken, {});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.LastLine(), "RESULT=00000000");
  EXPECT_NE(run.output.find("cannot load plug-in " + broken + "/plugin/e_not_a_library.so"), std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("d_no_records.so registers no module"), std::string::npos) << run.output;
}

}  // namespace
