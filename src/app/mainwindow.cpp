#include "mainwindow.h"

#include "aboutwindow.h"
#include "app/buildinfo.h"
#include "app/provisioning.h"
#include "app/settingswindow.h"
#include "common/core/error.h"
#include "common/core/programfolder.h"
#include "common/core/prompter.h"
#include "common/core/settings.h"
#include "common/core/textfile.h"
#include "dictionary/dictionarywindow.h"
#include "dictionary/textpreparation.h"
#include "editor/documentcommands.h"
#include "editor/formatcommands.h"
#include "editor/formats/documentfile.h"
#include "editor/highlightingwindow.h"
#include "editor/richedit.h"
#include "editor/wordexport.h"
#include "organizer/organizer.h"
#include "platform/desktopshell.h"
#include "reading/greeting.h"
#include "reading/readingcontroller.h"
#include "reading/recordingwindow.h"
#include "reading/repeatedreadingwindow.h"
#include "reading/speaker.h"
#include "reading/trackingcontroller.h"
#include "reading/wordfollower.h"
#include "speech/speechcontrol.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QScrollBar>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTextDocument>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <tuple>
#include <utility>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

const QColor MainGreen(0, 192, 0);
const QColor ToolbarGreen(192, 220, 192);
// What a screen reader calls the status bar's label while it shows no message.
const QString StatusPanelName = u"Строка состояния"_s;

// A document file at least this large, opened at start, is read once the window is shown: it takes
// Qt about a second to fill a document with 200,000 lines, and the window would wait for it unseen.
// A smaller one is in the window when it first appears.
constexpr qint64 ReadAfterShowBytes = 1024 * 1024;

// True when the document file at `path` is read once the window is shown: a long one that is not
// refused for its size at once.
bool readAfterShow(const QString &path)
{
    const qint64 size = QFileInfo(path).size();
    if (size < ReadAfterShowBytes)
        return false;
    try {
        checkDocumentFileSize(path, size);
        return true;
    } catch (const Error &) {
        return false;
    }
}

// The status bar while the document at `path` is read with the window shown.
QString readingMessage(const QString &path)
{
    return u"Загружается текст из файла «%1»..."_s.arg(QFileInfo(path).fileName());
}

QString iconPath(const QString &name)
{
    return u":/icons/%1.svg"_s.arg(name);
}

// A freedesktop icon when the desktop's theme has it, our own picture otherwise.
QIcon themedIcon(const QString &themeName, const QString &ownName)
{
    const QIcon own(iconPath(ownName));
    return themeName.isEmpty() ? own : QIcon::fromTheme(themeName, own);
}

void fillBackground(QWidget *widget, const QColor &color)
{
    QPalette pal = widget->palette();
    pal.setColor(QPalette::Window, color);
    widget->setPalette(pal);
    widget->setAutoFillBackground(true);
}

QLabel *boldLabel(const QString &text, QWidget *parent, const QString &name)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

// One row of the settings panel: a bold caption, a scroll bar from 0 to 500 and the label that shows
// its value.
struct ValueBarRow
{
    QString caption;
    QString captionName;
    QString barName;
    QString valueName;
    int value;
    int y;
    int captionWidth;
};

std::pair<QScrollBar *, QLabel *> valueBar(QWidget *parent, const ValueBarRow &row)
{
    QLabel *caption = boldLabel(row.caption + u':', parent, row.captionName);
    caption->setGeometry(8, row.y, row.captionWidth, 18);
    auto *bar = new QScrollBar(Qt::Horizontal, parent);
    caption->setBuddy(bar);
    bar->setObjectName(row.barName);
    bar->setAccessibleName(row.caption);
    bar->setFocusPolicy(Qt::StrongFocus);
    bar->setRange(0, 500);
    bar->setValue(row.value);
    bar->setGeometry(86, row.y + 1, 196, 17);
    auto *value = new QLabel(QString::number(row.value), parent);
    value->setObjectName(row.valueName);
    value->setGeometry(288, row.y, 32, 18);
    // The number beside the bar always shows its position.
    QObject::connect(bar, &QScrollBar::valueChanged, value, [value](int position) {
        value->setText(QString::number(position));
    });
    return {bar, value};
}

QFrame *separator(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setFixedSize(8, 28);
    return line;
}

// The toolbar: object name, freedesktop icon, our icon, tooltip. An empty name is a separator.
struct ToolbarEntry
{
    const char16_t *name;
    const char16_t *themeIcon;
    const char16_t *ownIcon;
    const char16_t *tip;
};

constexpr ToolbarEntry Toolbar[] = {
    {u"SpeedButton21", u"media-playlist-repeat", u"repeat", u"Читать текст несколько раз"},
    {u"SpeedButton6", u"media-playback-start", u"read", u"Прочитать текст (Ctrl+Y)"},
    {u"SpeedButton7", u"media-playback-pause", u"pause", u"Пауза (Ctrl+P)"},
    {u"SpeedButton8", u"media-playback-stop", u"stop", u"Стоп"},
    {u"SpeedButton11", u"", u"read-clipboard", u"Прочтать буфер"},
    {nullptr, nullptr, nullptr, nullptr},
    {u"SpeedButton5", u"", u"track-typing", u"Слежение за набором текста"},
    {u"SpeedButton9", u"", u"track-clipboard", u"Слежение за буфером"},
    {nullptr, nullptr, nullptr, nullptr},
    {u"SpeedButton12", u"media-record", u"record", u"Запись голоса в файл"},
    {u"SpeedButton1", u"", u"export", u"Экспорт в MS Word (Ctrl+W)"},
    {u"SpeedButton23", u"", u"highlight", u"Интуитивное выделение"},
    {u"SpeedButton22", u"preferences-desktop-font", u"font", u"Шрифт (Ctrl+F)"},
    {nullptr, nullptr, nullptr, nullptr},
    {u"SpeedButton3", u"x-office-calendar", u"organizer", u"Органайзер"},
    {u"SpeedButton2", u"face-smile", u"greeting", u"Произнести приветствие"},
    {u"SpeedButton4", u"", u"tray", u"Свернуть программу в трей"},
    {u"SpeedButton13", u"", u"panel", u"Панель настроек"},
};

