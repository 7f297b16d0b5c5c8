// orvabsl flash: programs an instrument through its bootstrap loader with the
// built-in firmware image or a TI-Text file: connect, erase the INFO memory
// and the flash, send the image and the vectors, close.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>

#include "cli/CliInstrument.h"
#include "cli/CliSupport.h"
#include "instrument/InstrumentKind.h"
#include "loader/OrvaBSLHost.h"
#include "log/OrvaLog.h"
#include "serial/Timing.h"

namespace {

int RunFlash(int argc, char** argv);

const CliCommand kFlashCommand = {
    "flash",
    "flash --port PORT [--file TI_TEXT] [--log LOG]",
    "program an instrument with the built-in firmware image (or a TI-Text file) through its loader",
    "  --port PORT     the serial port the instrument is on\n"
    "  --file TI_TEXT  program this TI-Text firmware file instead of the built-in image\n"
    "  --log LOG       diagnostic log file (default: the updater's error file)\n"
    "\n"
    "The memory layout and the loader's baud rate are those of the image's\n"
    "instrument kind (the reader's for a file whose name names no kind). An\n"
    "instrument left in its loader by an interrupted update is found and\n"
    "programmed all the same. Ctrl-C stops the erase or the transfer; the\n"
    "instrument then stays in its loader.\n",
    RunFlash,
};

const CliCommandRegistrar kRegistrar(kFlashCommand);

volatile std::sig_atomic_t gInterrupted = 0;

void OnInterrupt(int)
{
    gInterrupted = 1;
}

// The steps of a flash, and the share of the whole each one takes.
enum class Step { Connect, EraseInfo, EraseFlash, Transfer, Vectors, Done };

struct StepShare {
    const char* name;
    int from;  // percent of the whole when the step begins
    int to;
};

StepShare ShareOf(Step step)
{
    switch (step) {
        case Step::Connect:
            return {"connecting to the loader", 0, 2};
        case Step::EraseInfo:
            return {"erasing the INFO memory", 2, 3};
        case Step::EraseFlash:
            return {"erasing the flash", 3, 20};
        case Step::Transfer:
            return {"writing the firmware", 20, 99};
        case Step::Vectors:
            return {"writing the vectors", 99, 100};
        case Step::Done:
            break;
    }
    return {"done", 100, 100};
}

// Shows the progress: a bar redrawn in place on a terminal, otherwise a line
// for each step and for every tenth percent.
class ProgressView {
public:
    explicit ProgressView(bool terminal) : terminal_(terminal) {}
    ~ProgressView() { Finish(); }

    void Begin(Step step)
    {
        step_ = step;
        Show(ShareOf(step).from, true);
    }
    // Within the step: done of total.
    void Advance(unsigned total, unsigned done)
    {
        const StepShare share = ShareOf(step_);
        const unsigned part = total == 0 ? 1 : total;
        const unsigned within = done > part ? part : done;
        Show(share.from + static_cast<int>((share.to - share.from) * static_cast<double>(within) / part), false);
    }
    // Ends the bar's line, so that what follows starts on a line of its own.
    void Finish()
    {
        if (terminal_ && drawn_) {
            std::fputc('\n', stdout);
            std::fflush(stdout);
        }
        drawn_ = false;
    }

private:
    void Show(int percent, bool newStep)
    {
        if (percent == shown_ && !newStep) return;
        const char* name = ShareOf(step_).name;
        if (terminal_) {
            constexpr int kWidth = 30;
            const int filled = percent * kWidth / 100;
            std::printf("\r[%s%s] %3d%% %-26s", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                        std::string(static_cast<std::size_t>(kWidth - filled), '-').c_str(), percent, name);
            std::fflush(stdout);
            drawn_ = true;
        } else if (newStep || percent / 10 != shown_ / 10) {
            std::printf("%3d%% %s\n", percent, name);
            std::fflush(stdout);
        }
        shown_ = percent;
    }

