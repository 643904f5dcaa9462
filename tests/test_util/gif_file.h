// Animated GIF files we write ourselves, for picture-loading tests.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

// A w x h GIF with a 4-colour palette (0 black, 1 red, 2 green, 3 blue) and
// one frame per entry: every pixel of that palette index, shown for its delay
// in 1/100 s.
std::vector<uint8_t> MakeGif(int w, int h, const std::vector<std::pair<int, int>>& frames);
