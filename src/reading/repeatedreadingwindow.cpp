#include "repeatedreadingwindow.h"

#include "common/core/prompter.h"
#include "common/core/settings.h"
#include "common/ui/labelbutton.h"
#include "dictionary/textpreparation.h"
#include "reading/readinghost.h"
#include "reading/wordfollower.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

constexpr int MaxDigits = 3;
constexpr int LowestCount = 1;
constexpr int HighestCount = 100;

QLabel *centredLabel(const QString &text, QWidget *parent, const QString &name, int y)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignCenter);
    label->setGeometry(4, y, parent->width() - 8, 18);
    return label;
}

QToolButton *arrow(Qt::ArrowType type, const QString &name, QWidget *parent)
{
    auto *b = new QToolButton(parent);
    b->setArrowType(type);
    b->setAccessibleName(name);
    b->setToolTip(name);
    b->setAutoRepeat(true);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

} // namespace

RepeatedReadingWindow::RepeatedReadingWindow(ReadingHost &host, QWidget *parent)
    : DialogWindow(u"TForm7"_s, u"Чтение текста"_s, parent), m_host(host), m_speaker(host)
{
    setClientSize(233, 130);
    setBackground(QColor(0, 192, 0));

    auto *panel = new QFrame(this);
    panel->setObjectName(u"Panel1"_s);
    panel->setGeometry(8, 8, 217, 86);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setAutoFillBackground(true);
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, QColor(128, 255, 128));
    pal.setColor(QPalette::WindowText, Qt::black);
    panel->setPalette(pal);

    QLabel *question = centredLabel(u"Сколько раз прочитать текст?"_s, panel, u"StaticText2"_s, 6);
    QFont bold = question->font();
    bold.setBold(true);
    question->setFont(bold);
    centredLabel(u"(от 1 до 100)"_s, panel, u"StaticText3"_s, 26);

    m_count = new QLineEdit(u"1"_s, panel);
    m_count->setObjectName(u"Edit1"_s);
    m_count->setAccessibleName(u"Сколько раз прочитать текст"_s);
    m_count->setAlignment(Qt::AlignRight);
    m_count->setGeometry(76, 52, 48, 24);
    question->setBuddy(m_count);
    connect(m_count, &QLineEdit::textEdited, this, &RepeatedReadingWindow::countEdited);
    connect(m_count, &QLineEdit::textChanged, this, &RepeatedReadingWindow::countChanged);

    auto *upDown = new QWidget(panel);
    upDown->setObjectName(u"UpDown1"_s);
    upDown->setGeometry(124, 52, 17, 24);
    QToolButton *up = arrow(Qt::UpArrow, u"Больше"_s, upDown);
    up->setObjectName(u"UpDown1Up"_s);
    up->setGeometry(0, 0, 17, 12);
    QToolButton *down = arrow(Qt::DownArrow, u"Меньше"_s, upDown);
    down->setObjectName(u"UpDown1Down"_s);
    down->setGeometry(0, 12, 17, 12);
    connect(up, &QToolButton::clicked, this, [this] { stepCount(1); });
    connect(down, &QToolButton::clicked, this, [this] { stepCount(-1); });

    auto *read = new LabelButton(u"Читать!"_s, this);
    read->setObjectName(u"StaticText1"_s);
    read->setBoldItalic(true);
    read->setGeometry(12, 101, 100, 23);
    connect(read, &LabelButton::clicked, this, &RepeatedReadingWindow::StaticText1Click);

    auto *cancel = new LabelButton(u"Отмена"_s, this);
    cancel->setObjectName(u"StaticText4"_s);
    cancel->setGeometry(121, 101, 100, 23);
    connect(cancel, &LabelButton::clicked, this, &QWidget::close);

    // The field holds the stored count from the start, so that the main window, which stores the
    // field's text at exit, keeps the count of an earlier run even when this window was never opened.
    m_count->setText(storedCount());
}

