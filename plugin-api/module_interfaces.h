// Interfaces of the engine's media modules: one fixed table of virtual
// operations shared by built-in modules and modules inside plug-ins.
// Keep the slot order: plug-ins built separately call through it.
// Results: HRESULT operations answer S_OK or a failure code (callers test != S_OK); counts and states are numbers.
#pragma once

#include <cstdint>

#include "platform/guid.h"
#include "platform/media_sample.h"
#include "platform/media_types.h"
#include "platform/mem_allocator.h"
#include "platform/unknown.h"
#include "platform/win_types.h"

class CParamList;

// Interface codes, FOURCC form {XXXXXXXX-0000-0010-8000-00AA00389B71}.
constexpr GUID IID_IMSM = FourccGuid(MakeFourcc('I', 'M', 'S', 'M'));  // every module
constexpr GUID IID_IMTF = FourccGuid(MakeFourcc('I', 'M', 'T', 'F'));  // transform
constexpr GUID IID_IMRD = FourccGuid(MakeFourcc('I', 'M', 'R', 'D'));  // reader
constexpr GUID IID_IMWR = FourccGuid(MakeFourcc('I', 'M', 'W', 'R'));  // writer

constexpr uint32_t kMaxInputPins = 20;
constexpr uint32_t kMaxOutputPins = 20;

// GetInputType / GetOutputType: no type at this index, or the type is refused.
constexpr HRESULT MODULE_E_NO_TYPE = MakeHResult(0x80040201u);

// Output-pin delivery function: (sample or null for end of stream, context).
using DeliverCallback = HRESULT (*)(IMediaSample* sample, void* context);

// Writer states answered by IMediaWriter::GetState.
enum : int32_t {
  WRITER_RUNNING = 0,
  WRITER_FINISHED = 1,
  WRITER_SOME_INPUTS_FINISHED = 2,
  WRITER_DRAINED_THREAD_RUNNING = 3,
};

// A reader's stream description (GetStreamInfo).
struct StreamInfo {
  int32_t valid;
  int32_t timeBaseNum;
  int32_t timeBaseDen;
  int32_t hasAspect;
  int32_t aspectNum;
  int32_t aspectDen;
  int32_t streamId;
};
static_assert(sizeof(StreamInfo) == 28);

// IMSM: slots 0-26.
struct IMediaModule {
  static constexpr GUID kIid = FourccGuid(MakeFourcc('I', 'M', 'S', 'M'));

  virtual HRESULT QueryInterface(REFIID iid, void** out) = 0;  // 0
  virtual LONG AddRef() = 0;                                   // 1
  virtual LONG Release() = 0;                                  // 2
  virtual HRESULT SetParams(CParamList* params) = 0;           // 3
  virtual HRESULT Run() = 0;                                   // 4
  virtual HRESULT Stop() = 0;                                  // 5
  virtual HRESULT Pause(int32_t pause) = 0;                    // 6
  virtual HRESULT Open(CParamList* params) = 0;                // 7
  // Ends the module's work and frees its resources; the module itself lives until its last Release.
  virtual HRESULT Close() = 0;                                                                   // 8
  virtual uint32_t GetInputPinCount() = 0;                                                       // 9
  virtual uint32_t GetOutputPinCount() = 0;                                                      // 10
  virtual HRESULT AddInputPin(const AM_MEDIA_TYPE* type, int32_t flags) = 0;                     // 11
  virtual HRESULT SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) = 0;   // 12
  virtual HRESULT GetInputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) = 0;           // 13
  virtual HRESULT Receive(uint32_t pin, IMediaSample* sample) = 0;                               // 14
  virtual HRESULT SetOutputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) = 0;  // 15
  virtual HRESULT GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) = 0;          // 16
  virtual HRESULT SetOutputAllocator(uint32_t pin, IMemAllocator* allocator) = 0;                // 17
  virtual HRESULT GetInputAllocator(uint32_t pin, IMemAllocator** allocator) = 0;                // 18
  virtual HRESULT GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) = 0;       // 19
  virtual int32_t AcceptsBlankSample() = 0;                                                      // 20
  virtual HRESULT SetOutputCallback(uint32_t pin, DeliverCallback callback, void* context) = 0;  // 21
  virtual void Lock() = 0;                                                                       // 22
  virtual void Unlock() = 0;                                                                     // 23
  virtual void SetRegistration(const void* registration) = 0;                                    // 24
  virtual const void* GetRegistration() = 0;                                                     // 25
  // Runs the destructor; bit 0 of flags also frees the memory.
  virtual void DeleteThis(int32_t flags) = 0;  // 26

 protected:
  ~IMediaModule() = default;
};

// IMTF: transform modules (decoders, encoders, filters); no slots of its own.
struct IMediaTransform : IMediaModule {
  static constexpr GUID kIid = FourccGuid(MakeFourcc('I', 'M', 'T', 'F'));

 protected:
  ~IMediaTransform() = default;
};

// IMRD: readers, slots 27-30.
struct IMediaReader : IMediaModule {
  static constexpr GUID kIid = FourccGuid(MakeFourcc('I', 'M', 'R', 'D'));

  virtual HRESULT OpenFile(const char* path, int32_t option1, int32_t option2) = 0;  // 27
  // Duration in 100-ns units; info receives the source's descriptive keys.
  virtual HRESULT GetInfo(int64_t* duration, CParamList* info) = 0;      // 28
  virtual HRESULT GetStreamInfo(uint32_t stream, StreamInfo* info) = 0;  // 29
  // Position in 100-ns units split into two words; the third argument is 0.
  virtual HRESULT Seek(uint32_t timeLow, int32_t timeHigh, int32_t reserved) = 0;  // 30

 protected:
  ~IMediaReader() = default;
};

// IMWR: writers, slots 27-30.
struct IMediaWriter : IMediaModule {
  static constexpr GUID kIid = FourccGuid(MakeFourcc('I', 'M', 'W', 'R'));

  virtual int32_t GetState() = 0;  // 27
  // target: the six 32-bit target words that follow the path, or null.
  virtual HRESULT SetOutput(const char* path, const int32_t* target) = 0;  // 28
  virtual HRESULT SetOutputOption(int32_t option) = 0;                     // 29
  virtual HRESULT CloseOutput() = 0;                                       // 30

 protected:
  ~IMediaWriter() = default;
};

// The same object seen through another code, keeping the caller's reference
// count unchanged; null when the module does not answer the code.
template <class Interface>
Interface* QueryAs(IMediaModule* module) {
  if (!module) return nullptr;
  void* out = nullptr;
  if (module->QueryInterface(Interface::kIid, &out) != S_OK) return nullptr;
  Ref<IMediaModule> queried(static_cast<IMediaModule*>(out));  // the query's reference, given back here
  return static_cast<Interface*>(queried.Get());
}

inline IMediaTransform* QueryAsTransform(IMediaModule* m) { return QueryAs<IMediaTransform>(m); }
inline IMediaReader* QueryAsReader(IMediaModule* m) { return QueryAs<IMediaReader>(m); }
inline IMediaWriter* QueryAsWriter(IMediaModule* m) { return QueryAs<IMediaWriter>(m); }

// Closes the module and drops the caller's reference to it; null is ignored.
inline void DiscardModule(IMediaModule* module) {
  Ref<IMediaModule> owned(module);
  if (owned) owned->Close();
}

// The blank sample: a marker whose first machine word is zero. It carries no
// data and is never called.
IMediaSample* BlankSample();
inline bool IsBlankSample(const IMediaSample* sample) {
  return sample && *reinterpret_cast<const void* const*>(sample) == nullptr;
}
