// libFuzzer target for the TI-Text reader: every input is a firmware file
// handed to OrvaBSLHost::BSLLoadTIFile (through a memory file), and what
// follows its first "q" (which the reader ignores) is a file name for
// ParseFirmwareFileName. One host lives across all
// inputs, so loads replace images again and again, as in the updater.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "loader/OrvaBSLHost.h"
#include "loader/TITextImage.h"

namespace {

void Check(bool condition)
{
    if (!condition) std::abort();
}

bool IsUpperHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}
bool IsHex(char c)
{
    return IsUpperHex(c) || (c >= 'a' && c <= 'f');
}

// A compact text: "@" and five upper-case hex digits, then groups of four
// hex digits, repeated; or nothing at all.
void CheckCompactText(const char* text, std::uint32_t length)
{
    Check(std::strlen(text) == length);
    std::uint32_t i = 0;
    while (i < length) {
        Check(text[i] == '@' && i + 6 <= length);
        for (int k = 1; k < 6; ++k)
            Check(IsUpperHex(text[i + k]));
        i += 6;
        std::uint32_t digits = 0;
        for (; i < length && text[i] != '@'; ++i, ++digits)
            Check(IsHex(text[i]));
        Check(digits % 4 == 0);
    }
}

struct State {
    const char* text;
    std::uint32_t length;
    VectorTable vectors;
    std::string title;
    int kind;
    std::int32_t version;

    explicit State(const OrvaBSLHost& host)
        : text(host.ImageText()),
          length(host.ImageLength()),
          vectors(host.Vectors()),
          title(host.Title()),
          kind(host.Kind()),
          version(host.Version())
    {
    }
    bool operator==(const State&) const = default;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static OrvaBSLHost* host = new OrvaBSLHost(nullptr);
    static const int fd = ::memfd_create("titext", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    Check(fd >= 0 && host->Status() == 0);

    // The file name: what follows the first "q", up to a zero byte.
    const void* endMark = std::memchr(data, 'q', size);
    const std::size_t nameStart = endMark ? static_cast<const std::uint8_t*>(endMark) - data + 1 : size;
    const std::string name(reinterpret_cast<const char*>(data) + nameStart,
                           strnlen(reinterpret_cast<const char*>(data) + nameStart, size - nameStart));
    FirmwareFileName parsed;
    ParseFirmwareFileName(name.c_str(), &parsed);
    Check(std::strlen(parsed.title) <= static_cast<std::size_t>(kImageTitleMax));
    Check(parsed.kind >= UNKNOWN && parsed.kind <= PUMPEX && parsed.version >= 0);

    // The file.
    Check(::ftruncate(fd, 0) == 0);
    Check(size == 0 || ::pwrite(fd, data, size, 0) == static_cast<ssize_t>(size));
    const State before(*host);
    const std::string textBefore = before.length <= 4096 ? std::string(before.text) : std::string();
    const int result = host->BSLLoadTIFile(path.c_str());
    if (result == 1) {
        CheckCompactText(host->ImageText(), host->ImageLength());
        Check(host->LoadedFromFile());
    } else {
        Check(result == -100 || result == -60);
        Check(State(*host) == before);
        if (before.length <= 4096) Check(textBefore == host->ImageText());
    }
    return 0;
}
