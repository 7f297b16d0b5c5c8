#pragma once

#include <cstddef>

// The progress bar of an update run moves by whole steps while the flash is
// erased ('X' events) and by a share of a step per 512 image characters
// while the firmware is uploaded ('W' events). The share is 35328 divided by
// the image length, so the whole upload moves the bar by about 69.

// Length in characters of the built-in firmware image text.
inline constexpr std::size_t kBuiltInImageLength = 202084;

// 35328 / 202084 in single precision (0.17481840).
inline constexpr float kBuiltInProgressShare = 35328.0f / static_cast<float>(kBuiltInImageLength);

struct ProgressCounters {
    int step = 1;                         // advance per 'X' event
    float share = kBuiltInProgressShare;  // advance per 'W' event
    float accumulator = 0.0f;             // where the 'W' events have taken the bar
};

// The share of an image of the given length; 0 for an empty image, which
// raises no 'W' events.
float ProgressShareFor(std::size_t imageLength);

// The bar position after one progress event, from the current position:
// 'X' adds the step; 'W' adds the share to the accumulator (in single
// precision) and rounds it half up; any other event leaves the bar alone.
int NextProgressPosition(ProgressCounters& counters, int position, char event);
