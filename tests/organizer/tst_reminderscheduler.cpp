// The five-second tick: the hourly announcement and the reminders that fire, at set moments of any day.
#include "organizer/clock.h"
#include "organizer/reminderscheduler.h"

#include <QTest>

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
    // Everything the scheduler did, in order: "store", "speak:<text>", "show:<message>".
    QStringList m_done;
    std::function<void()> m_duringShow;
    std::unique_ptr<ReminderScheduler> m_scheduler;

    void setReminders(const QList<ReminderTable::Row> &rows) { m_table.setReminders(rows); }

    static ReminderTable::Row reminder(const QString &when, const QString &text, const QString &kind = u"голос"_s,
                                       const QString &status = u"вкл."_s, const QString &last = {})
    {
        return {u"Дело"_s, when, last, text, kind, status};
    }

    void tickAt(int hour, int minute, int second = 0)
    {
        m_clock.moment.setTime(QTime(hour, minute, second));
        m_scheduler->onTick();
    }

private slots:
    void init()
    {
        m_clock = FakeClock();
        m_table = ReminderTable();
        m_done.clear();
        m_duringShow = nullptr;
        ReminderActions actions;
        actions.store = [this] { m_done.append(u"store"_s); };
        actions.speak = [this](const QString &text) { m_done.append(u"speak:"_s + text); };
        actions.show = [this](const QString &message) {
            m_done.append(u"show:"_s + message);
            if (m_duringShow)
                m_duringShow();
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
        QCOMPARE(m_done, (QStringList{u"store"_s, u"speak:Выпить лекарство"_s,
                                      u"show:Напоминание от программы Вельмира 6.1:\r\nВыпить лекарство"_s}));
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
        QCOMPARE(m_done, (QStringList{u"store"_s, u"show:Напоминание от программы Вельмира 6.1:\r\nПозвонить маме"_s}));
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
        setReminders({reminder(u"09:05"_s, u"первое"_s), reminder(u"10:00"_s, u"не сейчас"_s),
                      reminder(u"07.03.2026 09:05"_s, u"второе"_s, u"голос+текст"_s)});
        tickAt(9, 5);
        QCOMPARE(m_done, (QStringList{u"store"_s, u"speak:первое"_s, u"store"_s, u"speak:второе"_s,
                                      u"show:Напоминание от программы Вельмира 6.1:\r\nвторое"_s}));
    }

    void unknownKindStillCountsAsFired()
    {
        setReminders({reminder(u"09:05"_s, u"молча"_s, u"другое"_s)});
        tickAt(9, 5);
        QCOMPARE(m_done, QStringList{u"store"_s});
        QCOMPARE(m_table.cell(1, ReminderTable::LastFired), u"07.03.2026"_s);
    }

    void tickInsideAMessageBoxNeverFiresAReminderTwice()
    {
        m_scheduler->startTimeAnnouncement();
        setReminders({reminder(u"09:05"_s, u"первое"_s, u"текст"_s), reminder(u"09:05"_s, u"второе"_s, u"текст"_s)});
        int nested = 0;
        m_duringShow = [&] {
            // While the first box is open, further ticks run: the next minute and a new hour come too.
            if (nested++ < 3)
                tickAt(9, 5, 5 * nested);
        };
        tickAt(9, 5);
        const QStringList shown = m_done.filter(u"show:"_s);
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown.at(0).endsWith(u"первое"_s));
        QVERIFY(shown.at(1).endsWith(u"второе"_s));
        QCOMPARE(m_done.count(u"store"_s), 2);
    }

    void tableShortenedDuringABoxIsNotReadPastItsEnd()
    {
        setReminders({reminder(u"09:05"_s, u"первое"_s, u"текст"_s), reminder(u"09:05"_s, u"второе"_s, u"текст"_s)});
        m_duringShow = [this] { m_table.setReminders({}); };
        tickAt(9, 5);
        QCOMPARE(m_done.filter(u"show:"_s).size(), 1);
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
