#include "frontend/model/music_library.h"

std::unique_ptr<IMusicLibraryApp> CreateSystemMusicLibrary() { return nullptr; }
