#pragma once

// A diagnostic log in a temporary file of its own, removed with the object.

#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

#include "log/OrvaLog.h"
#include "support/FileText.h"

class TempLogFile {
public:
    // The file is <temp>/<prefix><pid>-<n>.txt; the log keeps messages up to
    // the given level.
    TempLogFile(const std::string& prefix, unsigned threshold)
    {
        static int counter = 0;
        path_ = std::filesystem::temp_directory_path() /
                (prefix + std::to_string(::getpid()) + "-" + std::to_string(++counter) + ".txt");
        std::filesystem::remove(path_);
        log_ = std::make_unique<OrvaLog>(path_.c_str(), threshold);
    }
    ~TempLogFile() { std::filesystem::remove(path_); }
    TempLogFile(const TempLogFile&) = delete;
    TempLogFile& operator=(const TempLogFile&) = delete;

    OrvaLog* get() { return log_.get(); }
    std::string Text() const { return ReadFile(path_); }
    bool Has(const std::string& piece) const { return Text().find(piece) != std::string::npos; }

private:
    std::filesystem::path path_;
    std::unique_ptr<OrvaLog> log_;
};
