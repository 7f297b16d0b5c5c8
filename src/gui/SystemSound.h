#pragma once

#include "app/Operator.h"

// Plays the sounds that go with message boxes. The window owns a
// DesktopSoundPlayer; tests hand it one that records what was played.
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    virtual void Play(MessageBeep beep) = 0;
};

// Plays the desktop sound theme's event for the beep ("dialog-warning",
// "dialog-error", ...) through libcanberra, or the plain system beep when
// no sound can be played that way.
class DesktopSoundPlayer : public SoundPlayer {
public:
    DesktopSoundPlayer();
    ~DesktopSoundPlayer() override;
    DesktopSoundPlayer(const DesktopSoundPlayer&) = delete;
    DesktopSoundPlayer& operator=(const DesktopSoundPlayer&) = delete;

    void Play(MessageBeep beep) override;

private:
    void* context_ = nullptr;  // ca_context*, made on first use
    bool unavailable_ = false;
};