    bool terminal_;
    Step step_ = Step::Connect;
    int shown_ = -1;
    bool drawn_ = false;
};

std::string Reason(int code)
{
    switch (code) {
        case -1:
            return "the loader refused the command";
        case -10:
            return "there is no firmware image";
        case -11:
            return "an address of the image cannot be sent in this addressing mode";
        case -21:
            return "the loader stopped answering (is the cable still connected?)";
        case -22:
            return "no tries were allowed";
        case -40:
            return "stopped on request; the instrument stays in its loader";
        case -60:
            return "out of memory";
        default:
            return "the loader gave error " + std::to_string(code);
    }
}

std::string ConnectFailure(int code, const std::string& port)
{
    switch (code) {
        case -10:
            return "no port was given";
        case -112:
            return "the instrument on " + port + " has no working firmware loader";
        case -110:
            return "the instrument on " + port +
                   " did not start its firmware loader, or the loader refused the "
                   "connection";
        case -21:
            return "nothing answered on " + port;
        case -22:
            return "no tries were allowed";
        case -1:
            return "the firmware loader did not tell its version";
        case -5:
            return "the port " + port + " is in use by another program";
        default:
            if (code < 0 && code > -200)
                return "the port " + port + " could not be used (" + std::string(std::strerror(-code)) + ")";
            return "could not connect to the firmware loader (error " + std::to_string(code) + ")";
    }
}

int RunFlash(int argc, char** argv)
{
    const CliArgs args(argc, argv, {"--port", "--file", "--log"});
    const int handled = CliHandleArgs(kFlashCommand, args);
    if (handled >= 0) return handled;
    const std::string port = args.Get("--port");
    if (port.empty()) return CliFail(-10, ConnectFailure(-10, port));

    const std::unique_ptr<OrvaLog> log = CliOpenLog(args.Get("--log"));
    OrvaBSLHost host(log.get());
    const int prepared = CliPrepareImage(host, log.get(), args, CliFileName::Path);
    if (prepared >= 0) return prepared;

    // A file whose name names no kind is taken for the reader's, as the
    // window does.
    const int kind = host.Kind() == UNKNOWN ? TALLIX : host.Kind();
    InstrumentInfo info{};
    FillInstrumentInfo(kind, 999, &info);
    const bool fiveDigit = info.extendedAddressing != 0;

    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    struct sigaction previous {};
    sigaction(SIGINT, &action, &previous);

    ProgressView view(::isatty(STDOUT_FILENO) == 1);
    host.SetProgressCallback([&view](unsigned total, unsigned done, int, char) {
        view.Advance(total, done);
        return gInterrupted == 0;
    });

    const std::uint32_t start = MsTick();
    view.Begin(Step::Connect);
    int result = host.BSLConnect(port.c_str(), static_cast<int>(info.loaderBaud), true, 3);
    std::string failure;
    if (result < 0) {
        failure = ConnectFailure(result, port);
    } else {
        view.Begin(Step::EraseInfo);
        result = host.BSLEraseINFO(info.infoStart, info.infoSegments, info.infoSegmentSize, fiveDigit);
        if (result < 0) failure = "erasing the INFO memory failed: " + Reason(result);
    }
    if (failure.empty()) {
        view.Begin(Step::EraseFlash);
        result = host.BSLEraseFlash(info.flashStart, info.flashEnd, fiveDigit);
        if (result < 0) failure = "erasing the flash failed: " + Reason(result);
    }
    if (failure.empty()) {
        view.Begin(Step::Transfer);
        result = host.BSLSendFirmware(fiveDigit);
        if (result < 0) failure = "writing the firmware failed: " + Reason(result);
    }
    if (failure.empty()) {
        view.Begin(Step::Vectors);
        result = host.BSLSendVectors();
        if (result < 0) failure = "writing the interrupt vectors failed: " + Reason(result);
    }
    host.BSLClose();
    sigaction(SIGINT, &previous, nullptr);
    if (!failure.empty()) {
        view.Finish();
        return CliFail(result, failure);
    }
    view.Begin(Step::Done);
    view.Finish();
    std::printf("flashed %u characters in %.1f s\n", static_cast<unsigned>(host.ImageLength()),
                (MsTick() - start) / 1000.0);
    return 0;
}

}  // namespace
