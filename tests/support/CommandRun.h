#pragma once

// Runs shell command lines for end-to-end tests and keeps what they print.

#include <cstdio>
#include <string>
#include <sys/wait.h>

// A command's exit status (-1 when it did not exit normally or could not be
// started) and what it printed.
struct CommandRun {
    int status = -1;
    std::string out;
};

// Runs a shell command line as it is: out is its standard output.
inline CommandRun RunShell(const std::string& commandLine)
{
    CommandRun run;
    FILE* pipe = ::popen(commandLine.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.out.append(buffer, n);
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// Runs a shell command line: out is its standard output and error together.
inline CommandRun RunCommand(const std::string& command)
{
    return RunShell(command + " 2>&1");
}
