#include "loader/OrvaBSLHost.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <sys/stat.h>

#include "log/OrvaLog.h"
#include "serial/Timing.h"

namespace {

int ElapsedMs(std::uint32_t start)
{
    return static_cast<int>(MsTick() - start);
}

int ErrnoOr(int fallback)
{
    return errno != 0 ? errno : fallback;
}

// Writes the dump of a compact image text and its vectors.
bool WriteDump(std::FILE* file, const char* text, std::uint32_t length, const VectorTable& vectors)
{
    constexpr int kLineDigits = 32;
    int column = 0;
    for (std::uint32_t i = 0; i < length;) {
        if (text[i] == '@') {
            const std::uint32_t marker = length - i < 6 ? length - i : 6;
            std::fwrite(text + i, 1, marker, file);
            std::fputc('\n', file);
            column = 0;
            i += marker;
            continue;
        }
        std::fputc(text[i], file);
        ++i;
        if (++column == kLineDigits) {
            std::fputc('\n', file);
            column = 0;
        }
    }
    std::fprintf(file, "\n@%X\n", 0xFFE0u);
    std::fprintf(file, "%04X%04X%04X%04X%04X%04X%04X%04X\n%04X%04X%04X%04X%04X%04X%04X%04X\n", vectors[0], vectors[1],
                 vectors[2], vectors[3], vectors[4], vectors[5], vectors[6], vectors[7], vectors[8], vectors[9],
                 vectors[10], vectors[11], vectors[12], vectors[13], vectors[14], vectors[15]);
    return std::ferror(file) == 0;
}

}  // namespace

OrvaBSLHost::OrvaBSLHost(OrvaLog* log) : OrvaBSLHost(log, kBuiltInImage) {}

OrvaBSLHost::OrvaBSLHost(OrvaLog* log, const BuiltInImage& builtIn) : OrvaSerial(log)
{
    commandBuffer_.reset(new (std::nothrow) char[kCommandBufferSize]());
    chunkBuffer_.reset(new (std::nothrow) char[kCommandBufferSize]());
    if (!commandBuffer_ || !chunkBuffer_) status_ = -60;

    std::snprintf(title_, sizeof title_, "%s", builtIn.title ? builtIn.title : "");
    kind_ = static_cast<InstrumentKind>(builtIn.kind);
    version_ = builtIn.version;
    for (int i = 0; i < kVectorCount; ++i)
        vectors_[i] = builtIn.vectors[i];

    // The text is copied as far as it really goes, and measured while copied.
    const std::size_t length = builtIn.text ? strnlen(builtIn.text, builtIn.textStorage) : 0;
    std::uint64_t sum = 0;
    imageText_.reset(new (std::nothrow) char[length + 1]());
    if (imageText_) {
        for (std::size_t i = 0; i < length; ++i) {
            imageText_[i] = builtIn.text[i];
            sum += static_cast<unsigned char>(builtIn.text[i]);
        }
        imageLength_ = static_cast<std::uint32_t>(length);
    } else {
        status_ = -60;
    }
    if (length != kBuiltInImageTextLength || sum != kBuiltInImageTextSum) status_ = -101;
}

OrvaBSLHost::~OrvaBSLHost() = default;

void OrvaBSLHost::Note(unsigned level, const char* format, ...) const
{
    OrvaLog* log = Log();
    if (!log) return;
    va_list args;
    va_start(args, format);
    log->LogMessageV(level, kLogTag, format, args);
    va_end(args);
}

int OrvaBSLHost::BSLLoadTIFile(const char* path)
{
    if (!path) return -10;
    const std::uint32_t start = MsTick();
    errno = 0;
    std::FILE* file = std::fopen(path, "rb");
    struct stat info;
    int openError = 0;
    if (!file) {
        openError = ErrnoOr(ENOENT);
    } else if (::fstat(fileno(file), &info) != 0) {
        openError = ErrnoOr(EIO);
    } else if (S_ISDIR(info.st_mode)) {
        openError = EISDIR;
    }
    if (openError != 0) {
        if (file) std::fclose(file);
        Note(1, "BSLLoadTIFile got error %d trying to open datafile %s", openError, path);
        return -openError;
    }

    const std::size_t size = info.st_size > 0 ? static_cast<std::size_t>(info.st_size) : 0;
    std::unique_ptr<char[]> content(size < SIZE_MAX ? new (std::nothrow) char[size + 1] : nullptr);
    if (!content) {
        std::fclose(file);
        return -60;
    }
    errno = 0;
    const std::size_t got = std::fread(content.get(), 1, size, file);
    const bool readFailed = std::ferror(file) != 0;
    const int readError = ErrnoOr(EIO);
    std::fclose(file);
    if (readFailed) {
        Note(1, "BSLLoadTIFile got error %d trying to read datafile %s", readError, path);
        return -readError;
    }
    content[got] = '\0';

    TITextImage image;
    TITextFault fault = TITextFault::kNone;
    const int result = ParseTIText(content.get(), got, &image, &fault);
    content.reset();
    if (result < 0) {
        if (fault == TITextFault::kNotTIText) return result;  // not TI-Text at all: nothing to report
        if (result == -100)
            Note(10, "BSLLoadTIFile: file %s is not a valid TI-Text file (%d ms)", path, ElapsedMs(start));
        else
            Note(1, "BSLLoadTIFile failed with error %d (%d ms)", result, ElapsedMs(start));
        return result;
    }

    // Installing the new image releases the one held before.
    FirmwareFileName name;
    ParseFirmwareFileName(path, &name);
    imageText_ = std::move(image.text);
    imageLength_ = image.length;
    vectors_ = image.vectors;
    loadedFromFile_ = true;
    std::memcpy(title_, name.title, sizeof title_);
    kind_ = name.kind;
    version_ = name.version;
    Note(10, "BSLLoadTIFile loaded file %s (%d ms)", path, ElapsedMs(start));
    return 1;
}

int OrvaBSLHost::BSLWriteTIFile(const char* path)
{
    if (!path) return -10;
    const std::uint32_t start = MsTick();
    errno = 0;
    std::FILE* file = std::fopen(path, "wb");
    if (!file) {
        const int error = ErrnoOr(ENOENT);
        Note(1, "BSLWriteTIFile got error %d trying to open datafile %s", error, path);
        return -error;
    }
    errno = 0;
    const bool written = WriteDump(file, ImageText(), imageLength_, vectors_);
    int error = written ? 0 : ErrnoOr(EIO);
    if (std::fclose(file) != 0 && error == 0) error = ErrnoOr(EIO);
    if (error != 0) {
        // A full disk must not pass for a dump.
        Note(1, "BSLWriteTIFile got error %d trying to write datafile %s", error, path);
        return -error;
    }
    Note(10, "BSLWriteTIFile wrote file %s (%d ms)", path, ElapsedMs(start));
    return 1;
}
