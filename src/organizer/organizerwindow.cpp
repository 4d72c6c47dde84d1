#include "organizerwindow.h"

#include "common/core/error.h"
#include "common/core/prompter.h"
#include "common/ui/labelbutton.h"
#include "reminderfile.h"

#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScreen>
#include <QTableWidget>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

struct ColumnHeading
{
    const char16_t *text;
    int width;
};

constexpr ColumnHeading Headings[ReminderTable::ColumnCount] = {
    {u"Название", 94},          {u"Дата/время", 88},     {u"Последний раз", 80},
    {u"Текст напоминания", 161}, {u"Тип оповещения", 95}, {u"Статус", 45},
};

QToolButton *pictureButton(QWidget *parent, const QString &name, const QString &themeIcon, const QString &ownIcon,
                           const QString &tip, const QRect &geometry)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(name);
    b->setAutoRaise(true);
    // Our own pictures come with the program's resources; without them the desktop's theme has to do.
    const QString own = u":/icons/%1.svg"_s.arg(ownIcon);
    b->setIcon(QIcon::fromTheme(themeIcon, QFile::exists(own) ? QIcon(own) : QIcon()));
    b->setIconSize(QSize(20, 20));
    b->setGeometry(geometry);
    b->setToolTip(tip);
    // A screen reader finds a picture button by its tooltip.
    b->setAccessibleName(tip);
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

void separator(QWidget *parent, int x, int y)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(x, y, 4, 30);
}

} // namespace

OrganizerWindow::OrganizerWindow(ReminderTable &table, Prompter &prompter, RowEditor editRow, QWidget *parent)
    : DialogWindow(u"TForm9"_s, u"Органайзер"_s, parent),
      m_table(table), m_prompter(prompter), m_editRow(std::move(editRow))
{
    setClientSize(623, 326);
    setBackground(QColor(0, 192, 0));

    auto *panel = new QFrame(this);
    panel->setObjectName(u"Panel1"_s);
    panel->setGeometry(8, 8, 610, 283);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, QColor(128, 255, 128));
    panel->setPalette(pal);
    panel->setAutoFillBackground(true);

    m_grid = new QTableWidget(1, ReminderTable::ColumnCount, panel);
    m_grid->setObjectName(u"StringGrid"_s);
    m_grid->setAccessibleName(u"Напоминания"_s);
    m_grid->setGeometry(6, 6, 595, 235);
    QFont gridFont(u"Arial"_s);
    gridFont.setPixelSize(11);
    m_grid->setFont(gridFont);
    m_grid->horizontalHeader()->setFont(gridFont);
    // Like the grid of the old program: a long text is cut at the column's edge, without dots.
    m_grid->setTextElideMode(Qt::ElideNone);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setWordWrap(false);
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setMinimumSectionSize(15);
    m_grid->verticalHeader()->setDefaultSectionSize(15);
    m_grid->horizontalHeader()->setHighlightSections(false);
    m_grid->horizontalHeader()->setSectionsClickable(false);
    for (int c = 0; c < ReminderTable::ColumnCount; ++c) {
        m_grid->setHorizontalHeaderItem(c, new QTableWidgetItem(QString::fromUtf16(Headings[c].text)));
        m_grid->setColumnWidth(c, Headings[c].width);
    }

    const int y = 246;
    auto *add = pictureButton(panel, u"SpeedButton1"_s, u"list-add"_s, u"add"_s,
                              u"Добавить напоминание"_s, QRect(9, y, 28, 28));
    auto *remove = pictureButton(panel, u"SpeedButton2"_s, u"list-remove"_s,
                                 u"delete"_s, u"Удалить напоминание"_s, QRect(41, y, 28, 28));
    auto *edit = pictureButton(panel, u"SpeedButton3"_s, u"document-properties"_s,
                               u"edit"_s, u"Редактировать напоминание"_s, QRect(73, y, 28, 28));
    separator(panel, 118, y);
    auto *down = pictureButton(panel, u"SpeedButton4"_s, u"go-down"_s,
                               u"move-down"_s, u"Переместить напоминание вниз"_s,
                               QRect(137, y, 24, 30));
    auto *up = pictureButton(panel, u"SpeedButton5"_s, u"go-up"_s, u"move-up"_s,
                             u"Переместить напоминание вверх"_s, QRect(163, y, 24, 30));
    separator(panel, 206, y);

    m_ok = new LabelButton(u"OK"_s, this);
    m_ok->setObjectName(u"StaticText1"_s);
    m_ok->setBoldItalic(true);
    m_ok->setGeometry(230, 297, 80, 24);
    m_cancel = new LabelButton(u"Отмена"_s, this);
    m_cancel->setObjectName(u"StaticText2"_s);
    m_cancel->setGeometry(324, 297, 80, 24);

    connect(add, &QToolButton::clicked, this, &OrganizerWindow::SpeedButton1Click);
    connect(remove, &QToolButton::clicked, this, &OrganizerWindow::SpeedButton2Click);
    connect(edit, &QToolButton::clicked, this, &OrganizerWindow::SpeedButton3Click);
    connect(down, &QToolButton::clicked, this, &OrganizerWindow::SpeedButton4Click);
    connect(up, &QToolButton::clicked, this, &OrganizerWindow::SpeedButton5Click);
    connect(m_grid, &QTableWidget::cellDoubleClicked, this, &OrganizerWindow::SpeedButton3Click);
    connect(m_ok, &LabelButton::clicked, this, &OrganizerWindow::StaticText1Click);
    connect(m_cancel, &LabelButton::clicked, this, &OrganizerWindow::StaticText2Click);
}

