#pragma once

#include <string>
#include <vector>

#include "SimCommands.h"
#include "SimProtocol.h"

// The firmware's command interpreter: assembles lines ended by "\r" (a
// "\n" is ignored), answers each with the command of the longest matching
// words, refuses unknown commands, and answers an empty line with the empty
// answer. The faults echo and ERROR to everything act here.
class SimFirmwareInterpreter : public SimProtocol {
public:
    static constexpr std::size_t kMaxLine = 1024;  // longer lines are cut

    SimFirmwareInterpreter();
    void OnBytes(SimInstrument& sim, std::string_view bytes) override;
    void OnHostClosed(SimInstrument&) override { line_.clear(); }

    // The answer to one command line.
    SimReply Answer(SimInstrument& sim, const std::string& line) const;

private:
    void HandleLine(SimInstrument& sim, const std::string& line);

    std::vector<SimCommandSet> sets_;
    std::string line_;
};
