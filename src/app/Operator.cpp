#include "app/Operator.h"

#include "log/OrvaLog.h"

MessageBeep BeepForKind(std::uint8_t kind)
{
    switch (kind) {
        case kMessageError:
            return MessageBeep::Hand;
        case kMessageInformation:
            return MessageBeep::Asterisk;
        case kMessageConfirmation:
            return MessageBeep::Question;
        default:
            return MessageBeep::Exclamation;
    }
}

const char* SoundEventFor(MessageBeep beep)
{
    switch (beep) {
        case MessageBeep::Hand:
            return "dialog-error";
        case MessageBeep::Question:
            return "dialog-question";
        case MessageBeep::Asterisk:
            return "dialog-information";
        case MessageBeep::Exclamation:
            break;
    }
    return "dialog-warning";
}

void LogToldUser(OrvaLog* log, const std::string& message)
{
    if (log) log->LogMessage(1, kToldUserTag, "%s", message.c_str());
}
