// What a main window under test is given: the test's prompter and fake speech controls.
#pragma once

#include "app/mainwindow.h"
#include "support/fakespeechcontrol.h"

#include <QTest>
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

// Shows `window` and waits until it is on the screen; null when it never gets there.
inline std::unique_ptr<MainWindow> shown(std::unique_ptr<MainWindow> window)
{
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        return nullptr;
    return window;
}

} // namespace velmira
