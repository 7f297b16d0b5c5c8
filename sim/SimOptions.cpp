#include "SimOptions.h"

#include <cstdlib>
#include <cstring>

#include "instrument/InstrumentKind.h"

namespace {

bool ReadInt(const std::string& text, int low, int high, int* value)
{
    if (text.empty()) return false;
    char* end = nullptr;
    const long number = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || number < low || number > high) return false;
    *value = static_cast<int>(number);
    return true;
}

struct Fault {
    const char* name;
    const char* help;
    void (*apply)(SimFaults& faults);
};

const Fault kFaults[] = {
    {"silent", "says nothing at all", [](SimFaults& f) { f.silent = true; }},
    {"echo", "sends every command line back before answering it", [](SimFaults& f) { f.echo = true; }},
    {"error", "answers every command with ERROR", [](SimFaults& f) { f.errorToEverything = true; }},
    {"prompt", "answers every command with a bare prompt \">\"", [](SimFaults& f) { f.promptOnly = true; }},
    {"dataflash", "the data flash is broken: \"yes\" answers \"DataFlash FAIL\"",
     [](SimFaults& f) { f.dataFlashFail = true; }},
};

const OrvasimOption kOptions[] = {
    {"--kind", "N", "instrument kind, 1 to 24 (default 14, the Tallix reader)",
     [](OrvasimOptions& o, const std::string& v, std::string& error) {
         if (ReadInt(v, 1, END - 1, &o.config.kind)) return true;
         error = "--kind takes a number from 1 to 24";
         return false;
     }},
    {"--version", "TEXT", "the answer to \"get -ver\" (default: the kind's code and 1.73, \"TX 1.73\")",
     [](OrvasimOptions& o, const std::string& v, std::string&) {
         o.config.versionText = v;
         return true;
     }},
    {"--hver", "TEXT", "the hardware revision, the answer to \"get -hver\" (default C)",
     [](OrvasimOptions& o, const std::string& v, std::string&) {
         o.config.hardwareRevision = v;
         return true;
     }},
    {"--battery", "PERCENT", "the battery charge, the answer to \"get -batt\" (default 87)",
     [](OrvasimOptions& o, const std::string& v, std::string& error) {
         if (ReadInt(v, 0, 100, &o.config.batteryPercent)) return true;
         error = "--battery takes a percentage from 0 to 100";
         return false;
     }},
    {"--fault", "NAME", "makes the instrument misbehave; may be given more than once (faults below)",
     [](OrvasimOptions& o, const std::string& v, std::string& error) {
         for (const Fault& fault : kFaults)
             if (v == fault.name) {
                 fault.apply(o.config.faults);
                 return true;
             }
         error = "unknown fault '" + v + "' (see --help)";
         return false;
     }},
    {"--old-firmware", nullptr, "a logger whose firmware predates \"get -ver\" (refuses it, answers \"show\")",
     [](OrvasimOptions& o, const std::string&, std::string&) {
         o.config.oldFirmware = true;
         return true;
     }},
    {"--start", "WHERE", "firmware (default), loader-waiting or loader-connected: the bootstrap loader runs",
     [](OrvasimOptions& o, const std::string& v, std::string& error) {
         if (v == "firmware")
             o.config.start = SimStart::Firmware;
         else if (v == "loader-waiting")
             o.config.start = SimStart::LoaderWaiting;
         else if (v == "loader-connected")
             o.config.start = SimStart::LoaderConnected;
         else {
             error = "--start takes firmware, loader-waiting or loader-connected";
             return false;
         }
         return true;
     }},
    {"--boot", "ANSWER",
     "what \"boot KRAB\" does: starts (default: starts the loader), missing (\"OrvaBSL MISSING\"), error "
     "(\"ERROR\") or dead (OK, but no loader comes up until the port is closed)",
     [](OrvasimOptions& o, const std::string& v, std::string& error) {
         if (v == "starts")
             o.config.loader.boot = SimLoaderConfig::Boot::Starts;
         else if (v == "missing")
             o.config.loader.boot = SimLoaderConfig::Boot::Missing;
         else if (v == "error")
             o.config.loader.boot = SimLoaderConfig::Boot::Error;
         else if (v == "dead")
             o.config.loader.boot = SimLoaderConfig::Boot::Dead;
         else {
             error = "--boot takes starts, missing, error or dead";
             return false;
         }
         return true;
     }},
    {"--refuse-frame", "LETTER:N", "the loader refuses (\"-\") the Nth frame of LETTER (g, @, W, X, V) once",
     [](OrvasimOptions& o, const std::string& v, std::string& error) {
         int nth = 0;
         if (v.size() >= 3 && v[1] == ':' && static_cast<unsigned char>(v[0]) < 0x80 &&
             ReadInt(v.substr(2), 1, 1000000, &nth)) {
             o.config.loader.refuseLetter = v[0];
             o.config.loader.refuseNth = static_cast<unsigned>(nth);
             return true;
         }
         error = "--refuse-frame takes a letter, a colon and a number from 1 (W:3)";
         return false;
     }},
    {"--pull-cable", "N",
     "after the loader's Nth frame the line goes dead until the host closes the port and opens it again",
     [](OrvasimOptions& o, const std::string& v, std::string& error) {
         int n = 0;
         if (ReadInt(v, 1, 1000000, &n)) {
             o.config.loader.pullCableAfter = static_cast<unsigned>(n);
             return true;
         }
         error = "--pull-cable takes a number from 1";
         return false;
     }},
    {"--dump-flash", "PATH", "on exit, write the instrument's flash (1 MiB, byte for byte, erased bytes 0xFF) to PATH",
     [](OrvasimOptions& o, const std::string& v, std::string&) {
         o.dumpFlash = v;
         return true;
     }},
    {"--link", "PATH", "also make PATH a symbolic link to the port (removed on exit)",
     [](OrvasimOptions& o, const std::string& v, std::string&) {
         o.link = v;
         return true;
     }},
    {"--baud-pacing", nullptr, "send no faster than an 8N1 line at the host's baud rate (for benchmarks)",
     [](OrvasimOptions& o, const std::string&, std::string&) {
         o.baudPacing = true;
         return true;
     }},
    {"--trace", nullptr, "tell on stderr what happens on the line",
     [](OrvasimOptions& o, const std::string&, std::string&) {
         o.trace = true;
         return true;
     }},
    {"--help", nullptr, "show this text",
     [](OrvasimOptions& o, const std::string&, std::string&) {
         o.help = true;
         return true;
     }},
};

}  // namespace

