#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/codec_tables.h"
#include "common/param_list.h"
#include "engine/modules/ffmpeg/ffm_reader.h"
#include "engine/modules/filters/video_filter_host.h"
#include "engine/registry/builtin_modules.h"
#include "engine/registry/module_registry.h"
#include "tests/engine/registry/registry_test_util.h"

extern "C" {
#include <libavcodec/codec_id.h>
}

namespace {

std::vector<uint8_t> Riff(const char form[5]) {
  std::vector<uint8_t> b = Bytes("RIFF");
  b.insert(b.end(), {0x24, 0, 0, 0});
  b.insert(b.end(), form, form + 4);
  b.resize(64, 0);
  return b;
}

bool FileMatches(const std::string& path, const char* text) {
  SignatureGroup* chain = ParseSignatureChain(text);
  if (chain == nullptr) return false;
  const int fd = open(path.c_str(), O_RDONLY);
  const bool match = fd >= 0 && SignatureChainMatches(chain, fd);
  if (fd >= 0) close(fd);
  FreeSignatureChain(chain);
  return match;
}

TEST(SignatureText, ParsesOrRefuses) {
  struct Case {
    const char* text;
    bool parses;
    int groups;
  };
  const Case cases[] = {
      {"0,4,,52494646", true, 1},
      {"0,4,,52494646,8,4,,41564920", true, 2},
      {" 0 , 4 , , 5249 4646 ", true, 1},
      {"0,5,FFFFFFFFF0,000001BA20", true, 1},
      {"-4,4,,54414721", true, 1},
      {"0,4,,524946", false, 0},        // too few bytes digits
      {"0,4,,5249464600", false, 0},    // too many
      {"0,4,FF,52494646", false, 0},    // mask of the wrong size
      {"0,4,,52494646,", false, 0},     // ends inside the next group
      {"0,4,,52494646,8,4", false, 0},  // incomplete second group
      {"0,4,", false, 0},
      {"", false, 0},
      {"x,1,,00", false, 0},
      {"1-,1,,00", false, 0},
      {"0,-1,,00", false, 0},
      {"0,0,,", false, 0},              // a group of no bytes would match anything
      {"99999999999,1,,00", false, 0},  // offset beyond 32 bits
      {"0,99999999999,,00", false, 0},
  };
  for (const Case& c : cases) {
    SignatureGroup* chain = ParseSignatureChain(c.text);
    EXPECT_EQ(chain != nullptr, c.parses) << c.text;
    int groups = 0;
    for (SignatureGroup* g = chain; g; g = g->next) ++groups;
    EXPECT_EQ(groups, c.groups) << c.text;
    FreeSignatureChain(chain);
  }
  SignatureGroup* chain = ParseSignatureChain("-12,2,F0F0,A0B1");
  ASSERT_NE(chain, nullptr);
  EXPECT_EQ(chain->offset, -12);
  EXPECT_EQ(chain->length, 2);
  ASSERT_NE(chain->mask, nullptr);
  EXPECT_EQ(chain->mask[1], 0xF0);
  EXPECT_EQ(chain->bytes[0], 0xA0);
  EXPECT_EQ(chain->bytes[1], 0xB1);
  FreeSignatureChain(chain);
  chain = ParseSignatureChain("0,2,,zG1f");  // a stray digit counts as 0
  ASSERT_NE(chain, nullptr);
  EXPECT_EQ(chain->mask, nullptr);
  EXPECT_EQ(chain->bytes[0], 0x00);
  EXPECT_EQ(chain->bytes[1], 0x1F);
  FreeSignatureChain(chain);
}

TEST(SignatureText, MatchesFiles) {
  const std::string dir = FreshTestFolder("signature_match");
  struct Case {
    std::vector<uint8_t> content;
    const char* text;
    bool match;
  };
  const Case cases[] = {
      {Bytes("data....TAG!"), "-4,4,,54414721", true},
      {Bytes("TAG!"), "-4,4,,54414721", true},
      {Bytes("TAG!x"), "-4,4,,54414721", false},
      {Bytes("AG!"), "-4,4,,54414721", false},  // seek before the start fails
      {Bytes(""), "0,1,,00", false},            // nothing to read
      {Bytes("RIF"), "0,4,,52494646", false},   // short read
      {{0, 0, 1, 0xBA, 0x21}, "0,5,FFFFFFFFF0,000001BA20", true},
      {{0, 0, 1, 0xBA, 0x2F}, "0,5,FFFFFFFFF0,000001BA20", true},
      {{0, 0, 1, 0xBA, 0x44}, "0,5,FFFFFFFFF0,000001BA20", false},
      {{0, 0, 1, 0xBA, 0x44}, "0,5,FFFFFFFFC0,000001BA40", true},
      {{0, 0, 1, 0xBA, 0x21}, "0,5,FFFFFFFFC0,000001BA40", false},
      {Riff("AVI "), "0,4,,52494646,8,4,,41564920", true},
      {Riff("AVIX"), "0,4,,52494646,8,4,,41564920", false},
      {Bytes("RIFF\x24\0\0\0"), "0,4,,52494646,8,4,,41564920", false},  // second group past the end
  };
  int i = 0;
  for (const Case& c : cases) {
    const std::string path = dir + "/f" + std::to_string(i++);
    WriteBytes(path, c.content);
    EXPECT_EQ(FileMatches(path, c.text), c.match) << c.text << " on " << path;
  }
}

TEST(ReaderRegistration, KeepsAtMostEightChains) {
  ReaderRegistration entry;
  for (int i = 0; i < kMaxSignatureChains; ++i) EXPECT_TRUE(entry.AddSignature("0,1,,00")) << i;
  EXPECT_FALSE(entry.AddSignature("0,1,,00"));
  ReaderRegistration other;
  EXPECT_FALSE(other.AddSignature("0,1,,0"));
  EXPECT_EQ(other.signatures[0], nullptr) << "a refused text stores nothing";
  EXPECT_TRUE(other.AddSignature("0,1,,01"));
  EXPECT_NE(other.signatures[0], nullptr);
}

TEST(ReaderRegistration, ExtensionsAndPrefixes) {
  ReaderRegistration e;
  CopyRegistryText(e.extensions, sizeof(e.extensions), "mpg;MPEG;m2v");
  EXPECT_TRUE(e.MatchesExtension("/a/b.mpg"));
  EXPECT_TRUE(e.MatchesExtension("/a/b.MPG"));
  EXPECT_TRUE(e.MatchesExtension("x.mpeg"));
  EXPECT_TRUE(e.MatchesExtension("x.tar.m2v"));
  EXPECT_FALSE(e.MatchesExtension("x.mp"));
  EXPECT_FALSE(e.MatchesExtension("x.mpgx"));
  EXPECT_FALSE(e.MatchesExtension("mpg"));
  EXPECT_FALSE(e.MatchesExtension("x."));
  EXPECT_FALSE(e.MatchesPrefix("mpg;MPEG;m2v"));
  ReaderRegistration dvd;
  CopyRegistryText(dvd.extensions, sizeof(dvd.extensions), "dvd:");
  EXPECT_TRUE(dvd.MatchesPrefix("dvd:/dev/sr0"));
  EXPECT_TRUE(dvd.MatchesPrefix("DVD:"));
  EXPECT_FALSE(dvd.MatchesPrefix("dv"));
  EXPECT_FALSE(dvd.MatchesPrefix("/dvd:x"));
  ReaderRegistration none;
  EXPECT_FALSE(none.MatchesExtension("a."));
  EXPECT_FALSE(none.MatchesPrefix(""));
}

class BuiltinRegistry : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    LoadStagedCodecTables();
    registry_ = new CModuleRegistry;
    registry_->Init(FreshTestFolder("no_plugins") + "/missing");
  }
  static void TearDownTestSuite() {
    delete registry_;
    registry_ = nullptr;
  }
  static CModuleRegistry* registry_;
};
CModuleRegistry* BuiltinRegistry::registry_ = nullptr;

