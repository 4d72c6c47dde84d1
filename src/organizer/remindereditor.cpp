#include "remindereditor.h"

#include "common/core/prompter.h"
#include "common/core/textcodec.h"
#include "common/ui/labelbutton.h"
#include "reminderscheduler.h"

#include <QButtonGroup>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>
#include <QTextCharFormat>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

const QString BlankTime = u"  :  "_s;

QLabel *fieldLabel(const QString &text, const QString &name, QWidget *parent, int x, int y, QWidget *buddy)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(x, y);
    label->adjustSize();
    if (buddy)
        label->setBuddy(buddy);
    return label;
}

void fill(QWidget *widget, const QColor &color)
{
    QPalette pal = widget->palette();
    pal.setColor(QPalette::Window, color);
    widget->setPalette(pal);
    widget->setAutoFillBackground(true);
}

// A whole number of one or two digits with blanks around it, as the time field's parts read.
int partValue(const QString &part)
{
    const QString digits = part.trimmed();
    bool ok = false;
    const int value = digits.toInt(&ok);
    return ok && !digits.contains(u' ') ? value : -1;
}

// The characters of `text` that a reminder file cannot hold: those outside Windows-1251 and line
// breaks and other control characters, which would break the file's lines apart. Each is named once,
// a control character by its code.
QString unstorableCharacters(const QString &text)
{
    QStringList found;
    for (const char32_t c : text.toUcs4()) {
        const QString character = QString::fromUcs4(&c, 1);
        QString shown;
        if (c < 0x20 || c == 0x7F)
            shown = u"U+%1"_s.arg(uint(c), 4, 16, QLatin1Char('0')).toUpper();
        else if (!fitsWindows1251(character))
            shown = character;
        if (!shown.isEmpty() && !found.contains(shown))
            found.append(shown);
    }
    return found.join(u" "_s);
}

} // namespace

