#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

class OrvaLog;

// One command of the orvabsl front end. Commands register themselves with a
// static CliCommandRegistrar in their own cmd_*.cpp file.
struct CliCommand {
    const char* name;
    const char* usage;    // e.g. "image [--file TI_TEXT] [--dump OUT] [--log LOG]"
    const char* summary;  // one line for the command list
    const char* help;     // the options, one per line, for "orvabsl NAME --help"
    int (*run)(int argc, char** argv);  // argv[0] is the command name
};

class CliRegistry {
public:
    static void Add(const CliCommand& command);
    static const CliCommand* Find(const std::string& name);
    static std::vector<CliCommand> All();  // sorted by name
};

struct CliCommandRegistrar {
    explicit CliCommandRegistrar(const CliCommand& command) { CliRegistry::Add(command); }
};

// Parses "--name value" options and "--flag" switches. Unknown options,
// missing values and stray arguments are errors, reported on stderr.
class CliArgs {
public:
    // valueOptions take a value; flags do not. "--help" and "-h" are always
    // known and set HelpWanted().
    CliArgs(int argc, char** argv, const std::vector<std::string>& valueOptions,
            const std::vector<std::string>& flags = {});

    bool Ok() const { return ok_; }
    bool HelpWanted() const { return help_; }
    bool Has(const std::string& name) const { return values_.count(name) != 0; }
    std::string Get(const std::string& name, const std::string& fallback = {}) const;
    const std::string& Error() const { return error_; }

private:
    bool ok_ = true;
    bool help_ = false;
    std::map<std::string, std::string> values_;
    std::string error_;
};

// Handles --help and argument errors the same way for every command: prints
// the command's usage and returns the exit status to use (0 for --help, 2 for
// a usage error), or -1 when the command should go on.
int CliHandleArgs(const CliCommand& command, const CliArgs& args);

// Prints the command's usage and help text to stdout.
void CliPrintUsage(const CliCommand& command);

// Opens the diagnostic log for a command: the given path, else the updater's
// error file in the per-user data folder; threshold 30.
std::unique_ptr<OrvaLog> CliOpenLog(const std::string& path);

// Prints "error <code>: <explanation>" on stderr and returns exit status 1.
int CliFail(int code, const std::string& explanation);