// The formatting group: name, freedesktop icon, our icon, tooltip, position in the group box.
struct FormatEntry
{
    const char16_t *name;
    const char16_t *themeIcon;
    const char16_t *ownIcon;
    const char16_t *tip;
    int x;
    int y;
};

constexpr FormatEntry Formatting[] = {
    {u"SpeedButton10", u"format-justify-left", u"align-left", u"По левому краю", 8, 18},
    {u"SpeedButton14", u"format-justify-center", u"align-center", u"По центру", 35, 18},
    {u"SpeedButton15", u"format-justify-right", u"align-right", u"По правому краю", 62, 18},
    {u"SpeedButton17", u"format-text-bold", u"bold", u"Полужирный (Ctrl+B)", 8, 46},
    {u"SpeedButton18", u"format-text-italic", u"italic", u"Курсив (Ctrl+I)", 35, 46},
    {u"SpeedButton19", u"format-text-underline", u"underline", u"Подчёркнуты (Ctrl+U)", 62, 46},
    {u"SpeedButton16", u"", u"font-larger", u"Увеличить размер шрифта (Ctrl+K)", 100, 18},
    {u"SpeedButton20", u"", u"font-smaller", u"Уменьшить размер шрифта (Ctrl+T)", 100, 46},
};

} // namespace

MainWindow::MainWindow(MainWindowServices services, QWidget *parent)
    : QMainWindow(parent), m_services(std::move(services))
{
    Q_ASSERT(m_services.prompter);
    setObjectName(u"TForm1"_s);
    setWindowTitle(u"Вельмира"_s);
    setWindowIcon(QIcon(iconPath(u"velmira"_s)));
    setMinimumSize(516, 380);
    fillBackground(this, MainGreen);

    auto *central = new QWidget(this);
    fillBackground(central, MainGreen);
    auto *column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    setCentralWidget(central);

    buildToolbar();
    buildSettingsPanel();
    m_editor = new RichEdit(central);
    column->addWidget(m_toolbar);
    column->addWidget(m_settingsPanel, 0, Qt::AlignLeft);
    column->addWidget(m_editor, 1);
    buildStatusBar();
    buildMenus();

    m_editor->addKeyHandler([this](QKeyEvent *event) { return editorKey(event); });
    connect(m_editor, &RichEdit::contextMenuWanted, this,
            [this](const QPoint &pos) { m_popupMenu->popup(pos); });

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(u"Timer1"_s);
    m_timer1->setInterval(1000);
    m_timer2 = new QTimer(this);
    m_timer2->setObjectName(u"Timer2"_s);
    m_timer2->setInterval(4000);
    connect(m_timer2, &QTimer::timeout, this, &MainWindow::Timer2Timer);
    m_timer3 = new QTimer(this);
    m_timer3->setObjectName(u"Timer3"_s);
    m_timer3->setInterval(5000);
    m_timer3->start();

    // Reminders speak through ReadText; the reminder editor's test reports its own failures.
    m_organizer = new Organizer(
        this, prompter(), [this](const QStringList &texts) { m_reading->ReadText(texts); },
        [this](const QString &text) {
            if (m_speech)
                Speaker::speak(*m_speech, text, Speaker::Turn::CutOff);
        },
        m_services.clock);
    connect(m_timer3, &QTimer::timeout, m_organizer, &Organizer::onTick);
    bindCommand({u"SpeedButton3", u"N41"}, [this] { m_organizer->openOrganizerWindow(); });

    // The panel follows its button's state, however the button changes (a click, or a screen reader's
    // "Toggle").
    connect(button(u"SpeedButton13"_s), &QToolButton::toggled, m_settingsPanel, &QWidget::setVisible);
    bindCommand({u"SpeedButton4"}, [this] { hideToTray(); });
    bindCommand({u"N22"}, [this] { close(); });
    bindCommand({u"N4"}, [this] {
        if (m_services.aboutWindow)
            m_services.aboutWindow->showAbout();
    });
    bindCommand({u"N19"}, [this] { N19Click(); });
    bindCommand({u"N42"}, [this] { openOnDesktop(QUrl(QString::fromUtf16(buildinfo::site))); });
    bindEditorCommands();

    m_reading = new ReadingController(*this, *this, this);
    m_follower = new WordFollower(*m_editor, this);
    connect(action(u"Follow1"_s), &QAction::toggled, m_follower, &WordFollower::setOn);
    // `activated` comes only from the user, never from the program's own changes of the selection.
    connect(m_engineList, &QComboBox::activated, m_reading, [this] { m_reading->voiceChosen(); });
    connect(m_speedBar, &QScrollBar::valueChanged, m_reading, &ReadingController::speedMoved);
    connect(m_pitchBar, &QScrollBar::valueChanged, m_reading, &ReadingController::pitchMoved);
    bindCommand({u"SpeedButton6", u"N9", u"N25"}, [this] { m_reading->Read(); });
    bindCommand({u"SpeedButton7", u"N10"}, [this] { m_reading->Pause(); });
    bindCommand({u"SpeedButton8", u"N11"}, [this] { m_reading->Stop(); });
    bindEditorKey(Qt::Key_Y, [this] { m_reading->Read(); });
    bindEditorKey(Qt::Key_P, [this] { m_reading->Pause(); });

    m_tracking = new TrackingController({button(u"SpeedButton5"_s), button(u"SpeedButton9"_s),
                                         m_timer1, m_editor},
                                        *this, this);
    // Typing tracking comes after the shortcuts, so it never sees a key they took.
    m_editor->addKeyHandler([this](QKeyEvent *event) { return m_tracking->keyTyped(event); });
    bindCommand({u"SpeedButton11", u"N12"}, [this] { m_tracking->ReadClipboard(); });
    bindCommand({u"N15"}, [this] { m_tracking->toggleClipboardTracking(); });
    bindCommand({u"N21"}, [this] { m_tracking->toggleTypingTracking(); });
    bindCommand({u"SpeedButton2", u"N43"}, [this] { Speak_Greetin(); });

    FormCreate();
    if (!m_creationFailed)
        createRecordingWindow();
    m_settingsWindow = new SettingsWindow(m_services.shell, [this] { return speech(); }, this);
    bindCommand({u"N17"}, [this] { m_settingsWindow->exec(); });
    bindCommand({u"N14", u"N38"}, [this] { DictionaryWindow::N14Click(prompter(), speech(), this); });
    bindEditorKey(Qt::Key_D, [this] { DictionaryWindow::N14Click(prompter(), speech(), this); });
    m_repeatWindow = new RepeatedReadingWindow(*this, this);
    bindCommand({u"SpeedButton21", u"N39"}, [this] { m_repeatWindow->SpeedButton21Click(); });
    m_highlightingWindow = new HighlightingWindow(*m_editor, [this](const QString &text) { SBM(text); }, this);
    bindCommand({u"SpeedButton23", u"N40"}, [this] { m_highlightingWindow->SpeedButton23Click(); });

    connect(qApp, &QGuiApplication::focusWindowChanged, this, &MainWindow::focusWindowChanged);
}

