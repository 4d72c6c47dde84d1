#include "organizer.h"

#include "clock.h"
#include "common/core/error.h"
#include "common/core/prompter.h"
#include "organizerwindow.h"
#include "reminderfile.h"

namespace velmira {

namespace {

ReminderActions actionsFor(QWidget *owner, Prompter &prompter, ReminderTable &table,
                           std::function<void(const QStringList &)> readText)
{
    ReminderActions actions;
    actions.store = [&table] {
        // The table in memory already holds the fired state, so a reminder does not fire twice in this
        // run even when the file cannot be written.
        try {
            SaveOTable(table);
        } catch (const Error &) {
        }
    };
    actions.speak = std::move(readText);
    actions.show = [owner, &prompter](const QString &message) {
        // The box does not wait for the user: the organizer goes on while it is open.
        prompter.notify(owner, programCaption(), message, Prompter::Icon::Information);
    };
    return actions;
}

} // namespace

Organizer::Organizer(QWidget *owner, Prompter &prompter, std::function<void(const QStringList &)> readText,
                     ReminderEditor::Speaker voiceTest, const Clock *clock)
    : QObject(owner),
      m_ownClock(clock ? nullptr : std::make_unique<SystemClock>()),
      m_scheduler(m_table, clock ? *clock : *m_ownClock, actionsFor(owner, prompter, m_table, std::move(readText)))
{
    m_organizerWindow = new OrganizerWindow(
        m_table, prompter, [this](ReminderTable::Row &row) { return m_reminderEditor->edit(row); }, owner);
    m_reminderEditor = new ReminderEditor(prompter, std::move(voiceTest), m_organizerWindow);
}

Organizer::~Organizer()
{
    // The windows work on the table; they go first.
    delete m_organizerWindow.data();
}

void Organizer::ShowOTable()
{
    velmira::ShowOTable(m_table);
}

void Organizer::onTick()
{
    m_scheduler.onTick();
}

void Organizer::startTimeAnnouncement()
{
    m_scheduler.startTimeAnnouncement();
}

void Organizer::openOrganizerWindow()
{
    m_organizerWindow->showOrganizer();
}

} // namespace velmira