template <class List, class Field>
std::vector<std::string> Names(const List& list, Field field) {
  std::vector<std::string> out;
  for (const auto* e : list.Entries()) out.push_back(e->*field);
  return out;
}

TEST_F(BuiltinRegistry, RowsInOrder) {
  const std::vector<std::string> readers = {
      "DSHOW", "PASS", "DVD", "DVD", "AVS",  "AVI", "ASF",   "MP3", "MP2", "AAC",  "AC3", "AC3", "DTS",
      "264",   "264",  "263", "263", "261",  "261", "MPEG1", "M1V", "M2V", "MPEG", "MPG", "VOB", "MOD",
      "MPEG2", "MTS",  "M2T", "TOD", "M2TS", "TP",  "TS",    "WAV", "FLV", "MP4",  "DV",  "3GP", "3G2",
      "3GPP",  "MOV",  "QT",  "M4A", "M4B",  "M4V", "FLAC",  "APE", "AMR", "AWB"};
  EXPECT_EQ(Names(registry_->readers, &ReaderRegistration::tag), readers);
  const std::vector<std::string> readerExtensions = {
      "dshowext", "passre", "dvddvd", "dvd:", "avs",  "",    "",     "mp3", "mp2", "aac",  "ac3", "eac3", "dts",
      "264",      "h264",   "263",    "h263", "h261", "261", "",     "m1v", "m2v", "mpeg", "mpg", "vob",  "mod",
      "",         "mts",    "m2t",    "tod",  "m2ts", "tp",  "ts",   "",    "",    "mp4",  "dv",  "3gp",  "3g2",
      "3gpp",     "mov",    "qt",     "m4a",  "m4b",  "m4v", "flac", "ape", "",    ""};
  EXPECT_EQ(Names(registry_->readers, &ReaderRegistration::extensions), readerExtensions);

  const std::vector<std::string> writers = {
      "[FFM]AVI",   "[FFM]MP4",     "[FFM]3GP",      "[FFM]ASF",      "[FFM]3G2",    "[FFM]MOV",
      "[FFM]MPEG1", "[FFM]MPEGTS",  "[FFM]MPEG2",    "[FFM]AIFF",     "[FFM]SWF",    "SUBTITLE",
      "[FFM]MP3",   "[FFM]FLAC",    "[FFM]RAWVIDEO", "[FFM]RAWAUDIO", "[FFM]AAC",    "[FFM]WAV",
      "[FFM]OGG",   "[FFM]AMR",     "[FFM]AWB",      "[FFM]FLV",      "[FFM]IMAGE2", "[FFM]GIF",
      "[FFM]MPEG1", "[FFM]MPEG2PS", "[FFM]MPEG2TS",  "[DS]WMV",       "BUFWR",       "PLAYER"};
  EXPECT_EQ(Names(registry_->writers, &WriterRegistration::tag), writers);

  std::vector<std::string> decoders = {"[DS]WMA", "[DS]WMA", "[DS]WMA", "[DS]WMA", "[DS]WMA",  "[DS]WMAV",
                                       "[DS]WMV", "[DS]WMV", "[DS]WMV", "[DS]WMV", "[DS]MSS1", "[DS]MSS2"};
  decoders.insert(decoders.end(), 6, "[ACM]VORBIS");
  for (const char* n :
       {"MP2",    "MPEG43", "MPEG42", "MPEG4", "H264", "H263",  "H261",   "SVQ1",  "SVQ3", "CVID", "TIFF",
        "WVC1",   "RV31",   "MJPEG",  "DV",    "CRAM", "SMC",   "CVID",   "VP62",  "VP6A", "MP3",  "FLAC",
        "MLAW",   "NELL",   "SPEE",   "AIMA",  "MSAD", "QTAD",  "G726",   "ALAW",  "ALAC", "DSWF", "DIQT",
        "APE",    "FLV",    "FLSV",   "MPEG2", "RV10", "MPEG1", "AAC",    "AC3",   "EAC3", "QDM2", "DTS",
        "VORBIS", "LPCM",   "DPCM",   "BPCM",  "TRHD", "14_4",  "AMR_NB", "AMR_WB"})
    decoders.push_back(std::string("[FFM]") + n);
  EXPECT_EQ(Names(registry_->decoders, &CoderRegistration::name), decoders);

  EXPECT_EQ(Names(registry_->audioEncoders, &CoderRegistration::name),
            (std::vector<std::string>{"[FFM]MP3", "[FFM]MP2", "[FFM]AC3", "[FFM]FLAC", "[FFM]ALAC", "[FFM]AAC",
                                      "[FFM]G726", "[FFM]VORBIS", "[FFM]AMR_NB", "[FFM]AMR_WB", "[FFM]LPCM"}));
  EXPECT_EQ(Names(registry_->videoEncoders, &CoderRegistration::name),
            (std::vector<std::string>{"[DS]VP62", "[FFM]H263", "[FFM]FLV", "[FFM]H263P", "[FFM]H264", "[FFM]MPEG2",
                                      "[FFM]MPEG1", "[FFM]MJPG", "[FFM]GIF"}));
  EXPECT_EQ(Names(registry_->audioFilters, &CoderRegistration::name),
            (std::vector<std::string>{"ARESAMPLE", "AVOL", "ADELAY", "ANORMALIZE", "AMERGER", "SDELAY", "AEQ"}));
  EXPECT_EQ(Names(registry_->videoFilters, &CoderRegistration::name),
            (std::vector<std::string>{"TEST", "VCAPTURE", "VSUBTITLEDVD", "SDELAY", "VREFRAME", "VCHANGEFRAME",
                                      "VRECOLOR", "VDEINT", "VREFPS", "VWATERMARK", "VGREYSCALE", "VFLIPVERTICAL",
                                      "VFLIPHORIZONTAL", "VLEVELS", "VTWEAK"}));
}

