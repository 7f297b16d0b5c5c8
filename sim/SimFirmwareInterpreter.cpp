#include "SimFirmwareInterpreter.h"

#include <sstream>

#include "SimInstrument.h"

namespace {

std::vector<std::string> Words(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> words;
    std::string word;
    while (in >> word)
        words.push_back(word);
    return words;
}

// The number of the command's words that start the line, or 0 when the
// line is not this command. The arguments are what follows them.
std::size_t Match(const std::string& line, const SimCommand& command, std::string* args)
{
    const std::vector<std::string> want = Words(command.words);
    std::size_t position = 0;
    for (const std::string& word : want) {
        position = line.find_first_not_of(' ', position);
        if (position == std::string::npos || line.compare(position, word.size(), word) != 0) return 0;
        position += word.size();
        if (position < line.size() && line[position] != ' ') return 0;
    }
    position = line.find_first_not_of(' ', position);
    *args = position == std::string::npos ? std::string() : line.substr(position);
    return want.size();
}

}  // namespace

SimFirmwareInterpreter::SimFirmwareInterpreter() : sets_(SimFirmwareCommandSets()) {}

void SimFirmwareInterpreter::OnBytes(SimInstrument& sim, std::string_view bytes)
{
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        bool taken = false;
        for (const SimCommandSet& set : sets_)
            if (set.byteFilter && set.byteFilter(sim, c)) {
                taken = true;
                break;
            }
        if (taken || c == '\n') continue;
        if (c == '\r') {
            const std::string line = line_;
            line_.clear();
            HandleLine(sim, line);
            // A command may have started another program: the rest of the
            // bytes are its.
            if (sim.Program() != SimProgram::Firmware) {
                if (i + 1 < bytes.size()) sim.Feed(bytes.substr(i + 1));
                return;
            }
            continue;
        }
        if (line_.size() < kMaxLine) line_ += c;
    }
}

void SimFirmwareInterpreter::HandleLine(SimInstrument& sim, const std::string& line)
{
    const SimFaults& faults = sim.Config().faults;
    if (faults.echo) sim.Send(line + "\r");
    sim.Reply(Answer(sim, line));
}

SimReply SimFirmwareInterpreter::Answer(SimInstrument& sim, const std::string& line) const
{
    if (sim.Config().faults.errorToEverything) return SimReply::Refused();
    if (sim.Config().faults.promptOnly) return SimReply::Raw(">");
    if (line.find_first_not_of(' ') == std::string::npos) return SimReply::Empty();
    const SimCommand* best = nullptr;
    std::size_t bestWords = 0;
    SimCommandLine command{line, {}};
    for (const SimCommandSet& set : sets_) {
        for (const SimCommand& candidate : set.commands) {
            std::string args;
            const std::size_t words = Match(line, candidate, &args);
            if (words > bestWords) {
                best = &candidate;
                bestWords = words;
                command.args = args;
            }
        }
    }
    if (!best) return SimReply::Refused();
    if (sim.Config().faults.unanswered.count(best->words)) return SimReply::Nothing();
    if (sim.Config().faults.refused.count(best->words)) return SimReply::Refused();
    return best->run(sim, command);
}
