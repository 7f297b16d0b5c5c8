#pragma once

#include <cstddef>
#include <cstdint>

// The command frames of the bootstrap loader OrvaBSL, as plain functions that
// need no port.
//
// A frame is printable text: the command letter, the payload, the separator
// ".", four upper-case hex digits of checksum and a carriage return. The
// checksum is the sum of the character codes of the letter, the payload and
// the separator, modulo 0xFFFF (not 0x10000: that is what the loader checks).
//
// Payloads come in two forms: text (up to 512 characters, passed as they
// are) and numbers (up to 128, each written as four or five hex digits).

constexpr unsigned kBSLMaxNumbers = 128;
constexpr unsigned kBSLMaxText = 512;
constexpr char kBSLSeparator = '.';
constexpr unsigned kBSLChecksumModulus = 0xFFFF;
// Letter, payload, separator, checksum, carriage return and a NUL.
constexpr std::size_t kBSLFrameOverhead = 1 + 1 + 4 + 1 + 1;
constexpr std::size_t kBSLMaxFrame = kBSLMaxText + kBSLFrameOverhead;
// How much of an answer is read, and the buffer that holds it with its NUL.
constexpr unsigned kBSLAnswerMax = 20;
constexpr std::size_t kBSLAnswerSize = kBSLAnswerMax + 1;

// The checksum of a frame with this letter and payload.
unsigned BSLChecksum(char letter, const char* payload, std::size_t length);

// Writes the numbers as hex digits, "%04X" each, or "%05X" in five-digit
// mode, into out (NUL-terminated). Returns the payload length; -10 when
// numbers is null but count is not 0 (or out is null); -11 for more than 128
// numbers, a number that does not fit its digits (above 0xFFFF, or 0xFFFFF in
// five-digit mode), or a payload that does not fit out.
int BSLFormatNumbers(const std::uint32_t* numbers, unsigned count, bool fiveDigit, char* out, std::size_t capacity);

// Builds the whole frame into out (NUL-terminated). Returns the frame
// length; -10 when out is null, or payload is null but length is not 0; -11
// when the payload is longer than 512 characters or the frame does not fit
// out.
int BSLBuildFrame(char letter, const char* payload, std::size_t length, char* out, std::size_t capacity);

// Judges a loader's answer of length characters. An answer that starts with
// "+" or has "+" as its second character acknowledges: the result is length.
// One that starts with "-" or "?" refuses: -1. Anything else: failedStep
// when a step of the exchange failed (negative), else -1. Nothing at all:
// failedStep, else -21.
int BSLJudgeAnswer(const char* answer, int length, int failedStep);

// Reads the loader's version from its answer to "g" ("+%d+"). False when the
// answer holds no number there.
bool BSLReadLoaderVersion(const char* answer, std::int32_t* version);

// True for an address inside the loader's own flash and the vector segment
// (0xFA00 to 0xFFFF), which the flash erase leaves alone.
constexpr bool BSLIsProtectedAddress(std::uint32_t address)
{
    return address >= 0xFA00 && address <= 0xFFFF;
}
