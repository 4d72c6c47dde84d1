// The five-second tick: the hourly announcement and the reminders that fire, at set moments of any day.
#include "organizer/clock.h"
#include "organizer/reminderscheduler.h"

#include <QEventLoop>
#include <QTest>
#include <QTimer>

using namespace velmira;
using namespace Qt::StringLiterals;

namespace {

class FakeClock : public Clock
{
public:
    QDateTime moment{QDate(2026, 3, 7), QTime(9, 5, 0)};
    QDateTime now() const override { return moment; }
    void set(const QDate &date, const QTime &time) { moment = QDateTime(date, time); }
};

} // namespace

class TestReminderScheduler : public QObject
{
    Q_OBJECT

private:
    FakeClock m_clock;
    ReminderTable m_table;
    // Everything the scheduler did, in order: "store", "speak:<texts joined by |>", "show:<message>".
    QStringList m_done;
    // The same with the minute in front, for the runs of the real timer: "09:00 speak:...".
    QStringList m_timeline;
    // Message boxes that wait, each in its own event loop as a modal box does, until the run ends: the
    // user has stepped away from the computer.
    bool m_boxesWait = false;
    QList<QEventLoop *> m_openBoxes;
    int m_mostBoxesOpen = 0;
    bool m_closingBoxes = false;
    std::unique_ptr<ReminderScheduler> m_scheduler;

    void setReminders(const QList<ReminderTable::Row> &rows) { m_table.setReminders(rows); }

    static ReminderTable::Row reminder(const QString &when, const QString &text, const QString &kind = u"голос"_s,
                                       const QString &status = u"вкл."_s, const QString &last = {})
    {
        return {u"Дело"_s, when, last, text, kind, status};
    }

    void record(const QString &what)
    {
        m_done.append(what);
        m_timeline.append(m_clock.moment.time().toString(u"hh:mm"_s) + u' ' + what);
    }

    // One tick at a set time, and what it hands on delivered.
    void tickAt(int hour, int minute, int second = 0)
    {
        m_clock.moment.setTime(QTime(hour, minute, second));
        m_scheduler->onTick();
        QCoreApplication::sendPostedEvents();
    }

    void closeBoxes()
    {
        m_closingBoxes = true;
        for (QEventLoop *box : std::as_const(m_openBoxes))
            box->quit();
    }

    // Runs a timer as the main window does, on the fake clock from `from` until `to`: every timeout moves
    // the clock five seconds on and ticks. Waiting boxes are closed at the end, or by a watchdog when
    // the timer has stopped running, which the caller sees in the result (false).
    bool runTimer(const QTime &from, const QTime &to)
    {
        m_clock.moment.setTime(from);
        m_boxesWait = true;
        QEventLoop run;
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&] {
            m_clock.moment = m_clock.moment.addSecs(5);
            if (m_clock.moment.time() <= to) {
                m_scheduler->onTick();
                return;
            }
            timer.stop();
            closeBoxes();
            run.quit();
        });
        bool stalled = false;
        QTimer watchdog;
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, this, [&] {
            stalled = true;
            closeBoxes();
            run.quit();
        });
        timer.start(1);
        watchdog.start(10000);
        run.exec();
        QCoreApplication::sendPostedEvents();
        m_boxesWait = false;
        return !stalled;
    }

