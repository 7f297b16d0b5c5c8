// The settings of a simulated data logger: every "get -X" and "set -X" of
// the logger settings, answered as the logger's firmware would. Which
// settings a logger has follows from its kind and firmware version through
// the maker's capability table; the network settings also need a cellular
// modem, the radio settings a radio module.
#include "SimLoggerSettings.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "SimCommands.h"
#include "SimInstrument.h"
#include "SimLogger.h"
#include "device/DeviceParse.h"
#include "instrument/InstrumentKind.h"

namespace {

enum class Form {
    Text,         // a text of at most maxLength printable characters
    Key,          // 32 hexadecimal digits
    Number,       // a whole number
    NonNegative,  // a whole number, 0 or more
    Byte,         // a whole number from 0 to 255
    Five,         // five numbers from 0 to 255
    Real,         // a real number; "set" without one stores 0
    Adc,          // five slope and offset pairs and their checksum
};

struct Setting {
    const char* word;
    CapabilityMask needs;  // 0: every logger with new firmware
    bool oldFirmwareToo;   // old firmware has it as well
    bool cellular;         // needs the cellular modem
    Form form;
    unsigned maxLength;
    const char* value;  // the default
};

const Setting kSettings[] = {
    {"devid", kCapDeviceId, false, false, Form::Text, 8, "00A1B2C3"},
    {"report", kCapDeviceId, false, false, Form::Number, 0, "1"},
    {"depth", kCapDeviceId, false, false, Form::Five, 0, "10 20 30 40 50"},
    {"lat", kCapPosition, false, false, Form::Real, 0, "+46.73120"},
    {"long", kCapPosition, false, false, Form::Real, 0, "-117.17960"},
    {"tz", kCapDeviceId, false, false, Form::Number, 0, "-28"},
    {"site", kCapDeviceId, false, false, Form::Text, 25, "North Field Station"},
    {"sn", 0, false, false, Form::Text, 15, "SN-20391"},
    {"w", kCapIntervalPadc, true, false, Form::NonNegative, 0, "15"},
    {"padc", kCapIntervalPadc, false, false, Form::NonNegative, 0, "60"},
    {"ports", kCapPorts, false, false, Form::Five, 0, "1 2 0 4 0"},
    {"trait", kCapReadTrait, false, false, Form::Byte, 0, nullptr},  // from what is fitted
    {"r", kCapRadioMode, true, false, Form::NonNegative, 0, "0"},
    {"data", kCapDataParameter, false, false, Form::Number, 0, "3"},
    {"build", kCapBuildInfo, false, false, Form::Text, 16, "B1234-rel"},
    {"adc30", kCapAdcCal, false, false, Form::Adc, 0, "128 10 129 11 130 12 131 13 132 14"},
    {"adc15", kCapAdcCal, false, false, Form::Adc, 0, "120 20 121 21 122 22 123 23 124 24"},
    {"apn", 0, false, true, Form::Text, 35, "internet.example"},
    {"user", 0, false, true, Form::Text, 35, "orva"},
    {"passwd", 0, false, true, Form::Text, 35, "s3cret-pw"},
    {"authkey", 0, false, true, Form::Key, 32, "0123456789ABCDEF0123456789ABCDEF"},
    {"host", 0, false, true, Form::Text, 63, "data.example.net"},
    {"ipport", 0, false, true, Form::NonNegative, 0, "5020"},
};

constexpr int kOptionRadio = 0x01;
constexpr int kOptionCellularModem = 0x08;

// The option word of a "get -X ..." or "set -X ..." line: X.
std::string OptionWord(const std::string& line)
{
    const std::size_t dash = line.find('-');
    if (dash == std::string::npos) return {};
    const std::size_t end = line.find(' ', dash);
    return line.substr(dash + 1, end == std::string::npos ? std::string::npos : end - dash - 1);
}

const Setting* FindSetting(const std::string& word)
{
    for (const Setting& setting : kSettings)
        if (word == setting.word) return &setting;
    return nullptr;
}

CapabilityMask Capabilities(const SimInstrument& sim)
{
    if (sim.Config().oldFirmware) return CapabilitiesFor(kLoggerKelo, false, 0);
    int major = 0, minor = 0, patch = 0;
    const int read = std::sscanf(sim.VersionText().c_str(), "%*s %d.%1d%1d", &major, &minor, &patch);
    const int version = read >= 2 ? major * 100 + minor * 10 + (read >= 3 ? patch : 0) : 0;
    return CapabilitiesFor(LoggerKindFromCode(KindShortCode(sim.Config().kind)), true, version);
}

// The trait the logger reports: 255 minus its option bits.
int Trait(SimInstrument& sim)
{
    SimLoggerModel& logger = SimLogger(sim);
    const auto stored = logger.settings.find("trait");
    if (stored != logger.settings.end()) return std::atoi(stored->second.c_str());
    int options = 0;
    if (sim.Model<SimRadmoModel>().fitted) options |= kOptionRadio;
    if (sim.Config().kind == KELOX && sim.Model<SimLoggerSettingsModel>().cellularModem)
        options |= kOptionCellularModem;
    return 255 - options;
}

bool HasCellularModem(SimInstrument& sim)
{
    return sim.Config().kind == KELOX && ((255 - Trait(sim)) & kOptionCellularModem);
}

bool Knows(SimInstrument& sim, const Setting& setting)
{
    if (!SimIsLogger(sim)) return false;
    if (sim.Config().oldFirmware && !setting.oldFirmwareToo) return false;
    if (setting.needs && !(Capabilities(sim) & setting.needs)) return false;
    if (setting.cellular && !HasCellularModem(sim)) return false;
    return true;
}

bool ParseLong(const std::string& text, long* value)
{
    if (text.empty()) return false;
    char* end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0') return false;
    *value = parsed;
    return true;
}

// Reads whole numbers separated by blanks; false when anything else is there.
bool ParseNumbers(const std::string& text, std::vector<long>* numbers)
{
    numbers->clear();
    const char* p = text.c_str();
    for (;;) {
        while (*p == ' ')
            ++p;
        if (*p == '\0') return true;
        char* end = nullptr;
        const long value = std::strtol(p, &end, 10);
        if (end == p) return false;
        numbers->push_back(value);
        p = end;
    }
}

std::string Join(const std::vector<long>& numbers)
{
    std::string text;
    for (const long n : numbers)
        text += (text.empty() ? "" : " ") + std::to_string(n);
    return text;
}

bool AllBytes(const std::vector<long>& numbers)
{
    for (const long n : numbers)
        if (n < 0 || n > 255) return false;
    return true;
}

long Checksum(const std::vector<long>& values)
{
    long sum = 0;
    for (const long v : values)
        sum += v;
    return sum % 256;
}

SimReply AnswerValue(const std::string& value)
{
    return value.empty() ? SimReply::Empty() : SimReply::Text(value);
}

SimReply GetAdc(SimInstrument& sim, const std::string& stored)
{
    std::vector<long> values;
    ParseNumbers(stored, &values);
    if (sim.Model<SimLoggerSettingsModel>().shortAdcForm) values.resize(2);
    values.push_back((Checksum(values) + sim.Model<SimLoggerSettingsModel>().adcChecksumError) % 256);
    return SimReply::Text(Join(values));
}

bool SetAdc(SimInstrument& sim, const std::string& args, std::string* stored)
{
    std::vector<long> numbers;
    const bool shortForm = sim.Model<SimLoggerSettingsModel>().shortAdcForm;
    if (!ParseNumbers(args, &numbers) || numbers.size() != (shortForm ? 3u : 11u) || !AllBytes(numbers)) return false;
    const long checksum = numbers.back();
    numbers.pop_back();
    if (Checksum(numbers) != checksum) return false;
    if (shortForm) {
        std::vector<long> values;
        ParseNumbers(*stored, &values);
        values[0] = numbers[0];
        values[1] = numbers[1];
        numbers = values;
    }
    *stored = Join(numbers);
    return true;
}

bool Printable(const std::string& text)
{
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) == 127) return false;
    return true;
}

