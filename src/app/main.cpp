// The program's entry: the self-uninstall, or the start-up splash, the windows in their order and the
// event loop.
#include "aboutwindow.h"
#include "application.h"
#include "common/core/programfolder.h"
#include "common/core/stoprequests.h"
#include "common/ui/qtprompter.h"
#include "mainwindow.h"
#include "platform/freedesktopshell.h"
#include "scriptedprompter.h"
#include "selfuninstall.h"
#include "speech/speechcontrolfactory.h"

using namespace velmira;

int main(int argc, char *argv[])
{
    Application app(argc, argv);
    QtPrompter qtPrompter;
    const std::unique_ptr<ScriptedPrompter> scripted = ScriptedPrompter::fromEnvironment();
    Prompter &prompter = scripted ? static_cast<Prompter &>(*scripted) : qtPrompter;
    app.setPrompter(&prompter);
    FreedesktopShell shell;

    QStringList arguments = app.arguments();
    arguments.removeFirst();
    if (!arguments.isEmpty() && arguments.first().toLower() == u"delete") {
        SelfUninstall(shell, prompter, executablePath(), QCoreApplication::applicationPid());
        return 0;
    }

    AboutWindow splash;
    splash.setShell(&shell);
    splash.showSplash();
    QCoreApplication::processEvents();

    MainWindowServices services;
    services.prompter = &prompter;
    services.arguments = arguments;
    services.aboutWindow = &splash;
    services.shell = &shell;
    services.createSpeechControl = [] { return createSpeechControl(); };
    MainWindow window(services);
    if (window.creationFailed())
        return 1;

    StopRequests stopRequests;
    QObject::connect(&stopRequests, &StopRequests::requested, &window, &MainWindow::endOnStopRequest);

    splash.hide();
    window.show();
    return app.exec();
}