MainWindow::~MainWindow() = default;

void MainWindow::ReadText(const QString &text)
{
    m_reading->ReadText(text);
}

int MainWindow::voice() const
{
    return m_engineList->currentIndex();
}

int MainWindow::speed() const
{
    return m_speedBar->value();
}

int MainWindow::pitch() const
{
    return m_pitchBar->value();
}

QString MainWindow::wholeText() const
{
    return m_editor->plainTextCrLf();
}

qsizetype MainWindow::wholeTextLength() const
{
    return m_editor->document()->characterCount() - 1;
}

QString MainWindow::wholeTextStart(qsizetype length) const
{
    return m_editor->plainTextCrLfStart(int(std::min<qsizetype>(length, INT_MAX)));
}

QString MainWindow::selectedText() const
{
    return m_editor->selectedTextCrLf();
}

void MainWindow::addVoice(const QString &name, const QString &identity)
{
    m_engineList->addItem(name, identity);
}

int MainWindow::voiceCount() const
{
    return m_engineList->count();
}

void MainWindow::chooseVoice(int position)
{
    m_engineList->setCurrentIndex(position);
}

void MainWindow::setLimits(int minSpeed, int maxSpeed, int minPitch, int maxPitch)
{
    // Widened first, so that no limit is set across the other one.
    m_speedBar->setRange(0, 500);
    m_pitchBar->setRange(0, 500);
    m_speedBar->setMinimum(minSpeed);
    m_speedBar->setMaximum(maxSpeed);
    m_pitchBar->setMinimum(minPitch);
    m_pitchBar->setMaximum(maxPitch);
}

void MainWindow::moveSpeed(int position)
{
    m_speedBar->setValue(position);
}

void MainWindow::movePitch(int position)
{
    m_pitchBar->setValue(position);
}

void MainWindow::bindEditorCommands()
{
    const auto status = [this](const QString &text) { SBM(text); };
    m_documents = std::make_unique<DocumentCommands>(*m_editor, prompter(), status);
    // A long document takes seconds to read: the status bar says why the text is not in yet, to the eye
    // and to a screen reader.
    m_documents->setReadingShown([this, shown = QString()](const QString &path) mutable {
        if (!path.isEmpty()) {
            shown = readingMessage(path);
            setStatusText(shown);
        } else if (m_statusPanel->text() == shown) {
            setStatusText(QString());
        }
    });
    m_formatting = std::make_unique<FormatCommands>(*m_editor, prompter(), status);
    DocumentCommands *d = m_documents.get();
    FormatCommands *f = m_formatting.get();

    bindCommand({u"N2"}, [d] { d->newDocument(); });
    bindCommand({u"N3"}, [d] { d->openDocument(); });
    bindCommand({u"N5"}, [d] { d->saveDocumentAs(); });
    bindCommand({u"CtrlC1", u"N27"}, [d] { d->copy(); });
    bindCommand({u"CtrlX1", u"N26"}, [d] { d->cut(); });
    bindCommand({u"Dcnfdbnm1", u"N28"}, [d] { d->paste(); });
    bindCommand({u"N7", u"N29"}, [d] { d->selectAll(); });
    bindEditorKey(Qt::Key_N, [d] { d->newDocument(); });
    bindEditorKey(Qt::Key_O, [d] { d->openDocument(); });
    bindEditorKey(Qt::Key_S, [d] { d->saveDocumentAs(); });

    bindCommand({u"SpeedButton10"}, [f] { f->align(Qt::AlignLeft); });
    bindCommand({u"SpeedButton14"}, [f] { f->align(Qt::AlignHCenter); });
    bindCommand({u"SpeedButton15"}, [f] { f->align(Qt::AlignRight); });
    bindCommand({u"SpeedButton17"}, [f] { f->toggleStyle(StyleFlag::Bold); });
    bindCommand({u"SpeedButton18"}, [f] { f->toggleStyle(StyleFlag::Italic); });
    bindCommand({u"SpeedButton19"}, [f] { f->toggleStyle(StyleFlag::Underline); });
    bindCommand({u"SpeedButton16", u"CtrlK1"}, [f] { f->stepFontSize(1); });
    bindCommand({u"SpeedButton20", u"CtrlT1"}, [f] { f->stepFontSize(-1); });
    bindCommand({u"SpeedButton22", u"N20", u"N23"}, [f] { f->chooseFont(); });
    bindEditorKey(Qt::Key_B, [f] { f->toggleStyle(StyleFlag::Bold); });
    bindEditorKey(Qt::Key_I, [f] { f->toggleStyle(StyleFlag::Italic); });
    bindEditorKey(Qt::Key_U, [f] { f->toggleStyle(StyleFlag::Underline); });
    bindEditorKey(Qt::Key_K, [f] { f->stepFontSize(1); });
    bindEditorKey(Qt::Key_T, [f] { f->stepFontSize(-1); });
    bindEditorKey(Qt::Key_F, [f] { f->chooseFont(); });

    m_wordExport = std::make_unique<WordExport>(*m_editor, prompter(), status);
    WordExport *w = m_wordExport.get();
    bindCommand({u"SpeedButton1", u"MSWord1", u"MSWord2"}, [w] { w->exportToWordProcessor(); });
    bindEditorKey(Qt::Key_W, [w] { w->exportToWordProcessor(); });
}