// Checks a value for a setting and gives the text to keep.
bool Accept(SimInstrument& sim, const Setting& setting, const std::string& args, std::string* stored)
{
    long number = 0;
    std::vector<long> numbers;
    switch (setting.form) {
        case Form::Text:
            if (args.size() > setting.maxLength || !Printable(args)) return false;
            *stored = args;
            return true;
        case Form::Key:
            if (args.size() != setting.maxLength) return false;
            for (const char c : args)
                if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
            *stored = args;
            return true;
        case Form::Number:
        case Form::NonNegative:
        case Form::Byte:
            if (!ParseLong(args, &number)) return false;
            if (setting.form != Form::Number && number < 0) return false;
            if (setting.form == Form::Byte && number > 255) return false;
            *stored = std::to_string(number);
            return true;
        case Form::Five:
            if (!ParseNumbers(args, &numbers) || numbers.size() != 5 || !AllBytes(numbers)) return false;
            *stored = Join(numbers);
            return true;
        case Form::Real: {
            double value = 0.0;
            if (!args.empty()) {
                char* end = nullptr;
                value = std::strtod(args.c_str(), &end);
                if (*end != '\0') return false;
            }
            char text[32];
            std::snprintf(text, sizeof text, "%+.5f", value);
            *stored = text;
            return true;
        }
        case Form::Adc:
            return SetAdc(sim, args, stored);
    }
    return false;
}