TEST_F(BuiltinRegistry, RowFields) {
  // Writers: limits, extension and muxer name.
  const WriterRegistration* asf = registry_->writers.FindByTag("[ffm]asf");
  ASSERT_NE(asf, nullptr);
  EXPECT_EQ(std::vector<int32_t>(
                {asf->minAudio, asf->maxAudio, asf->minVideo, asf->maxVideo, asf->minSubtitle, asf->maxSubtitle}),
            std::vector<int32_t>({0, 1, 0, 1, 0, 0}));
  EXPECT_STREQ(asf->extension, "asf");
  EXPECT_STREQ(asf->params->GetStringPtr("NAME"), "asf");
  const WriterRegistration* sub = registry_->writers.FindByTag("SUBTITLE");
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(sub->minSubtitle, 1);
  EXPECT_EQ(sub->maxSubtitle, 1);
  EXPECT_EQ(sub->maxAudio, 0);
  const WriterRegistration* raw = registry_->writers.FindByTag("[FFM]RAWAUDIO");
  ASSERT_NE(raw, nullptr);
  EXPECT_STREQ(raw->params->GetStringPtr("NAME"), "ac3");
  EXPECT_EQ(registry_->writers.FindByTag("[FFM]MPEG1"), registry_->writers.Entries()[6]) << "first of two rows";
  EXPECT_STREQ(registry_->writers.FindByTag("BUFWR")->extension, "");
  EXPECT_EQ(registry_->writers.FindByTag("[FFM]NONE"), nullptr);

  // Readers: the ASF row's moniker, the DirectShow rows' MAPFUNC entry.
  const ReaderRegistration* asfReader = registry_->readers.Entries()[6];
  EXPECT_EQ(asfReader->params->GetType("PARAM"), PARAM_TYPE_WSTRING);
  EXPECT_EQ(asfReader->params->GetType("MAPFUNC"), PARAM_TYPE_PTR);
  EXPECT_EQ(registry_->readers.Entries()[0]->params->GetType("MAPFUNC"), PARAM_TYPE_PTR);
  // FFmpeg readers: the "FLAC" and "264" rows make the reader with their special cases.
  int ffmpegReaders = 0;
  for (const ReaderRegistration* e : registry_->readers.Entries()) {
    if (e->create != CreateFFmpegReaderModule && e->create != CreateFFmpegFlacReaderModule &&
        e->create != CreateFFmpegH264ReaderModule)
      continue;
    IMediaModule* m = CreateFromRegistration(e);
    ASSERT_NE(m, nullptr) << e->tag;
    const std::string tag = e->tag;
    const FFReaderVariant want = tag == "FLAC"  ? FFReaderVariant::kFlac
                                 : tag == "264" ? FFReaderVariant::kRawH264
                                                : FFReaderVariant::kPlain;
    EXPECT_EQ(static_cast<CFFMReader*>(m)->Variant(), want) << e->tag;
    m->Release();
    ++ffmpegReaders;
  }
  EXPECT_EQ(ffmpegReaders, 43);

  // FFmpeg coders: FFmpeg-side subtype from the codec table, major type flag.
  GUID mp2 = GUID_NULL;
  TheVfccTable().GuidByCode(int32_t(MakeFourcc('M', 'P', '2', 'A')), &mp2);
  ASSERT_NE(mp2, GUID_NULL) << "vfcc.dat lists MP2A";
  const CoderRegistration* mp2Decoder = registry_->decoders.FindByName("[FFM]MP2");
  ASSERT_NE(mp2Decoder, nullptr);
  EXPECT_EQ(mp2Decoder->inputMajor, MEDIATYPE_Audio);
  EXPECT_EQ(mp2Decoder->inputSubtype, mp2);
  EXPECT_EQ(mp2Decoder->outputSubtype, MEDIASUBTYPE_PCM);
  EXPECT_EQ(mp2Decoder->params->GetInt("MAJORTYPE", -1), 1);
  const CoderRegistration* h264 = registry_->videoEncoders.FindByName("[FFM]H264");
  ASSERT_NE(h264, nullptr);
  EXPECT_EQ(h264->inputSubtype, MEDIASUBTYPE_YV12);
  EXPECT_EQ(h264->outputMajor, MEDIATYPE_Video);
  EXPECT_EQ(h264->params->GetInt("MAJORTYPE", -1), 0);
  EXPECT_EQ(h264->params->GetInt("MINORTYPE", -1), int32_t(AV_CODEC_ID_H264));
  EXPECT_EQ(mp2Decoder->params->GetInt("MINORTYPE", -1), int32_t(AV_CODEC_ID_MP2));
  EXPECT_EQ(registry_->decoders.FindByName("[FFM]AMR_WB")->params->GetInt("MINORTYPE", -1),
            int32_t(AV_CODEC_ID_AMR_WB));
  const CoderRegistration* vp62 = registry_->videoEncoders.Entries()[0];
  EXPECT_EQ(vp62->outputSubtype, FourccGuid(MakeFourcc('V', 'P', '6', '2')));
  EXPECT_EQ(vp62->params->GetType("PARAM"), PARAM_TYPE_WSTRING);

  // Filters carry "auds"/PCM as input and no output.
  for (const CCoderList* list : {&registry_->audioFilters, &registry_->videoFilters}) {
    for (const CoderRegistration* e : list->Entries()) {
      EXPECT_EQ(e->inputMajor, MEDIATYPE_Audio) << e->name;
      EXPECT_EQ(e->inputSubtype, MEDIASUBTYPE_PCM) << e->name;
      EXPECT_EQ(e->outputMajor, GUID_NULL) << e->name;
    }
  }
  EXPECT_EQ(registry_->videoFilters.FindByName("VRECOLOR")->params->GetType("FNVF"), PARAM_TYPE_PTR);
  EXPECT_EQ(registry_->audioFilters.FindByName("AVOL")->params->GetType("FNAF"), PARAM_TYPE_PTR);
}