QString MainWindow::firstArgument() const
{
    return m_services.arguments.isEmpty() ? QString() : m_services.arguments.first().toLower();
}

void MainWindow::buildToolbar()
{
    m_toolbar = new QFrame(centralWidget());
    m_toolbar->setObjectName(u"Panel1"_s);
    m_toolbar->setFixedHeight(36);
    fillBackground(m_toolbar, ToolbarGreen);
    auto *row = new QHBoxLayout(m_toolbar);
    row->setContentsMargins(3, 3, 3, 3);
    row->setSpacing(1);
    for (const ToolbarEntry &entry : Toolbar) {
        if (!entry.name) {
            row->addWidget(separator(m_toolbar));
            continue;
        }
        QToolButton *b = addButton(m_toolbar, QString::fromUtf16(entry.name), QString(), QString::fromUtf16(entry.tip), 30);
        b->setIcon(themedIcon(QString::fromUtf16(entry.themeIcon), QString::fromUtf16(entry.ownIcon)));
        row->addWidget(b);
    }
    row->addStretch(1);

    // Typing tracking and clipboard tracking exclude each other, and both may be off.
    QToolButton *typing = button(u"SpeedButton5"_s);
    QToolButton *clipboard = button(u"SpeedButton9"_s);
    typing->setCheckable(true);
    clipboard->setCheckable(true);
    connect(typing, &QToolButton::toggled, this, [clipboard](bool down) {
        if (down)
            clipboard->setChecked(false);
    });
    connect(clipboard, &QToolButton::toggled, this, [typing](bool down) {
        if (down)
            typing->setChecked(false);
    });
    QToolButton *panel = button(u"SpeedButton13"_s);
    panel->setCheckable(true);
    panel->setChecked(true);
}

QToolButton *MainWindow::addButton(QWidget *parent, const QString &name, const QString &icon, const QString &tip,
                                   int size)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(name);
    b->setAutoRaise(true);
    b->setFixedSize(size, size);
    b->setIconSize(QSize(size - 6, size - 6));
    if (!icon.isEmpty())
        b->setIcon(QIcon(iconPath(icon)));
    b->setToolTip(tip);
    // A screen reader, and a script driving the program, finds a picture button by its tooltip.
    b->setAccessibleName(tip);
    b->setFocusPolicy(Qt::TabFocus);
    m_buttons.insert(name, b);
    return b;
}

void MainWindow::buildSettingsPanel()
{
    m_settingsPanel = new QFrame(centralWidget());
    m_settingsPanel->setObjectName(u"Panel2"_s);
    m_settingsPanel->setFixedSize(505, 83);
    m_settingsPanel->setFrameStyle(QFrame::Box | QFrame::Plain);
    fillBackground(m_settingsPanel, MainGreen);

    QLabel *engineLabel = boldLabel(u"Голосовой движок:"_s, m_settingsPanel, u"StaticText1"_s);
    engineLabel->setGeometry(8, 6, 150, 20);
    m_engineList = new QComboBox(m_settingsPanel);
    // A screen reader names a list box by its label (its own name is the chosen voice).
    engineLabel->setBuddy(m_engineList);
    m_engineList->setObjectName(u"lstEngine"_s);
    m_engineList->setAccessibleName(u"Голосовой движок"_s);
    m_engineList->setEditable(false);
    m_engineList->setGeometry(160, 4, 158, 23);

    std::tie(m_pitchBar, m_pitchLabel) =
        valueBar(m_settingsPanel, {u"Тембр"_s, u"StaticText3"_s, u"hscPitch"_s,
                                   u"Label2"_s, 125, 33, 70});
    std::tie(m_speedBar, m_speedLabel) =
        valueBar(m_settingsPanel, {u"Скорость"_s, u"StaticText2"_s,
                                   u"hscSpeed"_s, u"Label1"_s, 80, 58, 76});

    auto *group = new QGroupBox(u"Форматирование"_s, m_settingsPanel);
    group->setObjectName(u"GroupBox1"_s);
    group->setGeometry(326, 1, 172, 79);
    for (const FormatEntry &entry : Formatting) {
        QToolButton *b = addButton(group, QString::fromUtf16(entry.name), QString(), QString::fromUtf16(entry.tip), 25);
        b->setIcon(themedIcon(QString::fromUtf16(entry.themeIcon), QString::fromUtf16(entry.ownIcon)));
        b->move(entry.x, entry.y);
    }
}

