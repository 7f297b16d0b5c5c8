#include "gui/SystemSound.h"

#include <QApplication>

#ifdef ORVA_HAVE_CANBERRA
#include <canberra.h>
#endif

DesktopSoundPlayer::DesktopSoundPlayer() = default;

DesktopSoundPlayer::~DesktopSoundPlayer()
{
#ifdef ORVA_HAVE_CANBERRA
    if (context_) ca_context_destroy(static_cast<ca_context*>(context_));
#endif
}

void DesktopSoundPlayer::Play(MessageBeep beep)
{
#ifdef ORVA_HAVE_CANBERRA
    if (!context_ && !unavailable_) {
        ca_context* context = nullptr;
        if (ca_context_create(&context) == CA_SUCCESS) {
            ca_context_change_props(context, CA_PROP_APPLICATION_NAME, "OrvaBSL", nullptr);
            context_ = context;
        } else {
            unavailable_ = true;
        }
    }
    if (context_ && ca_context_play(static_cast<ca_context*>(context_), 0, CA_PROP_EVENT_ID, SoundEventFor(beep),
                                    CA_PROP_EVENT_DESCRIPTION, "Message box", nullptr) == CA_SUCCESS) {
        return;
    }
#else
    (void)beep;
#endif
    QApplication::beep();
}
