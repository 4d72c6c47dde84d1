// A main window for the editor's command tests, with a scripted prompter and a silent speech control
// in a program folder of its own.
#pragma once

#include "app/mainwindow.h"
#include "editor/richedit.h"
#include "support/fakeprompter.h"
#include "support/fakespeechcontrol.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>

namespace velmira {

using namespace Qt::StringLiterals;

class EditorWindow
{
public:
    explicit EditorWindow(const QStringList &arguments = {})
    {
        qputenv("VELMIRA_HOME", home.path().toUtf8());
        MainWindowServices services;
        services.prompter = &prompter;
        services.arguments = arguments;
        services.trayAvailable = [] {
            return true;
        };
        services.createSpeechControl = [] {
            return std::make_unique<FakeSpeechControl>();
        };
        window = std::make_unique<MainWindow>(services);
    }

    RichEdit &editor() const { return *window->editor(); }
    QString file(const QString &name) const { return home.filePath(name); }
    QString status() const { return window->findChild<QLabel *>(u"StatusPanel"_s)->text(); }

    // Runs a command as the user would: a click on the button or the choice of the menu item.
    void run(const QString &name) const
    {
        if (QToolButton *b = window->button(name))
            QTest::mouseClick(b, Qt::LeftButton);
        else
            window->action(name)->trigger();
    }

    // Text typed into the editor, one key a character (QTest's own typing knows Latin-1 only).
    void type(const QString &text) const
    {
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(&editor(), &press);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(&editor(), &release);
        }
    }

    // Ctrl and a letter typed in the editor.
    void ctrl(Qt::Key key) const { QTest::keyClick(&editor(), key, Qt::ControlModifier); }

    QTemporaryDir home;
    FakePrompter prompter;
    std::unique_ptr<MainWindow> window;
};

} // namespace velmira