ReminderEditor::ReminderEditor(Prompter &prompter, Speaker speaker, QWidget *parent)
    : DialogWindow(u"TForm10"_s, u"Редактор напоминаний"_s, parent),
      m_prompter(prompter), m_speaker(std::move(speaker))
{
    setClientSize(301, 413);
    setBackground(QColor(0, 192, 0));
    setCloseBox(true);
    // The fields are laid out in pixels for a small dialog font; a larger desktop font would run the
    // labels past the panel's edge.
    QFont dialogFont = font();
    dialogFont.setPixelSize(11);
    setFont(dialogFont);

    auto *panel = new QFrame(this);
    panel->setObjectName(u"Panel1"_s);
    panel->setGeometry(6, 6, 291, 373);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    fill(panel, QColor(128, 255, 128));

    m_name = new QLineEdit(panel);
    m_name->setObjectName(u"Edit1"_s);
    m_name->setGeometry(144, 8, 137, 21);
    m_name->setMaxLength(20);
    fieldLabel(u"Название"_s, u"StaticText3"_s, panel, 15, 10, m_name);

    auto *when = new QGroupBox(u"Дата и время срабатывания"_s, panel);
    when->setObjectName(u"GroupBox1"_s);
    when->setGeometry(4, 32, 282, 223);

    m_time = new QLineEdit(when);
    m_time->setObjectName(u"MaskEdit1"_s);
    m_time->setGeometry(140, 16, 135, 21);
    // Two hour digits (the first may stay blank), two minute digits; unfilled places show "_".
    m_time->setInputMask(u"09:99;_"_s);
    fieldLabel(u"Время"_s, u"StaticText4"_s, when, 11, 18, m_time);

    m_daily = new QRadioButton(u"Ежедневно"_s, when);
    m_daily->setObjectName(u"RadioButton1"_s);
    m_daily->move(12, 40);
    m_daily->adjustSize();
    m_daily->setChecked(true);
    m_once = new QRadioButton(u"Однократно"_s, when);
    m_once->setObjectName(u"RadioButton2"_s);
    m_once->move(108, 40);
    m_once->adjustSize();

    m_calendar = new QCalendarWidget(when);
    m_calendar->setObjectName(u"MonthCalendar1"_s);
    m_calendar->setGeometry(82, 60, 190, 153);
    m_calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    m_calendar->setHorizontalHeaderFormat(QCalendarWidget::ShortDayNames);
    m_calendar->setGridVisible(false);
    // Month and day names in Russian, weeks from Monday, whatever the desktop's language.
    m_calendar->setLocale(QLocale(QLocale::Russian, QLocale::Russia));
    m_calendar->setFirstDayOfWeek(Qt::Monday);
    QFont small = m_calendar->font();
    small.setPixelSize(10);
    m_calendar->setFont(small);
    m_calendar->setAccessibleName(u"Дата"_s);
    // The calendar's own parts, named for screen readers (the arrows, PageUp and PageDown in the days
    // change the month from the keyboard).
    const std::pair<const char *, const char *> parts[] = {{"qt_calendar_prevmonth", "Предыдущий месяц"},
                                                           {"qt_calendar_nextmonth", "Следующий месяц"},
                                                           {"qt_calendar_calendarview", "Дни месяца"}};
    for (const auto &[name, accessible] : parts) {
        if (auto *part = m_calendar->findChild<QWidget *>(QString::fromLatin1(name)))
            part->setAccessibleName(QString::fromUtf8(accessible));
    }
    m_dateLabel = fieldLabel(u"Дата"_s, u"StaticText5"_s, when, 11, 60, m_calendar);

    m_text = new QLineEdit(panel);
    m_text->setObjectName(u"Edit4"_s);
    m_text->setGeometry(11, 274, 272, 21);
    m_text->setMaxLength(100);
    fieldLabel(u"Текст напоминания"_s, u"StaticText6"_s, panel, 7, 258, m_text);

    fieldLabel(u"Тип оповещения"_s, u"StaticText7"_s, panel, 7, 298, nullptr);
    auto testButton = [panel](const QString &name, const QString &accessible, int y) {
        auto *b = new QToolButton(panel);
        b->setObjectName(name);
        b->setText(u">"_s);
        QFont bold = b->font();
        bold.setBold(true);
        b->setFont(bold);
        b->setAutoRaise(true);
        b->setGeometry(98, y, 18, 17);
        b->setToolTip(u"Тест"_s);
        // Two buttons share the tooltip; a screen reader tells them apart by what they test.
        b->setAccessibleName(accessible);
        b->setFocusPolicy(Qt::TabFocus);
        return b;
    };
    m_voiceTest = testButton(u"SpeedButton1"_s, u"Тест голосом"_s, 298);
    m_messageTest = testButton(u"SpeedButton2"_s, u"Тест текстовым сообщением"_s, 315);
    m_byVoice = new QCheckBox(u"Голосом"_s, panel);
    m_byVoice->setObjectName(u"CheckBox1"_s);
    m_byVoice->move(123, 298);
    m_byVoice->adjustSize();
    m_byMessage = new QCheckBox(u"Текстовым сообщением"_s, panel);
    m_byMessage->setObjectName(u"CheckBox2"_s);
    m_byMessage->move(123, 314);
    m_byMessage->adjustSize();

    fieldLabel(u"Статус"_s, u"StaticText8"_s, panel, 7, 335, nullptr);
    m_enabled = new QRadioButton(u"Напоминание включено"_s, panel);
    m_enabled->setObjectName(u"RadioButton3"_s);
    m_enabled->move(123, 335);
    m_enabled->adjustSize();
    m_disabled = new QRadioButton(u"Напоминание отключено"_s, panel);
    m_disabled->setObjectName(u"RadioButton4"_s);
    m_disabled->move(123, 352);
    m_disabled->adjustSize();
    m_enabled->setChecked(true);

    // Explicit groups: Qt's automatic exclusivity would join the panel's status buttons with the daily
    // and one-time buttons of the group box inside it.
    for (auto [first, second] : {std::pair{m_daily, m_once}, std::pair{m_enabled, m_disabled}}) {
        auto *group = new QButtonGroup(this);
        group->addButton(first);
        group->addButton(second);
    }

    m_ok = new LabelButton(u"OK"_s, this);
    m_ok->setObjectName(u"StaticText1"_s);
    m_ok->setBoldItalic(true);
    m_ok->setGeometry(68, 385, 80, 24);
    m_cancel = new LabelButton(u"Отмена"_s, this);
    m_cancel->setObjectName(u"StaticText2"_s);
    m_cancel->setGeometry(162, 385, 80, 24);

    // The handlers follow the state, not the click: a screen reader's "toggle" and the keyboard change it
    // without clicking.
    connect(m_once, &QRadioButton::toggled, this, &ReminderEditor::updateDateEnabled);
    // At least one way of notifying always stays checked.
    connect(m_byVoice, &QCheckBox::toggled, this, [this](bool checked) {
        if (!checked)
            m_byMessage->setChecked(true);
    });
    connect(m_byMessage, &QCheckBox::toggled, this, [this](bool checked) {
        if (!checked)
            m_byVoice->setChecked(true);
    });
    connect(m_voiceTest, &QToolButton::clicked, this, &ReminderEditor::SpeedButton1Click);
    connect(m_messageTest, &QToolButton::clicked, this, &ReminderEditor::SpeedButton2Click);
    connect(m_ok, &LabelButton::clicked, this, &ReminderEditor::StaticText1Click);
    connect(m_cancel, &LabelButton::clicked, this, &ReminderEditor::reject);

    updateDateEnabled();
}

