#include "platform/dynamic_library.h"

#include <dlfcn.h>

bool DynamicLibrary::Open(const std::string& path, std::string* error) {
  Close();
  // A bare name would make dlopen search the library path.
  const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
  handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_ && error) {
    const char* message = dlerror();
    *error = message ? message : "cannot load";
  }
  return handle_ != nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const { return handle_ ? dlsym(handle_, name) : nullptr; }

void* DynamicLibrary::Release() {
  void* handle = handle_;
  handle_ = nullptr;
  return handle;
}

void DynamicLibrary::Close() {
  if (handle_) dlclose(handle_);
  handle_ = nullptr;
}

bool DynamicLibrary::IsLoaded(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (!handle) return false;
  dlclose(handle);
  return true;
}