void MainWindow::buildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(u"StatusBar1"_s);
    bar->setSizeGripEnabled(true);
    m_statusPanel = new QLabel(bar);
    m_statusPanel->setObjectName(u"StatusPanel"_s);
    m_statusPanel->setAccessibleName(StatusPanelName);
    // At least the usual 150 pixels; a longer message widens the panel rather than lose its end.
    m_statusPanel->setMinimumWidth(150);
    m_statusPanel->setAlignment(Qt::AlignCenter);
    m_statusPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bar->addWidget(m_statusPanel);
    setStatusColor(QApplication::palette().color(QPalette::Button));
}

QAction *MainWindow::addMenuItem(QMenu *menu, const QString &name, const QString &caption, const QString &icon)
{
    auto *item = menu->addAction(caption);
    item->setObjectName(name);
    if (!icon.isEmpty())
        item->setIcon(QIcon(iconPath(icon)));
    m_actions.insert(name, item);
    return item;
}

void MainWindow::buildMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(u"MainMenu1"_s);
    // The menu bar keeps the desktop's colours, not the window's green.
    fillBackground(bar, QApplication::palette().color(QPalette::Window));

    struct Item
    {
        const char16_t *name; // null: separator
        const char16_t *caption;
        const char16_t *icon;
    };
    auto fill = [this](QMenu *menu, std::initializer_list<Item> items) {
        for (const Item &item : items) {
            if (!item.name)
                menu->addSeparator();
            else
                addMenuItem(menu, QString::fromUtf16(item.name), QString::fromUtf16(item.caption),
                            QString::fromUtf16(item.icon));
        }
    };

    QMenu *file = bar->addMenu(u"Файл"_s);
    file->setObjectName(u"N1"_s);
    fill(file, {{u"N2", u"Новый (Ctrl+N)", u""},
                {u"N3", u"Открыть... (Ctrl+O)", u""},
                {u"N5", u"Сохранить как... (Ctrl+S)", u""},
                {nullptr, nullptr, nullptr},
                {u"N22", u"Выход", u""}});

    QMenu *edit = bar->addMenu(u"Правка"_s);
    edit->setObjectName(u"N6"_s);
    fill(edit, {{u"CtrlC1", u"Копировать (Ctrl+C)", u""},
                {u"CtrlX1", u"Вырезать (Ctrl+X)", u""},
                {u"Dcnfdbnm1", u"Вставить (Ctrl+V)", u""},
                {u"N7", u"Выделить всё (Ctrl+A)", u""},
                {nullptr, nullptr, nullptr},
                {u"N40", u"Интуитивное выделение", u"highlight"},
                {u"N20", u"Шрифт (Ctrl+F)", u"font"},
                {u"CtrlK1", u"Увеличить размер шрифта (Ctrl+K)", u"font-larger"},
                {u"CtrlT1", u"Уменьшить размер шрифта (Ctrl+T)", u"font-smaller"},
                {u"MSWord1", u"Экспорт в MS Word (Ctrl+W)", u"export"}});

    QMenu *reading = bar->addMenu(u"Чтение"_s);
    reading->setObjectName(u"N8"_s);
    fill(reading, {{u"N39", u"Читать текст несколько раз", u"repeat"},
                   {u"N9", u"Прочитать текст (Ctrl+Y)", u"read"},
                   {u"N10", u"Пауза (Ctrl+P)", u"pause"},
                   {u"N11", u"Стоп", u"stop"},
                   {u"N12", u"Прочтать буфер", u"read-clipboard"},
                   {u"N43", u"Произнести приветствие", u"greeting"},
                   {nullptr, nullptr, nullptr},
                   {u"N21", u"Слежение за набором текста", u"track-typing"},
                   {u"N15", u"Слежение за буфером", u"track-clipboard"},
                   {nullptr, nullptr, nullptr},
                   {u"N16", u"Запись голоса в файл", u"record"},
                   {nullptr, nullptr, nullptr},
                   {u"Follow1", u"Следить за читаемым словом", u""}});
    action(u"Follow1"_s)->setCheckable(true);
    action(u"Follow1"_s)->setChecked(true);

    QMenu *more = bar->addMenu(u"Дополнительно"_s);
    more->setObjectName(u"N13"_s);
    fill(more, {{u"N17", u"Настройки", u"panel"},
                {u"N41", u"Органайзер", u"organizer"},
                {u"N14", u"Словарь поправок (Ctrl+D)", u""},
                {nullptr, nullptr, nullptr},
                {u"N42", u"Сайт разработчиков", u""},
                {u"N4", u"О программе", u""},
                {u"N19", u"Справка", u""}});

    m_popupMenu = new QMenu(this);
    m_popupMenu->setObjectName(u"PopupMenu1"_s);
    fill(m_popupMenu, {{u"N25", u"Прочитать текст", u"read"},
                       {u"N23", u"Шрифт", u"font"},
                       {u"N24", u"Запись голоса в файл", u"record"},
                       {u"MSWord2", u"Экспорт в MS Word", u"export"},
                       {nullptr, nullptr, nullptr},
                       {u"N26", u"Вырезать", u""},
                       {u"N27", u"Копировать", u""},
                       {u"N28", u"Вставить", u""},
                       {u"N29", u"Выделить всё", u""},
                       {nullptr, nullptr, nullptr},
                       {u"N38", u"Словарь поправок", u""}});
}

