// Erasing the instrument's flash through the loader and sending it the image.
#include <cstdio>

#include "loader/BSLFrame.h"
#include "loader/OrvaBSLHost.h"
#include "serial/Timing.h"

namespace {

constexpr unsigned kRefusalPauseMs = 175;
constexpr unsigned kVectorPauseMs = 50;
constexpr std::uint32_t kFlashSegment = 512;
constexpr std::uint32_t kAboveProtected = 0x10000;
constexpr unsigned kChunkCharacters = 512;  // 256 bytes, 128 words
constexpr unsigned kMarkerLength = 6;       // "@" and five hex digits

long ElapsedMs(std::uint32_t start)
{
    return static_cast<long>(MsTick() - start);
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// True when the result comes from the arguments, not from the loader: sending
// the same frame again would not change it.
bool IsArgumentError(int result)
{
    return result == -10 || result == -11 || result == -60;
}

}  // namespace

bool OrvaBSLHost::Report(unsigned total, unsigned done, int phase, char event)
{
    if (!progressCallback_) return true;
    return progressCallback_(total, done, phase, event);
}

// One number in a frame, tried up to the link's tries.
int OrvaBSLHost::TryNumber(char letter, std::uint32_t number, bool fiveDigit)
{
    int result = -22;
    char answer[kBSLAnswerSize];
    for (unsigned attempt = 0; attempt < tries_; ++attempt) {
        long elapsed = 0;
        result = BSLCommand(letter, &number, 1, '\r', answer, sizeof answer, &elapsed, fiveDigit);
        if (result > 0 || IsArgumentError(result)) break;
        PumpDelay(kRefusalPauseMs);
    }
    return result;
}

int OrvaBSLHost::BSLEraseINFO(std::uint32_t start, unsigned count, unsigned size, bool fiveDigit)
{
    const std::uint32_t began = MsTick();
    std::uint32_t address = start;
    int result = 0;
    for (unsigned segment = 0; segment < count; ++segment) {
        result = TryNumber('X', address, fiveDigit);
        address += size;
        if (result < 0) break;
    }
    if (result < 0)
        Note(1, "BSLEraseINFO failed with error %d (%ld ms)", result, ElapsedMs(began));
    else
        Note(10, "BSLEraseINFO successful: %d segments @ %X (%ld ms)", static_cast<int>(count),
             static_cast<unsigned>(address), ElapsedMs(began));
    return result;
}

int OrvaBSLHost::BSLEraseFlash(std::uint32_t start, std::uint32_t end, bool fiveDigit)
{
    const std::uint32_t began = MsTick();
    if (BSLIsProtectedAddress(start)) return -11;  // nothing sent, nothing to report
    const unsigned total = end > start ? (end - start) / kFlashSegment : 0;
    std::uint32_t address = start;
    unsigned counter = 0;
    int result = 0;
    while (address < end) {
        if (progress_) {
            if (counter % 10 == 0 && !Report(total, (address - start) / kFlashSegment, 1, 'X')) {
                result = -40;
                break;
            }
            ++counter;
        }
        result = TryNumber('X', address, fiveDigit);
        if (result < 0) break;
        // The loader and the vectors live from 0xFA00 to 0xFFFF.
        address += kFlashSegment;
        if (BSLIsProtectedAddress(address)) address = kAboveProtected;
    }
    if (progress_) Report(total, total, 2, 'X');
    if (result < 0)
        Note(1, "BSLEraseFlash failed with error %d (%ld s)", result, ElapsedMs(began) / 1000);
    else
        Note(10, "BSLEraseFlash successful: segment %X to %X (%ld s)", static_cast<unsigned>(start),
             static_cast<unsigned>(end), ElapsedMs(began) / 1000);
    return result;
}

int OrvaBSLHost::BSLSendAddress(std::uint32_t address, bool fiveDigit)
{
    // Only four (or five) digits travel: a wider address would reach the
    // loader cut short, and the data would land somewhere else.
    int result = -11;
    if (address <= (fiveDigit ? 0xFFFFFu : 0xFFFFu)) {
        char text[8];
        std::snprintf(text, sizeof text, fiveDigit ? "%05X" : "%04X", static_cast<unsigned>(address & 0xFFFFFu));
        const unsigned length = fiveDigit ? 5 : 4;
        char answer[kBSLAnswerSize];
        result = -22;
        for (unsigned attempt = 0; attempt < tries_; ++attempt) {
            long elapsed = 0;
            result = BSLCommand('@', text, length, '\r', answer, sizeof answer, &elapsed);
            if (result > 0 || IsArgumentError(result)) break;
            PumpDelay(kRefusalPauseMs);
        }
    }
    if (result < 0)
        Note(1, "BSLSendAddress (%05X) failed with error %d", static_cast<unsigned>(address), result);
    else
        Note(10, "BSLSendAddress (%05X) successful", static_cast<unsigned>(address));
    return result;
}

// Sends one chunk; a refused chunk is sent again after its address, so that
// the loader writes it at the same place.
int OrvaBSLHost::SendChunk(const char* chunk, unsigned length, std::uint32_t address, bool fiveDigit)
{
    int result = -22;
    char answer[kBSLAnswerSize];
    for (unsigned attempt = 0; attempt < tries_; ++attempt) {
        long elapsed = 0;
        result = BSLCommand('W', chunk, length, '\r', answer, sizeof answer, &elapsed);
        if (result > 0 || IsArgumentError(result)) break;
        PumpDelay(kRefusalPauseMs);
        const int placed = BSLSendAddress(address, fiveDigit);
        if (placed < 0) return placed;
        // The chunk's own failure stands: a chunk never written is no success.
    }
    return result;
}

int OrvaBSLHost::BSLSendFirmware(bool fiveDigit)
{
    const std::uint32_t began = MsTick();
    const char* text = imageText_ ? imageText_.get() : nullptr;
    const std::uint32_t length = text ? imageLength_ : 0;
    if (length == 0) return -10;
    if (text[0] != '@') return -11;
    char* chunk = ChunkBuffer();
    if (!chunk) return -60;

    std::uint32_t position = 0;
    unsigned chunkLength = 0;
    std::uint32_t address = 0;
    int result = 1;
    while (position < length && result >= 0) {
        if (progress_ && position % kChunkCharacters == 0 && !Report(length, position, 1, 'W')) {
            result = -40;
            break;
        }
        if (text[position] == '@') {
            if (chunkLength > 0) {
                result = SendChunk(chunk, chunkLength, address, fiveDigit);
                if (result < 0) break;
            }
            // The marker holds five digits. In four-digit mode only an
            // address below 0x10000 can be sent; BSLSendAddress refuses a
            // higher one rather than dropping its first digit.
            std::uint32_t marker = 0;
            bool readable = position + kMarkerLength <= length;
            for (unsigned i = 1; readable && i < kMarkerLength; ++i) {
                const int digit = HexValue(text[position + i]);
                if (digit < 0) readable = false;
                marker = marker * 16 + static_cast<std::uint32_t>(digit < 0 ? 0 : digit);
            }
            if (!readable) {
                result = -11;
                break;
            }
            position += kMarkerLength;
            address = marker;
            result = BSLSendAddress(address, fiveDigit);
            if (result < 0) break;
            chunkLength = 0;
            continue;
        }
        chunk[chunkLength++] = text[position++];
        if (chunkLength == kChunkCharacters) {
            result = SendChunk(chunk, chunkLength, address, fiveDigit);
            if (result < 0) break;
            address += kChunkCharacters / 2;
            chunkLength = 0;
        }
    }
    if (chunkLength > 0 && result > 0) result = SendChunk(chunk, chunkLength, address, fiveDigit);

    const int seconds = static_cast<int>(ElapsedMs(began) / 1000);
    if (progress_) Report(length, length, 2, 'W');
    if (result < 0)
        Note(1, "BSLSendFirmware failed with error %d (%d s)", result, seconds);
    else
        Note(10, "BSLSendFirmware successful (%d s)", seconds);
    return result;
}

int OrvaBSLHost::BSLSendVectors()
{
    PumpDelay(kVectorPauseMs);
    std::uint32_t words[kVectorCount];
    for (int i = 0; i < kVectorCount; ++i)
        words[i] = vectors_[i];
    int result = -22;
    char answer[kBSLAnswerSize];
    for (unsigned attempt = 0; attempt < tries_; ++attempt) {
        long elapsed = 0;
        // The loader answers "+" once the vectors are written, and restarts.
        result = BSLCommand('V', words, kVectorCount, '+', answer, sizeof answer, &elapsed, false);
        if (result > 0 || IsArgumentError(result)) break;
        PumpDelay(kRefusalPauseMs);
    }
    if (result < 0)
        Note(1, "BSLSendVectors failed with error %d", result);
    else
        Note(10, "BSLSendVectors successful");
    return result;
}
