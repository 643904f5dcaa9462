// The filter-graph layer: filter states, allocator negotiation, direct
// connections, flush / end of stream / new segment through a chain, graph
// events, stopping while a streaming thread waits for buffers, and the
// moniker table with graph building over it.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/dshow/filter_graph.h"
#include "platform/dshow/moniker_table.h"
#include "platform/task_allocator.h"
#include "tests/platform/dshow/test_filters.h"

using namespace dstest;
using namespace std::chrono_literals;

namespace {

Ref<IGraphBuilder> NewGraph() {
  Ref<IGraphBuilder> g;
  EXPECT_EQ(S_OK, CreateFilterGraph(g.Out()));
  return g;
}

Ref<IMediaControl> Control(IGraphBuilder* g) { return QueryRef<IMediaControl>(g, IID_IMediaControl); }
Ref<IMediaEvent> Events(IGraphBuilder* g) { return QueryRef<IMediaEvent>(g, IID_IMediaEvent); }

// Waits for the next event other than the ones listed to skip; 0 on time-out.
LONG NextEvent(IGraphBuilder* g, LONG timeoutMs = 5000) {
  LONG code = 0;
  intptr_t a = 0, b = 0;
  return Events(g)->GetEvent(&code, &a, &b, timeoutMs) == S_OK ? code : 0;
}

// source -> transform -> renderer, all added and connected.
struct Chain {
  Ref<IGraphBuilder> graph = NewGraph();
  TestSource* source = Make<TestSource>();
  TestTransform* transform = Make<TestTransform>();
  TestRenderer* renderer = Make<TestRenderer>();

  Chain() {
    EXPECT_EQ(S_OK, graph->AddFilter(source, u"source"));
    EXPECT_EQ(S_OK, graph->AddFilter(transform, u"transform"));
    EXPECT_EQ(S_OK, graph->AddFilter(renderer, u"renderer"));
    EXPECT_EQ(S_OK, graph->ConnectDirect(source->OutPin(), transform->GetPin(0), nullptr));
    EXPECT_EQ(S_OK, graph->ConnectDirect(transform->GetPin(1), renderer->GetPin(0), nullptr));
  }
  ~Chain() {
    Control(graph.Get())->Stop();
    graph.Reset();
    source->Release();
    transform->Release();
    renderer->Release();
  }
};

}  // namespace

TEST(DshowLayer, FilterStatesFollowStopPauseRun) {
  Chain c;
  FILTER_STATE s = State_Running;
  ASSERT_EQ(S_OK, c.source->GetState(0, &s));
  EXPECT_EQ(State_Stopped, s);
  // Run from stopped passes through pause: the pins are active and streaming.
  c.renderer->keep = false;
  ASSERT_EQ(S_OK, Control(c.graph.Get())->Run());
  for (CBaseFilter* f : {static_cast<CBaseFilter*>(c.source), static_cast<CBaseFilter*>(c.transform),
                         static_cast<CBaseFilter*>(c.renderer)})
    EXPECT_EQ(State_Running, f->State());
  ASSERT_EQ(EC_COMPLETE, NextEvent(c.graph.Get()));
  EXPECT_EQ(1, c.source->threadsStarted.load());
  EXPECT_EQ(10u, c.renderer->Count());
  ASSERT_EQ(S_OK, Control(c.graph.Get())->Pause());
  EXPECT_EQ(State_Paused, c.renderer->State());
  ASSERT_EQ(S_OK, Control(c.graph.Get())->Stop());
  EXPECT_EQ(State_Stopped, c.source->State());
  EXPECT_FALSE(c.source->OutPin()->ThreadRunning());
  // The allocator went with the stop: buffers come back only after the next pause.
  IMediaSample* sample = nullptr;
  EXPECT_EQ(VFW_E_NOT_COMMITTED, c.source->OutPin()->GetDeliveryBuffer(&sample, nullptr, nullptr, 0));
  FILTER_STATE gs = State_Running;
  EXPECT_EQ(S_OK, Control(c.graph.Get())->GetState(0, &gs));
  EXPECT_EQ(State_Stopped, gs);
}