bool Silent(SimInstrument& sim, const std::string& word)
{
    return sim.Model<SimLoggerSettingsModel>().silentOnce.count(word) != 0;
}

SimReply GetSetting(SimInstrument& sim, const SimCommandLine& line)
{
    const std::string word = OptionWord(line.text);
    const Setting* setting = FindSetting(word == "teakey" ? "authkey" : word);
    if (!setting || !Knows(sim, *setting)) return SimReply::Refused();
    if (Silent(sim, setting->word)) return SimReply::Nothing();
    SimLoggerSettings(sim);
    if (setting->form == Form::Byte) return SimReply::Text(std::to_string(Trait(sim)));
    const std::string& value = SimLogger(sim).settings[setting->word];
    if (setting->form == Form::Adc) return GetAdc(sim, value);
    return AnswerValue(value);
}

SimReply SetSetting(SimInstrument& sim, const SimCommandLine& line)
{
    const Setting* setting = FindSetting(OptionWord(line.text));
    if (!setting || !Knows(sim, *setting)) return SimReply::Refused();
    if (Silent(sim, setting->word)) return SimReply::Nothing();
    SimLoggerSettings(sim);
    std::map<std::string, std::string>& settings = SimLogger(sim).settings;
    const auto known = settings.find(setting->word);
    std::string accepted = known == settings.end() ? std::string() : known->second;
    if (!Accept(sim, *setting, line.args, &accepted)) return SimReply::Refused();
    settings[setting->word] = accepted;
    return SimConfirm(sim);
}

// Old firmware's names for the PADC value: "hertz" and "set -p".
SimReply Hertz(SimInstrument& sim, const SimCommandLine&)
{
    if (!SimIsLogger(sim) || !sim.Config().oldFirmware) return SimReply::Refused();
    if (Silent(sim, "padc")) return SimReply::Nothing();
    SimLoggerSettings(sim);
    return AnswerValue(SimLogger(sim).settings["padc"]);
}

SimReply SetHertz(SimInstrument& sim, const SimCommandLine& line)
{
    if (!SimIsLogger(sim) || !sim.Config().oldFirmware) return SimReply::Refused();
    if (Silent(sim, "padc")) return SimReply::Nothing();
    SimLoggerSettings(sim);
    long value = 0;
    if (!ParseLong(line.args, &value) || value < 0) return SimReply::Refused();
    SimLogger(sim).settings["padc"] = std::to_string(value);
    return SimConfirm(sim);
}

// The radio module's parameters, which new firmware reads and writes
// itself.
bool KnowsRadio(SimInstrument& sim)
{
    return SimIsLogger(sim) && !sim.Config().oldFirmware && (Capabilities(sim) & kCapRadioChannel);
}

std::string Hex(int value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(value));
    return text;
}

SimReply GetRadio(SimInstrument& sim, const SimCommandLine& line)
{
    const std::string word = OptionWord(line.text);
    if (!KnowsRadio(sim)) return SimReply::Refused();
    if (Silent(sim, word)) return SimReply::Nothing();
    SimRadmoModel& radio = sim.Model<SimRadmoModel>();
    if (!radio.fitted) return SimReply::Text("No Radio");
    if (word == "rver") return SimReply::Text(radio.rver);
    return SimReply::Text(Hex(word == "rch" ? radio.rch : radio.rsch));
}