TEST_F(BuiltinRegistry, CoderLookupsByNameAndType) {
  const CCoderList& d = registry_->decoders;
  // By name: always the first row, whatever the case.
  const CoderRegistration* wma = d.FindByName("[ds]wma");
  ASSERT_NE(wma, nullptr);
  EXPECT_EQ(wma->inputSubtype, FourccGuid(0x160));
  EXPECT_EQ(d.FindByName("[FFM]CVID"), d.Entries()[18 + 9]) << "first of the two CVID rows";
  EXPECT_EQ(d.FindByName("[FFM]NOPE"), nullptr);
  EXPECT_EQ(d.FindByName(nullptr), nullptr);

  // By type: the row whose input pair matches.
  AM_MEDIA_TYPE mt{};
  mt.majortype = MEDIATYPE_Audio;
  mt.subtype = FourccGuid(0x161);
  const CoderRegistration* second = d.FindByType(&mt, 1);
  ASSERT_NE(second, nullptr);
  EXPECT_STREQ(second->name, "[DS]WMA");
  EXPECT_EQ(second, d.Entries()[1]);
  EXPECT_TRUE(d.HasType(&mt, 1));
  EXPECT_FALSE(d.HasType(&mt, 0)) << "no decoder outputs it";
  mt.subtype = FourccGuid(0x130);
  EXPECT_EQ(d.FindByType(&mt, 1), d.Entries()[4]);
  mt.subtype = FourccGuid(0x674F);
  EXPECT_STREQ(d.FindByType(&mt, 1)->name, "[ACM]VORBIS");
  mt.majortype = MEDIATYPE_Video;  // right subtype, wrong major type
  EXPECT_FALSE(d.HasType(&mt, 1));
  mt.majortype = MEDIATYPE_Video;
  mt.subtype = FourccGuid(MakeFourcc('W', 'M', 'V', '3'));
  EXPECT_EQ(d.FindByType(&mt, 1), d.Entries()[8]);
  mt.subtype = MEDIASUBTYPE_YV12;
  EXPECT_TRUE(d.HasType(&mt, 0)) << "video decoders output YV12";
  EXPECT_EQ(d.FindByType(&mt, 0), d.Entries()[6]);
  EXPECT_TRUE(registry_->videoEncoders.HasType(&mt, 1));
  EXPECT_FALSE(registry_->audioEncoders.HasType(&mt, 1));
  EXPECT_FALSE(d.HasType(nullptr, 1));
  EXPECT_EQ(d.CreateByType(nullptr, 1), nullptr);
}

