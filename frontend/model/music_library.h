// The music library a converted file can be added to: three calls (the
// library's playlist, adding a file to it, and whether an add is still in
// progress). This system knows no such library on Linux: the production
// backend always reports that none is present. Tests give a fake one.
#pragma once

#include <functional>
#include <memory>
#include <string>

// One add in progress.
class IMusicLibraryOperation {
 public:
  virtual ~IMusicLibraryOperation() = default;
  virtual bool InProgress() = 0;
};

class IMusicLibraryPlaylist {
 public:
  virtual ~IMusicLibraryPlaylist() = default;
  // Starts adding a file; null when the library refuses it.
  virtual std::unique_ptr<IMusicLibraryOperation> AddFile(const std::string& path) = 0;
};

class IMusicLibraryApp {
 public:
  virtual ~IMusicLibraryApp() = default;
  // The library's playlist; null when it cannot be had.
  virtual std::unique_ptr<IMusicLibraryPlaylist> GetLibraryPlaylist() = 0;
};

// Creates the library's application object; null when there is none.
using MusicLibraryFactory = std::function<std::unique_ptr<IMusicLibraryApp>()>;

// The production backend: no library on this system, always null.
std::unique_ptr<IMusicLibraryApp> CreateSystemMusicLibrary();