TEST(DshowLayer, PausedRendererHoldsTheFirstSampleUntilRun) {
  Chain c;
  ASSERT_EQ(S_OK, Control(c.graph.Get())->Pause());
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(0u, c.renderer->Count());
  EXPECT_LE(c.source->OutPin()->filled.load(), 4);  // two buffers upstream of the held one, at most
  ASSERT_EQ(S_OK, Control(c.graph.Get())->Run());
  EXPECT_TRUE(c.renderer->WaitForCount(10));
  EXPECT_EQ(EC_COMPLETE, NextEvent(c.graph.Get()));
}

TEST(DshowLayer, AllocatorComesFromTheInputPinWithItsRequirements) {
  // The transform's input offers its own allocator: the source uses it,
  // with at least the source's own two buffers.
  Chain c;
  IMemAllocator* in = static_cast<CBaseInputPin*>(c.transform->GetPin(0))->Allocator();
  ASSERT_NE(nullptr, in);
  EXPECT_EQ(in, c.source->OutPin()->Allocator());
  ALLOCATOR_PROPERTIES props{};
  ASSERT_EQ(S_OK, in->GetProperties(&props));
  EXPECT_EQ(2, props.cBuffers);
  EXPECT_EQ(64, props.cbBuffer);
}

namespace {

// An input pin that asks for 5 buffers of 256 bytes aligned to 16, or offers no allocator.
class DemandingRenderer : public TestRenderer {
 public:
  class Pin : public CBaseInputPin {
   public:
    Pin(DemandingRenderer* owner, std::recursive_mutex* lock) : CBaseInputPin(owner, lock, u"In") {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE*) override { return S_OK; }
    HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* p) override {
      *p = ALLOCATOR_PROPERTIES{5, 256, 16, 0};
      return S_OK;
    }
    HRESULT GetAllocator(IMemAllocator** a) override {
      if (offerNone) {
        *a = nullptr;
        return VFW_E_NO_ALLOCATOR;
      }
      return CBaseInputPin::GetAllocator(a);
    }
    HRESULT BeginFlush() override { return CBaseInputPin::BeginFlush(); }
    HRESULT EndFlush() override { return CBaseInputPin::EndFlush(); }
    bool offerNone = false;
  };
  DemandingRenderer() : pin_(this, &lock_) {}
  int32_t GetPinCount() override { return 1; }
  CBasePin* GetPin(int32_t i) override { return i == 0 ? &pin_ : nullptr; }
  Pin pin_;

 private:
  std::recursive_mutex lock_;
};

}  // namespace

TEST(DshowLayer, AllocatorNegotiationHonoursRequirementsOrFallsBackToOwn) {
  for (bool offerNone : {false, true}) {
    SCOPED_TRACE(offerNone ? "input offers no allocator" : "input offers its allocator");
    Ref<IGraphBuilder> g = NewGraph();
    TestSource* source = Make<TestSource>();
    auto* sink = Make<DemandingRenderer>();
    sink->pin_.offerNone = offerNone;
    g->AddFilter(source, u"s");
    g->AddFilter(sink, u"r");
    ASSERT_EQ(S_OK, g->ConnectDirect(source->OutPin(), &sink->pin_, nullptr));
    const ALLOCATOR_PROPERTIES seen = source->OutPin()->seenRequest;
    EXPECT_EQ(5, seen.cBuffers);
    EXPECT_EQ(256, seen.cbBuffer);
    EXPECT_EQ(16, seen.cbAlign);
    EXPECT_EQ(5, source->OutPin()->grantedBuffers);
    // Whichever allocator was agreed, the input pin was told about it.
    EXPECT_EQ(source->OutPin()->Allocator(), sink->pin_.Allocator());
    g.Reset();
    source->Release();
    sink->Release();
  }
}