void OrganizerWindow::showOrganizer()
{
    exec();
}

void OrganizerWindow::showEvent(QShowEvent *event)
{
    DialogWindow::showEvent(event);
    if (event->spontaneous())
        return;
    if (const QScreen *s = screen())
        move(s->availableGeometry().center() - rect().center());
    FormShow();
}

int OrganizerWindow::rowCount() const
{
    return m_grid->rowCount();
}

int OrganizerWindow::selectedRow() const
{
    return m_grid->currentRow();
}

ReminderTable::Row OrganizerWindow::rowAt(int row) const
{
    ReminderTable::Row cells;
    for (int c = 0; c < ReminderTable::ColumnCount; ++c) {
        if (const QTableWidgetItem *item = m_grid->item(row, c))
            cells[c] = item->text();
    }
    return cells;
}

void OrganizerWindow::setRow(int row, const ReminderTable::Row &cells, int tableRow)
{
    for (int c = 0; c < ReminderTable::ColumnCount; ++c) {
        if (QTableWidgetItem *item = m_grid->item(row, c))
            item->setText(cells[c]);
        else
            m_grid->setItem(row, c, new QTableWidgetItem(cells[c]));
    }
    m_grid->item(row, ReminderTable::Name)->setData(Qt::UserRole, tableRow);
}

int OrganizerWindow::tableRowOf(int row) const
{
    const QTableWidgetItem *item = m_grid->item(row, ReminderTable::Name);
    return item ? item->data(Qt::UserRole).toInt() : 0;
}

void OrganizerWindow::selectRow(int row)
{
    m_grid->setCurrentCell(row, qMax(0, m_grid->currentColumn()));
    m_grid->selectRow(row);
}

void OrganizerWindow::FormShow()
{
    m_grid->setRowCount(1);
    setRow(0, {});
    if (QFileInfo::exists(reminderFilePath())) {
        ShowOTable(m_table);
        if (m_table.hasReminders()) {
            m_grid->setRowCount(m_table.rowCount() - 1);
            for (int r = 1; r < m_table.rowCount(); ++r)
                setRow(r - 1, m_table.row(r), r);
        }
    }
    selectRow(0);
    m_grid->setFocus();
}

