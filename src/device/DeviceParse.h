#pragma once

#include <cstdint>
#include <ctime>

#include "device/DeviceRecords.h"

// Plain helpers of the device command protocol: answer classification,
// bounded copies, the version and "show" parsers and the capability table.
// None of them touches a port.

// The device kind for the code that starts a version answer, compared in
// capitals; kLoggerUnknown for any other code.
LoggerKind LoggerKindFromCode(const char* code);

// "Kelo", "Tallix" ... for a kind; "Unknown" for any other value.
const char* LoggerTypeName(int kind);

// The commands a device of this kind and version understands.
CapabilityMask CapabilitiesFor(int kind, bool newFirmware, int version);

// Classifies received text: kDevEcho when it contains the command itself,
// kDevRefused when it holds "ERROR", "Unsupported" or a '?', else kDevOk.
int ClassifyAnswer(const char* received, const char* command);

// True when the text begins with two carriage returns and the prompt.
bool IsEmptyAnswer(const char* text);

// Copies at most capacity - 1 characters of src (stopping at its zero) and
// terminates dst. Returns the number copied; nothing is written when the
// capacity is 0.
unsigned CopyBounded(char* dst, unsigned capacity, const char* src);

// Copies the first whitespace-delimited word of text, at most maxChars
// characters, into out (which holds maxChars + 1). Returns its length; 0
// leaves an empty text.
unsigned ReadWord(const char* text, char* out, unsigned maxChars);

// Removes leading and trailing white space in place.
void TrimSpace(char* text);

// A version line "CODE M.mp".
struct VersionLine {
    char text[kDeviceVersionTextSize];  // the line as received, at most 20
    char code[kDeviceVersionTextSize];
    int version;  // major * 100 + minor * 10 + patch
};

enum VersionParse : int {
    kVersionParsed = 1,
    kVersionIncomplete = 0,  // no carriage return after the text yet
    kVersionUnreadable = -30,
};

// Reads a "get -ver" answer that contains a '.': leading carriage returns
// are skipped, the line up to the next carriage return (at most 20
// characters) is the version text, read as code, major, one minor digit and
// an optional patch digit.
int ParseVersionAnswer(const char* answer, VersionLine* out);

// True for a bootstrap-loader acknowledgement: after leading carriage returns
// the text starts with '+' and has at least four characters.
bool IsLoaderAcknowledge(const char* answer);

// Reads the "ID:" value of an old firmware's "show" answer into idOut (at
// most 8 characters; idSize must be 9 or more). Returns 1, or -30 when the
// label is absent or has no value.
int ParseShowId(const char* answer, char* idOut, unsigned idSize);

// Reads the labels of an old firmware's "show" answer into the settings:
// "ID:" (device name), "Version:", "Radio:", "Wake:" and "Resets:". An absent
// label leaves its field as it was. Returns the sum of the error weights of
// values that could not be read (1 name, 2 version, 4 radio, 8 interval,
// 16 resets), or -13 when the version is below 1.10, checked before the
// radio, interval and resets are read.
int ParseShowAnswer(const char* answer, LoggerSettings* settings, std::int32_t* resets);

// Seconds since 2000-01-01 00:00:00 on the local wall clock for a calendar
// time and the local offset from UTC.
std::int64_t OrvaSecondsAt(std::time_t calendarTime, int utcOffsetSeconds);