TEST(DshowLayer, ConnectionRefusalsLeaveBothPinsFree) {
  Ref<IGraphBuilder> g = NewGraph();
  TestSource* source = Make<TestSource>();
  TestSource* other = Make<TestSource>();
  TestRenderer* renderer = Make<TestRenderer>(kTypeC);
  TestRenderer* outside = Make<TestRenderer>(kTypeA);
  g->AddFilter(source, u"s");
  g->AddFilter(other, u"s");  // same name: numbered
  g->AddFilter(renderer, u"r");
  FILTER_INFO info{};
  other->QueryFilterInfo(&info);
  EXPECT_EQ(std::u16string(u"s 0001"), std::u16string(info.achName));
  info.pGraph->Release();

  AM_MEDIA_TYPE wrong = MakeType(kTypeB);
  EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, g->ConnectDirect(source->OutPin(), renderer->GetPin(0), &wrong));
  EXPECT_EQ(VFW_E_NO_ACCEPTABLE_TYPES, g->ConnectDirect(source->OutPin(), renderer->GetPin(0), nullptr));
  EXPECT_EQ(VFW_E_INVALID_DIRECTION, g->ConnectDirect(source->OutPin(), other->OutPin(), nullptr));
  EXPECT_EQ(VFW_E_NOT_IN_GRAPH, g->ConnectDirect(source->OutPin(), outside->GetPin(0), nullptr));
  source->refuseBuffers = true;
  EXPECT_TRUE(FAILED(outside->GetPin(0)->ReceiveConnection(nullptr, nullptr)));
  EXPECT_NE(S_OK, source->OutPin()->Connect(outside->GetPin(0), nullptr));
  for (CBasePin* p : {static_cast<CBasePin*>(source->OutPin()), renderer->GetPin(0), outside->GetPin(0)}) {
    EXPECT_FALSE(p->IsConnected());
    IPin* peer = nullptr;
    EXPECT_EQ(VFW_E_NOT_CONNECTED, p->ConnectedTo(&peer));
  }
  // A pin that is connected refuses a second connection.
  source->refuseBuffers = false;
  ASSERT_EQ(S_OK, source->OutPin()->Connect(outside->GetPin(0), nullptr));
  EXPECT_EQ(VFW_E_ALREADY_CONNECTED, source->OutPin()->Connect(outside->GetPin(0), nullptr));
  source->OutPin()->Disconnect();
  outside->GetPin(0)->Disconnect();
  g.Reset();
  for (CBaseFilter* f : {static_cast<CBaseFilter*>(source), static_cast<CBaseFilter*>(other),
                         static_cast<CBaseFilter*>(renderer), static_cast<CBaseFilter*>(outside)})
    f->Release();
}

TEST(DshowLayer, DirectConnectAgreesOnTheGivenTypeAndCopiesIt) {
  Chain c;
  AM_MEDIA_TYPE mt{};
  ASSERT_EQ(S_OK, c.transform->GetPin(1)->ConnectionMediaType(&mt));
  EXPECT_EQ(kTypeB, mt.subtype);
  DsFreeMediaType(&mt);
  WCHAR* id = nullptr;
  ASSERT_EQ(S_OK, c.transform->GetPin(1)->QueryId(&id));
  EXPECT_EQ(std::u16string(u"Out"), std::u16string(id));
  CoTaskMemFree(id);
  // Enumeration: one type, Skip past it answers S_FALSE, Next gives nothing.
  Ref<IEnumMediaTypes> types;
  ASSERT_EQ(S_OK, c.source->OutPin()->EnumMediaTypes(types.Out()));
  EXPECT_EQ(S_OK, types->Skip(1));
  AM_MEDIA_TYPE* got = nullptr;
  ULONG n = 5;
  EXPECT_EQ(S_FALSE, types->Next(1, &got, &n));
  EXPECT_EQ(0u, n);
  EXPECT_EQ(S_FALSE, types->Skip(1));
}

TEST(DshowLayer, DisconnectOrRemoveWhileRunningIsRefused) {
  Chain c;
  ASSERT_EQ(S_OK, Control(c.graph.Get())->Run());
  EXPECT_EQ(VFW_E_NOT_STOPPED, c.transform->GetPin(1)->Disconnect());
  EXPECT_EQ(VFW_E_NOT_STOPPED, c.graph->Disconnect(c.renderer->GetPin(0)));
  EXPECT_EQ(VFW_E_NOT_STOPPED, c.graph->RemoveFilter(c.transform));
  EXPECT_TRUE(c.renderer->WaitForCount(10));
  EXPECT_EQ(EC_COMPLETE, NextEvent(c.graph.Get()));
  ASSERT_EQ(S_OK, Control(c.graph.Get())->Stop());
  EXPECT_EQ(S_OK, c.graph->RemoveFilter(c.transform));
  EXPECT_FALSE(c.source->OutPin()->IsConnected());
  EXPECT_FALSE(static_cast<CBasePin*>(c.renderer->GetPin(0))->IsConnected());
}