SimReply SetRadio(SimInstrument& sim, const SimCommandLine& line)
{
    const std::string word = OptionWord(line.text);
    if (!KnowsRadio(sim)) return SimReply::Refused();
    if (Silent(sim, word)) return SimReply::Nothing();
    SimRadmoModel& radio = sim.Model<SimRadmoModel>();
    if (!radio.fitted) return SimReply::Text("No Radio");
    char* end = nullptr;
    const unsigned long value = std::strtoul(line.args.c_str(), &end, 16);
    if (line.args.empty() || *end != '\0' || value > (word == "rch" ? 6ul : 0xFFFFul)) return SimReply::Refused();
    (word == "rch" ? radio.rch : radio.rsch) = static_cast<int>(value);
    (word == "rch" ? radio.storedRch : radio.storedRsch) = static_cast<int>(value);
    // A Kelo confirms for itself and for its module.
    return sim.Config().kind == KELO ? SimReply::Text("OK\r\rOK") : SimReply::Ok();
}

// Sees every command line before the interpreter: a line that is not a
// command of a silent setting wakes the logger up again.
bool WatchLines(SimInstrument& sim, char byte)
{
    if (!SimIsLogger(sim)) return false;
    SimLoggerSettingsModel& model = sim.Model<SimLoggerSettingsModel>();
    if (byte == '\r') {
        if (!model.silentOnce.empty()) {
            std::string word = OptionWord(model.line);
            if (word == "p" || model.line.rfind("hertz", 0) == 0) word = "padc";
            if (!model.silentOnce.count(word)) model.silentOnce.clear();
        }
        model.line.clear();
    } else if (byte != '\n' && model.line.size() < 64) {
        model.line += byte;
    }
    return false;
}

const SimCommand kCommands[] = {
    {"get -devid", GetSetting},  {"set -devid", SetSetting},   {"get -report", GetSetting},
    {"set -report", SetSetting}, {"get -depth", GetSetting},   {"set -depth", SetSetting},
    {"get -lat", GetSetting},    {"set -lat", SetSetting},     {"get -long", GetSetting},
    {"set -long", SetSetting},   {"get -tz", GetSetting},      {"set -tz", SetSetting},
    {"get -site", GetSetting},   {"set -site", SetSetting},    {"get -sn", GetSetting},
    {"set -sn", SetSetting},     {"get -w", GetSetting},       {"set -w", SetSetting},
    {"get -padc", GetSetting},   {"set -padc", SetSetting},    {"hertz", Hertz},
    {"set -p", SetHertz},        {"get -ports", GetSetting},   {"set -ports", SetSetting},
    {"get -trait", GetSetting},  {"set -trait", SetSetting},   {"get -r", GetSetting},
    {"set -r", SetSetting},      {"get -rch", GetRadio},       {"set -rch", SetRadio},
    {"get -rsch", GetRadio},     {"set -rsch", SetRadio},      {"get -rver", GetRadio},
    {"get -data", GetSetting},   {"set -data", SetSetting},    {"get -build", GetSetting},
    {"set -build", SetSetting},  {"get -adc30", GetSetting},   {"set -adc30", SetSetting},
    {"get -adc15", GetSetting},  {"set -adc15", SetSetting},   {"get -apn", GetSetting},
    {"set -apn", SetSetting},    {"get -user", GetSetting},    {"set -user", SetSetting},
    {"get -passwd", GetSetting}, {"set -passwd", SetSetting},  {"get -authkey", GetSetting},
    {"get -teakey", GetSetting}, {"set -authkey", SetSetting}, {"get -host", GetSetting},
    {"set -host", SetSetting},   {"get -ipport", GetSetting},  {"set -ipport", SetSetting},
};

}  // namespace

SimLoggerSettingsModel& SimLoggerSettings(SimInstrument& sim)
{
    SimLoggerModel& logger = SimLogger(sim);
    for (const Setting& setting : kSettings)
        if (setting.value) logger.settings.try_emplace(setting.word, setting.value);
    return sim.Model<SimLoggerSettingsModel>();
}

SimCommandSet SimLoggerSettingsCommands()
{
    return {kCommands, WatchLines};
}
