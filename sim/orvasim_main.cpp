// orvasim: a simulated instrument on a pseudo-terminal.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "SimFlash.h"
#include "SimInstrument.h"
#include "SimOptions.h"
#include "SimPtyServer.h"

namespace {

volatile std::sig_atomic_t gStop = 0;

void OnSignal(int)
{
    gStop = 1;
}

}  // namespace

int main(int argc, char** argv)
{
    OrvasimOptions options;
    std::string error;
    if (!ParseOrvasimOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "orvasim: %s\n(see 'orvasim --help')\n", error.c_str());
        return 2;
    }
    if (options.help) {
        PrintOrvasimHelp(stdout);
        return 0;
    }

    SimInstrument sim(options.config);
    if (options.trace) sim.trace = [](const std::string& line) { std::fprintf(stderr, "orvasim: %s\n", line.c_str()); };
    SimPtyServer server(sim);
    if (const int r = server.Open(); r < 0) {
        std::fprintf(stderr, "orvasim: cannot make a pseudo-terminal: %s\n", std::strerror(-r));
        return 1;
    }
    server.SetBaudPacing(options.baudPacing);
    if (!options.link.empty()) {
        if (const int r = server.Link(options.link); r < 0) {
            std::fprintf(stderr, "orvasim: cannot make the link %s: %s\n", options.link.c_str(), std::strerror(-r));
            return 1;
        }
    }

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::printf("%s\n", server.SlavePath().c_str());
    std::fflush(stdout);
    server.Run(gStop);
    if (!options.dumpFlash.empty()) {
        if (const int r = sim.Model<SimFlash>().Dump(options.dumpFlash.c_str()); r < 0) {
            std::fprintf(stderr, "orvasim: cannot write the flash to %s: %s\n", options.dumpFlash.c_str(),
                         std::strerror(-r));
            return 1;
        }
    }
    return 0;
}
