// The program's entry: start-up splash, the windows in their order, the event loop.
#include "aboutwindow.h"
#include "application.h"
#include "common/qtprompter.h"
#include "mainwindow.h"
#include "speech/speechcontrolfactory.h"

using namespace velmira;

int main(int argc, char *argv[])
{
    Application app(argc, argv);
    QtPrompter prompter;
    app.setPrompter(&prompter);

    QStringList arguments = app.arguments();
    arguments.removeFirst();

    AboutWindow splash;
    splash.showSplash();
    QCoreApplication::processEvents();

    MainWindowServices services;
    services.prompter = &prompter;
    services.arguments = arguments;
    services.aboutWindow = &splash;
    services.createSpeechControl = [] { return createSpeechControl(); };
    MainWindow window(services);
    if (window.creationFailed())
        return 1;

    splash.hide();
    window.show();
    return app.exec();
}
