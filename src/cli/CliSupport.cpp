#include "cli/CliSupport.h"

#include <algorithm>
#include <cstdio>

#include "app/AppPaths.h"
#include "instrument/InstrumentKind.h"
#include "log/OrvaLog.h"

namespace {

std::vector<CliCommand>& Commands()
{
    static std::vector<CliCommand> commands;
    return commands;
}

bool Contains(const std::vector<std::string>& list, const std::string& name)
{
    return std::find(list.begin(), list.end(), name) != list.end();
}

}  // namespace

void CliRegistry::Add(const CliCommand& command) { Commands().push_back(command); }

const CliCommand* CliRegistry::Find(const std::string& name)
{
    for (const CliCommand& command : Commands())
        if (name == command.name) return &command;
    return nullptr;
}

std::vector<CliCommand> CliRegistry::All()
{
    std::vector<CliCommand> all = Commands();
    std::sort(all.begin(), all.end(),
              [](const CliCommand& a, const CliCommand& b) { return std::string(a.name) < b.name; });
    return all;
}

CliArgs::CliArgs(int argc, char** argv, const std::vector<std::string>& valueOptions,
                 const std::vector<std::string>& flags)
{
    for (int i = 1; i < argc && ok_; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            help_ = true;
        } else if (Contains(valueOptions, arg)) {
            if (i + 1 >= argc) {
                ok_ = false;
                error_ = "option " + arg + " needs a value";
            } else {
                values_[arg] = argv[++i];
            }
        } else if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos &&
                   Contains(valueOptions, arg.substr(0, arg.find('=')))) {
            values_[arg.substr(0, arg.find('='))] = arg.substr(arg.find('=') + 1);
        } else if (Contains(flags, arg)) {
            values_[arg] = "1";
        } else {
            ok_ = false;
            error_ = (arg.rfind("-", 0) == 0 ? "unknown option " : "unexpected argument ") + arg;
        }
    }
}

std::string CliArgs::Get(const std::string& name, const std::string& fallback) const
{
    const auto it = values_.find(name);
    return it == values_.end() ? fallback : it->second;
}

void CliPrintUsage(const CliCommand& command)
{
    std::printf("usage: orvabsl %s\n\n%s\n", command.usage, command.summary);
    if (command.help && *command.help) std::printf("\n%s", command.help);
}

int CliHandleArgs(const CliCommand& command, const CliArgs& args)
{
    if (args.HelpWanted()) {
        CliPrintUsage(command);
        return 0;
    }
    if (!args.Ok()) {
        std::fprintf(stderr, "orvabsl %s: %s\nusage: orvabsl %s\n", command.name, args.Error().c_str(),
                     command.usage);
        return 2;
    }
    return -1;
}

std::unique_ptr<OrvaLog> CliOpenLog(const std::string& path)
{
    std::string file = path;
    if (file.empty())
        file = ErrorFilePathFor(AppDataFolder(), WindowCaption(KindDisplayName(kBuildKind)));
    return std::make_unique<OrvaLog>(file.c_str(), 30);
}

int CliFail(int code, const std::string& explanation)
{
    std::fprintf(stderr, "error %d: %s\n", code, explanation.c_str());
    return 1;
}
