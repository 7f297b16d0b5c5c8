#pragma once

// Runs the built orvasim for an end-to-end test: starts it with the given
// options, reads the port path from its first line, keeps its stderr in a
// file, and stops it (SIGTERM to its own pid) with the object.

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "support/CommandRun.h"
#include "support/FileText.h"

class OrvasimProcess {
public:
    OrvasimProcess(const std::string& exe, std::vector<std::string> args)
    {
        static int counter = 0;
        stderrPath_ = std::filesystem::temp_directory_path() /
                      ("orvasim-e2e-" + std::to_string(::getpid()) + "-" + std::to_string(++counter) + ".err");
        int out[2];
        if (::pipe(out) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            const int err = ::open(stderrPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (err >= 0) ::dup2(err, STDERR_FILENO);
            ::close(out[0]);
            std::vector<char*> argv;
            argv.push_back(const_cast<char*>(exe.c_str()));
            for (std::string& arg : args)
                argv.push_back(arg.data());
            argv.push_back(nullptr);
            ::execv(exe.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        stdout_ = out[0];
        // The first line is the port's path.
        std::string line;
        pollfd p{stdout_, POLLIN, 0};
        while (line.find('\n') == std::string::npos && ::poll(&p, 1, 5000) > 0) {
            char buffer[256];
            const ssize_t n = ::read(stdout_, buffer, sizeof buffer);
            if (n <= 0) break;
            line.append(buffer, static_cast<size_t>(n));
        }
        if (line.find('\n') != std::string::npos) port_ = line.substr(0, line.find('\n'));
    }
    ~OrvasimProcess()
    {
        Stop();
        if (stdout_ >= 0) ::close(stdout_);
        std::filesystem::remove(stderrPath_);
    }
    OrvasimProcess(const OrvasimProcess&) = delete;
    OrvasimProcess& operator=(const OrvasimProcess&) = delete;

    // The slave's path, empty when orvasim did not come up.
    const std::string& Port() const { return port_; }
    // What orvasim wrote on stderr so far.
    std::string Stderr() const { return ReadFile(stderrPath_); }
    // Stops it; returns its exit status (-1 when it did not exit normally).
    int Stop()
    {
        if (pid_ <= 0) return status_;
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return status_;
    }

private:
    pid_t pid_ = -1;
    int stdout_ = -1;
    int status_ = -1;
    std::string port_;
    std::filesystem::path stderrPath_;
};
