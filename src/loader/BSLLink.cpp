// The link to the bootstrap loader OrvaBSL: starting it from the firmware,
// connecting, and exchanging command frames.
#include <cstdio>
#include <cstring>
#include <string_view>

#include "loader/BSLFrame.h"
#include "loader/OrvaBSLHost.h"
#include "serial/Timing.h"

namespace {

constexpr int kFirmwareBaud = 9600;
constexpr const char* kBootWord = "KRAB";
constexpr unsigned kReplySize = 32;  // handshake replies: 31 characters and a NUL
constexpr unsigned kOpenPauseMs = 1000;
constexpr unsigned kBootAnswerMs = 750;
constexpr unsigned kHandshakeMs = 100;
constexpr unsigned kCheckAnswerMs = 200;
constexpr unsigned kRefusalPauseMs = 175;
constexpr unsigned kClosePauseMs = 100;
constexpr unsigned kFrameAnswerMs = 1000;

// The reply as far as it was read; NUL bytes (a line break reads as one) do
// not hide what follows them.
bool Contains(const char* reply, unsigned size, std::string_view piece)
{
    return std::string_view(reply, size).find(piece) != std::string_view::npos;
}

// Sends bytes, lets waitMs pass and reads what came back into reply (at
// most kReplySize - 1 bytes, then a NUL). Returns 0, or the code of the
// write or the read that failed.
int SendAndListen(OrvaSerial& link, const char* bytes, int length, unsigned waitMs, char* reply, unsigned* size)
{
    unsigned written = 0;
    int r = link.OSWrite(bytes, length, &written);
    if (r < 0) return r;
    PumpDelay(waitMs);
    r = link.OSRead(reply, kReplySize - 1, size);
    if (r < 0) return r;
    reply[*size] = '\0';
    return 0;
}

}  // namespace

int OrvaBSLHost::Exchange(char letter, const char* payload, unsigned length, char endChar, char* answer,
                          unsigned answerSize, long* elapsedMs)
{
    char* frame = CommandBuffer();
    if (!frame) return -60;
    const int frameLength = BSLBuildFrame(letter, payload, length, frame, kCommandBufferSize);
    if (frameLength < 0) return frameLength;

    const std::uint32_t start = MsTick();
    OSPurge();
    int failed = 0;
    unsigned got = 0;
    unsigned written = 0;
    const int w = OSWrite(frame, frameLength, &written);
    if (w < 0 || written != static_cast<unsigned>(frameLength)) {
        // A frame that left only in part is no frame: the loader never
        // sees its end.
        failed = w < 0 ? w : -21;
        Note(1, "BSLCommand got unexpected response (%d) from OCommWrite", failed);
    } else {
        const int waited = OSWait(kFrameAnswerMs, endChar);
        if (waited < 0) {
            failed = waited;
            Note(1, "BSLCommand got unexpected response (%d) from OCommWait", failed);
        } else {
            // A time-out is no failure: what came is still read.
            const unsigned capacity = answerSize - 1 < kBSLAnswerMax ? answerSize - 1 : kBSLAnswerMax;
            unsigned size = 0;
            const int r = OSRead(answer, capacity, &size);
            if (r < 0) {
                failed = r;
                Note(1, "BSLCommand got unexpected response (%d) from OCommRead", failed);
            } else {
                got = size;
            }
        }
    }
    answer[got] = '\0';
    if (elapsedMs) *elapsedMs = static_cast<long>(MsTick() - start);
    return BSLJudgeAnswer(answer, static_cast<int>(got), failed);
}