QString RepeatedReadingWindow::storedCount()
{
    return readSetting(settings::ReadCount);
}

QString RepeatedReadingWindow::count() const
{
    return m_count->text();
}

QString RepeatedReadingWindow::repeatedText(const QString &prepared, int times)
{
    QString text;
    text.reserve((prepared.size() + 2) * std::max(times, 0));
    for (int i = 0; i < times; ++i) {
        text += prepared;
        text += u". ";
    }
    return text;
}

void RepeatedReadingWindow::SpeedButton21Click()
{
    if (m_host.wholeText().isEmpty()) {
        m_host.statusMessage(u"Нет текста для чтения"_s);
        return;
    }
    exec();
}

void RepeatedReadingWindow::showEvent(QShowEvent *event)
{
    DialogWindow::showEvent(event);
    if (event->spontaneous())
        return;
    m_count->setText(storedCount());
    m_count->setFocus();
    m_count->selectAll();
}

void RepeatedReadingWindow::done(int result)
{
    // The window closes first: a settings file that cannot be written must not keep it open.
    DialogWindow::done(result);
    writeSetting(settings::ReadCount, m_count->text());
}

void RepeatedReadingWindow::StaticText1Click()
{
    bool isNumber = false;
    const int times = m_count->text().toInt(&isNumber);
    if (!isNumber || times < LowestCount || times > HighestCount) {
        m_host.prompter().message(this, programCaption(), u"Введите число от 1 до 100"_s,
                                  Prompter::Icon::Warning, Prompter::Button::Ok);
        return;
    }
    const QString selected = m_host.selectedText();
    const QString source = selected.isEmpty() ? m_host.wholeText() : selected;
    // The repeated text is prepared once more as a whole: a replacement that holds the word of an
    // earlier dictionary line is corrected too.
    const QString repeated = repeatedText(prepareText(source), times);
    QString spoken;
    m_speaker.sayOrThrow(repeated, Speaker::Turn::QueueAndResume, &spoken);
    WordFollower *follower = m_host.wordFollower();
    if (follower && m_host.speech())
        follower->follow(*m_host.speech(), source, spoken, !selected.isEmpty(), times);
    close();
}

void RepeatedReadingWindow::stepCount(int step)
{
    bool isNumber = false;
    const int typed = m_count->text().toInt(&isNumber);
    if (isNumber)
        m_arrowPosition = std::clamp(typed, LowestCount, HighestCount);
    m_arrowPosition = std::clamp(m_arrowPosition + step, LowestCount, HighestCount);
    m_count->setText(QString::number(m_arrowPosition));
    m_count->selectAll();
}

bool RepeatedReadingWindow::countKey(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) {
        stepCount(event->key() == Qt::Key_Up ? 1 : -1);
        return true;
    }
    const QString text = event->text();
    if (text.isEmpty() || text.front().unicode() < u' ' || event->modifiers() & Qt::ControlModifier)
        return false; // editing keys, Backspace, Ctrl+V and the like
    if (text.front() < u'0' || text.front() > u'9')
        return true;
    // A digit is typed only while the count has room for it.
    return m_count->text().size() - m_count->selectedText().size() >= MaxDigits;
}

void RepeatedReadingWindow::countEdited(const QString &text)
{
    // Whatever the user puts in (pasting too) keeps only its digits, at most three.
    QString digits;
    for (QChar c : text) {
        if (c >= u'0' && c <= u'9' && digits.size() < MaxDigits)
            digits += c;
    }
    if (digits != text)
        m_count->setText(digits);
}

void RepeatedReadingWindow::countChanged(const QString &text)
{
    if (!text.isEmpty())
        return;
    m_count->setText(u"1"_s);
    // The next digit typed takes the place of the "1".
    m_count->selectAll();
}

bool RepeatedReadingWindow::previewKey(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return true;
    }
    if (isEnterKey(event)) {
        StaticText1Click();
        return true;
    }
    if (focusWidget() == m_count)
        return countKey(event);
    return false;
}

} // namespace velmira
