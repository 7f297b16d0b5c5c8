// The simulated data loggers' settings, line by line: what each kind and
// firmware answers, which values it takes, and the fault of a setting that
// falls silent once.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "SimInstrument.h"
#include "SimLogger.h"
#include "SimLoggerSettings.h"
#include "instrument/InstrumentKind.h"
#include "serial/Timing.h"

namespace {

struct Exchange {
    const char* line;    // without its "\r"
    const char* answer;  // everything the logger sends back
};

struct LoggerLines {
    const char* what;
    int kind;
    const char* version;
    bool oldFirmware;
    void (*setup)(SimInstrument&);
    std::vector<Exchange> exchanges;
};

void PrintTo(const LoggerLines& c, std::ostream* os)
{
    *os << c.what;
}

class SimLoggerSettingsLines : public ::testing::TestWithParam<LoggerLines> {
protected:
    VirtualClock clock_{5000};
    ScopedClock useClock_{&clock_};
};

TEST_P(SimLoggerSettingsLines, AnswerAsTheFirmwareWould)
{
    const LoggerLines& c = GetParam();
    SimConfig config;
    config.kind = c.kind;
    config.versionText = c.version;
    config.oldFirmware = c.oldFirmware;
    SimInstrument sim(config);
    if (c.setup) c.setup(sim);
    for (const Exchange& e : c.exchanges) {
        sim.Feed(std::string(e.line) + "\r");
        EXPECT_EQ(SimPrintable(sim.TakeAll()), SimPrintable(e.answer)) << e.line;
    }
}

const char kRefused[] = "\rERROR\r\n>";
const char kOk[] = "\rOK\r\n>";

INSTANTIATE_TEST_SUITE_P(
    Kinds, SimLoggerSettingsLines,
    ::testing::Values(
        LoggerLines{"a Kelox of 2.02 has every setting",
                    KELOX,
                    "KELOX 2.02",
                    false,
                    nullptr,
                    {{"get -devid", "\r00A1B2C3\r\n>"},
                     {"get -lat", "\r+46.73120\r\n>"},
                     {"set -lat", kOk},
                     {"get -lat", "\r+0.00000\r\n>"},
                     {"get -trait", "\r246\r\n>"},
                     {"get -adc30", "\r128 10 129 11 130 12 131 13 132 14 198\r\n>"},
                     {"get -authkey", "\r0123456789ABCDEF0123456789ABCDEF\r\n>"},
                     {"get -teakey", "\r0123456789ABCDEF0123456789ABCDEF\r\n>"},
                     {"get -rch", "\r3\r\n>"},
                     {"get -rsch", "\r1A2B\r\n>"},
                     {"get -rver", "\r1084\r\n>"}}},
        LoggerLines{"a Kelox of 1.73 lacks the newer ones",
                    KELOX,
                    "KELOX 1.73",
                    false,
                    nullptr,
                    {{"get -devid", kRefused},
                     {"get -lat", kRefused},
                     {"set -tz 4", kRefused},
                     {"get -trait", "\r246\r\n>"},
                     {"get -data", "\r3\r\n>"},
                     {"get -build", "\rB1234-rel\r\n>"}}},
        LoggerLines{"values that are not taken",
                    KELOX,
                    "KELOX 2.02",
                    false,
                    nullptr,
                    {{"set -depth 1 2 3 4", kRefused},
                     {"set -depth 1 2 3 4 300", kRefused},
                     {"set -depth 1 2 3 4 5", kOk},
                     {"get -depth", "\r1 2 3 4 5\r\n>"},
                     {"set -w -1", kRefused},
                     {"set -site ABCDEFGHIJKLMNOPQRSTUVWXYZ", kRefused},
                     {"set -adc15 1 1 1 1 1 1 1 1 1 1 11", kRefused},
                     {"set -adc15 1 1 1 1 1 1 1 1 1 1 10", kOk},
                     {"set -authkey 0123", kRefused},
                     {"set -trait 256", kRefused},
                     {"set -rch 7", kRefused},
                     {"set -rch 6", kOk},
                     {"get -rch", "\r6\r\n>"}}},
        LoggerLines{"a Kelox without a modem",
                    KELOX,
                    "KELOX 2.02",
                    false,
                    [](SimInstrument& sim) { SimLoggerSettings(sim).cellularModem = false; },
                    {{"get -trait", "\r254\r\n>"}, {"get -apn", kRefused}, {"set -ipport 1", kRefused}}},
        LoggerLines{"a Telvo has no modem",
                    TELVO,
                    "TELVO 1.00",
                    false,
                    nullptr,
                    {{"get -trait", "\r254\r\n>"}, {"get -apn", kRefused}, {"get -depth", "\r10 20 30 40 50\r\n>"}}},
        LoggerLines{
            "a logger without radio",
            TELVO,
            "TELVO 1.00",
            false,
            [](SimInstrument& sim) { sim.Model<SimRadmoModel>().fitted = false; },
            {{"get -trait", "\r255\r\n>"}, {"get -rch", "\rNo Radio\r\n>"}, {"set -rsch 1", "\rNo Radio\r\n>"}}},
        LoggerLines{"a Kelo confirms its radio twice",
                    KELO,
                    "KELO 1.50",
                    false,
                    nullptr,
                    {{"set -rch 2", "\rOK\r\rOK\r\n>"}, {"get -trait", kRefused}}},
        LoggerLines{"old firmware",
                    KELO,
                    "",
                    true,
                    nullptr,
                    {{"get -sn", kRefused},
                     {"get -padc", kRefused},
                     {"hertz", "\r60\r\n>"},
                     {"set -p 50", "\r>"},
                     {"hertz", "\r50\r\n>"},
                     {"set -w 30", "\r>"},
                     {"get -w", "\r30\r\n>"},
                     {"get -rch", kRefused}}},
        LoggerLines{"the short ADC form",
                    KELOX,
                    "KELOX 2.02",
                    false,
                    [](SimInstrument& sim) { SimLoggerSettings(sim).shortAdcForm = true; },
                    {{"get -adc30", "\r128 10 138\r\n>"},
                     {"set -adc30 100 5 105", kOk},
                     {"get -adc30", "\r100 5 105\r\n>"},
                     {"set -adc30 1 1 1 1 1 1 1 1 1 1 10", kRefused}}},
        LoggerLines{"a damaged ADC checksum",
                    KELOX,
                    "KELOX 2.02",
                    false,
                    [](SimInstrument& sim) { SimLoggerSettings(sim).adcChecksumError = 1; },
                    {{"get -adc30", "\r128 10 129 11 130 12 131 13 132 14 199\r\n>"}}},
        // Silent for its own commands until another command comes.
        LoggerLines{"a setting silent once",
                    KELOX,
                    "KELOX 2.02",
                    false,
                    [](SimInstrument& sim) { SimLoggerSettings(sim).silentOnce = {"site"}; },
                    {{"get -site", ""},
                     {"get -site", ""},
                     {"set -site X", ""},
                     {"get -ver", "\rKELOX 2.02\r\n>"},
                     {"get -site", "\rNorth Field Station\r\n>"}}},
        LoggerLines{"an instrument that is no logger",
                    TALLIX,
                    "",
                    false,
                    nullptr,
                    {{"get -devid", kRefused}, {"get -w", kRefused}}}));

}  // namespace