std::span<const OrvasimOption> OrvasimOptionTable()
{
    return kOptions;
}

bool ParseOrvasimOptions(int argc, char** argv, OrvasimOptions& options, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-h") arg = "--help";
        std::string value;
        bool inlineValue = false;
        const std::size_t equals = arg.find('=');
        if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg.resize(equals);
            inlineValue = true;
        }
        const OrvasimOption* option = nullptr;
        for (const OrvasimOption& candidate : kOptions)
            if (arg == candidate.name) option = &candidate;
        if (!option) {
            error = (arg.rfind('-', 0) == 0 ? "unknown option " : "unexpected argument ") + arg;
            return false;
        }
        if (option->value && !inlineValue) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            value = argv[++i];
        } else if (!option->value && inlineValue) {
            error = arg + " takes no value";
            return false;
        }
        if (!option->apply(options, value, error)) return false;
    }
    return true;
}

void PrintOrvasimHelp(std::FILE* out)
{
    std::fprintf(out,
                 "usage: orvasim [OPTIONS]\n\n"
                 "A simulated Corvane instrument on a pseudo-terminal. The first line on\n"
                 "stdout is the port's path; open it like a serial port (orvabsl, a terminal\n"
                 "program). Commands end with a carriage return; answers end with the prompt\n"
                 "\">\". Stop it with Ctrl-C.\n\noptions:\n");
    for (const OrvasimOption& option : kOptions) {
        std::string left = option.name;
        if (option.value) left += std::string(" ") + option.value;
        std::fprintf(out, "  %-20s %s\n", left.c_str(), option.help);
    }
    std::fprintf(out, "\nfaults:\n");
    for (const Fault& fault : kFaults)
        std::fprintf(out, "  %-20s %s\n", fault.name, fault.help);
}
