// What a main window under test is given: the test's prompter and fake speech controls.
#pragma once

#include "app/mainwindow.h"
#include "support/fakespeechcontrol.h"

#include <memory>

namespace velmira {

// The services of a main window whose speech controls are fakes. The first control made is the
// main one (the recording window makes its own after it); `*mainSpeech` is set to it when made.
inline MainWindowServices fakeServices(Prompter &prompter, FakeSpeechControl **mainSpeech)
{
    MainWindowServices services;
    services.prompter = &prompter;
    services.trayAvailable = [] { return true; };
    *mainSpeech = nullptr;
    services.createSpeechControl = [mainSpeech] {
        auto speech = std::make_unique<FakeSpeechControl>();
        if (!*mainSpeech)
            *mainSpeech = speech.get();
        return speech;
    };
    return services;
}

} // namespace velmira
