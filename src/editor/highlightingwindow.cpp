#include "highlightingwindow.h"

#include "common/ui/labelbutton.h"
#include "intuitivehighlighting.h"
#include "richedit.h"

#include <QCoreApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScrollBar>

using namespace Qt::StringLiterals;

namespace velmira {

HighlightingWindow::HighlightingWindow(RichEdit &editor, std::function<void(const QString &)> status,
                                       QWidget *parent)
    : DialogWindow(u"TForm8"_s, u"Интуитивное выделение"_s, parent),
      m_editor(editor), m_status(std::move(status))
{
    setClientSize(289, 149);
    setBackground(QColor(0, 192, 0));

    m_panel = new QFrame(this);
    m_panel->setObjectName(u"Panel1"_s);
    m_panel->setGeometry(8, 8, 273, 104);
    m_panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    m_panel->setAutoFillBackground(true);
    QPalette pal = m_panel->palette();
    pal.setColor(QPalette::Window, QColor(128, 255, 128));
    pal.setColor(QPalette::WindowText, Qt::black);
    m_panel->setPalette(pal);

    auto *question = new QLabel(u"Что Вы хотите сделать?"_s, m_panel);
    question->setObjectName(u"Label1"_s);
    QFont bold = question->font();
    bold.setBold(true);
    question->setFont(bold);
    question->setGeometry(8, 6, 257, 18);

    m_mark = new QRadioButton(u"Интуитивно выделить текст"_s, m_panel);
    m_mark->setObjectName(u"RadioButton1"_s);
    m_mark->setGeometry(8, 28, 257, 20);
    m_mark->setChecked(true);
    m_unmark = new QRadioButton(u"Снять всё выделение с текста"_s, m_panel);
    m_unmark->setObjectName(u"RadioButton2"_s);
    m_unmark->setGeometry(8, 50, 257, 20);

    m_progress = new QProgressBar(m_panel);
    m_progress->setObjectName(u"ProgressBar1"_s);
    m_progress->setAccessibleName(u"Ход выделения"_s);
    m_progress->setTextVisible(false);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setGeometry(8, 78, 257, 16);

    auto *ok = new LabelButton(u"OK"_s, this);
    ok->setObjectName(u"StaticText1"_s);
    ok->setBoldItalic(true);
    ok->setGeometry(24, 120, 110, 23);
    connect(ok, &LabelButton::clicked, this, &HighlightingWindow::StaticText1Click);

    auto *cancel = new LabelButton(u"Отмена"_s, this);
    cancel->setObjectName(u"StaticText4"_s);
    cancel->setGeometry(155, 120, 110, 23);
    connect(cancel, &LabelButton::clicked, this, &HighlightingWindow::StaticText4Click);
}

void HighlightingWindow::SpeedButton23Click()
{
    if (m_editor.document()->isEmpty()) {
        m_status(u"Нет текста для Интуитивного выделения"_s);
        return;
    }
    exec();
}

void HighlightingWindow::showEvent(QShowEvent *event)
{
    DialogWindow::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void HighlightingWindow::FormShow()
{
    m_cancelRequested = false;
    m_panel->setEnabled(true);
    m_progress->setValue(0);
}

void HighlightingWindow::StaticText1Click()
{
    // A run is under way (Enter, or "OK" clicked again): it goes on undisturbed.
    if (m_running)
        return;
    m_running = true;
    m_cancelRequested = false;
    m_panel->setEnabled(false);
    m_progress->setValue(0);

    const QTextCursor saved = m_editor.textCursor();
    const int anchor = saved.anchor();
    const int position = saved.position();
    const int vertical = m_editor.verticalScrollBar()->value();
    // The editor is not drawn while its document is half changed; it shows the marks once the run ends.
    m_editor.viewport()->setUpdatesEnabled(false);
    const auto finish = qScopeGuard([&] {
        m_editor.viewport()->setUpdatesEnabled(true);
        QTextCursor restored = m_editor.textCursor();
        restored.setPosition(anchor);
        restored.setPosition(position, QTextCursor::KeepAnchor);
        m_editor.setTextCursor(restored);
        m_editor.verticalScrollBar()->setValue(vertical);
        m_running = false;
        m_panel->setEnabled(true);
        m_progress->setValue(0);
    });

    const HighlightTurn turn = [this](int reached, int length) {
        QCoreApplication::processEvents();
        if (m_cancelRequested) {
            m_cancelRequested = false;
            return false;
        }
        m_progress->setMaximum(std::max(1, length));
        m_progress->setValue(reached);
        return true;
    };
    const HighlightOutcome outcome =
        intuitiveHighlight(*m_editor.document(), m_mark->isChecked(), turn, m_turnInterval);
    if (outcome == HighlightOutcome::Completed)
        accept();
}

void HighlightingWindow::StaticText4Click()
{
    if (!m_running) {
        reject();
        return;
    }
    // The run sees the request at its next turn and ends there, keeping the marks set so far.
    m_cancelRequested = true;
    m_panel->setEnabled(true);
    m_progress->setValue(0);
}

bool HighlightingWindow::previewKey(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        StaticText4Click();
        return true;
    }
    if (isEnterKey(event)) {
        StaticText1Click();
        return true;
    }
    return false;
}

} // namespace velmira