QToolButton *MainWindow::button(const QString &name) const
{
    return m_buttons.value(name);
}

QAction *MainWindow::action(const QString &name) const
{
    return m_actions.value(name);
}

void MainWindow::bindCommand(std::initializer_list<const char16_t *> names, const std::function<void()> &command)
{
    for (const char16_t *raw : names) {
        const QString name = QString::fromUtf16(raw);
        if (QToolButton *b = button(name))
            connect(b, &QToolButton::clicked, this, command);
        else if (QAction *a = action(name))
            connect(a, &QAction::triggered, this, command);
        else
            Q_ASSERT_X(false, "bindCommand", "no such button or menu item");
    }
}

void MainWindow::bindEditorKey(Qt::Key key, const std::function<void()> &command)
{
    m_editorKeys.insert(key, command);
}

bool MainWindow::editorKey(QKeyEvent *event)
{
    // Shortcuts are Ctrl with a letter, read from the key, not from the character it types: Tab (the
    // character Ctrl+I would make) must still insert a tab.
    if (event->modifiers() != Qt::ControlModifier)
        return false;
    const auto it = m_editorKeys.constFind(event->key());
    if (it == m_editorKeys.constEnd())
        return false;
    it.value()();
    return true;
}

void MainWindow::setStatusColor(const QColor &color)
{
    fillBackground(statusBar(), color);
}

void MainWindow::SBM(const QString &text)
{
    setStatusColor(QColor(0, 0, 255));
    statusBar()->repaint();
    QThread::msleep(180);
    setStatusColor(QColor(255, 255, 0));
    setStatusText(text);
    // A message that is still showing does not get more time: the second text goes when the first would
    // have.
    if (!m_timer2->isActive())
        m_timer2->start();
}

void MainWindow::setStatusText(const QString &text)
{
    m_statusPanel->setText(text);
    // A screen reader hears the message through the label's name (setting it sends the change event).
    m_statusPanel->setAccessibleName(text.isEmpty() ? StatusPanelName : text);
}

void MainWindow::Timer2Timer()
{
    setStatusText(QString());
    m_timer2->stop();
    setStatusColor(QApplication::palette().color(QPalette::Button));
}

void MainWindow::FormCreate()
{
    setWindowTitle(u"Вельмира 6.1"_s);
    m_organizer->ShowOTable();
    try {
        m_speech = m_services.createSpeechControl();
        if (!readSetting(settings::Panel)) {
            m_settingsPanel->hide();
            button(u"SpeedButton13"_s)->setChecked(false);
        }
        const QString first = m_services.arguments.value(0);
        const QString remembered = programFile(u"Text.rtf"_s);
        const auto open = [&](const QString &path, bool isRemembered) {
            if (readAfterShow(path)) {
                m_startDocument = StartDocument{path, isRemembered};
                // Until the document is in, the editor holds nothing of the user's: should the program
                // be told to end meanwhile, "Text.rtf" keeps what it has.
                keepRememberedTextUntilEdited();
            } else {
                openStartDocument(path, isRemembered);
            }
        };
        if (!first.isEmpty() && QFileInfo(first).isFile())
            open(first, false);
        else if (readSetting(settings::RemText) && QFileInfo::exists(remembered))
            open(remembered, true);
        button(u"SpeedButton5"_s)->setChecked(readSetting(settings::Tracking));
        action(u"Follow1"_s)->setChecked(readSetting(settings::Follow));
        // Text taken from the clipboard goes into the editor: not before the document it goes into.
        if (readSetting(settings::Buffer) && !m_startDocument)
            m_tracking->restoreClipboardTracking();
    } catch (const std::exception &) {
        creationFailure();
    }
}

bool MainWindow::openStartDocument(const QString &path, bool remembered)
{
    if (!remembered) {
        if (m_documents->openAtStart(path))
            return true;
        keepRememberedTextUntilEdited();
        return false;
    }
    if (!loadRememberedText(path))
        return false;
    m_editor->setSelStart(readSetting(settings::SelStart));
    m_editor->setSelLength(readSetting(settings::SelLength));
    return true;
}

void MainWindow::openStartDocumentAfterShow()
{
    // A window closing already keeps "Text.rtf" as it is (see FormCreate).
    if (m_closing)
        return;
    const StartDocument start = *std::exchange(m_startDocument, std::nullopt);
    // The editor stays empty for a while: the status bar says why, to the eye and to a screen reader.
    const QString reading = readingMessage(start.path);
    setStatusText(reading);
    const auto readingShown = qScopeGuard([this, &reading] {
        if (m_statusPanel->text() == reading)
            setStatusText(QString());
    });
    // Read, the document is what the program remembers at closing; refused, the old "Text.rtf" stays
    // until the editor's content changes.
    if (openStartDocument(start.path, start.remembered))
        m_keepRememberedText = false;
    if (readSetting(settings::Buffer))
        m_tracking->restoreClipboardTracking();
}

bool MainWindow::loadRememberedText(const QString &path)
{
    try {
        LoadDocument(*m_editor, path);
        return true;
    } catch (const Error &error) {
        // The program starts all the same; the file may hold the user's only copy of the text.
        keepRememberedTextUntilEdited();
        prompter().message(
            this, programCaption(),
            u"Сохранённый текст не загружен.\r\n%1\r\n\r\nПрограмма начинает работу с пустой "
            "рабочей областью. Файл «%2» останется как есть, пока Вы не наберёте или не откроете "
            "другой текст."_s.arg(error.message(), QFileInfo(path).fileName()),
            Prompter::Icon::Warning, Prompter::Button::Ok);
        return false;
    }
}

