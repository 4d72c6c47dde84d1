#include "dictionarywindow.h"

#include "common/core/error.h"
#include "common/core/prompter.h"
#include "common/ui/labelbutton.h"
#include "dictionary/textpreparation.h"
#include "speech/speechcontrol.h"

#include <QCheckBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QSignalBlocker>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

// The user types at most this many characters into either box.
constexpr int TypedLength = 40;

const QColor WindowGreen(0, 192, 0);
const QColor PanelGreen(128, 255, 128);

QFrame *panel(QWidget *parent, const QString &name, const QRect &geometry)
{
    auto *frame = new QFrame(parent);
    frame->setObjectName(name);
    frame->setGeometry(geometry);
    frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
    QPalette pal = frame->palette();
    pal.setColor(QPalette::Window, PanelGreen);
    // Black text on the light green, grey where a control is disabled.
    pal.setColor(QPalette::Active, QPalette::WindowText, Qt::black);
    pal.setColor(QPalette::Inactive, QPalette::WindowText, Qt::black);
    pal.setColor(QPalette::Disabled, QPalette::WindowText, QColor(96, 96, 96));
    frame->setPalette(pal);
    frame->setAutoFillBackground(true);
    return frame;
}

QLineEdit *wordBox(QWidget *parent, const QString &name, const QString &caption, int x)
{
    auto *label = new QLabel(caption, parent);
    label->setGeometry(x, 6, 162, 16);
    auto *box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setMaxLength(TypedLength);
    box->setGeometry(x, 24, 162, 22);
    label->setBuddy(box);
    box->setAccessibleName(caption.chopped(1));
    return box;
}

// A line taken from the list for editing may be longer than anything the user could type (imported
// lines have no limit); it must arrive whole, so the box's limit grows to it until the box is emptied.
void putText(QLineEdit *box, const QString &text)
{
    box->setMaxLength(std::max<int>(TypedLength, int(text.size())));
    box->setText(text);
}

// An emptied box takes the usual limit again.
void restoreLimit(QLineEdit *box)
{
    if (box->text().isEmpty() && box->maxLength() != TypedLength)
        box->setMaxLength(TypedLength);
}

} // namespace

DictionaryWindow::DictionaryWindow(Prompter &prompter, SpeechControl *speech, QWidget *parent)
    : DialogWindow(u"TForm5"_s, u"Словарь поправок"_s, parent),
      m_prompter(prompter), m_speech(speech)
{
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
    setClientSize(365, 446);
    setBackground(WindowGreen);

    QFrame *usePanel = panel(this, u"Panel2"_s, QRect(8, 8, 349, 32));
    m_useBox = new QCheckBox(u"Использовать словарь поправок"_s, usePanel);
    m_useBox->setObjectName(u"CheckBox1"_s);
    m_useBox->setGeometry(8, 6, 333, 20);

    m_editPanel = panel(this, u"Panel1"_s, QRect(8, 46, 349, 358));
    m_word = wordBox(m_editPanel, u"Edit1"_s, u"Заменяемое слово:"_s, 8);
    m_replacement = wordBox(m_editPanel, u"Edit2"_s, u"Заменяющее слово:"_s, 179);
    m_replacement->setEnabled(false);

    m_test = addButton(m_editPanel, u"Label1"_s, u"Тест"_s, QRect(8, 54, 162, 22));
    m_add = addButton(m_editPanel, u"StaticText3"_s, u"Добавить"_s,
                      QRect(179, 54, 162, 22));
    m_test->setEnabled(false);
    m_add->setEnabled(false);

    m_list = new QListWidget(m_editPanel);
    m_list->setObjectName(u"ListBox1"_s);
    m_list->setAccessibleName(u"Строки словаря"_s);
    m_list->setGeometry(8, 84, 333, 236);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setSortingEnabled(false);

    auto *remove = addButton(m_editPanel, u"StaticText4"_s, u"Удалить строку"_s,
                             QRect(8, 328, 105, 22));
    auto *clear = addButton(m_editPanel, u"StaticText8"_s, u"Очистить"_s,
                            QRect(122, 328, 105, 22));
    auto *import = addButton(m_editPanel, u"StaticText5"_s, u"Иимпорт..."_s,
                             QRect(236, 328, 105, 22));

    auto *ok = addButton(this, u"StaticText6"_s, u"OK"_s, QRect(90, 414, 86, 24));
    ok->setBoldItalic(true);
    auto *cancel =
        addButton(this, u"StaticText7"_s, u"Отмена"_s, QRect(189, 414, 86, 24));

    connect(m_useBox, &QCheckBox::toggled, this, &DictionaryWindow::CheckBox1Click);
    connect(m_word, &QLineEdit::textChanged, this, &DictionaryWindow::Edit1Change);
    connect(m_replacement, &QLineEdit::textChanged, this, &DictionaryWindow::Edit2Change);
    connect(m_add, &LabelButton::clicked, this, &DictionaryWindow::StaticText3Click);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &DictionaryWindow::ListBox1DblClick);
    connect(remove, &LabelButton::clicked, this, &DictionaryWindow::StaticText4Click);
    connect(clear, &LabelButton::clicked, this, &DictionaryWindow::StaticText8Click);
    connect(import, &LabelButton::clicked, this, &DictionaryWindow::StaticText5Click);
    connect(m_test, &LabelButton::clicked, this, &DictionaryWindow::Label1Click);
    connect(ok, &LabelButton::clicked, this, &DictionaryWindow::StaticText6Click);
    connect(cancel, &LabelButton::clicked, this, &DictionaryWindow::StaticText7Click);
}

