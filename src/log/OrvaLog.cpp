#include "log/OrvaLog.h"

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <vector>

namespace {

const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool FileExists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

OrvaLog::OrvaLog(const char* path, unsigned threshold)
    : path_(path ? path : "error.txt"), threshold_(IsValidThreshold(threshold) ? threshold : 1)
{
}

OrvaLog::~OrvaLog() = default;

bool OrvaLog::IsValidThreshold(unsigned threshold)
{
    return threshold == 0 || threshold == 1 || threshold == 10 || threshold == 30 || threshold == 40;
}

bool OrvaLog::SetLogLevel(unsigned threshold)
{
    if (!IsValidThreshold(threshold)) return false;
    threshold_ = threshold;
    return true;
}

std::string OrvaLog::FormatDate(const std::tm& local)
{
    char text[64];
    const int month = (local.tm_mon >= 0 && local.tm_mon < 12) ? local.tm_mon : 0;
    std::snprintf(text, sizeof text, "%d %s %d %d:%02d:%02d", local.tm_mday, kMonths[month],
                  local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

// A trim replaces the log by renaming its temporary file over it, which is
// atomic. Should a trim be interrupted between removing the log and renaming
// (as an older build did it), the temporary file holds the kept tail: put it
// back before anything new is appended, so the tail is not lost.
void OrvaLog::RecoverInterruptedTrim()
{
    if (FileExists(path_)) return;
    const std::string temp = path_ + ".temp";
    if (FileExists(temp)) std::rename(temp.c_str(), path_.c_str());
}

int OrvaLog::LogMessage(unsigned level, const char* tag, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int written = LogMessageV(level, tag, format, args);
    va_end(args);
    return written;
}

int OrvaLog::LogMessageV(unsigned level, const char* tag, const char* format, va_list args)
{
    if (threshold_ < level) return 0;
    RecoverInterruptedTrim();
    std::FILE* file = std::fopen(path_.c_str(), "ab");
    if (!file) return 0;

    const std::time_t now = timeSource_ ? timeSource_() : std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const std::string date = FormatDate(local);

    int total = 0;
    int n = std::fprintf(file, "%s - %s: ", date.c_str(), tag ? tag : "");
    if (n > 0) total += n;
    if (format) {
        n = std::vfprintf(file, format, args);
        if (n > 0) total += n;
    }
    n = std::fprintf(file, "\r\n");
    if (n > 0) total += n;
    std::fclose(file);
    return total;
}

int OrvaLog::GetLogSize()
{
    RecoverInterruptedTrim();
    std::FILE* file = std::fopen(path_.c_str(), "rb");
    if (!file) return -errno;
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::fclose(file);
    return static_cast<int>(size);
}

bool OrvaLog::TrimLog(unsigned maxBytes)
{
    RecoverInterruptedTrim();
    const std::string temp = path_ + ".temp";
    std::FILE* log = std::fopen(path_.c_str(), "rb");
    if (!log) return false;
    std::fseek(log, 0, SEEK_END);
    const long size = std::ftell(log);
    if (size < 0 || static_cast<unsigned long>(size) < maxBytes) {
        std::fclose(log);
        return true;
    }
    std::fseek(log, size - static_cast<long>(maxBytes), SEEK_SET);
    for (int c = std::fgetc(log); c != EOF && c != '\n'; c = std::fgetc(log)) {
    }

    std::FILE* out = std::fopen(temp.c_str(), "wb");
    if (!out) {
        std::fclose(log);
        return false;
    }
    std::vector<char> buffer;
    try {
        buffer.resize(maxBytes);
    } catch (...) {
        std::fclose(out);
        std::remove(temp.c_str());
        std::fclose(log);
        return false;
    }
    const size_t got = maxBytes ? std::fread(buffer.data(), 1, maxBytes, log) : 0;
    const bool wrote = std::fwrite(buffer.data(), 1, got, out) == got;
    std::fclose(log);
    const bool closed = std::fclose(out) == 0;
    if (!wrote || !closed) {
        std::remove(temp.c_str());
        return false;
    }
    // rename() replaces the log atomically: at every moment either the old
    // log or the trimmed one is in place.
    if (std::rename(temp.c_str(), path_.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}
