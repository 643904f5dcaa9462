// Support functions shared by the modules that host a private filter graph
// (the coder, reader and writer modules): making a filter from a display
// name, collecting a filter's pins, reading a pin's types, connecting or
// testing two pins, and running a graph without a clock.
#pragma once

#include <cstdint>

#include "platform/dshow/dshow_interfaces.h"

// A filter of the moniker table by display name (the stand-in filters are
// registered first). true with *out holding one reference; false when the
// name is malformed or names no filter here.
bool CreateFilterFromDisplayName(const char16_t* displayName, IBaseFilter** out);

// The filter's pins in order, skipping pins whose id begins with '~', into
// the two arrays (no references: the filter keeps them). *inputCount and
// *outputCount give the room on entry and the counts on success. false when
// a direction has more pins than room or fewer than its minimum.
bool CollectFilterPins(IBaseFilter* filter, IPin** inputs, int32_t* inputCount, IPin** outputs, int32_t* outputCount,
                       int32_t minInputs, int32_t minOutputs);

// The pin's type at the index, deep-copied into out (an NV12 type is given as
// YV12). S_OK; 0x80040201 past the last type; E_FAIL when the pin cannot
// enumerate.
HRESULT GetPinMediaType(IPin* pin, uint32_t index, AM_MEDIA_TYPE* out);

// mode 0 connects output to input with the type (through the graph when one
// is given), mode 1 only asks the input pin whether it takes the type, any
// other mode disconnects the output pin and the pin it fed. S_OK;
// VFW_E_INVALIDMEDIATYPE when no type fits; E_FAIL for any other refusal.
HRESULT ConnectPins(IPin* output, IPin* input, const AM_MEDIA_TYPE* type, int32_t mode, IGraphBuilder* graph = nullptr);

// Runs the graph without a reference clock: as fast as its filters go.
HRESULT SetNoClock(IGraphBuilder* graph);

// A private filter graph with its control and event interfaces (one reference each).
struct PrivateGraph {
  Ref<IGraphBuilder> graph;
  Ref<IMediaControl> control;
  Ref<IMediaEventEx> events;

  // A new empty graph (the stand-in filters registered first); E_FAIL when it cannot be made.
  HRESULT Create();
  // Releases the three (the graph removes the filters still in it).
  void Release();
};
