#pragma once

#include <cstdint>

// The instrument kinds the updater knows. One build serves one kind; this
// build serves TALLIX (14), the handheld reader.
enum InstrumentKind : std::int8_t {
    UNKNOWN = 0,
    KELO = 1,
    KELOB = 2,
    KELOX = 3,
    PELLORA = 4,
    QUARROW = 5,
    HLITE = 6,
    CALORET = 7,
    LX9 = 8,
    STOMEX = 9,
    QUORIN_TE = 10,
    SORBEL = 11,
    HQB = 12,
    QCD = 13,
    TALLIX = 14,
    HY4 = 15,
    VAPRA = 16,
    PSYRA = 17,
    TELVO = 18,
    GORVIK = 19,
    PRETIA = 20,
    VERDEL = 21,
    HY4TDL = 22,
    PERMEON = 23,
    PUMPEX = 24,
    END = 25,
};

// The kind this build serves.
constexpr InstrumentKind kBuildKind = TALLIX;

// Sizes of the text fields of InstrumentInfo, terminating NUL included.
constexpr int kInstrumentNameSize = 33;
constexpr int kVersionTextSize = 22;

// One instrument's kind, identity and the properties that steer an update.
// A plain value record, copied whole.
struct InstrumentInfo {
    InstrumentKind kind;
    char name[kInstrumentNameSize];
    char versionText[kVersionTextSize];
    std::uint32_t version;  // major * 100 + minor * 10 + patch
    std::uint32_t restartWaitMs;
    std::uint8_t savesSettings;
    std::uint8_t erasesData;
    std::uint8_t checksBattery;
    std::uint8_t needsLogin;
    std::uint8_t setsClock;
    std::uint8_t updatable;
    std::uint8_t postInit;
    std::uint8_t postUpdateNotice;
    std::uint32_t flashStart;
    std::uint32_t flashEnd;  // first address not erased
    std::uint8_t extendedAddressing;
    std::uint32_t infoStart;
    std::uint32_t infoSegments;
    std::uint32_t infoSegmentSize;
    std::uint32_t loaderBaud;
    std::uint32_t minVersion;
    std::uint32_t maxVersion;
    std::uint8_t versionWindow;
};

// The per-kind row of constant properties.
struct InstrumentKindRow {
    const char* shortCode;
    const char* displayName;
    const char* versionFinderPath;  // null for END
    std::uint8_t savesSettings;     // S
    std::uint8_t erasesData;        // E
    std::uint8_t warnsErase;        // W: read for the build's own kind only
    std::uint8_t checksBattery;     // B
    std::uint8_t needsLogin;        // L
    std::uint8_t setsClock;         // T
    std::uint8_t postInit;          // P
    std::uint8_t postUpdateNotice;  // N
    std::uint8_t extendedAddressing;  // X (before overrides)
    std::uint32_t restartWaitMs;
};

// Row of a kind from 0 to 25; any other value gives the UNKNOWN row.
const InstrumentKindRow& KindRow(int kind);
const char* KindShortCode(int kind);
const char* KindDisplayName(int kind);
const char* KindVersionFinderPath(int kind);

// Compares a word, without regard to case, with the short codes of kinds 1
// to 24 in order and returns the first kind that matches, else UNKNOWN.
// Shared by the version-text parser and the firmware file-name reader.
InstrumentKind FindKindByShortCode(const char* word);

// Parses an instrument's version text ("TX 1.73") into info. Returns 1, -10
// for a missing or empty text or missing info, -30 for a text that is not a
// version text or names no known kind.
int ParseVersionText(const char* text, InstrumentInfo* info);

// Fills info for a kind and version number from the kind tables.
void FillInstrumentInfo(int kind, std::uint32_t version, InstrumentInfo* info);

// Shows a version number as "1.73".
void FormatVersion(std::uint32_t version, char* out, int size);
