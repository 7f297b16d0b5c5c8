// orvabsl: the headless front end of the updater.
#include <cstdio>
#include <cstring>

#include "cli/CliSupport.h"
#include "orva_version.h"

namespace {

void PrintHelp()
{
    std::printf(
        "usage: orvabsl COMMAND [OPTIONS]\n"
        "       orvabsl --version | --help\n\n"
        "Firmware updater for the instruments of Corvane Devices, headless.\n\n"
        "commands:\n");
    for (const CliCommand& command : CliRegistry::All()) std::printf("  %-16s %s\n", command.name, command.summary);
    std::printf("\n'orvabsl COMMAND --help' describes a command's options.\n");
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        PrintHelp();
        return 2;
    }
    const char* first = argv[1];
    if (std::strcmp(first, "--version") == 0 || std::strcmp(first, "-V") == 0) {
        std::printf("orvabsl %s\n", ORVABSL_FILE_VERSION);
        return 0;
    }
    if (std::strcmp(first, "--help") == 0 || std::strcmp(first, "-h") == 0 || std::strcmp(first, "help") == 0) {
        if (argc > 2 && std::strcmp(first, "help") == 0) {
            if (const CliCommand* command = CliRegistry::Find(argv[2])) {
                CliPrintUsage(*command);
                return 0;
            }
        }
        PrintHelp();
        return 0;
    }
    const CliCommand* command = CliRegistry::Find(first);
    if (!command) {
        std::fprintf(stderr, "orvabsl: unknown command '%s' (see 'orvabsl --help')\n", first);
        return 2;
    }
    return command->run(argc - 1, argv + 1);
}
