// The organizer window and the reminder editor, driven through their controls.
#include "common/core/textfile.h"
#include "organizer/clock.h"
#include "organizer/organizer.h"
#include "organizer/organizerwindow.h"
#include "organizer/remindereditor.h"
#include "organizer/reminderfile.h"
#include "organizer/reminderscheduler.h"
#include "support/fakeprompter.h"

#include <QAccessible>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "common/ui/labelbutton.h"
#include "support/testfiles.h"

using namespace velmira;
using namespace Qt::StringLiterals;

namespace {

ReminderTable::Row reminder(const QString &name, const QString &when = u"09:05"_s, const QString &kind = u"голос"_s)
{
    return {name, when, u"01.03.2026"_s, u"Текст: "_s + name, kind, u"вкл."_s};
}

template <typename T>
T *child(QWidget &window, const QString &name)
{
    T *found = window.findChild<T *>(name);
    Q_ASSERT(found);
    return found;
}

void click(QWidget &window, const QString &name)
{
    QTest::mouseClick(child<QWidget>(window, name), Qt::LeftButton);
}

// What a screen reader does to a check box or radio button: its "toggle" action, no click.
void toggleAsScreenReader(QWidget *button)
{
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(button);
    QVERIFY(accessible && accessible->actionInterface());
    accessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
}

} // namespace

class TestOrganizerWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TemporaryProgramFolder> m_home;
    FakePrompter m_prompter;
    ReminderTable m_table;
    // What the fake reminder editor is given, and what it answers.
    QList<ReminderTable::Row> m_edited;
    std::function<bool(ReminderTable::Row &)> m_editorAnswer;
    QStringList m_spoken;
    bool m_speechFails = false;

    std::unique_ptr<OrganizerWindow> makeOrganizer()
    {
        auto w = std::make_unique<OrganizerWindow>(m_table, m_prompter, [this](ReminderTable::Row &row) {
            m_edited.append(row);
            return m_editorAnswer ? m_editorAnswer(row) : false;
        });
        w->show();
        return w;
    }

    std::unique_ptr<ReminderEditor> makeEditor()
    {
        return std::make_unique<ReminderEditor>(m_prompter, [this](const QString &text) {
            if (m_speechFails)
                throw std::runtime_error("no sound");
            m_spoken.append(text);
        });
    }

    // Opens the editor on `row`, runs `act` while it is shown, and returns what edit() returned. An
    // editor still open after `act` is cancelled, so that a failing test cannot hang.
    static bool runEditor(ReminderEditor &editor, ReminderTable::Row &row, const std::function<void()> &act)
    {
        QTimer::singleShot(0, &editor, [&] {
            act();
            if (editor.isVisible())
                editor.reject();
        });
        return editor.edit(row);
    }

    void storeFile(const QList<ReminderTable::Row> &rows)
    {
        ReminderTable stored;
        stored.setReminders(rows);
        SaveOTable(stored);
    }

    static QStringList names(const OrganizerWindow &w)
    {
        QStringList list;
        for (int r = 0; r < w.rowCount(); ++r)
            list.append(w.rowAt(r)[ReminderTable::Name]);
        return list;
    }