bool ReminderEditor::edit(ReminderTable::Row &row)
{
    FormShow(row);
    if (exec() != Accepted)
        return false;
    row = m_result;
    return true;
}

void ReminderEditor::FormShow(const ReminderTable::Row &row)
{
    m_calendar->setSelectedDate(QDate::currentDate());
    m_name->setText(row[ReminderTable::Name]);
    m_name->setFocus();

    const QString &when = row[ReminderTable::When];
    const qsizetype blank = when.indexOf(u' ');
    if (blank >= 0) {
        m_once->setChecked(true);
        m_time->setText(when.mid(blank + 1, 5));
        const QDate date = QDate::fromString(when.left(blank), u"dd.MM.yyyy"_s);
        if (date.isValid())
            m_calendar->setSelectedDate(date);
    } else {
        m_daily->setChecked(true);
        m_time->setText(when);
    }
    updateDateEnabled();

    m_text->setText(row[ReminderTable::Text]);

    const QString &kind = row[ReminderTable::Kind];
    m_byVoice->setChecked(kind == reminderwords::voiceAndText() || kind == reminderwords::voice());
    m_byMessage->setChecked(kind != reminderwords::voice());

    if (row[ReminderTable::Status] == reminderwords::off())
        m_disabled->setChecked(true);
    else
        m_enabled->setChecked(true);
}

void ReminderEditor::showEvent(QShowEvent *event)
{
    DialogWindow::showEvent(event);
    if (const QScreen *s = screen())
        move(s->availableGeometry().center() - rect().center());
    m_name->setFocus();
}

void ReminderEditor::updateDateEnabled()
{
    const bool once = m_once->isChecked();
    m_calendar->setEnabled(once);
    m_dateLabel->setEnabled(once);
    QPalette pal = m_calendar->palette();
    const QColor month = once ? QColor(Qt::white) : QColor(192, 192, 192);
    pal.setColor(QPalette::Active, QPalette::Base, month);
    pal.setColor(QPalette::Inactive, QPalette::Base, month);
    pal.setColor(QPalette::Disabled, QPalette::Base, month);
    m_calendar->setPalette(pal);
}

QString ReminderEditor::timeFieldText() const
{
    QString text = m_time->displayText();
    text.replace(u'_', u' ');
    return text;
}