TEST(DshowLayer, FlushEndOfStreamAndNewSegmentReachTheRenderer) {
  Chain c;
  c.source->frames = 100;
  ASSERT_EQ(S_OK, Control(c.graph.Get())->Pause());  // samples queue up, none rendered
  // Seeking the graph goes through the renderer's pass-through and the
  // transform's output pin to the source, which flushes and starts a new segment.
  Ref<IMediaSeeking> seeking = QueryRef<IMediaSeeking>(c.graph.Get(), IID_IMediaSeeking);
  ASSERT_TRUE(seeking);
  LONGLONG duration = 0;
  EXPECT_EQ(S_OK, seeking->GetDuration(&duration));
  EXPECT_EQ(100 * kFrame, duration);
  LONGLONG target = 90 * kFrame;
  ASSERT_EQ(S_OK, seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, 0));
  EXPECT_EQ(1, c.source->seeks.load());
  EXPECT_EQ(1, c.renderer->beginFlushes.load());
  EXPECT_EQ(1, c.renderer->endFlushes.load());
  ASSERT_EQ(S_OK, Control(c.graph.Get())->Run());
  EXPECT_EQ(EC_COMPLETE, NextEvent(c.graph.Get()));
  EXPECT_EQ(1, c.renderer->eos.load());
  ASSERT_EQ(std::vector<REFERENCE_TIME>{90 * kFrame}, c.renderer->Segments());
  // Rendered after the seek: frames 90 to 99 (the one held across the flush was dropped).
  const std::vector<int> bytes = c.renderer->Bytes();
  ASSERT_GE(bytes.size(), 10u);
  EXPECT_EQ(90, bytes[bytes.size() - 10]);
  EXPECT_EQ(99, bytes.back());
  // IMediaPosition of the graph speaks seconds.
  Ref<IMediaPosition> position = QueryRef<IMediaPosition>(c.graph.Get(), IID_IMediaPosition);
  REFTIME seconds = 0;
  EXPECT_EQ(S_OK, position->get_Duration(&seconds));
  EXPECT_DOUBLE_EQ(4.0, seconds);
}

TEST(DshowLayer, GraphEventsCompleteOnceEveryRendererHasEnded) {
  Ref<IGraphBuilder> g = NewGraph();
  TestSource* source = Make<TestSource>(2);
  TestTransform* t1 = Make<TestTransform>();
  TestTransform* t2 = Make<TestTransform>();
  TestRenderer* r1 = Make<TestRenderer>();
  TestRenderer* r2 = Make<TestRenderer>();
  source->frames = 5;
  for (auto [f, n] :
       {std::pair<IBaseFilter*, const char16_t*>{source, u"s"}, {t1, u"t1"}, {t2, u"t2"}, {r1, u"r1"}, {r2, u"r2"}})
    g->AddFilter(f, n);
  // Intelligent connect would also do; here the chains are made by hand.
  ASSERT_EQ(S_OK, g->ConnectDirect(source->OutPin(0), t1->GetPin(0), nullptr));
  ASSERT_EQ(S_OK, g->ConnectDirect(source->OutPin(1), t2->GetPin(0), nullptr));
  ASSERT_EQ(S_OK, g->ConnectDirect(t1->GetPin(1), r1->GetPin(0), nullptr));
  ASSERT_EQ(S_OK, g->ConnectDirect(t2->GetPin(1), r2->GetPin(0), nullptr));
  ASSERT_EQ(S_OK, Control(g.Get())->Run());
  LONG code = 0;
  ASSERT_EQ(S_OK, Events(g.Get())->WaitForCompletion(5000, &code));
  EXPECT_EQ(EC_COMPLETE, code);
  EXPECT_EQ(1, r1->eos.load());
  EXPECT_EQ(1, r2->eos.load());
  // One EC_COMPLETE for the graph, not one per renderer.
  EXPECT_EQ(0, NextEvent(g.Get(), 100));
  intptr_t a = 0, b = 0;
  EXPECT_EQ(E_ABORT, Events(g.Get())->GetEvent(&code, &a, &b, 0));
  // After a stop and a new run the renderers count again.
  Control(g.Get())->Stop();
  ASSERT_EQ(S_OK, Control(g.Get())->Run());
  EXPECT_EQ(EC_COMPLETE, NextEvent(g.Get()));
  Control(g.Get())->Stop();
  g.Reset();
  for (CBaseFilter* f : std::initializer_list<CBaseFilter*>{source, t1, t2, r1, r2}) f->Release();
}

