// The main window's command map: every toolbar button, menu item, context-menu item and editor key runs
// its command and nothing else, and the menus read as the user is meant to see them.
#include "app/aboutwindow.h"
#include "app/buildinfo.h"
#include "app/mainwindow.h"
#include "common/core/programfolder.h"
#include "common/core/textcodec.h"
#include "common/core/textfile.h"
#include "editor/richedit.h"
#include "editor/selectionformat.h"
#include "support/fakeprompter.h"
#include "support/fakeservices.h"
#include "support/fakespeechcontrol.h"
#include "support/recordingshell.h"
#include "support/testfiles.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>

using namespace velmira;
using namespace Qt::StringLiterals;

namespace {

// The editor's text before every command; "мир" is selected.
const QString Text = u"Привет мир"_s;
const QString OnClipboard = u"буфер"_s;
const QStringList Greetings{u"Первое приветствие!"_s, u"Второе приветствие!"_s};

QString onOff(bool on)
{
    return on ? u"on"_s : u"off"_s;
}

QString alignmentName(Qt::Alignment alignment)
{
    if (alignment & Qt::AlignJustify)
        return u"justify"_s;
    if (alignment & Qt::AlignHCenter)
        return u"center"_s;
    if (alignment & Qt::AlignRight)
        return u"right"_s;
    return u"left"_s;
}

} // namespace

