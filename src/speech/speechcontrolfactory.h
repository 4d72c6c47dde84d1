// Creating the program's speech controls.
#pragma once

#include "speechcontrol.h"

#include <memory>

namespace velmira {

// A speech control with espeak-ng's voices, playing on the desktop's sound output; with the
// environment variable VELMIRA_AUDIO=null, into a silent output at the pace of real sound.
// Throws SpeechError when espeak-ng cannot start or there is no sound output device.
std::unique_ptr<SpeechControl> createSpeechControl(QObject *parent = nullptr);

} // namespace velmira
