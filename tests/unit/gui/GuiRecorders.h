#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "gui/BoxPresenter.h"
#include "gui/SystemSound.h"

// One thing the window did towards the operator, in order: a sound or a box.
struct OperatorEvent {
    enum Type { Sound, Box } type;
    MessageBeep beep = MessageBeep::Exclamation;  // Sound
    BoxRequest box;                               // Box
};

// Records boxes instead of showing them and answers from a queue (OK when
// the queue is empty). onPresent runs while the "box is open".
class RecordingBoxes : public BoxPresenter {
public:
    explicit RecordingBoxes(std::vector<OperatorEvent>* events) : events_(events) {}
    BoxAnswer Present(QWidget*, const BoxRequest& request) override
    {
        events_->push_back({OperatorEvent::Box, MessageBeep::Exclamation, request});
        if (onPresent) onPresent(request);
        if (answers.empty()) return BoxAnswer::Ok;
        const BoxAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::deque<BoxAnswer> answers;
    std::function<void(const BoxRequest&)> onPresent;

private:
    std::vector<OperatorEvent>* events_;
};

class RecordingSounds : public SoundPlayer {
public:
    explicit RecordingSounds(std::vector<OperatorEvent>* events) : events_(events) {}
    void Play(MessageBeep beep) override { events_->push_back({OperatorEvent::Sound, beep, {}}); }

private:
    std::vector<OperatorEvent>* events_;
};
