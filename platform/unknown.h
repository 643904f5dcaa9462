// IUnknown-style reference-counted interfaces.
#pragma once

#include "platform/guid.h"
#include "platform/win_types.h"

// {00000000-0000-0000-C000-000000000046}
constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IUnknown {
  virtual HRESULT QueryInterface(REFIID iid, void** out) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

// An owned counted reference: released at scope end. T is any interface with
// Release() (IUnknown and the module interfaces alike).
template <class T>
class Ref {
 public:
  Ref() = default;
  explicit Ref(T* p) : p_(p) {}  // takes over a reference
  ~Ref() { Reset(); }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  Ref(Ref&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  Ref& operator=(Ref&& o) noexcept {
    if (this != &o) {
      Reset();
      p_ = o.p_;
      o.p_ = nullptr;
    }
    return *this;
  }
  // A new reference to p (AddRef), for a pointer borrowed from elsewhere.
  static Ref AddRefOf(T* p) {
    if (p) p->AddRef();
    return Ref(p);
  }
  void Reset(T* p = nullptr) {
    T* old = p_;
    p_ = p;
    if (old) old->Release();
  }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // Releases what is held and hands out the slot for a function that stores
  // a new reference.
  T** Out() {
    Reset();
    return &p_;
  }
  // Gives the reference up to the caller.
  T* Detach() {
    T* p = p_;
    p_ = nullptr;
    return p;
  }

 private:
  T* p_ = nullptr;
};

// obj's interface iid as T, with a reference; empty when it does not answer.
template <class T>
Ref<T> QueryRef(IUnknown* obj, REFIID iid) {
  void* out = nullptr;
  if (!obj || obj->QueryInterface(iid, &out) != S_OK) return Ref<T>();
  return Ref<T>(static_cast<T*>(out));
}