class TestCommandMap : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TemporaryProgramFolder> m_home;
    std::unique_ptr<RecordingShell> m_shell;
    std::unique_ptr<AboutWindow> m_about;
    FakePrompter m_prompter;
    FakeSpeechControl *m_speech = nullptr;

    std::unique_ptr<MainWindow> showWindow()
    {
        MainWindowServices services = fakeServices(m_prompter, &m_speech);
        services.shell = m_shell.get();
        services.aboutWindow = m_about.get();
        return shown(std::make_unique<MainWindow>(services));
    }

    // What a user could see of the window, the editor and the clipboard.
    static QMap<QString, QString> state(MainWindow &w)
    {
        QMap<QString, QString> s;
        RichEdit *editor = w.editor();
        s[u"text"_s] = editor->plainTextCrLf();
        s[u"selection"_s] = u"%1+%2"_s.arg(editor->selStart()).arg(editor->selLength());
        QTextCursor inside(editor->document());
        inside.setPosition(qMin(8, editor->document()->characterCount() - 1));
        const QFont font = effectiveFont(inside.charFormat(), *editor->document());
        s[u"bold"_s] = onOff(font.bold());
        s[u"italic"_s] = onOff(font.italic());
        s[u"underline"_s] = onOff(font.underline());
        s[u"size"_s] = QString::number(pointSizeOf(font));
        s[u"align"_s] = alignmentName(editor->document()->firstBlock().blockFormat().alignment());
        s[u"clipboard"_s] = QGuiApplication::clipboard()->text();
        for (const char *name : {"SpeedButton5", "SpeedButton9", "SpeedButton13"})
            s[QString::fromLatin1(name)] = onOff(w.button(QString::fromLatin1(name))->isChecked());
        s[u"Follow1"_s] = onOff(w.action(u"Follow1"_s)->isChecked());
        s[u"Panel2"_s] = onOff(w.findChild<QWidget *>(u"Panel2"_s)->isVisibleTo(&w));
        s[u"Timer1"_s] = onOff(w.findChild<QTimer *>(u"Timer1"_s)->isActive());
        s[u"tray"_s] = onOff(w.isInTray());
        s[u"closed"_s] = onOff(!w.speech());
        s[u"status"_s] = w.findChild<QLabel *>(u"StatusPanel"_s)->text();
        return s;
    }

    // Runs the trigger on a freshly shown window and tells everything it did: what was spoken, asked,
    // shown and opened, then every change of state. A modal window it opens is noted and closed.
    QString effectOf(const QString &trigger)
    {
        auto w = showWindow();
        if (!w)
            return u"window not shown"_s;
        RichEdit *editor = w->editor();
        editor->setPlainContent(Text);
        QTextCursor all(editor->document());
        QTextBlockFormat justified;
        justified.setAlignment(Qt::AlignJustify);
        all.mergeBlockFormat(justified);
        editor->setSelStart(7);
        editor->setSelLength(3);
        editor->setFocus();
        QGuiApplication::clipboard()->setText(OnClipboard);
        m_speech->clear();
        m_prompter.asked.clear();
        m_shell->opened.clear();
        const QMap<QString, QString> before = state(*w);

        QStringList windows;
        QTimer watcher;
        watcher.setInterval(10);
        connect(&watcher, &QTimer::timeout, w.get(), [&windows] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal)
                return;
            windows << modal->objectName();
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
            else
                modal->close();
        });
        watcher.start();
        const FakeSpeechControl *speech = m_speech;
        if (!run(*w, trigger))
            return u"no such trigger: "_s + trigger;
        watcher.stop();

        QStringList effect;
        // The speech control is gone once the window has closed, and with it what it was told.
        if (w->speech() && !speech->calls.isEmpty())
            effect << u"speech: "_s + speech->calls.join(u", "_s);
        for (const FakePrompter::Asked &asked : std::as_const(m_prompter.asked)) {
            switch (asked.kind) {
            case FakePrompter::Asked::Kind::Message:
                effect << u"ask: "_s + asked.text;
                break;
            case FakePrompter::Asked::Kind::OpenFile:
                effect << u"open box: "_s + asked.caption;
                break;
            case FakePrompter::Asked::Kind::SaveFile:
                effect << u"save box: "_s + asked.caption;
                break;
            case FakePrompter::Asked::Kind::Font:
                effect << u"font box"_s;
                break;
            }
        }
        for (const QString &name : std::as_const(windows))
            effect << u"window: "_s + name;
        for (const QUrl &url : std::as_const(m_shell->opened)) {
            effect << u"open: "_s + (url == QUrl::fromLocalFile(programFile(u"Help.rtf"_s))
                                         ? u"Help.rtf of the program folder"_s
                                         : url.toString());
        }
        const QMap<QString, QString> after = state(*w);
        for (auto it = after.cbegin(); it != after.cend(); ++it) {
            const QString old = before.value(it.key());
            if (old == it.value())
                continue;
            if (it.key() == u"size")
                effect << (it.value().toDouble() > old.toDouble() ? u"size=larger"_s : u"size=smaller"_s);
            else
                effect << it.key() + u'=' + it.value();
        }
        return effect.join(u"; "_s);
    }

    // "button N", "toggle N" (a toggle button flipped as a screen reader's "Toggle" does, without a
    // click), "item N" (a menu or context-menu item), "key K" (typed into the editor), "key K on N"
    // (typed into another control).
    static bool run(MainWindow &w, const QString &trigger)
    {
        const QStringList words = trigger.split(u' ');
        if (words.size() == 2 && words[0] == u"button") {
            QToolButton *b = w.button(words[1]);
            if (!b)
                return false;
            QTest::mouseClick(b, Qt::LeftButton);
            return true;
        }
        if (words.size() == 2 && words[0] == u"toggle") {
            QToolButton *b = w.button(words[1]);
            if (!b || !b->isCheckable())
                return false;
            b->toggle();
            return true;
        }
        if (words.size() == 2 && words[0] == u"item") {
            QAction *a = w.action(words[1]);
            if (!a)
                return false;
            a->trigger();
            return true;
        }
        if (words[0] == u"key") {
            QWidget *target = words.size() == 4 ? w.findChild<QWidget *>(words[3]) : w.editor();
            const QKeySequence keys = QKeySequence::fromString(words[1]);
            if (!target || keys.isEmpty())
                return false;
            const QKeyCombination combination = keys[0];
            const bool plain = combination.keyboardModifiers() == Qt::NoModifier;
            // A plain key types its character, as the keyboard would.
            const QString typed = plain && combination.key() == Qt::Key_Tab ? u"\t"_s
                                  : plain                                   ? words[1].toLower()
                                                                            : QString();
            QTest::sendKeyEvent(QTest::Click, target, combination.key(), typed,
                                combination.keyboardModifiers());
            return true;
        }
        return false;
    }

    // Every object name of the main window's buttons and of the items of its menu bar and context menu.
    static QStringList everyTrigger(MainWindow &w)
    {
        QStringList names;
        for (QToolButton *b : w.findChildren<QToolButton *>()) {
            if (b->window() == &w && !b->objectName().isEmpty() && w.button(b->objectName()) == b)
                names << u"button "_s + b->objectName();
        }
        QList<QMenu *> menus{w.findChild<QMenu *>(u"PopupMenu1"_s)};
        for (QAction *m : w.menuBar()->actions())
            menus << m->menu();
        for (QMenu *menu : std::as_const(menus)) {
            for (QAction *a : menu->actions()) {
                if (!a->isSeparator())
                    names << u"item "_s + a->objectName();
            }
        }
        return names;
    }

    // Every way into every command, and what it does.
    static QList<std::pair<QString, QString>> table()
    {
        QList<std::pair<QString, QString>> result;
        const auto rows = [&result](std::initializer_list<const char16_t *> triggers, const QString &effect) {
            for (const char16_t *trigger : triggers)
                result.append({QString::fromUtf16(trigger), effect});
        };

        // Reading.
        rows({u"button SpeedButton6", u"item N9", u"item N25", u"key Ctrl+Y"},
             u"speech: Speak:мир, AudioResume"_s);
        rows({u"button SpeedButton7", u"item N10", u"key Ctrl+P"}, u"speech: AudioPause"_s);
        rows({u"button SpeedButton8", u"item N11"}, u"speech: AudioReset"_s);
        rows({u"button SpeedButton21", u"item N39"}, u"window: TForm7"_s);
        rows({u"button SpeedButton11", u"item N12"}, u"speech: Speak:буфер, AudioResume"_s);
        // The first showing greeted with the second line; the next greeting is never the same.
        rows({u"button SpeedButton2", u"item N43"}, u"speech: Speak:Первое приветствие!"_s);
        // Typing tracking is on at start; its toggle has no command of its own.
        rows({u"button SpeedButton5", u"item N21", u"toggle SpeedButton5"}, u"SpeedButton5=off"_s);
        rows({u"button SpeedButton9", u"item N15", u"toggle SpeedButton9"},
             u"SpeedButton5=off; SpeedButton9=on; Timer1=on"_s);
        rows({u"button SpeedButton12", u"item N16", u"item N24"}, u"window: TForm3"_s);
        // Word following is on at start.
        rows({u"item Follow1"}, u"Follow1=off"_s);

        // Documents and the clipboard; the editor's own keys do the same as the items.
        rows({u"item N2", u"key Ctrl+N"}, u"ask: Очистить рабочую область?"_s);
        rows({u"item N3", u"key Ctrl+O"},
             u"ask: Если текущий текст не сохранён, то он будет утерян. Продолжать?"_s);
        rows({u"item N5", u"key Ctrl+S"}, u"save box: Выбор файла для сохранения"_s);
        rows({u"item CtrlC1", u"item N27", u"key Ctrl+C"}, u"clipboard=мир"_s);
        rows({u"item CtrlX1", u"item N26", u"key Ctrl+X"}, u"clipboard=мир; selection=7+0; text=Привет "_s);
        rows({u"item Dcnfdbnm1", u"item N28", u"key Ctrl+V"}, u"selection=12+0; text=Привет буфер"_s);
        rows({u"item N7", u"item N29", u"key Ctrl+A"}, u"selection=0+10"_s);
        rows({u"button SpeedButton1", u"item MSWord1", u"item MSWord2", u"key Ctrl+W"},
             u"ask: Экспортировать текст в MS Word?"_s);

        // Formatting.
        rows({u"button SpeedButton10"}, u"align=left"_s);
        rows({u"button SpeedButton14"}, u"align=center"_s);
        rows({u"button SpeedButton15"}, u"align=right"_s);
        rows({u"button SpeedButton17", u"key Ctrl+B"}, u"bold=on"_s);
        rows({u"button SpeedButton18", u"key Ctrl+I"}, u"italic=on"_s);
        rows({u"button SpeedButton19", u"key Ctrl+U"}, u"underline=on"_s);
        rows({u"button SpeedButton16", u"item CtrlK1", u"key Ctrl+K"},
             u"size=larger; status=Текущий размер шрифта 12."_s);
        rows({u"button SpeedButton20", u"item CtrlT1", u"key Ctrl+T"},
             u"size=smaller; status=Текущий размер шрифта 10."_s);
        rows({u"button SpeedButton22", u"item N20", u"item N23", u"key Ctrl+F"}, u"font box"_s);
        rows({u"button SpeedButton23", u"item N40"}, u"window: TForm8"_s);

        // Windows and the rest.
        rows({u"item N14", u"item N38", u"key Ctrl+D"}, u"window: TForm5"_s);
        rows({u"button SpeedButton3", u"item N41"}, u"window: TForm9"_s);
        rows({u"item N17"}, u"window: TForm4"_s);
        rows({u"item N4"}, u"window: TForm2"_s);
        rows({u"item N42"}, u"open: "_s + QString::fromUtf16(buildinfo::site));
        rows({u"item N19"}, u"open: Help.rtf of the program folder"_s);
        rows({u"button SpeedButton4"}, u"tray=on"_s);
        rows({u"button SpeedButton13", u"toggle SpeedButton13"}, u"Panel2=off; SpeedButton13=off"_s);
        rows({u"item N22"}, u"closed=on"_s);

        // Keys that are not commands reach the editor and typing tracking: Tab, which shares its
        // character code with Ctrl+I, is typed and ends a word (here an empty one, after the space).
        rows({u"key Tab"}, u"speech: Speak:; selection=8+0; text=Привет \t"_s);
        rows({u"key Ж"}, u"selection=8+0; text=Привет ж"_s);
        rows({u"key Ctrl+Y on lstEngine"}, QString());
        return result;
    }