int OrvaBSLHost::BSLCommand(char letter, const std::uint32_t* numbers, unsigned count, char endChar, char* answer,
                            unsigned answerSize, long* elapsedMs, bool fiveDigit)
{
    if (elapsedMs) *elapsedMs = 0;
    if (answer && answerSize > 0) answer[0] = '\0';
    if (!linkOpen_) return -21;
    if (count > kBSLMaxNumbers) return -11;
    if (!answer || answerSize == 0 || (!numbers && count > 0)) return -10;
    // Five digits for 128 numbers would not fit a frame; the payload is
    // held to the text limit, like every other.
    char payload[kBSLMaxNumbers * 5 + 1];
    const int length = BSLFormatNumbers(numbers, count, fiveDigit, payload, sizeof payload);
    if (length < 0) return length;
    if (static_cast<unsigned>(length) > kBSLMaxText) return -11;
    return Exchange(letter, payload, static_cast<unsigned>(length), endChar, answer, answerSize, elapsedMs);
}

int OrvaBSLHost::BSLCommand(char letter, const char* text, unsigned length, char endChar, char* answer,
                            unsigned answerSize, long* elapsedMs)
{
    if (elapsedMs) *elapsedMs = 0;
    if (answer && answerSize > 0) answer[0] = '\0';
    if (!linkOpen_) return -21;
    if (length > kBSLMaxText) return -11;
    if (!answer || answerSize == 0) return -10;
    if (!text && (letter != 'g' || length > 0)) return -10;
    return Exchange(letter, text, length, endChar, answer, answerSize, elapsedMs);
}

int OrvaBSLHost::BSLInvocation(int loaderBaud)
{
    char reply[kReplySize];
    int result = 1;
    bool stopped = false;  // phase 1 came to a decision before its tries ran out
    unsigned lastTry = 0;
    bool channelFailed = false;

    // Phase 1: the firmware's command interpreter, at 9600 baud.
    for (unsigned attempt = 1; attempt <= tries_ && !stopped && !channelFailed; ++attempt) {
        lastTry = attempt;
        OSPurge();
        std::memset(reply, 0, sizeof reply);
        if (loaderBaud != kFirmwareBaud) {
            const int r = OSHostBaud(kFirmwareBaud);
            if (r < 0) {
                result = r;
                channelFailed = true;
                break;
            }
        }
        char boot[16];
        const int bootLength = std::snprintf(boot, sizeof boot, "boot %s\r", kBootWord);
        unsigned size = 0;
        const int r = SendAndListen(*this, boot, bootLength, kBootAnswerMs, reply, &size);
        if (r < 0) {
            result = r;
            channelFailed = true;
            break;
        }
        if (Contains(reply, size, "ERROR")) {
            result = -110;
            PumpDelay(kRefusalPauseMs);
        } else if (Contains(reply, size, "OrvaBSL MISSING")) {
            result = -112;
            stopped = true;
        } else if (Contains(reply, size, "?")) {
            result = -80;  // the loader runs already, and is connected
            stopped = true;
        } else if (size == 0) {
            result = -112;
            PumpDelay(kRefusalPauseMs);
        } else {
            // Something else: the loader is taken to be starting. An earlier
            // refusal stands unless the reply confirms.
            if (Contains(reply, size, "OK") || Contains(reply, size, "$")) result = 1;
            stopped = true;
        }
    }

    // Phase 2: the loader's prompt and the connection, at the loader's baud.
    if (!channelFailed && result > 0) {
        if (!stopped) {
            result = -22;  // not a single try was made
        } else {
            if (loaderBaud != kFirmwareBaud) {
                const int r = OSHostBaud(loaderBaud);
                if (r < 0) {
                    result = r;
                    channelFailed = true;
                }
            }
            for (unsigned attempt = 1; attempt <= tries_ && !channelFailed; ++attempt) {
                lastTry = attempt;
                std::memset(reply, 0, sizeof reply);
                unsigned size = 0;
                int r = SendAndListen(*this, "\r", 1, kHandshakeMs, reply, &size);
                if (r < 0) {
                    result = r;
                    break;
                }
                if (size == 0 || reply[0] != '$') {
                    result = -112;
                    continue;
                }
                OSPurge();
                char connect[4];
                const int connectLength = std::snprintf(connect, sizeof connect, "%c", 'P');
                std::memset(reply, 0, sizeof reply);
                r = SendAndListen(*this, connect, connectLength, kHandshakeMs, reply, &size);
                if (r < 0) {
                    result = r;
                    break;
                }
                if (Contains(reply, size, "#")) {
                    result = 1;
                    break;
                }
                result = -110;
                PumpDelay(kRefusalPauseMs);
            }
        }
    }

    if (result == -80) {
        // The loader listens at its own rate, not the firmware's: the frames
        // that follow must go at the loader's baud.
        Note(10, "BSLInvocation found the OrvaBSL already active");
        result = 1;
        if (loaderBaud != kFirmwareBaud) {
            const int r = OSHostBaud(loaderBaud);
            if (r < 0) {
                Note(1, "BSLInvocation failed with error %d", r);
                return r;
            }
        }
        return result;
    }
    if (result > 0)
        Note(10, "BSLInvocation successful (%d tries)", static_cast<int>(lastTry));
    else
        Note(1, "BSLInvocation failed with error %d", result);
    return result;
}