TEST_F(BuiltinRegistry, EveryCreateFunctionIsSafe) {
  // A row whose module does not open without a job's parameters gives null; the others give modules.
  auto tryAll = [](const auto& list) {
    for (const auto* e : list.Entries()) {
      IMediaModule* m = CreateFromRegistration(e);
      if (m != nullptr) {
        EXPECT_EQ(m->GetRegistration(), e);
        m->Release();
      }
    }
  };
  tryAll(registry_->readers);
  tryAll(registry_->writers);
  tryAll(registry_->decoders);
  tryAll(registry_->audioEncoders);
  tryAll(registry_->videoEncoders);
  tryAll(registry_->audioFilters);
  tryAll(registry_->videoFilters);

  for (const char* name : {"ARESAMPLE", "AVOL"}) {
    IMediaModule* m = registry_->audioFilters.CreateByName(name);
    ASSERT_NE(m, nullptr) << name;
    IMediaTransform* t = QueryAsTransform(m);
    ASSERT_NE(t, nullptr) << name;
    EXPECT_EQ(t->GetRegistration(), registry_->audioFilters.FindByName(name));
    t->Release();
  }
  IMediaModule* recolor = registry_->videoFilters.CreateByName("vrecolor");
  ASSERT_NE(recolor, nullptr);
  EXPECT_NE(static_cast<CVideoFilterHost*>(recolor)->Filter(), nullptr);
  recolor->Release();
  for (const char* name : {"TEST", "VCAPTURE", "VDEINT", "VREFPS", "VWATERMARK", "VGREYSCALE", "VFLIPVERTICAL",
                           "VFLIPHORIZONTAL", "VLEVELS", "VTWEAK"}) {
    IMediaModule* m = registry_->videoFilters.CreateByName(name);
    ASSERT_NE(m, nullptr) << name;
    EXPECT_NE(static_cast<CVideoFilterHost*>(m)->Filter(), nullptr) << name;
    m->Release();
  }
  EXPECT_EQ(registry_->videoFilters.CreateByName("VNOSUCH"), nullptr);
}

