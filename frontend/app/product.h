// The product's display name: the application name, the main window's title
// and the default output folder's name.
#pragma once

inline constexpr const char* kProductDisplayName = "Velmo DVD Converter";

// What the About box shows: the maker's web address, the support mail address
// and the line under the title.
inline constexpr const char* kProductWebAddress = "https://velmo.test/";
inline constexpr const char* kProductSupportAddress = "help@velmo.test";
inline constexpr const char* kProductDescription = "Converts DVD titles and media files.";
