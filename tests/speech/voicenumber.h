// Finding a voice in a speech control's engine list by what names it across runs.
#pragma once

#include "speech/speechcontrol.h"

namespace velmira {

// The engine number (from 1) of the voice `identity` ("espeak-ng:zle/ru"), or 0 when not listed.
inline int voiceNumber(const SpeechControl &control, const QString &identity)
{
    for (int i = 1; i <= control.CountEngines(); ++i) {
        if (control.VoiceIdentity(i) == identity)
            return i;
    }
    return 0;
}

} // namespace velmira
