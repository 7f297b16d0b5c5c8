// Host-side cost of the loader path: frame building, reading a TI-Text file,
// and a whole erase and transfer against the in-process simulated reader
// under a virtual clock (so only computation is measured, not the line).
//
//   build/bench/bench_loader [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "SimInstrument.h"
#include "SimSerialPort.h"
#include "instrument/InstrumentKind.h"
#include "loader/BSLFrame.h"
#include "loader/OrvaBSLHost.h"
#include "loader/TITextImage.h"
#include "serial/Timing.h"

namespace {

void BM_BuildWriteFrame(benchmark::State& state)
{
    const std::string payload(512, 'A');
    char frame[kBSLMaxFrame];
    for (auto _ : state) {
        const int n = BSLBuildFrame('W', payload.data(), payload.size(), frame, sizeof frame);
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(frame);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(payload.size()));
}
BENCHMARK(BM_BuildWriteFrame);

void BM_ParseReaderFirmwareFile(benchmark::State& state)
{
    std::ifstream in(ORVA_FIXTURES_DIR "/TX-1-73.txt", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    const std::string file = text.str();
    if (file.empty()) {
        state.SkipWithError("fixture TX-1-73.txt not found");
        return;
    }
    for (auto _ : state) {
        TITextImage image;
        const int r = ParseTIText(file.data(), file.size(), &image);
        benchmark::DoNotOptimize(r);
        benchmark::DoNotOptimize(image.length);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(file.size()));
}
BENCHMARK(BM_ParseReaderFirmwareFile)->Unit(benchmark::kMillisecond);

void BM_WholeUpdateInProcess(benchmark::State& state)
{
    VirtualClock clock(1000);
    ScopedClock useClock(&clock);
    InstrumentInfo info{};
    FillInstrumentInfo(TALLIX, 999, &info);
    for (auto _ : state) {
        SimInstrument sim;
        SimPortProvider provider;
        provider.Attach("ttyUSB0", &sim);
        ScopedSerialPortProvider useProvider(&provider);
        OrvaBSLHost host(nullptr);
        int r = host.BSLConnect("ttyUSB0", static_cast<int>(info.loaderBaud), false, 3);
        if (r >= 0) r = host.BSLEraseINFO(info.infoStart, info.infoSegments, info.infoSegmentSize, true);
        if (r >= 0) r = host.BSLEraseFlash(info.flashStart, info.flashEnd, true);
        if (r >= 0) r = host.BSLSendFirmware(true);
        if (r >= 0) r = host.BSLSendVectors();
        host.BSLClose();
        if (r < 0) {
            state.SkipWithError("the simulated update failed");
            return;
        }
        state.counters["image_chars"] = static_cast<double>(host.ImageLength());
    }
}
BENCHMARK(BM_WholeUpdateInProcess)->Unit(benchmark::kMillisecond);

}  // namespace