private slots:
    void init()
    {
        m_home = std::make_unique<TemporaryProgramFolder>();
        m_shell = std::make_unique<RecordingShell>(m_home->filePath(u"desktop"_s));
        m_about = std::make_unique<AboutWindow>();
        m_about->setShell(m_shell.get());
        m_prompter = FakePrompter();
        writeFileAtomically(programFile(u"Help.rtf"_s), "{\\rtf1 Справка}");
        writeFileAtomically(programFile(u"Greetings.txt"_s), encodeText(Greetings.join(u"\r\n"_s)));
    }

    void everyTriggerRunsItsCommand_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<QString>("effect");
        for (const auto &[trigger, effect] : table())
            QTest::newRow(trigger.toUtf8().constData()) << trigger << effect;
    }

    void everyTriggerRunsItsCommand()
    {
        QFETCH(QString, trigger);
        QFETCH(QString, effect);
        QCOMPARE(effectOf(trigger), effect);
    }

    void menusReadAsListed()
    {
        auto w = showWindow();
        QVERIFY(w);
        const auto listing = [](QMenu *menu) {
            QStringList items;
            for (QAction *a : menu->actions()) {
                items << (a->isSeparator() ? u"-"_s : a->objectName() + u' ' + a->text());
                // The keys named in the captions work in the editor only; the items have none.
                if (!a->shortcut().isEmpty())
                    items << u"shortcut "_s + a->shortcut().toString();
            }
            return items;
        };
        QStringList titles;
        QList<QStringList> menus;
        for (QAction *m : w->menuBar()->actions()) {
            titles << m->text();
            menus << listing(m->menu());
        }
        QCOMPARE(w->menuBar()->objectName(), u"MainMenu1"_s);
        QCOMPARE(titles, (QStringList{u"Файл"_s, u"Правка"_s, u"Чтение"_s, u"Дополнительно"_s}));
        QCOMPARE(menus.value(0), (QStringList{u"N2 Новый (Ctrl+N)"_s, u"N3 Открыть... (Ctrl+O)"_s,
                                              u"N5 Сохранить как... (Ctrl+S)"_s, u"-"_s, u"N22 Выход"_s}));
        QCOMPARE(menus.value(1), (QStringList{u"CtrlC1 Копировать (Ctrl+C)"_s, u"CtrlX1 Вырезать (Ctrl+X)"_s,
                                              u"Dcnfdbnm1 Вставить (Ctrl+V)"_s, u"N7 Выделить всё (Ctrl+A)"_s,
                                              u"-"_s, u"N40 Интуитивное выделение"_s, u"N20 Шрифт (Ctrl+F)"_s,
                                              u"CtrlK1 Увеличить размер шрифта (Ctrl+K)"_s,
                                              u"CtrlT1 Уменьшить размер шрифта (Ctrl+T)"_s,
                                              u"MSWord1 Экспорт в MS Word (Ctrl+W)"_s}));
        QCOMPARE(menus.value(2),
                 (QStringList{u"N39 Читать текст несколько раз"_s, u"N9 Прочитать текст (Ctrl+Y)"_s,
                              u"N10 Пауза (Ctrl+P)"_s, u"N11 Стоп"_s, u"N12 Прочтать буфер"_s,
                              u"N43 Произнести приветствие"_s, u"-"_s, u"N21 Слежение за набором текста"_s,
                              u"N15 Слежение за буфером"_s, u"-"_s, u"N16 Запись голоса в файл"_s, u"-"_s,
                              u"Follow1 Следить за читаемым словом"_s}));
        QCOMPARE(menus.value(3),
                 (QStringList{u"N17 Настройки"_s, u"N41 Органайзер"_s, u"N14 Словарь поправок (Ctrl+D)"_s,
                              u"-"_s, u"N42 Сайт разработчиков"_s, u"N4 О программе"_s, u"N19 Справка"_s}));
        QCOMPARE(listing(w->findChild<QMenu *>(u"PopupMenu1"_s)),
                 (QStringList{u"N25 Прочитать текст"_s, u"N23 Шрифт"_s, u"N24 Запись голоса в файл"_s,
                              u"MSWord2 Экспорт в MS Word"_s, u"-"_s, u"N26 Вырезать"_s, u"N27 Копировать"_s,
                              u"N28 Вставить"_s, u"N29 Выделить всё"_s, u"-"_s, u"N38 Словарь поправок"_s}));
    }

    void contextMenuOpensWhereTheRightButtonIsReleased()
    {
        auto w = showWindow();
        QVERIFY(w);
        auto *popup = w->findChild<QMenu *>(u"PopupMenu1"_s);
        QWidget *area = w->editor()->viewport();
        const QPoint place(40, 30);
        QTest::mousePress(area, Qt::RightButton, {}, place);
        QVERIFY(!popup->isVisible());
        QTest::mouseRelease(area, Qt::RightButton, {}, place);
        QTRY_VERIFY(popup->isVisible());
        QCOMPARE(popup->pos(), area->mapToGlobal(place));
        popup->close();
    }

    // The walk leaves out no button of the toolbar or the formatting group and no item of either menu.
    void theWalkLeavesNothingOut()
    {
        auto w = showWindow();
        QVERIFY(w);
        QStringList walked;
        for (const auto &entry : table())
            walked << entry.first;
        const QStringList triggers = everyTrigger(*w);
        // 15 toolbar and 8 formatting buttons, 29 menu items, 9 context-menu items.
        QCOMPARE(triggers.size(), 61);
        for (const QString &trigger : triggers)
            QVERIFY2(walked.contains(trigger), qPrintable(trigger));
    }
};

QTEST_MAIN(TestCommandMap)
#include "tst_commandmap.moc"