int OrvaBSLHost::BSLCheck(const char* portName, int baud)
{
    if (linkOpen_) {
        const int r = OSHostBaud(baud);
        if (r < 0) return r;
    } else {
        const int r = OSOpen(portName, baud);
        if (r < 0) {
            Note(1, "BSLCheck received error while opening serial port (%d)", r);
            OSClose();
            return r;
        }
        linkOpen_ = true;
    }
    PumpDelay(kOpenPauseMs);
    OSPurge();
    char reply[kReplySize] = {};
    unsigned size = 0;
    const int r = SendAndListen(*this, "\r", 1, kCheckAnswerMs, reply, &size);
    if (r < 0) return r;
    if (Contains(reply, size, "?")) {
        Note(10, "BSLCheck found the OrvaBSL already active");
        return -80;
    }
    if (Contains(reply, size, "$")) {
        Note(10, "BSLCheck found the OrvaBSL waiting for a connection");
        return -81;
    }
    Note(30, "BSLCheck didn't get a response from the OrvaBSL");
    return -21;
}

int OrvaBSLHost::BSLConnect(const char* portName, int loaderBaud, bool progress, unsigned tries)
{
    if (!portName || !*portName) return -10;
    progress_ = progress;
    tries_ = tries;

    int result = OSOpen(portName, kFirmwareBaud);
    if (result < 0) {
        Note(1, "BSLConnect received error while opening serial port (%d)", result);
        OSClose();  // a port opened but not set up is not kept
        return result;
    }
    linkOpen_ = true;
    PumpDelay(kOpenPauseMs);

    result = -22;  // no try at all
    char answer[kBSLAnswerSize];
    for (unsigned attempt = 0; attempt < tries; ++attempt) {
        const int invoked = BSLInvocation(loaderBaud);
        if (invoked < 0 && BSLCheck(portName, loaderBaud) != -80) {
            result = invoked;
            break;
        }
        long elapsed = 0;
        const int r = BSLCommand('g', static_cast<const char*>(nullptr), 0, '\r', answer, sizeof answer, &elapsed);
        const bool error = std::strstr(answer, "ERROR") != nullptr;
        if (r < 0 || error) {
            result = error ? -110 : r;
            PumpDelay(kRefusalPauseMs);
            continue;
        }
        std::int32_t version = 0;
        if (BSLReadLoaderVersion(answer, &version)) {
            loaderVersion_ = version;
            result = version;
            break;
        }
        // Acknowledged, but no version in it: that is no answer to "g".
        result = -1;
    }

    if (result < 0) {
        BSLClose();
        Note(1, "BSLConnect failed to connect to device (error %d)", result);
    } else {
        Note(10, "BSLConnect connected to device running OrvaBSL version %d", static_cast<int>(result));
    }
    return result;
}

int OrvaBSLHost::BSLClose()
{
    if (!linkOpen_) return 0;
    const int result = OSClose();
    linkOpen_ = false;
    PumpDelay(kClosePauseMs);
    return result;
}
