// CSourceStream: an output pin with a streaming thread of its own. While the
// filter is paused or running the thread fills buffers of the agreed
// allocator (FillBuffer) and delivers them; the end of the data, a failure,
// or a downstream pin that refuses a sample end the stream. Stopping the
// filter stops and joins the thread, also while it waits for a buffer that
// the downstream filters still hold.
// Results: S_OK or a failure code.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/dshow/base_filter.h"

class CSourceStream : public CBaseOutputPin {
 public:
  CSourceStream(CBaseFilter* filter, std::recursive_mutex* lock, const WCHAR* name);
  ~CSourceStream() override;

  HRESULT Active() override;    // commits the allocator and starts the thread
  HRESULT Inactive() override;  // stops and joins the thread, decommits

  // Stops the thread (when running), calls work, and starts it again when the
  // filter is still active: how a source repositions its stream. Flushing
  // downstream around it is the caller's part.
  HRESULT RestartThread(const std::function<void()>& work);
  // The two halves of RestartThread, for a filter that repositions several
  // pins at once: stop every pin's thread, reposition, resume each.
  void StopThread();
  HRESULT ResumeThread();
  bool ThreadRunning() const { return threadRunning_.load(); }

 protected:
  // Fills the buffer: S_OK delivers it, S_FALSE ends the stream, a failure
  // ends it and reports EC_ERRORABORT to the graph.
  virtual HRESULT FillBuffer(IMediaSample* sample) = 0;
  // Before each buffer is taken: S_OK goes on, S_FALSE ends the stream,
  // a failure ends it with an error. Lets a pin wait for its data (checking
  // StopRequested) before it takes a buffer.
  virtual HRESULT PrepareNext() { return S_OK; }
  virtual void OnThreadStart() {}
  virtual void OnThreadEnd() {}
  bool StopRequested() const { return stop_.load(); }
  // Derived pins call StopThread in their destructor: the thread calls their overrides.

 private:
  HRESULT StartThread();
  void ThreadMain();

  std::mutex threadLock_;  // starts and stops of the thread
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> threadRunning_{false};
};
