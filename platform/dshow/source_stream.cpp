#include "platform/dshow/source_stream.h"

#include <system_error>

CSourceStream::CSourceStream(CBaseFilter* filter, std::recursive_mutex* lock, const WCHAR* name)
    : CBaseOutputPin(filter, lock, name) {}

CSourceStream::~CSourceStream() { StopThread(); }

HRESULT CSourceStream::Active() {
  const HRESULT hr = CBaseOutputPin::Active();
  if (FAILED(hr)) return hr;
  return StartThread();
}

HRESULT CSourceStream::Inactive() {
  StopThread();
  return CBaseOutputPin::Inactive();
}

HRESULT CSourceStream::StartThread() {
  std::lock_guard lock(threadLock_);
  if (thread_.joinable()) return S_OK;
  stop_.store(false);
  threadRunning_.store(true);
  try {
    thread_ = std::thread(&CSourceStream::ThreadMain, this);
  } catch (const std::system_error&) {
    threadRunning_.store(false);
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

void CSourceStream::StopThread() {
  std::lock_guard lock(threadLock_);
  if (!thread_.joinable()) return;
  stop_.store(true);
  thread_.join();
  thread_ = std::thread();
}

HRESULT CSourceStream::ResumeThread() {
  if (IsStopped() || !IsConnected()) return S_OK;
  return StartThread();
}

HRESULT CSourceStream::RestartThread(const std::function<void()>& work) {
  StopThread();
  if (work) work();
  return ResumeThread();
}

void CSourceStream::ThreadMain() {
  OnThreadStart();
  HRESULT failure = S_OK;
  bool ended = false;
  while (!stop_.load()) {
    HRESULT hr = PrepareNext();
    if (stop_.load()) break;
    if (hr == S_FALSE) {
      ended = true;
      break;
    }
    if (FAILED(hr)) {
      failure = hr;
      break;
    }
    IMediaSample* sample = nullptr;
    IMemAllocator* allocator = Allocator();
    hr = allocator ? GetBufferInterruptible(allocator, &sample, &stop_) : VFW_E_NO_ALLOCATOR;
    if (stop_.load()) {
      if (sample) sample->Release();
      break;
    }
    if (hr != S_OK || !sample) {
      failure = FAILED(hr) ? hr : E_FAIL;
      break;
    }
    hr = FillBuffer(sample);
    if (hr == S_OK) {
      hr = Deliver(sample);
      sample->Release();
      // A refusal downstream (stopped, flushing, an error) ends this run.
      if (hr != S_OK) break;
      continue;
    }
    sample->Release();
    if (hr == S_FALSE) {
      ended = true;
    } else {
      failure = FAILED(hr) ? hr : E_FAIL;
    }
    break;
  }
  if (ended) DeliverEndOfStream();
  if (failure != S_OK && !stop_.load()) {
    Filter()->NotifyEvent(EC_ERRORABORT, failure, 0);
    DeliverEndOfStream();
  }
  OnThreadEnd();
  threadRunning_.store(false);
}