private slots:
    void init()
    {
        m_home = std::make_unique<TemporaryProgramFolder>();
        m_prompter = FakePrompter();
        m_table = ReminderTable();
        m_edited.clear();
        m_editorAnswer = nullptr;
        m_spoken.clear();
        m_speechFails = false;
    }

    void organizerLooksAsDocumented()
    {
        auto w = makeOrganizer();
        QCOMPARE(w->objectName(), u"TForm9"_s);
        QCOMPARE(w->windowTitle(), u"Органайзер"_s);
        QCOMPARE(w->size(), QSize(623, 326));
        auto *grid = child<QTableWidget>(*w, u"StringGrid"_s);
        const QStringList headings{u"Название"_s, u"Дата/время"_s, u"Последний раз"_s,
                                   u"Текст напоминания"_s, u"Тип оповещения"_s, u"Статус"_s};
        const QList<int> widths{94, 88, 80, 161, 95, 45};
        for (int c = 0; c < 6; ++c) {
            QCOMPARE(grid->horizontalHeaderItem(c)->text(), headings.at(c));
            QCOMPARE(grid->columnWidth(c), widths.at(c));
        }
        const QStringList tips{u"Добавить напоминание"_s, u"Удалить напоминание"_s, u"Редактировать напоминание"_s,
                               u"Переместить напоминание вниз"_s, u"Переместить напоминание вверх"_s};
        for (int i = 0; i < tips.size(); ++i) {
            auto *b = child<QToolButton>(*w, u"SpeedButton%1"_s.arg(i + 1));
            QCOMPARE(b->toolTip(), tips.at(i));
            QCOMPARE(b->accessibleName(), tips.at(i));
        }
        QCOMPARE(child<LabelButton>(*w, u"StaticText1"_s)->text(), u"OK"_s);
        QCOMPARE(child<LabelButton>(*w, u"StaticText2"_s)->text(), u"Отмена"_s);
    }

    void openingWithoutAFileShowsOneEmptyRow()
    {
        // Even a table in memory is not shown when the file is gone.
        m_table.setReminders({reminder(u"В памяти"_s)});
        auto w = makeOrganizer();
        QCOMPARE(names(*w), QStringList{QString()});
        QCOMPARE(w->selectedRow(), 0);
    }

    void openingLoadsTheFileAgain()
    {
        storeFile({reminder(u"Первое"_s), reminder(u"Второе"_s)});
        auto w = makeOrganizer();
        QCOMPARE(names(*w), (QStringList{u"Первое"_s, u"Второе"_s}));
        QCOMPARE(w->rowAt(1), reminder(u"Второе"_s));
        QCOMPARE(m_table.rowCount(), 3);
    }

    void addOnTheEmptyListEditsThatRow()
    {
        auto w = makeOrganizer();
        m_editorAnswer = [](ReminderTable::Row &row) {
            row = reminder(u"Новое"_s);
            return true;
        };
        click(*w, u"SpeedButton1"_s);
        QCOMPARE(m_edited.size(), 1);
        QCOMPARE(m_edited.first(), ReminderTable::Row{});
        QCOMPARE(names(*w), QStringList{u"Новое"_s});

        // With a named row selected, Add appends a row and edits that one.
        m_editorAnswer = [](ReminderTable::Row &row) {
            row = reminder(u"Ещё"_s);
            return true;
        };
        click(*w, u"SpeedButton1"_s);
        QCOMPARE(names(*w), (QStringList{u"Новое"_s, u"Ещё"_s}));
        QCOMPARE(w->selectedRow(), 1);

        click(*w, u"StaticText1"_s);
        QVERIFY(!w->isVisible());
        ReminderTable loaded;
        QVERIFY(ShowOTable(loaded));
        QCOMPARE(loaded.reminders(), (QList<ReminderTable::Row>{reminder(u"Новое"_s), reminder(u"Ещё"_s)}));
        QCOMPARE(m_table, loaded);
    }

    void cancelInTheEditorRemovesAFreshRowOnly()
    {
        storeFile({reminder(u"Первое"_s)});
        auto w = makeOrganizer();
        click(*w, u"SpeedButton1"_s); // editor cancelled
        QCOMPARE(names(*w), QStringList{u"Первое"_s});
        QCOMPARE(w->selectedRow(), 0);
        click(*w, u"SpeedButton3"_s); // editing an existing reminder, cancelled
        QCOMPARE(w->rowAt(0), reminder(u"Первое"_s));
        auto *grid = child<QTableWidget>(*w, u"StringGrid"_s);
        const QPoint cell = grid->visualItemRect(grid->item(0, 0)).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell);
        QCOMPARE(m_edited.size(), 3);
        QCOMPARE(m_edited.last(), reminder(u"Первое"_s));
    }

    void deleteAsksAndKeepsTheSelectionInPlace()
    {
        storeFile({reminder(u"А"_s), reminder(u"Б"_s), reminder(u"В"_s)});
        auto w = makeOrganizer();
        m_prompter.answers.enqueue(Prompter::Button::No);
        click(*w, u"SpeedButton2"_s);
        QCOMPARE(names(*w), (QStringList{u"А"_s, u"Б"_s, u"В"_s}));
        QCOMPARE(m_prompter.asked.last().text, u"Вы уверены, что хотите удалить напоминание?"_s);
        QCOMPARE(m_prompter.asked.last().caption, u"Вельмира 6.1"_s);
        QCOMPARE(m_prompter.asked.last().icon, Prompter::Icon::Question);

        m_prompter.answers.enqueue(Prompter::Button::Yes);
        click(*w, u"SpeedButton2"_s);
        QCOMPARE(names(*w), (QStringList{u"Б"_s, u"В"_s}));
        QCOMPARE(w->selectedRow(), 0);
        click(*w, u"SpeedButton4"_s); // "Б" moves down to the last row
        m_prompter.answers.enqueue(Prompter::Button::Yes);
        click(*w, u"SpeedButton2"_s);
        QCOMPARE(names(*w), QStringList{u"В"_s});
        QCOMPARE(w->selectedRow(), 0);
    }

    void deletingTheOnlyReminderThenOkDeletesTheFile()
    {
        storeFile({reminder(u"Единственное"_s)});
        auto w = makeOrganizer();
        m_prompter.answers.enqueue(Prompter::Button::Yes);
        click(*w, u"SpeedButton2"_s);
        QCOMPARE(names(*w), QStringList{QString()});
        QCOMPARE(w->rowAt(0), ReminderTable::Row{});
        click(*w, u"StaticText1"_s);
        QVERIFY(!QFile::exists(reminderFilePath()));
        QVERIFY(!m_table.hasReminders());
    }

    void movingRowsStopsAtTheEnds()
    {
        storeFile({reminder(u"А"_s), reminder(u"Б"_s), reminder(u"В"_s)});
        auto w = makeOrganizer();
        click(*w, u"SpeedButton5"_s); // up on the first row
        QCOMPARE(names(*w), (QStringList{u"А"_s, u"Б"_s, u"В"_s}));
        click(*w, u"SpeedButton4"_s);
        QCOMPARE(names(*w), (QStringList{u"Б"_s, u"А"_s, u"В"_s}));
        QCOMPARE(w->selectedRow(), 1);
        click(*w, u"SpeedButton4"_s);
        QCOMPARE(w->selectedRow(), 2);
        click(*w, u"SpeedButton4"_s); // down on the last row
        QCOMPARE(names(*w), (QStringList{u"Б"_s, u"В"_s, u"А"_s}));
        click(*w, u"SpeedButton5"_s);
        QCOMPARE(names(*w), (QStringList{u"Б"_s, u"А"_s, u"В"_s}));
        QCOMPARE(w->rowAt(1), reminder(u"А"_s)); // whole rows move
    }

    void cancelAndEscThrowChangesAway()
    {
        storeFile({reminder(u"А"_s), reminder(u"Б"_s)});
        const QByteArray before = readFileBytes(reminderFilePath());
        auto w = makeOrganizer();
        const ReminderTable loaded = m_table;
        click(*w, u"SpeedButton4"_s);
        m_prompter.answers.enqueue(Prompter::Button::Yes);
        click(*w, u"SpeedButton2"_s);
        QTest::keyClick(child<QTableWidget>(*w, u"StringGrid"_s), Qt::Key_Escape);
        QVERIFY(!w->isVisible());
        QCOMPARE(readFileBytes(reminderFilePath()), before);
        QCOMPARE(m_table, loaded);

        w->show(); // the next opening shows the stored list
        QCOMPARE(names(*w), (QStringList{u"А"_s, u"Б"_s}));
        click(*w, u"SpeedButton4"_s);
        QTest::keyClick(child<QTableWidget>(*w, u"StringGrid"_s), Qt::Key_Return);
        QVERIFY(!w->isVisible());
        QCOMPARE(m_table.cell(1, ReminderTable::Name), u"Б"_s);
    }

    void okKeepsWhatTheSchedulerMarkedMeanwhile()
    {
        // Reminders fire at 09:00 while the organizer is open; then the user edits one, moves another
        // and confirms.
        struct : Clock
        {
            QDateTime moment{QDate(2026, 3, 7), QTime(9, 0, 3)};
            QDateTime now() const override { return moment; }
        } clock;
        storeFile({{u"Первое"_s, u"09:00"_s, {}, u"Пора вставать"_s, u"текст"_s, u"вкл."_s},
                   {u"Разовое"_s, u"07.03.2026 09:00"_s, {}, u"Позвонить маме"_s, u"голос"_s, u"вкл."_s},
                   {u"Третье"_s, u"09:00"_s, {}, u"Полить цветы"_s, u"голос"_s, u"вкл."_s}});
        QStringList delivered;
        ReminderActions actions;
        actions.store = [this] { SaveOTable(m_table); };
        actions.speak = [&](const QStringList &texts) { delivered.append(texts); };
        actions.show = [&](const QString &message) { delivered.append(message.section(u"\r\n"_s, 1)); };
        ReminderScheduler scheduler(m_table, clock, actions);
        auto w = makeOrganizer();
        auto deliver = [&] {
            scheduler.onTick();
            QCoreApplication::sendPostedEvents();
        };
        deliver();
        QCOMPARE(delivered, (QStringList{u"Позвонить маме"_s, u"Полить цветы"_s, u"Пора вставать"_s}));
        QCOMPARE(w->rowAt(0)[ReminderTable::LastFired], QString()); // the list shows the state at opening

        auto *grid = child<QTableWidget>(*w, u"StringGrid"_s);
        m_editorAnswer = [](ReminderTable::Row &row) {
            row[ReminderTable::Text] = u"Полить кактус"_s;
            return true;
        };
        grid->setCurrentCell(2, 0);
        click(*w, u"SpeedButton3"_s);
        grid->setCurrentCell(0, 0);
        click(*w, u"SpeedButton4"_s);
        click(*w, u"StaticText1"_s);

        const QList<ReminderTable::Row> expected{
            {u"Разовое"_s, u"07.03.2026 09:00"_s, u"07.03.2026"_s, u"Позвонить маме"_s, u"голос"_s, u"выкл."_s},
            {u"Первое"_s, u"09:00"_s, u"07.03.2026"_s, u"Пора вставать"_s, u"текст"_s, u"вкл."_s},
            {u"Третье"_s, u"09:00"_s, {}, u"Полить кактус"_s, u"голос"_s, u"вкл."_s}};
        QCOMPARE(m_table.reminders(), expected);
        ReminderTable stored;
        QVERIFY(ShowOTable(stored));
        QCOMPARE(stored.reminders(), expected);

        // Later in the same minute only the reminder the user saved anew fires again.
        delivered.clear();
        clock.moment = clock.moment.addSecs(5);
        deliver();
        QCOMPARE(delivered, QStringList{u"Полить кактус"_s});
    }

    void failedStoreIsReported()
    {
        qputenv("VELMIRA_HOME", m_home->filePath(u"нет такой папки"_s).toUtf8());
        auto w = makeOrganizer();
        m_editorAnswer = [](ReminderTable::Row &row) {
            row = reminder(u"Новое"_s);
            return true;
        };
        click(*w, u"SpeedButton1"_s);
        click(*w, u"StaticText1"_s);
        QCOMPARE(m_prompter.asked.size(), 1);
        QVERIFY(m_prompter.asked.first().text.startsWith(u"Напоминания не сохранены"_s));
        QVERIFY(m_table.hasActiveReminder()); // they still work in this run
    }

    void editorFillsItsFieldsFromTheRow_data()
    {
        QTest::addColumn<QString>("when");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("once");
        QTest::addColumn<bool>("voice");
        QTest::addColumn<bool>("message");
        QTest::newRow("daily, text") << u"09:05"_s << u"текст"_s << u"вкл."_s << false << false << true;
        QTest::newRow("once, voice") << u"07.03.2027 23:59"_s << u"голос"_s << u"выкл."_s << true << true << false;
        QTest::newRow("both") << u"00:00"_s << u"голос+текст"_s << u"вкл."_s << false << true << true;
        QTest::newRow("new row") << QString() << QString() << QString() << false << false << true;
    }

    void editorFillsItsFieldsFromTheRow()
    {
        QFETCH(QString, when);
        QFETCH(QString, kind);
        QFETCH(QString, status);
        QFETCH(bool, once);
        QFETCH(bool, voice);
        QFETCH(bool, message);
        auto editor = makeEditor();
        ReminderTable::Row row{u"Имя"_s, when, u"01.01.2026"_s, u"Текст"_s, kind, status};
        const ReminderTable::Row original = row;
        bool checked = false;
        const bool saved = runEditor(*editor, row, [&] {
            QCOMPARE(child<QLineEdit>(*editor, u"Edit1"_s)->text(), u"Имя"_s);
            QCOMPARE(child<QRadioButton>(*editor, u"RadioButton2"_s)->isChecked(), once);
            QCOMPARE(child<QCalendarWidget>(*editor, u"MonthCalendar1"_s)->isEnabled(), once);
            if (once)
                QCOMPARE(child<QCalendarWidget>(*editor, u"MonthCalendar1"_s)->selectedDate(), QDate(2027, 3, 7));
            QCOMPARE(child<QCheckBox>(*editor, u"CheckBox1"_s)->isChecked(), voice);
            QCOMPARE(child<QCheckBox>(*editor, u"CheckBox2"_s)->isChecked(), message);
            QCOMPARE(child<QRadioButton>(*editor, u"RadioButton4"_s)->isChecked(), status == u"выкл."_s);
            if (when.isEmpty())
                QCOMPARE(editor->timeFieldText(), u"  :  "_s);
            checked = true;
            click(*editor, u"StaticText2"_s);
        });
        QVERIFY(checked);
        QVERIFY(!saved);
        QCOMPARE(row, original);
    }

    void editorWritesTheColumnForms()
    {
        auto editor = makeEditor();
        ReminderTable::Row row{u"Имя"_s, u"09:05"_s, u"07.03.2026"_s, u"Текст"_s, u"текст"_s, u"вкл."_s};
        QVERIFY(runEditor(*editor, row, [&] { click(*editor, u"StaticText1"_s); }));
        // Unchanged except "Последний раз", which saving always empties.
        QCOMPARE(row, (ReminderTable::Row{u"Имя"_s, u"09:05"_s, QString(), u"Текст"_s, u"текст"_s, u"вкл."_s}));

        QVERIFY(runEditor(*editor, row, [&] {
            QTest::mouseClick(child<QRadioButton>(*editor, u"RadioButton2"_s), Qt::LeftButton);
            QVERIFY(child<QCalendarWidget>(*editor, u"MonthCalendar1"_s)->isEnabled());
            child<QCalendarWidget>(*editor, u"MonthCalendar1"_s)->setSelectedDate(QDate(2027, 3, 7));
            QTest::mouseClick(child<QCheckBox>(*editor, u"CheckBox1"_s), Qt::LeftButton);
            QTest::mouseClick(child<QRadioButton>(*editor, u"RadioButton4"_s), Qt::LeftButton);
            QTest::keyClick(child<QLineEdit>(*editor, u"Edit4"_s), Qt::Key_Enter);
        }));
        QCOMPARE(row, (ReminderTable::Row{u"Имя"_s, u"07.03.2027 09:05"_s, QString(), u"Текст"_s, u"голос+текст"_s,
                                          u"выкл."_s}));
    }

    void oneNotificationStaysChecked()
    {
        auto editor = makeEditor();
        ReminderTable::Row row{u"Имя"_s, u"09:05"_s, {}, u"Текст"_s, u"голос"_s, u"вкл."_s};
        QVERIFY(runEditor(*editor, row, [&] {
            auto *voice = child<QCheckBox>(*editor, u"CheckBox1"_s);
            auto *message = child<QCheckBox>(*editor, u"CheckBox2"_s);
            QTest::mouseClick(voice, Qt::LeftButton, {}, QPoint(5, voice->height() / 2));
            QVERIFY(!voice->isChecked());
            QVERIFY(message->isChecked());
            QTest::mouseClick(message, Qt::LeftButton, {}, QPoint(5, message->height() / 2));
            QVERIFY(voice->isChecked());
            QVERIFY(!message->isChecked());
            click(*editor, u"StaticText1"_s);
        }));
        QCOMPARE(row[ReminderTable::Kind], u"голос"_s);
    }

    void choicesFollowTheirStateWhenAScreenReaderTogglesThem()
    {
        auto editor = makeEditor();
        ReminderTable::Row row{u"Имя"_s, u"09:05"_s, {}, u"Текст"_s, u"текст"_s, u"вкл."_s};
        QVERIFY(runEditor(*editor, row, [&] {
            auto *calendar = child<QCalendarWidget>(*editor, u"MonthCalendar1"_s);
            QVERIFY(!calendar->isEnabled());
            toggleAsScreenReader(child<QRadioButton>(*editor, u"RadioButton2"_s));
            QVERIFY(calendar->isEnabled());
            QVERIFY(child<QWidget>(*editor, u"StaticText5"_s)->isEnabled());
            toggleAsScreenReader(child<QRadioButton>(*editor, u"RadioButton1"_s));
            QVERIFY(!calendar->isEnabled());
            toggleAsScreenReader(child<QRadioButton>(*editor, u"RadioButton2"_s));
            calendar->setSelectedDate(QDate(2027, 3, 7));
            // Unticking the only way of notifying ticks the other.
            auto *message = child<QCheckBox>(*editor, u"CheckBox2"_s);
            toggleAsScreenReader(message);
            QVERIFY(!message->isChecked());
            QVERIFY(child<QCheckBox>(*editor, u"CheckBox1"_s)->isChecked());
            click(*editor, u"StaticText1"_s);
        }));
        QCOMPARE(row[ReminderTable::When], u"07.03.2027 09:05"_s);
        QCOMPARE(row[ReminderTable::Kind], u"голос"_s);
    }

    void editorChecksInOrderAndFocusesTheField_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::newRow("all empty") << QString() << QString() << QString() << u"Не задано название напоминания!"_s
                                   << u"Edit1"_s;
        QTest::newRow("no time") << u"Имя"_s << QString() << QString() << u"Не задано время напоминания!"_s
                                 << u"MaskEdit1"_s;
        QTest::newRow("24:00") << u"Имя"_s << u"2400"_s << QString() << u"Неверно задано время напоминания!"_s
                               << u"MaskEdit1"_s;
        QTest::newRow("12:60") << u"Имя"_s << u"1260"_s << u"т"_s << u"Неверно задано время напоминания!"_s
                               << u"MaskEdit1"_s;
        QTest::newRow("minute digit missing") << u"Имя"_s << u"125"_s << u"т"_s
                                              << u"Неверно задано время напоминания!"_s << u"MaskEdit1"_s;
        QTest::newRow("no text") << u"Имя"_s << u"2359"_s << QString() << u"Не задан текст напоминания!"_s
                                 << u"Edit4"_s;
        QTest::newRow("emoji in text") << u"Имя"_s << u"0000"_s << u"Торт 🎂"_s << u"🎂"_s << u"Edit4"_s;
        QTest::newRow("foreign letter in name") << u"Ωмега"_s << u"0000"_s << u"т"_s << u"«Название»"_s
                                                << u"Edit1"_s;
    }

    void editorChecksInOrderAndFocusesTheField()
    {
        QFETCH(QString, name);
        QFETCH(QString, typed);
        QFETCH(QString, text);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        auto editor = makeEditor();
        ReminderTable::Row row;
        QWidget *focused = nullptr;
        const bool saved = runEditor(*editor, row, [&] {
            child<QLineEdit>(*editor, u"Edit1"_s)->setText(name);
            auto *time = child<QLineEdit>(*editor, u"MaskEdit1"_s);
            time->setCursorPosition(0);
            QTest::keyClicks(time, typed);
            child<QLineEdit>(*editor, u"Edit4"_s)->setText(text);
            click(*editor, u"StaticText1"_s);
            focused = editor->focusWidget();
        });
        QVERIFY(!saved);
        QCOMPARE(m_prompter.asked.size(), 1);
        QVERIFY2(m_prompter.asked.first().text.contains(message), qPrintable(m_prompter.asked.first().text));
        QCOMPARE(m_prompter.asked.first().caption, u"Вельмира 6.1"_s);
        QVERIFY(focused);
        QCOMPARE(focused->objectName(), focus);
        QCOMPARE(row, ReminderTable::Row{});
    }

    void loneHourDigitGetsALeadingZero()
    {
        auto editor = makeEditor();
        ReminderTable::Row row{u"Имя"_s, {}, {}, u"Текст"_s, {}, {}};
        QVERIFY(runEditor(*editor, row, [&] {
            auto *time = child<QLineEdit>(*editor, u"MaskEdit1"_s);
            time->setCursorPosition(0);
            QTest::keyClicks(time, u"9"_s);
            time->setCursorPosition(3);
            QTest::keyClicks(time, u"05"_s);
            QCOMPARE(editor->timeFieldText(), u"9 :05"_s);
            click(*editor, u"StaticText1"_s);
        }));
        QCOMPARE(row[ReminderTable::When], u"09:05"_s);
    }

    void escAndTheCloseBoxCancel()
    {
        auto editor = makeEditor();
        ReminderTable::Row row{u"Имя"_s, u"09:05"_s, {}, u"Текст"_s, {}, {}};
        QVERIFY(!runEditor(*editor, row, [&] {
            child<QLineEdit>(*editor, u"Edit1"_s)->setText(u"Другое"_s);
            QTest::keyClick(child<QLineEdit>(*editor, u"Edit1"_s), Qt::Key_Escape);
        }));
        QVERIFY(!runEditor(*editor, row, [&] {
            child<QLineEdit>(*editor, u"Edit1"_s)->setText(u"Другое"_s);
            editor->close();
        }));
        QCOMPARE(row[ReminderTable::Name], u"Имя"_s);
        QVERIFY(m_prompter.asked.isEmpty());
    }

    void testButtonsSpeakAndShow()
    {
        auto editor = makeEditor();
        ReminderTable::Row row;
        runEditor(*editor, row, [&] {
            click(*editor, u"SpeedButton1"_s);
            click(*editor, u"SpeedButton2"_s);
            QCOMPARE(m_prompter.messages(),
                     (QStringList{u"Не задан текст напоминания!"_s, u"Не задан текст напоминания!"_s}));
            child<QLineEdit>(*editor, u"Edit4"_s)->setText(u"Пора обедать"_s);
            click(*editor, u"SpeedButton1"_s);
            QCOMPARE(m_spoken, QStringList{u"Пора обедать"_s});
            click(*editor, u"SpeedButton2"_s);
            QCOMPARE(m_prompter.asked.last().text, u"Напоминание от программы Вельмира 6.1:\r\nПора обедать"_s);
            QCOMPARE(m_prompter.asked.last().icon, Prompter::Icon::Information);
            m_speechFails = true;
            click(*editor, u"SpeedButton1"_s);
            QCOMPARE(m_prompter.asked.last().text, u"Ошибка! Возможно, звуковая карта занята другим приложением."_s);
            QVERIFY(editor->isVisible());
        });
    }

    void organizerAndRealEditorTogether()
    {
        // Add on the empty list, the editor cancelled: the list still has its one empty row; then a
        // reminder typed in and confirmed ends up in the file.
        auto editor = makeEditor();
        OrganizerWindow w(m_table, m_prompter, [&](ReminderTable::Row &row) { return editor->edit(row); });
        w.show();
        QTimer::singleShot(0, editor.get(), [&] { click(*editor, u"StaticText2"_s); });
        click(w, u"SpeedButton1"_s);
        QCOMPARE(w.rowCount(), 1);

        QTimer::singleShot(0, editor.get(), [&] {
            child<QLineEdit>(*editor, u"Edit1"_s)->setText(u"Обед"_s);
            child<QLineEdit>(*editor, u"MaskEdit1"_s)->setText(u"13:30"_s);
            child<QLineEdit>(*editor, u"Edit4"_s)->setText(u"Пора обедать"_s);
            click(*editor, u"StaticText1"_s);
        });
        click(w, u"SpeedButton1"_s);
        click(w, u"StaticText1"_s);
        ReminderTable loaded;
        QVERIFY(ShowOTable(loaded));
        QCOMPARE(loaded.reminders(), (QList<ReminderTable::Row>{
                                         {u"Обед"_s, u"13:30"_s, QString(), u"Пора обедать"_s, u"текст"_s, u"вкл."_s}}));
    }

    void organizerLoadsFiresAndKeepsGoingWhenTheFileCannotBeWritten()
    {
        struct : Clock
        {
            QDateTime now() const override { return QDateTime(QDate(2026, 3, 7), QTime(9, 5, 30)); }
        } clock;
        storeFile({{u"Обед"_s, u"07.03.2026 09:05"_s, {}, u"Пора обедать"_s, u"голос+текст"_s, u"вкл."_s}});
        QWidget owner;
        Organizer organizer(&owner, m_prompter, [this](const QStringList &texts) { m_spoken.append(texts); },
                            [](const QString &) {}, &clock);
        organizer.ShowOTable();
        QVERIFY(organizer.hasActiveReminder());

        // The folder is gone: the reminder fires all the same, and only once.
        const QByteArray before = readFileBytes(reminderFilePath());
        qputenv("VELMIRA_HOME", m_home->filePath(u"нет такой папки"_s).toUtf8());
        organizer.onTick();
        organizer.onTick();
        QCoreApplication::sendPostedEvents();
        qputenv("VELMIRA_HOME", m_home->path().toUtf8());
        QCOMPARE(m_spoken, QStringList{u"Пора обедать"_s});
        QCOMPARE(m_prompter.messages(), QStringList{u"Напоминание от программы Вельмира 6.1:\r\nПора обедать"_s});
        QVERIFY(!organizer.hasActiveReminder());
        QCOMPARE(readFileBytes(reminderFilePath()), before);
        QCOMPARE(organizer.organizerWindow()->objectName(), u"TForm9"_s);
        QCOMPARE(organizer.reminderEditor()->objectName(), u"TForm10"_s);
    }
};

QTEST_MAIN(TestOrganizerWindow)
#include "tst_organizerwindow.moc"