TEST(RegistrationList, FirstMatchOnlyAndLabelled) {
  CReaderList readers;
  auto* refusing = new ReaderRegistration;
  CopyRegistryText(refusing->tag, sizeof(refusing->tag), "FIRST");
  CopyRegistryText(refusing->extensions, sizeof(refusing->extensions), "xyz");
  readers.Append(refusing);  // no create function: "not available"
  auto* working = new ReaderRegistration;
  CopyRegistryText(working->tag, sizeof(working->tag), "SECOND");
  CopyRegistryText(working->extensions, sizeof(working->extensions), "xyz;abc");
  working->create = CreateFakeReader;
  readers.Append(working);
  EXPECT_EQ(readers.CreateByExtension("a.xyz"), nullptr) << "later rows are not tried";
  EXPECT_EQ(TagAndRelease(readers.CreateByExtension("a.ABC")), "SECOND");
  EXPECT_EQ(LiveFakeReaders(), 0);

  CCoderList coders;
  auto* c = new CoderRegistration;
  CopyRegistryText(c->name, sizeof(c->name), "[X]ONE");
  c->create = [](CParamList* p) -> IMediaModule* {
    EXPECT_NE(p, nullptr);
    EXPECT_EQ(p->GetInt("K", 0), 7) << "the entry's own list";
    return nullptr;
  };
  c->params = new CParamList;
  c->params->SetInt("K", 7);
  coders.Append(c);
  EXPECT_EQ(coders.CreateByName("[x]one"), nullptr);
}