QString ReminderEditor::normalizedTime() const
{
    const QString text = timeFieldText();
    if (text.size() != 5 || text.at(2) != u':')
        return {};
    const int hour = partValue(text.left(2));
    const int minute = partValue(text.mid(3, 2));
    // Both minute digits must be there; the hour may have lost its leading zero.
    if (hour < 0 || minute < 0 || text.at(3) == u' ' || text.at(4) == u' ')
        return {};
    if (hour > 23 || minute > 59)
        return {};
    return organizerTimeText(QTime(hour, minute));
}

bool ReminderEditor::refuse(const QString &message, QWidget *focus)
{
    m_prompter.message(this, programCaption(), message, Prompter::Icon::Warning, Prompter::Button::Ok);
    focus->setFocus();
    return false;
}

void ReminderEditor::StaticText1Click()
{
    if (m_name->text().isEmpty()) {
        refuse(u"Не задано название напоминания!"_s, m_name);
        return;
    }
    if (timeFieldText() == BlankTime) {
        refuse(u"Не задано время напоминания!"_s, m_time);
        return;
    }
    const QString time = normalizedTime();
    if (time.isEmpty()) {
        refuse(u"Неверно задано время напоминания!"_s, m_time);
        return;
    }
    if (m_text->text().isEmpty()) {
        refuse(u"Не задан текст напоминания!"_s, m_text);
        return;
    }
    // The reminder file holds Windows-1251 text only; what it cannot hold would come back as "?".
    for (auto [field, label] : {std::pair{m_name, u"Название"_s},
                                std::pair{m_text, u"Текст напоминания"_s}}) {
        const QString bad = unstorableCharacters(field->text());
        if (!bad.isEmpty()) {
            refuse(u"В поле «%1» есть знаки, которые нельзя сохранить в органайзере: %2\r\n"
                                  "Замените или удалите их."_s
                       .arg(label, bad),
                   field);
            return;
        }
    }

    ReminderTable::Row row;
    row[ReminderTable::Name] = m_name->text();
    row[ReminderTable::LastFired].clear();
    row[ReminderTable::When] =
        m_once->isChecked() ? organizerDateText(m_calendar->selectedDate()) + QLatin1Char(' ') + time : time;
    row[ReminderTable::Text] = m_text->text();
    if (m_byVoice->isChecked() && m_byMessage->isChecked())
        row[ReminderTable::Kind] = reminderwords::voiceAndText();
    else if (m_byVoice->isChecked())
        row[ReminderTable::Kind] = reminderwords::voice();
    else
        row[ReminderTable::Kind] = reminderwords::text();
    row[ReminderTable::Status] = m_enabled->isChecked() ? reminderwords::on() : reminderwords::off();
    m_result = row;
    accept();
}

void ReminderEditor::SpeedButton1Click()
{
    if (m_text->text().isEmpty()) {
        refuse(u"Не задан текст напоминания!"_s, m_text);
        return;
    }
    try {
        m_speaker(m_text->text());
    } catch (const std::exception &) {
        m_prompter.message(this, programCaption(), speechFailureText(), Prompter::Icon::Warning,
                           Prompter::Button::Ok);
    }
}

void ReminderEditor::SpeedButton2Click()
{
    if (m_text->text().isEmpty()) {
        refuse(u"Не задан текст напоминания!"_s, m_text);
        return;
    }
    m_prompter.message(this, programCaption(), reminderMessage(m_text->text()), Prompter::Icon::Information,
                       Prompter::Button::Ok);
}

bool ReminderEditor::previewKey(QKeyEvent *event)
{
    if (isEnterKey(event)) {
        StaticText1Click();
        return true;
    }
    if (event->key() == Qt::Key_Escape) {
        reject();
        return true;
    }
    return false;
}

void ReminderEditor::closeEvent(QCloseEvent *event)
{
    // The close box acts as "Отмена".
    event->accept();
    reject();
}

} // namespace velmira