TEST(DshowLayer, StreamingFailureReportsErrorAbortAndEndsTheStream) {
  Chain c;
  c.source->failAt = 3;
  ASSERT_EQ(S_OK, Control(c.graph.Get())->Run());
  LONG code = 0;
  ASSERT_EQ(S_OK, Events(c.graph.Get())->WaitForCompletion(5000, &code));
  EXPECT_EQ(EC_ERRORABORT, code);
  EXPECT_EQ(EC_COMPLETE, NextEvent(c.graph.Get()));  // the stream still ends downstream
  EXPECT_EQ(3u, c.renderer->Count());
  EXPECT_EQ(1, c.renderer->eos.load());
}

TEST(DshowLayer, StoppingTheSourceAloneEndsItsWaitForABuffer) {
  // Source straight into a renderer that keeps its samples: the source's own
  // thread waits for a buffer of the renderer's allocator, which stays committed.
  Ref<IGraphBuilder> g = NewGraph();
  TestSource* source = Make<TestSource>();
  TestRenderer* renderer = Make<TestRenderer>(kTypeA);
  source->frames = 1000;
  renderer->keep = true;
  g->AddFilter(source, u"s");
  g->AddFilter(renderer, u"r");
  ASSERT_EQ(S_OK, g->ConnectDirect(source->OutPin(), renderer->GetPin(0), nullptr));
  ASSERT_EQ(S_OK, Control(g.Get())->Run());
  ASSERT_TRUE(renderer->WaitForCount(2));
  std::this_thread::sleep_for(50ms);
  EXPECT_TRUE(source->OutPin()->ThreadRunning());
  ASSERT_EQ(S_OK, source->Stop());
  EXPECT_FALSE(source->OutPin()->ThreadRunning());
  EXPECT_EQ(2u, renderer->Count());
  Control(g.Get())->Stop();
  renderer->ReleaseKept();
  g.Reset();
  source->Release();
  renderer->Release();
}

TEST(DshowLayer, StopJoinsTheStreamingThreadWhileItWaitsForABuffer) {
  // The renderer keeps every sample: the transform's two buffers are soon
  // all held and its upstream thread waits in GetBuffer for good.
  Chain c;
  c.source->frames = 1000;
  c.renderer->keep = true;
  ASSERT_EQ(S_OK, Control(c.graph.Get())->Run());
  ASSERT_TRUE(c.renderer->WaitForCount(2));
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(2u, c.renderer->Count());
  EXPECT_TRUE(c.source->OutPin()->ThreadRunning());
  const auto before = std::chrono::steady_clock::now();
  ASSERT_EQ(S_OK, Control(c.graph.Get())->Stop());
  EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
  EXPECT_FALSE(c.source->OutPin()->ThreadRunning());
  c.renderer->ReleaseKept();  // the buffers go back to a decommitted allocator
  // A second run streams again from where it was.
  c.renderer->keep = false;
  ASSERT_EQ(S_OK, Control(c.graph.Get())->Run());
  EXPECT_TRUE(c.renderer->WaitForCount(10));
  ASSERT_EQ(S_OK, Control(c.graph.Get())->Stop());
}

