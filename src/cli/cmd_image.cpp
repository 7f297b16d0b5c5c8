// orvabsl image: shows the firmware image the updater holds (the built-in one
// or a TI-Text file) and dumps it.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/CliInstrument.h"
#include "cli/CliSupport.h"
#include "instrument/InstrumentKind.h"
#include "loader/OrvaBSLHost.h"
#include "log/OrvaLog.h"

namespace {

int RunImage(int argc, char** argv);

const CliCommand kImageCommand = {
    "image",
    "image [--file TI_TEXT] [--dump OUT] [--log LOG]",
    "show the firmware image held (built in, or a TI-Text file) and dump it",
    "  --file TI_TEXT  load this TI-Text firmware file instead of the built-in image\n"
    "  --dump OUT      write the image held to OUT (the firmware image dump)\n"
    "  --log LOG       diagnostic log file (default: the updater's error file)\n",
    RunImage,
};

const CliCommandRegistrar kRegistrar(kImageCommand);

int RunImage(int argc, char** argv)
{
    const CliArgs args(argc, argv, {"--file", "--dump", "--log"});
    const int handled = CliHandleArgs(kImageCommand, args);
    if (handled >= 0) return handled;

    const std::unique_ptr<OrvaLog> log = CliOpenLog(args.Get("--log"));
    OrvaBSLHost host(log.get());
    const int prepared = CliPrepareImage(host, log.get(), args, CliFileName::BaseName);
    if (prepared >= 0) return prepared;
    if (args.Has("--dump")) {
        const std::string path = args.Get("--dump");
        const int result = host.BSLWriteTIFile(path.c_str());
        if (result < 0) return CliFail(result, "could not write \"" + path + "\": " + std::strerror(-result));
    }

    std::uint64_t sum = 0;
    const char* text = host.ImageText();
    for (std::uint32_t i = 0; i < host.ImageLength(); ++i)
        sum += static_cast<unsigned char>(text[i]);

    std::printf("title: %s\n", host.Title());
    std::printf("kind: %d %s\n", static_cast<int>(host.Kind()), KindDisplayName(host.Kind()));
    std::printf("version: %d\n", static_cast<int>(host.Version()));
    std::printf("length: %u\n", static_cast<unsigned>(host.ImageLength()));
    std::printf("sum: %llu\n", static_cast<unsigned long long>(sum));
    std::printf("vectors:");
    for (const std::uint16_t word : host.Vectors())
        std::printf(" %04X", static_cast<unsigned>(word));
    std::printf("\n");
    return 0;
}

}  // namespace
