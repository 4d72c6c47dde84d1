// Creating the program's speech controls.
#include "speechcontrolfactory.h"

#include "deviceaudiooutput.h"
#include "espeakspeechcontrol.h"
#include "pacedaudiooutput.h"

using namespace Qt::StringLiterals;

namespace velmira {

std::unique_ptr<SpeechControl> createSpeechControl(QObject *parent)
{
    std::unique_ptr<AudioOutput> output;
    if (qEnvironmentVariable("VELMIRA_AUDIO") == u"null"_s) {
        output = std::make_unique<PacedAudioOutput>();
    } else {
        DeviceAudioOutput::checkDevice();
        output = std::make_unique<DeviceAudioOutput>();
    }
    return std::make_unique<EspeakSpeechControl>(std::move(output), parent);
}

} // namespace velmira
