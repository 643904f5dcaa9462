// A shared object loaded with dlopen and closed when its owner goes.
#pragma once

#include <string>

class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  ~DynamicLibrary() { Close(); }
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  // Loads the file (a path, never searched for); false with the loader's
  // message in *error when it cannot be loaded.
  bool Open(const std::string& path, std::string* error = nullptr);
  // An exported symbol, or null.
  void* Symbol(const char* name) const;
  void Close();
  // Leaves the object loaded for the rest of the process and forgets it.
  void* Release();
  bool IsOpen() const { return handle_ != nullptr; }
  // Whether the file is loaded in this process now (it is not loaded by asking).
  static bool IsLoaded(const std::string& path);
  void* Handle() const { return handle_; }

 private:
  void* handle_ = nullptr;
};