void DictionaryWindow::N14Click(Prompter &prompter, SpeechControl *speech, QWidget *parent)
{
    DictionaryWindow window(prompter, speech, parent);
    window.exec();
}

LabelButton *DictionaryWindow::addButton(QWidget *parent, const QString &name, const QString &text,
                                         const QRect &geometry)
{
    auto *b = new LabelButton(text, parent);
    b->setObjectName(name);
    b->setGeometry(geometry);
    return b;
}

void DictionaryWindow::showEvent(QShowEvent *event)
{
    DialogWindow::showEvent(event);
    if (event->spontaneous())
        return;
    if (const QScreen *s = screen())
        move(s->availableGeometry().center() - rect().center());
    FormShow();
}

void DictionaryWindow::FormShow()
{
    try {
        m_dictionary.load();
    } catch (const Error &error) {
        m_dictionary.clear();
        report(error);
    }
    m_list->clear();
    m_list->addItems(m_dictionary.lines());
    const bool inUse = CorrectionDictionary::isInUse();
    {
        // Showing the stored flag is not a change of it.
        const QSignalBlocker blocker(m_useBox);
        m_useBox->setChecked(inUse);
    }
    m_editPanel->setEnabled(inUse);
}

void DictionaryWindow::CheckBox1Click(bool checked)
{
    m_editPanel->setEnabled(checked);
    try {
        CorrectionDictionary::setInUse(checked);
    } catch (const Error &error) {
        report(error);
        return;
    }
    if (checked)
        prepareCorrectionsAhead();
}

void DictionaryWindow::Edit1Change()
{
    restoreLimit(m_word);
    m_replacement->setEnabled(!m_word->text().isEmpty());
}

void DictionaryWindow::Edit2Change()
{
    restoreLimit(m_replacement);
    const bool hasReplacement = !m_replacement->text().isEmpty();
    m_test->setEnabled(hasReplacement);
    m_add->setEnabled(hasReplacement);
}

void DictionaryWindow::StaticText3Click()
{
    if (m_word->text().isEmpty() || m_replacement->text().isEmpty())
        return;
    m_dictionary.add(m_word->text(), m_replacement->text());
    m_list->addItem(m_dictionary.lines().constLast());
    m_word->clear();
    m_replacement->clear();
    m_list->clearSelection();
    m_list->setCurrentRow(m_list->count() - 1);
    m_list->scrollToItem(m_list->currentItem());
    // "Добавить" has just been disabled; the next word is typed where the last one was.
    m_word->setFocus();
}

void DictionaryWindow::ListBox1DblClick(QListWidgetItem *item)
{
    if (!item)
        return;
    const int row = m_list->row(item);
    const QString line = item->text();
    const qsizetype equals = line.indexOf(u'=');
    // A line without "=" is a word without its replacement yet.
    putText(m_word, equals < 0 ? line : line.left(equals));
    putText(m_replacement, equals < 0 ? QString() : line.mid(equals + 1));
    // Only the line taken into the boxes leaves the list, whatever else is selected.
    m_dictionary.removeLines({row});
    delete m_list->takeItem(row);
}

void DictionaryWindow::StaticText4Click()
{
    QList<qsizetype> rows;
    for (const QModelIndex &index : m_list->selectionModel()->selectedIndexes())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end(), std::greater<>());
    m_dictionary.removeLines(rows);
    for (const qsizetype row : std::as_const(rows))
        delete m_list->takeItem(int(row));
}

void DictionaryWindow::StaticText8Click()
{
    if (!m_prompter.askYesNo(this, programCaption(), u"Очистить словарь поправок?"_s))
        return;
    m_dictionary.clear();
    m_list->clear();
}

void DictionaryWindow::StaticText5Click()
{
    // No name is offered: every import starts afresh.
    const QString path =
        m_prompter.openFileName(this, u"Выбор файла словаря для импорта"_s,
                                u"Текстовые файлы (*.txt)|*.txt|Все файлы (*.*)|*.*"_s);
    if (path.isEmpty())
        return;
    const qsizetype before = m_dictionary.size();
    try {
        m_dictionary.appendFrom(path);
    } catch (const Error &error) {
        report(error);
        return;
    }
    for (qsizetype i = before; i < m_dictionary.size(); ++i)
        m_list->addItem(m_dictionary.lines().at(i));
}

void DictionaryWindow::Label1Click()
{
    if (!m_speech)
        return;
    try {
        // The replacement is heard exactly as typed: the dictionary is not applied to it.
        m_speech->AudioReset();
        m_speech->Speak(m_replacement->text());
    } catch (const std::exception &) {
        m_prompter.message(this, u"Вельмира"_s, speechFailureText(), Prompter::Icon::None,
                           Prompter::Button::Ok);
    }
}

void DictionaryWindow::StaticText6Click()
{
    try {
        // The old file is replaced only by a complete new one; a failed write leaves it whole and the
        // window open with the user's changes.
        m_dictionary.save();
    } catch (const Error &error) {
        report(error);
        return;
    }
    prepareCorrectionsAhead();
    accept();
}

void DictionaryWindow::StaticText7Click()
{
    reject();
}

void DictionaryWindow::report(const Error &error)
{
    m_prompter.message(this, u"Вельмира"_s, error.message(), Prompter::Icon::Critical,
                       Prompter::Button::Ok);
}

bool DictionaryWindow::previewKey(QKeyEvent *event)
{
    if (isEnterKey(event)) {
        StaticText6Click();
        return true;
    }
    if (event->key() == Qt::Key_Escape) {
        StaticText7Click();
        return true;
    }
    if (event->key() == Qt::Key_Backspace && focusWidget() == m_list) {
        StaticText4Click();
        return true;
    }
    return false;
}

} // namespace velmira