private slots:
    void init()
    {
        m_clock = FakeClock();
        m_table = ReminderTable();
        m_done.clear();
        m_timeline.clear();
        m_openBoxes.clear();
        m_mostBoxesOpen = 0;
        m_closingBoxes = false;
        ReminderActions actions;
        actions.store = [this] { record(u"store"_s); };
        actions.speak = [this](const QStringList &texts) { record(u"speak:"_s + texts.join(u'|')); };
        actions.show = [this](const QString &message) {
            record(u"show:"_s + message.section(u"\r\n"_s, 1));
            if (!m_boxesWait || m_closingBoxes)
                return;
            QEventLoop box;
            m_openBoxes.append(&box);
            m_mostBoxesOpen = qMax(m_mostBoxesOpen, int(m_openBoxes.size()));
            box.exec();
            m_openBoxes.removeOne(&box);
        };
        m_scheduler = std::make_unique<ReminderScheduler>(m_table, m_clock, actions);
    }

    void textsAreMadeWhateverTheLocale()
    {
        const QLocale saved;
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(organizerTimeText(QTime(9, 5, 59)), u"09:05"_s);
        QCOMPARE(organizerTimeText(QTime(23, 0)), u"23:00"_s);
        QCOMPARE(organizerDateText(QDate(2027, 3, 7)), u"07.03.2027"_s);
        QCOMPARE(organizerDateTimeText(QDateTime(QDate(2027, 12, 31), QTime(0, 1))), u"31.12.2027 00:01"_s);
        QLocale::setDefault(saved);
    }

    void announcementEndings_data()
    {
        QTest::addColumn<int>("hour");
        QTest::addColumn<QString>("text");
        const char16_t *endings[24] = {u"часов", u"час",   u"часа",  u"часа",  u"часа",  u"часов",
                                       u"часов", u"часов", u"часов", u"часов", u"часов", u"часов",
                                       u"часов", u"часов", u"часов", u"часов", u"часов", u"часов",
                                       u"часов", u"часов", u"часов", u"час",   u"часа",  u"часа"};
        for (int h = 0; h < 24; ++h)
            QTest::addRow("%d", h) << h << u"Системное время: %1 %2."_s.arg(h).arg(QString::fromUtf16(endings[h]));
    }

    void announcementEndings()
    {
        QFETCH(int, hour);
        QFETCH(QString, text);
        QCOMPARE(hourAnnouncement(hour), text);
    }

    void hourIsAnnouncedOnceWhenItChanges()
    {
        m_clock.moment.setTime(QTime(20, 59, 58));
        m_scheduler->startTimeAnnouncement();
        QCOMPARE(m_scheduler->LastAnnouncedHour(), 20);
        tickAt(20, 59, 59); // the hour current at start is not announced
        QVERIFY(m_done.isEmpty());
        m_clock.moment.setTime(QTime(21, 0, 1));
        m_scheduler->startTimeAnnouncement(); // a second showing of the window does not re-arm it
        tickAt(21, 0, 3);
        tickAt(21, 0, 8);
        QCOMPARE(m_done, QStringList{u"speak:Системное время: 21 час."_s});
        // A clock set back to another hour counts as a change too.
        tickAt(7, 30);
        QCOMPARE(m_done.last(), u"speak:Системное время: 7 часов."_s);
    }

    void noAnnouncementWhenTimeIsOff()
    {
        tickAt(9, 0);
        tickAt(10, 0);
        tickAt(0, 0);
        QVERIFY(m_done.isEmpty());
        QVERIFY(!m_scheduler->TimeAnnouncementOn());
    }

    void dailyReminderFiresOncePerDay()
    {
        setReminders({reminder(u"09:05"_s, u"Выпить лекарство"_s, u"голос+текст"_s)});
        tickAt(9, 4, 59);
        QVERIFY(m_done.isEmpty());
        tickAt(9, 5, 0);
        QCOMPARE(m_done, (QStringList{u"store"_s, u"speak:Выпить лекарство"_s, u"show:Выпить лекарство"_s}));
        QCOMPARE(m_table.cell(1, ReminderTable::LastFired), u"07.03.2026"_s);
        QCOMPARE(m_table.cell(1, ReminderTable::Status), u"вкл."_s);

        m_done.clear();
        tickAt(9, 5, 5);
        tickAt(9, 5, 55);
        tickAt(9, 6, 0);
        QVERIFY(m_done.isEmpty());

        m_clock.moment = m_clock.moment.addDays(1);
        tickAt(9, 5, 2);
        QCOMPARE(m_done.size(), 3);
        QCOMPARE(m_table.cell(1, ReminderTable::LastFired), u"08.03.2026"_s);
    }

    void oneTimeReminderIsSwitchedOffAndStoredBeforeNotifying()
    {
        setReminders({reminder(u"07.03.2026 09:05"_s, u"Позвонить маме"_s, u"текст"_s),
                      reminder(u"08.03.2026 09:05"_s, u"Завтра"_s)});
        tickAt(9, 5, 10);
        // The store comes before the message box, so the box shows a reminder already marked.
        QCOMPARE(m_done, (QStringList{u"store"_s, u"show:Позвонить маме"_s}));
        QCOMPARE(m_table.cell(1, ReminderTable::Status), u"выкл."_s);
        QCOMPARE(m_table.cell(1, ReminderTable::LastFired), u"07.03.2026"_s);
        QCOMPARE(m_table.cell(2, ReminderTable::Status), u"вкл."_s);
        m_done.clear();
        m_clock.moment = m_clock.moment.addDays(1);
        tickAt(9, 5);
        QCOMPARE(m_done, (QStringList{u"store"_s, u"speak:Завтра"_s}));
    }

    void disabledOrAlreadyFiredRemindersAreNotTouched()
    {
        setReminders({reminder(u"09:05"_s, u"Выключено"_s, u"голос"_s, u"выкл."_s, u"01.01.2026"_s),
                      reminder(u"09:05"_s, u"Уже было"_s, u"голос"_s, u"вкл."_s, u"07.03.2026"_s),
                      reminder(u"9:05"_s, u"Без нуля"_s), reminder(u"09:05 "_s, u"С пробелом"_s)});
        tickAt(9, 5);
        QVERIFY(m_done.isEmpty());
        QCOMPARE(m_table.cell(1, ReminderTable::LastFired), u"01.01.2026"_s);
    }

    void remindersAtTheSameMinuteFireInListOrder()
    {
        // Stored once, spoken one after another rather than each cutting the one before off.
        setReminders({reminder(u"09:05"_s, u"первое"_s), reminder(u"10:00"_s, u"не сейчас"_s),
                      reminder(u"07.03.2026 09:05"_s, u"второе"_s, u"голос+текст"_s)});
        tickAt(9, 5);
        QCOMPARE(m_done, (QStringList{u"store"_s, u"speak:первое|второе"_s, u"show:второе"_s}));
    }

    void twoHundredRemindersInOneMinute()
    {
        const QStringList kinds{u"голос"_s, u"текст"_s, u"голос+текст"_s};
        QList<ReminderTable::Row> rows;
        QStringList spoken, shown;
        for (int i = 0; i < 200; ++i) {
            const QString text = u"Напоминание №%1"_s.arg(i + 1);
            rows.append(reminder(u"09:05"_s, text, kinds.at(i % 3)));
            if (i % 3 != 1)
                spoken.append(text);
            if (i % 3 != 0)
                shown.append(u"show:"_s + text);
        }
        setReminders(rows);
        m_clock.moment.setTime(QTime(9, 5));
        m_scheduler->onTick();
        m_scheduler->onTick(); // a second tick before the first one's notifications went out
        QCoreApplication::sendPostedEvents();
        tickAt(9, 5, 10);
        QCOMPARE(m_done.count(u"store"_s), 1);
        QCOMPARE(m_done.filter(u"speak:"_s), QStringList{u"speak:"_s + spoken.join(u'|')});
        QCOMPARE(m_done.filter(u"show:"_s), shown);
        for (int r = 1; r <= 200; ++r)
            QCOMPARE(m_table.cell(r, ReminderTable::LastFired), u"07.03.2026"_s);
    }

    void unknownKindStillCountsAsFired()
    {
        setReminders({reminder(u"09:05"_s, u"молча"_s, u"другое"_s)});
        tickAt(9, 5);
        QCOMPARE(m_done, QStringList{u"store"_s});
        QCOMPARE(m_table.cell(1, ReminderTable::LastFired), u"07.03.2026"_s);
    }

    void boxesLeftOpenHoldNothingUp()
    {
        // Every box stays open until the end; meanwhile the hour changes and more reminders come due.
        setReminders({reminder(u"08:59"_s, u"Рано"_s, u"текст"_s), reminder(u"09:00"_s, u"Первое"_s, u"текст"_s),
                      reminder(u"09:00"_s, u"Второе"_s, u"голос+текст"_s), reminder(u"09:01"_s, u"Третье"_s, u"текст"_s),
                      reminder(u"09:01"_s, u"Четвёртое"_s, u"голос"_s)});
        m_clock.moment.setTime(QTime(8, 59, 41));
        m_scheduler->startTimeAnnouncement();
        QVERIFY2(runTimer(QTime(8, 59, 41), QTime(9, 2)), "the timer stopped while a message box was open");
        QCOMPARE(m_timeline, (QStringList{u"08:59 store"_s, u"08:59 show:Рано"_s, u"09:00 store"_s,
                                          u"09:00 speak:Системное время: 9 часов.|Второе"_s, u"09:00 show:Первое"_s,
                                          u"09:00 show:Второе"_s, u"09:01 store"_s, u"09:01 speak:Четвёртое"_s,
                                          u"09:01 show:Третье"_s}));
        QCOMPARE(m_mostBoxesOpen, 4);
        for (int r = 1; r <= 5; ++r)
            QCOMPARE(m_table.cell(r, ReminderTable::LastFired), u"07.03.2026"_s);
    }

    void emptyTablesDoNothing()
    {
        tickAt(9, 5);
        setReminders({});
        tickAt(9, 5);
        QVERIFY(m_done.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestReminderScheduler)
#include "tst_reminderscheduler.moc"
