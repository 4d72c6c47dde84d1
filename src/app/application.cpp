#include "application.h"

#include "common/core/error.h"
#include "common/core/prompter.h"

#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QTranslator>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcApp, "velmira.app")

namespace velmira {

Application::Application(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(u"velmira"_s);
    setApplicationVersion(u"6.1"_s);
    setDesktopFileName(u"velmira"_s);
    setWindowIcon(QIcon(u":/icons/velmira.svg"_s));
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));

    // Qt's own buttons and dialogs speak Russian.
    auto *translator = new QTranslator(this);
    if (translator->load(u"qtbase_ru"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(translator);
    else
        qCWarning(lcApp) << "Qt's Russian translation was not found";
}

void Application::showGeneralError(const QString &message)
{
    if (m_prompter)
        m_prompter->message(activeWindow(), title(), message, Prompter::Icon::Critical,
                            Prompter::Button::Ok);
    else
        qCCritical(lcApp) << message;
}

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const Error &error) {
        showGeneralError(error.message());
    } catch (const std::exception &error) {
        showGeneralError(QString::fromLocal8Bit(error.what()));
    }
    return false;
}

Application *velmiraApp()
{
    return qobject_cast<Application *>(QCoreApplication::instance());
}

void reportGeneralError(const QString &message)
{
    if (Application *app = velmiraApp())
        app->showGeneralError(message);
    else
        qCCritical(lcApp) << message;
}

} // namespace velmira
