// orvabsl ports: lists the serial ports as the window's port list shows them.
#include <cstdio>

#include "cli/CliSupport.h"
#include "log/OrvaLog.h"
#include "serial/OrvaSerial.h"

namespace {

int RunPorts(int argc, char** argv);

const CliCommand kPortsCommand = {
    "ports",
    "ports [--all] [--log LOG]",
    "list the serial ports: the port name, a tab and the label, one a line",
    "  --all      also probe ttyS0 to ttyS15 (\"Force Find All Comm Ports\")\n"
    "  --log LOG  diagnostic log file (default: the updater's error file)\n"
    "\nPaths in ORVABSL_EXTRA_PORTS (colon-separated, such as a simulated\n"
    "instrument's port) are listed too. A port that another program holds\n"
    "is marked \" (busy)\".\n",
    RunPorts,
};

const CliCommandRegistrar kRegistrar(kPortsCommand);

// As many as the window's port list holds.
constexpr unsigned kCapacity = 16;

int RunPorts(int argc, char** argv)
{
    const CliArgs args(argc, argv, {"--log"}, {"--all"});
    const int handled = CliHandleArgs(kPortsCommand, args);
    if (handled >= 0) return handled;

    const std::unique_ptr<OrvaLog> log = CliOpenLog(args.Get("--log"));
    OrvaSerial lister(log.get());
    CommPortEntry entries[kCapacity];
    unsigned count = kCapacity;
    const int result = lister.CommPortEnum(entries, &count, args.Has("--all"));
    if (result < 0 || count == 0) {
        std::printf("No Comm Ports Found\n");
        return 0;
    }
    for (unsigned i = 0; i < count; ++i)
        std::printf("%s\t%s\n", entries[i].portName, entries[i].label);
    return 0;
}

}  // namespace
