// The product's display name: the application name, the main window's title
// and the default output folder's name.
#pragma once

inline constexpr const char* kProductDisplayName = "Velmo DVD Converter";
