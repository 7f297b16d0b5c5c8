#include "instrument/InstrumentKind.h"

#include <cstdio>
#include <cstring>
#include <strings.h>
#include <string>

namespace {

// clang-format off
const InstrumentKindRow kRows[END + 1] = {
    // short code   display name        version-finder path                     S  E  W  B  L  T  P  N  X  restart
    {"UNKNOWN",   "UNKNOWN",          "",                                     0, 0, 0, 0, 0, 0, 0, 0, 0, 7000},
    {"KELO",      "Kelo",             "/versionfinder/Kelo-Firmware.html",    1, 0, 1, 1, 0, 1, 1, 0, 0, 1000},
    {"KELOB",     "Kelob",            "/versionfinder/Kelob-Firmware.html",   1, 0, 1, 1, 0, 1, 1, 0, 0, 1000},
    {"KELOX",     "Kelox",            "/versionfinder/Kelox-Firmware.html",   1, 1, 1, 1, 0, 1, 1, 0, 0, 6000},
    {"PL",        "Pellora",          "/versionfinder/Pellora-Firmware.html", 1, 1, 1, 1, 0, 0, 1, 0, 0, 6000},
    {"QW",        "Quarrow",          "",                                     1, 1, 1, 0, 0, 0, 1, 0, 0, 4000},
    {"HLITE",     "Hydrel Lite",      "/versionfinder/HLite-Firmware.txt",    1, 0, 0, 0, 1, 0, 0, 0, 0, 8500},
    {"CR",        "Caloret",          "/versionfinder/caloret-firmware.html", 1, 1, 1, 1, 0, 1, 0, 0, 0, 7000},
    {"LX9",       "Lumira LX-9",      "/versionfinder/LX9Firmware.txt",       1, 1, 1, 0, 0, 1, 0, 1, 0, 3000},
    {"SX",        "Stomex",           "/versionfinder/stomex-firmware.html",  1, 1, 1, 1, 0, 1, 0, 1, 0, 7000},
    {"QUORIN-TE", "Digital Sensor",   "",                                     0, 0, 0, 0, 0, 0, 0, 0, 0, 1000},
    {"SRBL",      "Sorbel IG",        "/versionfinder/SRBL-Firmware.txt",     1, 1, 1, 0, 0, 1, 0, 0, 0, 2000},
    {"HQB",       "Hydrel Series 3",  "/versionfinder/HYS3-Firmware.txt",     1, 0, 0, 0, 1, 0, 0, 0, 0, 2000},
    {"QCD",       "QCD",              "",                                     1, 0, 0, 1, 0, 0, 0, 0, 0, 7000},
    {"TX",        "Tallix",           "/versionfinder/Tallix-Firmware.html",  1, 1, 1, 1, 0, 1, 0, 0, 0, 2000},
    {"HY4",       "Hydrel 4",         "/versionfinder/HydrelSeries4.txt",     1, 1, 1, 0, 1, 1, 0, 0, 1, 14000},
    {"Vapra",     "Hydrel Vapra",     "/versionfinder/VapraFirmware.txt",     1, 1, 1, 0, 0, 1, 0, 0, 1, 9500},
    {"Psyra",     "Psyra",            "/versionfinder/Psyra-Firmware.txt",    1, 0, 0, 0, 1, 0, 0, 0, 0, 2000},
    {"TELVO",     "Telvo",            "/versionfinder/Telvo-Firmware.html",   1, 1, 1, 1, 0, 1, 1, 0, 0, 6000},
    {"GVK",       "Gorvik Logger",    "/versionfinder/Gorvik-Firmware.html",  1, 1, 1, 0, 0, 1, 1, 0, 0, 6000},
    {"PRETIA",    "Hydrel Pretia",    "/versionfinder/Pretia-Firmware.txt",   1, 0, 0, 0, 1, 0, 0, 0, 0, 2000},
    {"VERDEL",    "verdel",           "",                                     1, 0, 0, 0, 0, 1, 1, 0, 1, 6000},
    {"HY4TDL",    "Hydrel 4 TDL",     "/versionfinder/HY4TDL-Firmware.txt",   1, 1, 1, 0, 0, 1, 0, 0, 1, 8000},
    {"PXW",       "Permeon",          "/versionfinder/PXW-Firmware.txt",      1, 1, 1, 1, 0, 1, 0, 0, 1, 8000},
    {"PUMPEX",    "Pumpex",           "/versionfinder/Pumpex-Firmware.txt",   1, 0, 0, 1, 0, 0, 0, 0, 0, 2000},
    {"END",       "END",              nullptr,                                0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
};
// clang-format on

struct MemoryLayout {
    std::uint32_t flashStart, flashEnd, infoStart, infoSegments, infoSegmentSize, loaderBaud;
};

MemoryLayout LayoutOf(int kind)
{
    switch (kind) {
    case TALLIX:
    case HY4:
    case VERDEL:
    case PERMEON:
        return {0x2100, 0x1FF00, 0x1000, 3, 64, 57600};
    case VAPRA:
        return {0x5C00, 0x3BFFF, 0x1800, 3, 128, 57600};
    case HY4TDL:
        return {0x8000, 0x27FFF, 0x1800, 4, 128, 57600};
    case QUORIN_TE:
    case PUMPEX:
        return {0x8000, 0xF9FF, 0x1000, 3, 64, 9600};
    default:
        return {0x1100, 0xF9FF, 0x1000, 2, 128, 9600};
    }
}

// The firmware versions a kind's update accepts, where it limits them.
struct VersionWindow {
    std::uint8_t limited;
    std::uint32_t minVersion, maxVersion;
};

VersionWindow VersionWindowOf(int kind)
{
    switch (kind) {
        case HY4:
            return {1, 202, 999};
        case HY4TDL:
            return {1, 200, 299};
        case QUORIN_TE:
            return {1, 406, 999};
        default:
            return {0, 0, 0};
    }
}

bool IsUpdatable(int kind, std::uint32_t v)
{
    switch (kind) {
    case UNKNOWN:
    case KELO:
    case QUARROW:
        return false;
    case KELOX:
        return v >= 103;
    case PELLORA:
        return v >= 105;
    case HLITE:
        return v >= 118;
    case LX9:
        return v >= 150;
    case HQB:
        return v >= 351;
    default:
        return true;
    }
}

void CopyText(char* out, int size, const char* text)
{
    std::snprintf(out, static_cast<size_t>(size), "%s", text ? text : "");
}

}  // namespace

const InstrumentKindRow& KindRow(int kind)
{
    if (kind < UNKNOWN || kind > END) return kRows[UNKNOWN];
    return kRows[kind];
}

const char* KindShortCode(int kind) { return KindRow(kind).shortCode; }
const char* KindDisplayName(int kind) { return KindRow(kind).displayName; }
const char* KindVersionFinderPath(int kind)
{
    const char* path = KindRow(kind).versionFinderPath;
    return path ? path : "";
}

InstrumentKind FindKindByShortCode(const char* word)
{
    if (!word) return UNKNOWN;
    for (int kind = KELO; kind <= PUMPEX; ++kind)
        if (strcasecmp(word, kRows[kind].shortCode) == 0) return static_cast<InstrumentKind>(kind);
    return UNKNOWN;
}

void FillInstrumentInfo(int kind, std::uint32_t version, InstrumentInfo* info)
{
    if (!info) return;
    if (kind < KELO || kind > PUMPEX) kind = UNKNOWN;
    std::memset(info, 0, sizeof *info);
    info->kind = static_cast<InstrumentKind>(kind);
    info->version = version;

    const InstrumentKindRow& row = kRows[kind];
    CopyText(info->name, kInstrumentNameSize, row.displayName);
    info->restartWaitMs = row.restartWaitMs;
    info->savesSettings = row.savesSettings;
    info->erasesData = row.erasesData;
    info->checksBattery = row.checksBattery;
    info->needsLogin = row.needsLogin;
    info->setsClock = row.setsClock;
    info->postInit = row.postInit;
    info->postUpdateNotice = row.postUpdateNotice;
    // The reader overrides its row: its loader takes five-digit addresses.
    info->extendedAddressing = kind == TALLIX ? 1 : row.extendedAddressing;
    const MemoryLayout layout = LayoutOf(kind);
    info->flashStart = layout.flashStart;
    info->flashEnd = layout.flashEnd;
    info->infoStart = layout.infoStart;
    info->infoSegments = layout.infoSegments;
    info->infoSegmentSize = layout.infoSegmentSize;
    info->loaderBaud = layout.loaderBaud;
    const VersionWindow window = VersionWindowOf(kind);
    info->versionWindow = window.limited;
    info->minVersion = window.minVersion;
    info->maxVersion = window.maxVersion;

    info->updatable = IsUpdatable(kind, version) ? 1 : 0;
}

int ParseVersionText(const char* text, InstrumentInfo* info)
{
    if (!text || !info || !*text) return -10;

    int kind = UNKNOWN;
    std::uint32_t version = 0;
    int result = 1;
    if (std::strchr(text, '.')) {
        // The first word gets a buffer as long as the text itself, so no
        // word can overrun it; a word longer than 19 characters names no kind.
        std::string word(std::strlen(text) + 1, '\0');
        int major = 0, minor = 0, patch = 0;
        const int got = std::sscanf(text, "%s %d.%1d%1d", word.data(), &major, &minor, &patch);
        if (got < 3) return -30;
        if (got < 4) patch = 0;
        version = static_cast<std::uint32_t>(major * 100 + minor * 10 + patch);
        word.resize(std::strlen(word.c_str()));
        if (word.size() <= 19) kind = FindKindByShortCode(word.c_str());
        if (kind == UNKNOWN) result = -30;
    }
    FillInstrumentInfo(kind, version, info);
    CopyText(info->versionText, kVersionTextSize, text);
    return result;
}

void FormatVersion(std::uint32_t version, char* out, int size)
{
    if (!out || size <= 0) return;
    std::snprintf(out, static_cast<size_t>(size), "%.2f", version / 100.0);
}