void MainWindow::keepRememberedTextUntilEdited()
{
    m_keepRememberedText = true;
    // The editor's signal, not its document's: an opened document takes the place of the editor's.
    connect(
        m_editor, &QTextEdit::textChanged, this, [this] { m_keepRememberedText = false; },
        Qt::SingleShotConnection);
}

void MainWindow::creationFailure()
{
    m_creationFailed = true;
    const bool download = prompter().askYesNo(
        this, u"Вельмира 6.1"_s,
        u"Установлены не все необходимые для работы программы компоненты. Перейти на страницу "
                       "загрузки компонентов?"_s);
    if (download)
        openOnDesktop(QUrl(QString::fromUtf16(buildinfo::downloadPage)));
}

void MainWindow::createRecordingWindow()
{
    std::unique_ptr<SpeechControl> recorder;
    try {
        recorder = m_services.createSpeechControl();
    } catch (const std::exception &) {
        creationFailure();
        return;
    }
    m_recordingWindow = new RecordingWindow(std::move(recorder), *this, [this] { hideToTray(); }, this);
    bindCommand({u"SpeedButton12", u"N16", u"N24"}, [this] {
        if (m_editor->document()->isEmpty())
            SBM(u"Нет текста для записи"_s);
        else
            m_recordingWindow->exec();
    });
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void MainWindow::FormShow()
{
    if (m_inTray) {
        setWindowState(windowState() | Qt::WindowMaximized);
        return;
    }
    // The rest belongs to the first showing only.
    if (m_laidOut)
        return;
    m_laidOut = true;
    // A large dictionary is read, and its word finder built, while the window starts.
    prepareCorrectionsAhead();
    setWindowState(windowState() | Qt::WindowMaximized);
    // Ctrl+Y works at once: the keys go to the editor, not to the first toolbar button.
    m_editor->setFocus();
    if (firstArgument() == u"new" && m_services.shell)
        provisionDesktop(*m_services.shell, prompter(), this, executablePath());
    m_reading->startUp();
    // Once the window has been drawn; keys typed meanwhile wait for the document.
    if (m_startDocument)
        QTimer::singleShot(0, this, &MainWindow::openStartDocumentAfterShow);
    if (readSetting(settings::Time))
        m_organizer->startTimeAnnouncement();
    if (readSetting(settings::Greeting))
        Speak_Greetin();
}

void MainWindow::Speak_Greetin()
{
    if (m_speech)
        speakGreeting(*m_speech, *QRandomGenerator::global());
}

void MainWindow::hideToTray()
{
    const bool available =
        m_services.trayAvailable ? m_services.trayAvailable() : QSystemTrayIcon::isSystemTrayAvailable();
    if (!available) {
        showMinimized();
        SBM(u"Нет области уведомлений: окно свёрнуто"_s);
        return;
    }
    if (!m_trayIcon) {
        m_trayIcon = new QSystemTrayIcon(windowIcon(), this);
        m_trayIcon->setObjectName(u"TrayIcon"_s);
        m_trayIcon->setToolTip(u"Вельмира 6.1"_s);
        // Queued: the icon is hidden in answer, which must not happen inside the icon's own mouse handler.
        connect(
            m_trayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) { trayIconActivated(reason); }, Qt::QueuedConnection);
    }
    m_trayIcon->show();
    hide();
    m_inTray = true;
}

void MainWindow::trayIconActivated(int reason)
{
    // A left button press (also the first half of a double click) or the right button brings the
    // window back; the middle button does nothing.
    if (!m_inTray || (reason != QSystemTrayIcon::Trigger && reason != QSystemTrayIcon::Context &&
                      reason != QSystemTrayIcon::DoubleClick))
        return;
    m_trayIcon->hide();
    show();
    m_inTray = false;
    // A window that was open when the program went to the tray (the recording window, minimized by its
    // "Свернуть") comes back on top; otherwise the editor takes the keys.
    if (QWidget *modal = QApplication::activeModalWidget()) {
        modal->showNormal();
        modal->raise();
        modal->activateWindow();
    } else {
        activateWindow();
        m_editor->setFocus();
    }
}

void MainWindow::focusWindowChanged(QWindow *window)
{
    // When one of the program's windows closes, the keys go back to the editor, whatever had them in
    // the main window before. Coming back from another program leaves the focus where the user put it.
    const bool fromClosedWindow = m_hadFocusWindow && (!m_focusWindow || !m_focusWindow->isVisible());
    if (window && window == windowHandle() && fromClosedWindow && !QApplication::activeModalWidget())
        m_editor->setFocus();
    m_focusWindow = window;
    m_hadFocusWindow = window != nullptr;
}

void MainWindow::openOnDesktop(const QUrl &url)
{
    // Whether the desktop found a program for it is not reported: there is nothing the user could do.
    if (m_services.shell)
        m_services.shell->open(url);
    else
        QDesktopServices::openUrl(url);
}

void MainWindow::N19Click()
{
    const QString help = programFile(u"Help.rtf"_s);
    if (QFileInfo::exists(help))
        openOnDesktop(QUrl::fromLocalFile(help));
    else
        SBM(u"Не найден файл справки"_s);
}

bool MainWindow::hasActiveReminder() const
{
    return m_organizer->hasActiveReminder();
}

