#pragma once

#include <deque>
#include <string>
#include <vector>

#include "app/Operator.h"
#include "app/Progress.h"

// An Operator for tests: records every box, status text, sound and bar
// position, and answers OK/Cancel questions from a queue (OK when empty).
class RecordingOperator : public Operator {
public:
    struct Box {
        std::string message;
        std::string title;
        int kind;          // the TellUser kind; -1 for an OK/Cancel question
        MessageBeep beep;  // sound played with it
    };

    void TellUser(const std::string& message, const std::string& title, std::uint8_t kind) override
    {
        boxes.push_back({message, title, kind, BeepForKind(kind)});
    }
    bool AskOkCancel(const std::string& message, const std::string& title) override
    {
        boxes.push_back({message, title, -1, MessageBeep::Exclamation});
        if (answers.empty()) return true;
        const bool ok = answers.front();
        answers.pop_front();
        return ok;
    }
    void ShowStatus(const std::string& text) override
    {
        statusTexts.push_back(text);
        statusVisible = true;
    }
    void HideStatus() override { statusVisible = false; }
    void SetProgress(int position) override
    {
        bar = position < 0 ? 0 : (position > 100 ? 100 : position);
        positions.push_back(bar);
    }
    int Progress() const override { return bar; }
    bool UpdateProgress(unsigned, unsigned, int, char event) override
    {
        SetProgress(NextProgressPosition(counters, bar, event));
        ++pumps;
        return keepGoing;
    }
    void PlayBeep(MessageBeep beep) override { beeps.push_back(beep); }
    void PumpMessages() override { ++pumps; }

    std::vector<Box> boxes;
    std::deque<bool> answers;  // true = OK
    std::vector<std::string> statusTexts;
    bool statusVisible = false;
    std::vector<int> positions;
    std::vector<MessageBeep> beeps;
    ProgressCounters counters;
    int bar = 0;
    int pumps = 0;
    bool keepGoing = true;
};
