// The application object: the program's title, its translations and its general error box.
#pragma once

#include <QApplication>

namespace velmira {

class Prompter;

// A failure that no command caught is shown in the general error box with the failure's own message,
// and the program goes on.
class Application : public QApplication
{
    Q_OBJECT

public:
    Application(int &argc, char **argv);

    // The prompter that shows the general error box.
    void setPrompter(Prompter *prompter) { m_prompter = prompter; }

    // The program's title, "Вельмира": the caption of the general error box.
    static QString title() { using namespace Qt::StringLiterals; return u"Вельмира"_s; }

    // Shows the general error box.
    void showGeneralError(const QString &message);

    bool notify(QObject *receiver, QEvent *event) override;

private:
    Prompter *m_prompter = nullptr;
};

// The running application, or nullptr when none is a velmira::Application.
Application *velmiraApp();

// Shows the general error box of the running application; without one (a test) the message is logged.
void reportGeneralError(const QString &message);

} // namespace velmira
