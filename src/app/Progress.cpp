#include "app/Progress.h"

float ProgressShareFor(std::size_t imageLength)
{
    if (imageLength == 0) return 0.0f;
    return 35328.0f / static_cast<float>(imageLength);
}

int NextProgressPosition(ProgressCounters& counters, int position, char event)
{
    switch (event) {
        case 'X':
            return position + counters.step;
        case 'W':
            counters.accumulator = counters.accumulator + counters.share;
            return static_cast<int>(counters.accumulator + 0.5f);
        default:
            return position;
    }
}
