#pragma once

#include <cstdint>
#include <string>

class OrvaLog;

// Kinds of operator message. The kind picks the dialog type of the box and
// the sound played with it.
enum MessageKind : std::uint8_t {
    kMessageWarning = 0,
    kMessageError = 1,
    kMessageInformation = 2,
    kMessageConfirmation = 3,
    kMessagePlain = 4,  // no icon (the help text)
};

// The desktop sounds, named after the message-beep types they stand for.
enum class MessageBeep : std::uint32_t {
    Hand = 0x10,
    Question = 0x20,
    Exclamation = 0x30,
    Asterisk = 0x40,
};

// The sound of a message kind: hand for errors, asterisk for information,
// question for confirmations, exclamation for everything else.
MessageBeep BeepForKind(std::uint8_t kind);

// The sound-theme event that plays a beep ("dialog-warning", "dialog-error",
// "dialog-information", "dialog-question").
const char* SoundEventFor(MessageBeep beep);

// What the update run and the menu functions need from whoever faces the
// operator: the main window in the product, a recorder in tests. Everything
// is called on the one user-interface thread.
class Operator {
public:
    virtual ~Operator() = default;

    // A modal box with the message, the title as its caption, the kind's
    // dialog type and a single OK button; the kind's sound is played just
    // before it is shown and the text is written to the log (LogToldUser)
    // once the operator has closed it.
    virtual void TellUser(const std::string& message, const std::string& title, std::uint8_t kind) = 0;

    // A question box with the exclamation icon and the buttons OK (the
    // default) and Cancel. True when the operator answered OK.
    virtual bool AskOkCancel(const std::string& message, const std::string& title) = 0;

    // The status line of a run: shows the text, repaints and lets pending
    // window messages through; HideStatus hides the line again.
    virtual void ShowStatus(const std::string& text) = 0;
    virtual void HideStatus() = 0;

    // The progress bar, 0 to 100; positions outside are held at the ends.
    virtual void SetProgress(int position) = 0;
    virtual int Progress() const = 0;
    void AdvanceProgress(int by) { SetProgress(Progress() + by); }

    // The loader host's progress callback: moves the bar for erase ('X') and
    // upload ('W') events, lets window messages through and answers whether
    // the transfer may go on.
    virtual bool UpdateProgress(unsigned total, unsigned done, int phase, char event) = 0;

    // Plays a sound without a box.
    virtual void PlayBeep(MessageBeep beep) = 0;

    // Dispatches pending window messages.
    virtual void PumpMessages() = 0;
};

// The log tag of every text shown to the operator.
inline constexpr const char* kToldUserTag = "ErrorOK Told User:";

// Writes a text the operator has been shown to the log: one level-1 line
// with the tag "ErrorOK Told User:". A null log writes nothing.
void LogToldUser(OrvaLog* log, const std::string& message);
