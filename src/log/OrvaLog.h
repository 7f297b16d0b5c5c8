#pragma once

#include <cstdarg>
#include <ctime>
#include <string>

// The one diagnostic log of the updater. Every message is one line, written
// by opening the file for appending, writing and closing it again, so the
// file is complete up to the last message even when the process is killed.
//
// Levels: 1 errors and operator texts, 10 milestones, 30 verbose, 40 trace.
// A message is written when its level does not exceed the threshold.
class OrvaLog {
public:
    // A null path means "error.txt" in the working directory. A threshold
    // other than 0, 1, 10, 30 or 40 stores 1. Nothing is opened here.
    OrvaLog(const char* path, unsigned threshold);
    OrvaLog(const OrvaLog&) = delete;
    OrvaLog& operator=(const OrvaLog&) = delete;
    ~OrvaLog();

    // Writes "<date> - <tag>: <message>\r\n". Returns the characters written,
    // or 0 when filtered out or the file could not be opened.
    int LogMessage(unsigned level, const char* tag, const char* format, ...)
        __attribute__((format(printf, 4, 5)));
    int LogMessageV(unsigned level, const char* tag, const char* format, va_list args)
        __attribute__((format(printf, 4, 0)));

    bool SetLogLevel(unsigned threshold);
    unsigned GetLogLevel() const { return threshold_; }

    // Size of the file in bytes; the negated errno when it cannot be opened.
    int GetLogSize();

    // Keeps at most maxBytes of the file's tail, starting at a line start.
    bool TrimLog(unsigned maxBytes);

    const std::string& Path() const { return path_; }

    // Replaces the wall clock used for the date text (tests); null restores it.
    using TimeSource = std::time_t (*)();
    void SetTimeSource(TimeSource source) { timeSource_ = source; }

    // Formats the date text of a line: "%d %s %d %d:%02d:%02d".
    static std::string FormatDate(const std::tm& local);

private:
    static bool IsValidThreshold(unsigned threshold);
    void RecoverInterruptedTrim();

    std::string path_;
    unsigned threshold_;
    TimeSource timeSource_ = nullptr;
};