void OrganizerWindow::SpeedButton1Click()
{
    if (!rowAt(selectedRow())[ReminderTable::Name].isEmpty()) {
        const int added = m_grid->rowCount();
        m_grid->setRowCount(added + 1);
        setRow(added, {});
        selectRow(added);
    }
    SpeedButton3Click();
}

void OrganizerWindow::SpeedButton3Click()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    ReminderTable::Row cells = rowAt(row);
    if (m_editRow(cells)) {
        setRow(row, cells);
        return;
    }
    // A row added and never saved goes away with the editor's "Отмена".
    if (rowAt(row)[ReminderTable::Name].isEmpty())
        deleteSelected(false);
}

void OrganizerWindow::SpeedButton2Click()
{
    deleteSelected(true);
}

void OrganizerWindow::deleteSelected(bool ask)
{
    if (ask && !m_prompter.askYesNo(this, programCaption(), u"Вы уверены, что хотите удалить напоминание?"_s))
        return;
    const int row = selectedRow();
    if (row < 0)
        return;
    if (m_grid->rowCount() > 1) {
        m_grid->removeRow(row);
        selectRow(qMin(row, m_grid->rowCount() - 1));
    } else {
        setRow(0, {});
    }
}

void OrganizerWindow::swapRows(int a, int b)
{
    const ReminderTable::Row first = rowAt(a);
    const int firstTableRow = tableRowOf(a);
    setRow(a, rowAt(b), tableRowOf(b));
    setRow(b, first, firstTableRow);
}

void OrganizerWindow::SpeedButton4Click()
{
    const int row = selectedRow();
    if (row < 0 || row >= m_grid->rowCount() - 1)
        return;
    swapRows(row, row + 1);
    selectRow(row + 1);
}

void OrganizerWindow::SpeedButton5Click()
{
    const int row = selectedRow();
    if (row <= 0)
        return;
    swapRows(row, row - 1);
    selectRow(row - 1);
}

void OrganizerWindow::StaticText1Click()
{
    QList<ReminderTable::Row> reminders;
    if (!(m_grid->rowCount() == 1 && rowAt(0)[ReminderTable::Name].isEmpty())) {
        for (int r = 0; r < m_grid->rowCount(); ++r) {
            ReminderTable::Row cells = rowAt(r);
            // The list shows the reminders as they were when the window opened. One that fired since
            // then has been marked in the table; a reminder the user did not edit keeps that mark, or it
            // would fire a second time today.
            const int from = tableRowOf(r);
            if (from > 0 && from < m_table.rowCount()) {
                const ReminderTable::Row &now = m_table.row(from);
                const bool same = now[ReminderTable::Name] == cells[ReminderTable::Name]
                                  && now[ReminderTable::When] == cells[ReminderTable::When]
                                  && now[ReminderTable::Text] == cells[ReminderTable::Text]
                                  && now[ReminderTable::Kind] == cells[ReminderTable::Kind];
                if (same) {
                    cells[ReminderTable::LastFired] = now[ReminderTable::LastFired];
                    cells[ReminderTable::Status] = now[ReminderTable::Status];
                }
            }
            reminders.append(cells);
        }
    }
    m_table.setReminders(reminders);
    try {
        SaveOTable(m_table);
    } catch (const Error &e) {
        // The reminders work for this run all the same, but the user must know they will not come back.
        m_prompter.message(this, programCaption(),
                           u"Напоминания не сохранены в файле и пропадут при закрытии программы.\r\n"_s
                               + e.message(),
                           Prompter::Icon::Warning, Prompter::Button::Ok);
    }
    accept();
}

void OrganizerWindow::StaticText2Click()
{
    reject();
}

bool OrganizerWindow::previewKey(QKeyEvent *event)
{
    if (isEnterKey(event)) {
        StaticText1Click();
        return true;
    }
    if (event->key() == Qt::Key_Escape) {
        StaticText2Click();
        return true;
    }
    return false;
}

} // namespace velmira