TEST(DshowLayer, MonikerTableBindsByDisplayNameAndRanksByMerit) {
  CMonikerTable& table = CMonikerTable::Instance();
  const std::u16string low = u"@device:sw:{7E570000-0000-0000-0000-000000000000}\\low";
  const std::u16string high = u"@device:dmo:{7E570000-0000-0000-0000-000000000001}{cat}";
  auto makeTransform = [](void*) -> IBaseFilter* { return Make<TestTransform>(); };
  table.Register(
      MonikerEntry{low, "low", FilterRole::kTransform, 10, {{MEDIATYPE_Video, kTypeA}}, {}, {}, makeTransform, nullptr});
  table.Register(
      MonikerEntry{high, "high", FilterRole::kTransform, 20, {{GUID_NULL, kTypeA}}, {}, {}, makeTransform, nullptr});
  const AM_MEDIA_TYPE a = MakeType(kTypeA);
  const AM_MEDIA_TYPE b = MakeType(kTypeB);
  std::vector<MonikerEntry> found = table.Find(FilterRole::kTransform, &a);
  ASSERT_GE(found.size(), 2u);
  EXPECT_EQ("high", found[0].friendlyName);
  EXPECT_EQ("low", found[1].friendlyName);
  for (const MonikerEntry& e : table.Find(FilterRole::kTransform, &b))
    EXPECT_TRUE(e.friendlyName != "high" && e.friendlyName != "low");

  // Names compare without case.
  Ref<IBaseFilter> f;
  EXPECT_EQ(S_OK, table.Bind(u"@DEVICE:SW:{7e570000-0000-0000-0000-000000000000}\\LOW", f.Out()));
  EXPECT_TRUE(f);
  struct Case {
    const char16_t* name;
    HRESULT want;
  };
  for (const Case& k : {Case{u"", MK_E_SYNTAX}, Case{u"vp62", MK_E_SYNTAX}, Case{u"@device:x:", MK_E_SYNTAX},
                        Case{u"@device:cm:", MK_E_SYNTAX}, Case{u"@device:c1:{a}", MK_E_SYNTAX},
                        Case{u"@device:cm:{33D9A760-90C8-11D0-BD43-00A0C911CE86}\\vp62", MK_E_NOOBJECT}}) {
    SCOPED_TRACE(DsNarrow(k.name));
    IBaseFilter* none = reinterpret_cast<IBaseFilter*>(1);
    EXPECT_EQ(k.want, table.Bind(k.name, &none));
    EXPECT_EQ(nullptr, none);
  }
  EXPECT_TRUE(table.Unregister(high.c_str()));
  EXPECT_FALSE(table.Unregister(high.c_str()));
  EXPECT_EQ(MK_E_NOOBJECT, table.Bind(high.c_str(), f.Out()));
  table.Unregister(low.c_str());
}

TEST(DshowLayer, RenderFileBuildsThroughTheTableAndReportsPartialRenders) {
  CMonikerTable& table = CMonikerTable::Instance();
  const std::u16string src = u"@device:sw:{7E570000-0000-0000-0000-000000000010}\\src";
  const std::u16string dec = u"@device:sw:{7E570000-0000-0000-0000-000000000010}\\dec";
  const std::u16string ren = u"@device:sw:{7E570000-0000-0000-0000-000000000010}\\ren";
  table.Register(MonikerEntry{src,
                             "Test Source",
                             FilterRole::kSource,
                             1,
                             {},
                             {},
                             {"tst"},
                             [](void*) -> IBaseFilter* {
                               auto* s = Make<TestSource>(2);
                               s->frames = 3;
                               return s;
                             },
                             nullptr});
  table.Register(MonikerEntry{dec,
                             "Test Decoder",
                             FilterRole::kTransform,
                             5,
                             {{MEDIATYPE_Video, kTypeA}},
                             {},
                             {},
                             [](void*) -> IBaseFilter* { return Make<TestTransform>(); },
                             nullptr});
  table.Register(MonikerEntry{ren,
                             "Test Renderer",
                             FilterRole::kRenderer,
                             5,
                             {{MEDIATYPE_Video, kTypeB}},
                             {},
                             {},
                             [](void*) -> IBaseFilter* { return Make<TestRenderer>(); },
                             nullptr});
  {
    Ref<IGraphBuilder> g = NewGraph();
    ASSERT_EQ(S_OK, g->RenderFile(u"/media/clip.TST", nullptr));
    // source, and per pin a decoder and a renderer
    Ref<IEnumFilters> e;
    g->EnumFilters(e.Out());
    int count = 0;
    IBaseFilter* f = nullptr;
    ULONG n = 0;
    while (e->Next(1, &f, &n) == S_OK) {
      ++count;
      f->Release();
    }
    EXPECT_EQ(5, count);
    Ref<IBaseFilter> found;
    EXPECT_EQ(S_OK, g->FindFilterByName(u"/media/clip.TST", found.Out()));
    ASSERT_EQ(S_OK, Control(g.Get())->Run());
    LONG code = 0;
    ASSERT_EQ(S_OK, Events(g.Get())->WaitForCompletion(5000, &code));
    EXPECT_EQ(EC_COMPLETE, code);
    Control(g.Get())->Stop();
  }
  {
    // A file the source refuses, and one with an extension nobody claims.
    Ref<IGraphBuilder> g = NewGraph();
    EXPECT_EQ(VFW_E_UNKNOWN_FILE_TYPE, g->RenderFile(u"/media/bad.tst", nullptr));
    EXPECT_EQ(VFW_E_CANNOT_LOAD_SOURCE_FILTER, g->RenderFile(u"/media/clip.xyz", nullptr));
  }
  {
    // Without the renderer nothing renders; with only one of the pins
    // renderable (the other pin taken by a filter already in the graph) the render is partial.
    table.Unregister(ren.c_str());
    Ref<IGraphBuilder> g = NewGraph();
    EXPECT_EQ(VFW_E_CANNOT_RENDER, g->RenderFile(u"/media/clip.tst", nullptr));
    TestRenderer* only = Make<TestRenderer>();
    g->AddFilter(only, u"only");
    EXPECT_EQ(VFW_S_PARTIAL_RENDER, g->RenderFile(u"/media/clip.tst", nullptr));
    g.Reset();
    only->Release();
  }
  table.Unregister(src.c_str());
  table.Unregister(dec.c_str());
}