class ReaderChoice : public BuiltinRegistry {
 protected:
  static void SetUpTestSuite() {
    BuiltinRegistry::SetUpTestSuite();
    UseFakeReaders(registry_->readers);
    dir_ = FreshTestFolder("reader_choice");
    WriteBytes(dir_ + "/riff_avi.bin", Riff("AVI "));
    WriteBytes(dir_ + "/riff_avix.bin", Riff("AVIX"));
    WriteBytes(dir_ + "/riff_wave.bin", Riff("WAVE"));
    WriteBytes(dir_ + "/riff_rmid.avi", Riff("RMID"));
    WriteBytes(dir_ + "/flv.bin", {'F', 'L', 'V', 1, 5, 0, 0, 0, 9});
    WriteBytes(dir_ + "/amr.bin", Bytes("#!AMR\n\x3c"));
    WriteBytes(dir_ + "/awb.bin", Bytes("#!AMR-WB\n\x04"));
    WriteBytes(dir_ + "/asf.bin",
               {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C, 0});
    WriteBytes(dir_ + "/empty.MP3", {});
    WriteBytes(dir_ + "/unknown", Bytes("nothing to see here"));
    std::filesystem::create_directories(dir_ + "/folder.mp4");
    const std::string ff = "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc=size=64x48:rate=25 -t 0.2 ";
    ffmpegOk_ = std::system((ff + "-c:v mpeg1video -f mpeg " + dir_ + "/ps1").c_str()) == 0 &&
                std::system((ff + "-c:v mpeg2video -f vob " + dir_ + "/ps2").c_str()) == 0 &&
                std::system((ff + "-c:v mpeg2video -f vob " + dir_ + "/ps2.mpg").c_str()) == 0 &&
                std::system((ff + "-c:v libx264 -f h264 " + dir_ + "/raw.H264").c_str()) == 0 &&
                std::system((ff + "-c:v libx264 -f h264 " + dir_ + "/raw.264").c_str()) == 0;
  }
  static std::string dir_;
  static bool ffmpegOk_;
};
std::string ReaderChoice::dir_;
bool ReaderChoice::ffmpegOk_ = false;

