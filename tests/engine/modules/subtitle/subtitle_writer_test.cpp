// The subtitle writer: the inputs it takes, the overlay it feeds sample by
// sample (and only during the call), end of stream, and what it does alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/param_list.h"
#include "engine/modules/subtitle/subtitle_writer.h"
#include "platform/media_sample.h"
#include "plugin-api/subtitle_types.h"

namespace {

// An overlay module that records what each SetParams call carried.
class RecordingOverlay final : public CTransformModule {
 public:
  HRESULT SetParams(CParamList* params) override {
    auto* sample = static_cast<IMediaSample*>(params->GetPtr("SAMPLE", nullptr));
    if (!sample) return S_OK;
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    texts.emplace_back(reinterpret_cast<const char*>(data), size_t(sample->GetActualDataLength()));
    // The sample is alive during the call: one reference beside the writer's.
    sample->AddRef();
    references.push_back(sample->Release());
    return S_OK;
  }
  HRESULT Run() override { return S_OK; }
  HRESULT Open(CParamList*) override { return S_OK; }
  HRESULT Close() override { return S_OK; }
  uint32_t GetInputPinCount() override { return 1; }
  uint32_t GetOutputPinCount() override { return 1; }
  HRESULT AddInputPin(const AM_MEDIA_TYPE*, int32_t) override { return E_NOTIMPL; }
  HRESULT SetInputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) override { return S_OK; }
  HRESULT GetInputType(uint32_t, uint32_t, AM_MEDIA_TYPE*) override { return E_FAIL; }
  HRESULT Receive(uint32_t, IMediaSample*) override { return S_OK; }
  HRESULT SetOutputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) override { return S_OK; }
  HRESULT GetOutputType(uint32_t, uint32_t, AM_MEDIA_TYPE*) override { return E_FAIL; }

  std::vector<std::string> texts;
  std::vector<ULONG> references;
};

// A sample that counts its own releases.
class CountedSample final : public CMediaSample {
 public:
  CountedSample(std::string text, bool discontinuity) : CMediaSample(nullptr, nullptr, 0), bytes_(std::move(text)) {
    SetBuffer(reinterpret_cast<BYTE*>(bytes_.data()), LONG(bytes_.size()));
    SetActualDataLength(LONG(bytes_.size()));
    SetDiscontinuity(discontinuity);
    AddRef();  // the test's own reference
  }
  ULONG Refs() { return ULONG(RefCount()); }

 private:
  std::string bytes_;
};

AM_MEDIA_TYPE TypeOf(const GUID& major, const GUID& subtype) {
  AM_MEDIA_TYPE mt;
  InitMediaType(&mt);
  mt.majortype = major;
  mt.subtype = subtype;
  return mt;
}

IMediaWriter* NewWriter() {
  CParamList none;
  return static_cast<IMediaWriter*>(CSubtitleWriter::Create(&none));
}

TEST(SubtitleWriter, TakesSubtitleAndTextStreamsOnly) {
  struct Case {
    const char* label;
    GUID major;
    int32_t flags;
    HRESULT want;
    uint32_t pins;
  };
  const Case cases[] = {
      {"DVD subpictures", MEDIATYPE_Subtitle, 0, S_OK, 1},
      {"text", MEDIATYPE_Text, 0, S_OK, 1},
      {"text subtitles of files", kSubtitleMajorType, 0, S_OK, 1},
      {"video", MEDIATYPE_Video, 0, S_FALSE, 0},
      {"asking only", MEDIATYPE_Subtitle, 1, S_OK, 0},
      {"asking only, video", MEDIATYPE_Video, 1, S_FALSE, 0},
      {"other flags", MEDIATYPE_Video, 2, S_OK, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    IMediaWriter* writer = NewWriter();
    AM_MEDIA_TYPE mt = TypeOf(c.major, kSubtitleUtf8);
    EXPECT_EQ(c.want, writer->AddInputPin(&mt, c.flags));
    EXPECT_EQ(c.pins, writer->GetInputPinCount());
    AM_MEDIA_TYPE back;
    InitMediaType(&back);
    if (c.pins) {
      ASSERT_EQ(S_OK, writer->GetInputType(0, 0, &back));
      EXPECT_EQ(c.major, back.majortype);
      ClearMediaTypeFormat(&back);
      EXPECT_EQ(MODULE_E_NO_TYPE, writer->GetInputType(0, 1, &back));
    } else {
      EXPECT_NE(S_OK, writer->GetInputType(0, 0, &back));
    }
    EXPECT_EQ(0u, writer->GetOutputPinCount());
    ALLOCATOR_PROPERTIES props{};
    ASSERT_EQ(S_OK, writer->GetAllocatorRequirements(0, &props));
    EXPECT_EQ(1, props.cBuffers);
    EXPECT_EQ(131072, props.cbBuffer);
    writer->Close();
    writer->Release();
  }
}

TEST(SubtitleWriter, HandsEachSampleToTheOverlayAndReleasesIt) {
  IMediaWriter* writer = NewWriter();
  auto* overlay = new RecordingOverlay();
  CParamList params;
  params.SetPtr("VOBFILTER", static_cast<IMediaModule*>(overlay));
  EXPECT_EQ(S_OK, writer->SetParams(&params));
  ASSERT_EQ(S_OK, writer->Run());

  auto* first = new CountedSample("first", false);
  auto* marker = new CountedSample("", true);  // a seek marker: not for the overlay
  auto* flagged = new CountedSample("after a seek", true);
  auto* blankish = new CountedSample("", false);
  for (CountedSample* s : {first, marker, flagged, blankish}) {
    s->AddRef();  // the reference the writer gives up
    EXPECT_EQ(S_OK, writer->Receive(0, s));
    EXPECT_EQ(1u, s->Refs());
  }
  EXPECT_EQ((std::vector<std::string>{"first", "after a seek", ""}), overlay->texts);
  EXPECT_EQ((std::vector<ULONG>{2, 2, 2}), overlay->references);
  EXPECT_EQ(WRITER_RUNNING, writer->GetState());
  EXPECT_EQ(S_OK, writer->Receive(0, nullptr));
  EXPECT_EQ(WRITER_FINISHED, writer->GetState());
  EXPECT_EQ(S_OK, writer->Run());  // a new run starts unfinished
  EXPECT_EQ(WRITER_RUNNING, writer->GetState());
  for (CountedSample* s : {first, marker, flagged, blankish}) s->Release();
  writer->Close();
  writer->Release();
  overlay->Release();
}

TEST(SubtitleWriter, WithoutAnOverlaySamplesAreDroppedAndTheStreamStillEnds) {
  IMediaWriter* writer = NewWriter();
  ASSERT_EQ(S_OK, writer->SetOutput("ignored.sub", nullptr));
  auto* sample = new CountedSample("lost", false);
  sample->AddRef();
  EXPECT_EQ(S_OK, writer->Receive(0, sample));
  EXPECT_EQ(1u, sample->Refs());
  EXPECT_EQ(S_OK, writer->Receive(0, nullptr));
  EXPECT_EQ(WRITER_FINISHED, writer->GetState());
  EXPECT_EQ(S_OK, writer->CloseOutput());
  sample->Release();
  writer->Close();
  writer->Release();
}

}  // namespace