TEST(DshowLayer, IntelligentConnectInsertsADecoderFromTheTable) {
  CMonikerTable& table = CMonikerTable::Instance();
  const std::u16string dec = u"@device:sw:{7E570000-0000-0000-0000-000000000020}\\dec";
  table.Register(MonikerEntry{dec,
                             "Test Decoder",
                             FilterRole::kTransform,
                             5,
                             {{MEDIATYPE_Video, kTypeA}},
                             {},
                             {},
                             [](void*) -> IBaseFilter* { return Make<TestTransform>(); },
                             nullptr});
  Ref<IGraphBuilder> g = NewGraph();
  TestSource* source = Make<TestSource>();
  TestRenderer* renderer = Make<TestRenderer>();
  g->AddFilter(source, u"s");
  g->AddFilter(renderer, u"r");
  ASSERT_EQ(S_OK, g->Connect(source->OutPin(), renderer->GetPin(0)));
  Ref<IBaseFilter> decoder;
  EXPECT_EQ(S_OK, g->FindFilterByName(u"Test Decoder", decoder.Out()));
  // A renderer that takes nothing the table can make cannot be reached.
  TestRenderer* picky = Make<TestRenderer>(kTypeC);
  TestSource* second = Make<TestSource>();
  g->AddFilter(picky, u"p");
  g->AddFilter(second, u"s2");
  EXPECT_EQ(VFW_E_CANNOT_CONNECT, g->Connect(second->OutPin(), picky->GetPin(0)));
  EXPECT_EQ(VFW_E_NOT_FOUND, g->FindFilterByName(u"Test Decoder 0001", decoder.Out()));
  g.Reset();
  for (CBaseFilter* f : std::initializer_list<CBaseFilter*>{source, renderer, picky, second}) f->Release();
  table.Unregister(dec.c_str());
}

TEST(DshowLayer, WideTextsRoundTripAndReplaceWhatIsNotUtf8) {
  EXPECT_EQ(u"", DsWide(nullptr));
  EXPECT_EQ("", DsNarrow(nullptr));
  EXPECT_EQ(u"a\u00e9\U0001F600", DsWide("a\xc3\xa9\xf0\x9f\x98\x80"));
  EXPECT_EQ("a\xc3\xa9\xf0\x9f\x98\x80", DsNarrow(u"a\u00e9\U0001F600"));
  // A lead byte beyond U+10FFFF and an overlong form give replacements, never stray surrogates.
  EXPECT_EQ(u"\uFFFD\uFFFD\uFFFD\uFFFDx", DsWide("\xf7\xbf\xbf\xbfx"));
  EXPECT_EQ(u"\uFFFD\uFFFD", DsWide("\xc0\xaf"));
}