bool MainWindow::FormCloseQuery()
{
    if (!hasActiveReminder())
        return true;
    const Prompter::Button answer = prompter().message(
        this, u"Вельмира 6.1"_s,
        u"В случае закрытия Органайзер отключится.\r\n"
                       "Можно спрятать программу в системном трее (возле часов).\r\n"
                       "Если программа Вам понадобится просто кликните по её значку в трее.\r\n"
                       "Свернуть программу с системный трей?"_s,
        Prompter::Icon::Question, Prompter::Buttons(Prompter::Button::Yes) | Prompter::Button::No | Prompter::Button::Cancel,
        Prompter::Button::Yes);
    if (answer == Prompter::Button::Yes)
        hideToTray();
    return answer == Prompter::Button::No;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_closing) {
        event->accept();
        return;
    }
    if (!FormCloseQuery() || !SaveMainSettings()) {
        event->ignore();
        return;
    }
    m_closing = true;
    event->accept();
}

void MainWindow::endOnStopRequest()
{
    // A second request while the first one's failure box is open is the same request.
    if (m_closing || m_stopRequested)
        return;
    m_stopRequested = true;
    const bool saved = SaveMainSettings();
    m_stopRequested = false;
    if (!saved)
        return;
    m_closing = true;
    close();
    // Every event loop ends, also those of boxes and windows still open.
    QCoreApplication::exit(0);
}

bool MainWindow::SaveMainSettings()
{
    // Nothing speaks while the files are written, nor after. The control itself goes only once the
    // window really closes: a failed save may keep the program running.
    if (m_speech) {
        try {
            m_speech->AudioReset();
        } catch (const std::exception &) {
            // Speech that cannot be stopped ends with the control, freed below.
        }
    }
    const bool rememberText = readSetting(settings::RemText);
    ClosingSave text = ClosingSave::Skipped;
    if (rememberText && !m_keepRememberedText) {
        // The text is written before the settings, so that a settings file that cannot be written
        // does not cost it.
        const QString path = programFile(u"Text.rtf"_s);
        text = saveBeforeClosing([&] { saveDocumentRtf(*m_editor->document(), path); }, path, true);
        if (text == ClosingSave::Stay)
            return false;
    }
    // The selection belongs to the text in "Text.rtf": where that was not replaced, the remembered
    // text keeps its own.
    const bool withSelection = !rememberText || text == ClosingSave::Saved;
    if (saveBeforeClosing([&] { writeMainSettings(withSelection); }, programFile(u"Settings.ini"_s), false) ==
        ClosingSave::Stay)
        return false;
    m_speech.reset();
    return true;
}

void MainWindow::writeMainSettings(bool withSelection)
{
    writeSetting(settings::Panel, button(u"SpeedButton13"_s)->isChecked());
    writeSetting(settings::Buffer, button(u"SpeedButton9"_s)->isChecked());
    writeSetting(settings::Tracking, button(u"SpeedButton5"_s)->isChecked());
    if (withSelection) {
        writeSetting(settings::SelStart, m_editor->selStart());
        writeSetting(settings::SelLength, m_editor->selLength());
    }
    writeSetting(settings::Engine, m_engineList->currentIndex());
    writeSetting(settings::EngineVoice, m_engineList->currentData().toString());
    writeSetting(settings::ReadCount, m_repeatWindow->count());
    writeSetting(settings::ReadSpeed, m_speedBar->value());
    writeSetting(settings::ReadPitch, m_pitchBar->value());
    writeSetting(settings::Follow, action(u"Follow1"_s)->isChecked());
}

MainWindow::ClosingSave MainWindow::saveBeforeClosing(const std::function<void()> &save, const QString &path,
                                                      bool isText)
{
    enum class Choice { Retry, SaveAs, CloseAnyway, Stay };
    for (;;) {
        QString reason;
        bool canRetry = true;
        try {
            save();
            return ClosingSave::Saved;
        } catch (const FileWriteError &error) {
            reason = u"Причина: %1."_s.arg(error.reason());
        } catch (const Error &error) {
            // The program refused the text itself (too long to open again): no other try would do.
            reason = error.message();
            canRetry = false;
        }
        QList<Choice> choices;
        QStringList texts;
        const auto offer = [&](Choice choice, const QString &text) {
            choices.append(choice);
            texts.append(text);
        };
        if (canRetry)
            offer(Choice::Retry, u"&Повторить"_s);
        if (canRetry && isText)
            offer(Choice::SaveAs, u"&Сохранить как..."_s);
        offer(Choice::CloseAnyway, u"&Закрыть без сохранения"_s);
        offer(Choice::Stay, u"Отмена"_s);
        const QString what = isText ? u"текст"_s : u"настройки"_s;
        const QString loss =
            isText ? u"текст из рабочей области не сохранится"_s : u"настройки этого сеанса не сохранятся"_s;
        const QString text =
            u"Не удалось сохранить %1 в файл «%2».\r\n%3\r\n\r\nЕсли закрыть программу без сохранения, %4. "
            "«Отмена» вернёт Вас к работе."_s.arg(what, QDir::toNativeSeparators(path), reason, loss);
        // Enter takes the way most likely to keep what was not saved: another file, else another try,
        // else back to work; never closing without it.
        const Choice enter = !canRetry ? Choice::Stay : isText ? Choice::SaveAs : Choice::Retry;
        const int picked = prompter().choose(this, programCaption(), text, Prompter::Icon::Warning, texts,
                                             int(choices.indexOf(enter)), int(choices.indexOf(Choice::Stay)));
        switch (choices.value(picked, Choice::Stay)) {
        case Choice::Retry:
            break;
        case Choice::SaveAs:
            if (m_documents->saveDocumentAs())
                return ClosingSave::SavedElsewhere;
            break;
        case Choice::CloseAnyway:
            return ClosingSave::Skipped;
        case Choice::Stay:
            return ClosingSave::Stay;
        }
    }
}

} // namespace velmira