TEST_F(ReaderChoice, BySignatureExtensionAndPrefix) {
  ASSERT_TRUE(ffmpegOk_) << "ffmpeg could not make the MPEG and H.264 samples";
  struct Case {
    std::string path;
    const char* tag;  // "" for no reader
    bool notAFile;
    int row;  // expected reader row, -1 to skip
  };
  const Case cases[] = {
      {dir_ + "/riff_avi.bin", "AVI", false, 5},
      {dir_ + "/riff_avix.bin", "AVI", false, 5},
      {dir_ + "/riff_wave.bin", "WAV", false, 33},
      {dir_ + "/riff_rmid.avi", "", false, -1},  // RIFF of another form, no "avi" extension row
      {dir_ + "/ps1", "MPEG1", false, 19},
      {dir_ + "/ps2", "MPEG2", false, 26},
      {dir_ + "/ps2.mpg", "MPEG2", false, 26},  // the signature wins over the extension
      {dir_ + "/raw.H264", "264", false, 14},   // second "264" row holds "h264"
      {dir_ + "/raw.264", "264", false, 13},
      {dir_ + "/flv.bin", "FLV", false, 34},
      {dir_ + "/amr.bin", "AMR", false, 47},
      {dir_ + "/awb.bin", "AWB", false, 48},
      {dir_ + "/asf.bin", "ASF", false, 6},
      {dir_ + "/empty.MP3", "MP3", false, 7},
      {dir_ + "/unknown", "", false, -1},
      {dir_ + "/missing.mp4", "", true, -1},  // cannot open: only prefixes count
      {dir_ + "/folder.mp4", "", true, -1},   // not a file
      {"dvd:" + dir_ + "/disc", "DVD", true, 3},
      {"DVD:/dev/sr0", "DVD", true, 3},
      {"dvd", "", true, -1},
  };
  for (const Case& c : cases) {
    bool notAFile = !c.notAFile;
    ::testing::internal::CaptureStdout();
    IMediaModule* m = registry_->CreateReaderForPath(c.path.c_str(), &notAFile);
    const std::string out = ::testing::internal::GetCapturedStdout();
    if (c.row >= 0 && m != nullptr) {
      EXPECT_EQ(m->GetRegistration(), registry_->readers.Entries()[size_t(c.row)]) << c.path;
    }
    EXPECT_EQ(TagAndRelease(m), c.tag) << c.path;
    EXPECT_EQ(notAFile, c.notAFile) << c.path;
    if (c.notAFile) {
      EXPECT_NE(out.find("cannot open file " + c.path + "\n"), std::string::npos) << out;
    }
    if (*c.tag) {
      EXPECT_NE(out.find("File:" + c.path + " fmt:" + c.tag + "\n"), std::string::npos) << out;
    }
  }
  EXPECT_EQ(LiveFakeReaders(), 0);
}

TEST_F(ReaderChoice, SignatureChosenReaderThatRefusesFallsBackToExtension) {
  // The AVI row stands for a reader that cannot be made: extension next.
  ReaderRegistration* avi = registry_->readers.Entries()[5];
  avi->create = nullptr;
  WriteBytes(dir_ + "/riff.m2v", Riff("AVI "));
  EXPECT_EQ(TagAndRelease(registry_->CreateReaderForPath((dir_ + "/riff.m2v").c_str())), "M2V");
  avi->create = CreateFakeReader;
}

TEST(ReaderList, NegativeOffsetSignature) {
  const std::string dir = FreshTestFolder("negative_offset");
  CReaderList readers;
  auto* e = new ReaderRegistration;
  CopyRegistryText(e->tag, sizeof(e->tag), "TAGGED");
  ASSERT_TRUE(e->AddSignature("-4,4,,54414721"));
  e->create = CreateFakeReader;
  readers.Append(e);
  const struct {
    std::vector<uint8_t> content;
    const char* tag;
  } cases[] = {{Bytes("xxxxTAG!"), "TAGGED"}, {Bytes("TAG!"), "TAGGED"}, {Bytes("TAG!x"), ""}, {Bytes("AG!"), ""}};
  int i = 0;
  for (const auto& c : cases) {
    const std::string path = dir + "/f" + std::to_string(i++);
    WriteBytes(path, c.content);
    const int fd = open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(TagAndRelease(readers.CreateBySignature(fd)), c.tag) << path;
    close(fd);
  }
  EXPECT_EQ(readers.CreateBySignature(-1), nullptr);
}

}  // namespace
