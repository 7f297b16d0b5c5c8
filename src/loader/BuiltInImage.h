#pragma once

#include <cstdint>

// The firmware image compiled into the updater. Its data are generated at
// build time by tools/make_standin_image.cpp into BuiltInImageData.cpp in the
// build tree; nothing here is edited by hand except the expected values.

constexpr int kImageTitleMax = 64;  // characters of an image title
constexpr int kVectorCount = 16;    // interrupt vector words, 0xFFE0 to 0xFFFE

// What the updater expects of its built-in image text; a text that does not
// have exactly this length and character-code sum is taken as damaged.
constexpr std::uint32_t kBuiltInImageTextLength = 202084;
constexpr std::uint32_t kBuiltInImageTextSum = 11049050;

// A built-in image: what the loader host copies at construction.
struct BuiltInImage {
    const char* title;
    std::uint8_t kind;
    std::int32_t version;
    std::uint16_t vectors[kVectorCount];
    const char* text;           // compact image text, zero-terminated
    std::uint32_t textStorage;  // characters available at text, without the terminator
};

// The one generated into the build.
extern const BuiltInImage kBuiltInImage;
