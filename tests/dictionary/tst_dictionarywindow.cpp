// The dictionary window: the list as a working copy of "Dictionary.txt", the use flag written at once,
// the boxes and buttons enabling one another, editing, deleting, clearing, importing, the test of a
// replacement, and the keys that close the window.
#include "common/core/inifile.h"
#include "common/core/programfolder.h"
#include "common/core/textcodec.h"
#include "common/core/textfile.h"
#include "common/ui/labelbutton.h"
#include "dictionary/dictionarywindow.h"
#include "support/fakeprompter.h"
#include "support/fakespeechcontrol.h"
#include "support/testfiles.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace velmira;
using namespace Qt::StringLiterals;

namespace {

const QStringList Lines{u"интернет=интер нэт"_s, u"ctrl=контрол"_s, u"0.5 литра=пол литра"_s,
                        u"течет=течёт"_s, u"hi=хай"_s};

// The bytes of a file, or "<missing>" when there is none, so that a missing file never passes for an
// empty one.
QByteArray bytesOrMissing(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Types the text key by key, as the user would (QTest::keyClicks takes Latin-1 only).
void typeInto(QWidget *widget, const QString &text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

} // namespace

class TestDictionaryWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TemporaryProgramFolder> m_home;
    FakePrompter m_prompter;
    FakeSpeechControl m_speech;
    std::unique_ptr<DictionaryWindow> m_window;

    QString dictionaryFile() const { return programFile(u"Dictionary.txt"_s); }

    void writeDictionary(const QStringList &lines)
    {
        writeFileAtomically(dictionaryFile(), encodeText(joinLinesCrLf(lines)));
    }
    void setFlag(bool on)
    {
        IniFile settings = IniFile::settings();
        settings.writeBool(IniFile::global(), u"Dictionary"_s, on);
    }
    bool flag() const { return IniFile::settings().readBool(IniFile::global(), u"Dictionary"_s, false); }

    // Opens a fresh window, as the main window does, but without blocking.
    void open()
    {
        m_window = std::make_unique<DictionaryWindow>(m_prompter, &m_speech);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }
    // A window over the given file with the flag on, ready for editing.
    void openWith(const QStringList &lines)
    {
        writeDictionary(lines);
        setFlag(true);
        open();
    }

    template <typename T = QWidget> T *control(const char *name) const
    {
        T *found = m_window->findChild<T *>(QString::fromLatin1(name));
        Q_ASSERT(found);
        return found;
    }
    QLineEdit *word() const { return control<QLineEdit>("Edit1"); }
    QLineEdit *replacement() const { return control<QLineEdit>("Edit2"); }
    QListWidget *list() const { return control<QListWidget>("ListBox1"); }
    void click(const char *name) { QTest::mouseClick(control(name), Qt::LeftButton); }
    QStringList rows() const
    {
        QStringList texts;
        for (int i = 0; i < list()->count(); ++i)
            texts << list()->item(i)->text();
        return texts;
    }
    QList<int> selectedRows() const
    {
        QList<int> result;
        for (const QModelIndex &index : list()->selectionModel()->selectedIndexes())
            result << index.row();
        std::sort(result.begin(), result.end());
        return result;
    }
    // A double click as the mouse makes it: press, release, the second press, release.
    void doubleClickAt(QPoint place)
    {
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, place);
        QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, place);
        QTest::mouseRelease(list()->viewport(), Qt::LeftButton, {}, place);
    }
    void doubleClickRow(int row) { doubleClickAt(list()->visualItemRect(list()->item(row)).center()); }

private slots:
    void init()
    {
        m_home = std::make_unique<TemporaryProgramFolder>();
        m_prompter = FakePrompter();
        m_speech.clear();
        m_speech.failWith.clear();
    }

    void cleanup() { m_window.reset(); }

    void opensWithTheFileAndTheFlag_data()
    {
        QTest::addColumn<bool>("hasFile");
        QTest::addColumn<bool>("inUse");
        QTest::newRow("file, in use") << true << true;
        QTest::newRow("file, not in use") << true << false;
        QTest::newRow("no file, no settings") << false << false;
    }

    void opensWithTheFileAndTheFlag()
    {
        QFETCH(bool, hasFile);
        QFETCH(bool, inUse);
        if (hasFile)
            writeDictionary(Lines);
        if (inUse)
            setFlag(true);
        open();

        QCOMPARE(m_window->objectName(), u"TForm5"_s);
        QCOMPARE(m_window->windowTitle(), u"Словарь поправок"_s);
        QVERIFY(m_window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(rows(), hasFile ? Lines : QStringList());
        QCOMPARE(control<QCheckBox>("CheckBox1")->isChecked(), inUse);
        QCOMPARE(control("Panel1")->isEnabled(), inUse);
        // The replacement box and the two buttons wait for what is typed.
        QVERIFY(!replacement()->isEnabled() && !control("Label1")->isEnabled() &&
                !control("StaticText3")->isEnabled());
        // Opening writes nothing.
        QCOMPARE(QFile::exists(programFile(u"Settings.ini"_s)), inUse);
        QCOMPARE(QFile::exists(dictionaryFile()), hasFile);

        const QList<std::pair<const char *, QString>> captions{
            {"CheckBox1", u"Использовать словарь поправок"_s},
            {"Label1", u"Тест"_s},
            {"StaticText3", u"Добавить"_s},
            {"StaticText4", u"Удалить строку"_s},
            {"StaticText8", u"Очистить"_s},
            {"StaticText5", u"Иимпорт..."_s},
            {"StaticText6", u"OK"_s},
            {"StaticText7", u"Отмена"_s}};
        for (const auto &[name, caption] : captions)
            QCOMPARE(control<QAbstractButton>(name)->text(), caption);
        QCOMPARE(word()->accessibleName(), u"Заменяемое слово"_s);
        QCOMPARE(replacement()->accessibleName(), u"Заменяющее слово"_s);
    }

    void useFlagIsWrittenAtEveryChangeAndOutlivesCancel()
    {
        writeDictionary(Lines);
        open();
        auto *box = control<QCheckBox>("CheckBox1");
        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(flag());
        QVERIFY(control("Panel1")->isEnabled());
        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(!flag());
        QVERIFY(!control("Panel1")->isEnabled());
        QTest::mouseClick(box, Qt::LeftButton);
        QTest::keyClick(m_window.get(), Qt::Key_Escape);
        QVERIFY(!m_window->isVisible());
        QVERIFY(flag());
        QCOMPARE(bytesOrMissing(dictionaryFile()), encodeText(joinLinesCrLf(Lines)));
    }

    void boxesAndButtonsEnableOneAnother()
    {
        openWith(Lines);
        typeInto(word(), u"кот"_s);
        QVERIFY(replacement()->isEnabled());
        typeInto(replacement(), u"кошка"_s);
        QVERIFY(control("Label1")->isEnabled() && control("StaticText3")->isEnabled());

        // Emptying the word disables the replacement box but not "Добавить", which then adds nothing.
        word()->clear();
        QVERIFY(!replacement()->isEnabled());
        QVERIFY(control("StaticText3")->isEnabled());
        click("StaticText3");
        QCOMPARE(rows(), Lines);

        typeInto(word(), u"кот"_s);
        replacement()->clear();
        QVERIFY(!control("Label1")->isEnabled() && !control("StaticText3")->isEnabled());

        // At most 40 characters can be typed into either box.
        word()->clear();
        typeInto(word(), QString(45, u'ж'));
        QCOMPARE(word()->text(), QString(40, u'ж'));
    }

    void addAppendsAtTheEndAndSelectsTheNewRow()
    {
        openWith(Lines);
        list()->setCurrentRow(1);
        for (int i = 0; i < 2; ++i) {
            typeInto(word(), u"кот"_s);
            typeInto(replacement(), u"кошка"_s);
            click("StaticText3");
        }
        QCOMPARE(rows(), (Lines + QStringList{u"кот=кошка"_s, u"кот=кошка"_s}));
        QCOMPARE(selectedRows(), QList<int>{int(Lines.size()) + 1});
        QVERIFY(word()->text().isEmpty() && replacement()->text().isEmpty());
        QVERIFY(!replacement()->isEnabled() && !control("StaticText3")->isEnabled());
    }

    void doubleClickTakesTheRowOutForEditing_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("expectedWord");
        QTest::addColumn<QString>("expectedReplacement");
        QTest::newRow("ordinary") << u"0.5 литра=пол литра"_s << u"0.5 литра"_s << u"пол литра"_s;
        QTest::newRow("further =") << u"a=b=c"_s << u"a"_s << u"b=c"_s;
        QTest::newRow("spaces kept") << u" кот =кошка "_s << u" кот "_s << u"кошка "_s;
        QTest::newRow("no =") << u"без знака"_s << u"без знака"_s << QString();
        QTest::newRow("empty word") << u"=пусто"_s << QString() << u"пусто"_s;
        // An imported line may be longer than anything typed; it must not come back cut.
        const QString longWord = QString(55, u'д');
        const QString longReplacement = QString(70, u'з');
        QTest::newRow("longer than typing allows")
            << longWord + u'=' + longReplacement << longWord << longReplacement;
    }

    void doubleClickTakesTheRowOutForEditing()
    {
        QFETCH(QString, line);
        QFETCH(QString, expectedWord);
        QFETCH(QString, expectedReplacement);
        QStringList lines = Lines;
        lines.insert(2, line);
        openWith(lines);

        doubleClickRow(2);
        QCOMPARE(word()->text(), expectedWord);
        QCOMPARE(replacement()->text(), expectedReplacement);
        QCOMPARE(rows(), Lines);

        // Put back unchanged, the line is the same line again, at the end.
        if (!expectedWord.isEmpty() && !expectedReplacement.isEmpty()) {
            click("StaticText3");
            QCOMPARE(rows().constLast(), line);
        }
        // The file changes only on "OK".
        click("StaticText7");
        QCOMPARE(bytesOrMissing(dictionaryFile()), encodeText(joinLinesCrLf(lines)));
    }

    void doubleClickBelowTheRowsDoesNothing()
    {
        openWith(Lines);
        list()->setCurrentRow(1);
        doubleClickAt(QPoint(20, list()->viewport()->height() - 3));
        QCOMPARE(rows(), Lines);
        QVERIFY(word()->text().isEmpty());
    }

    void deleteRemovesEverySelectedRow_data()
    {
        QTest::addColumn<bool>("byKey");
        QTest::newRow("Удалить строку") << false;
        QTest::newRow("Backspace in the list") << true;
    }

    void deleteRemovesEverySelectedRow()
    {
        QFETCH(bool, byKey);
        openWith(Lines);
        list()->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
        list()->setCurrentRow(2, QItemSelectionModel::Select);
        list()->setCurrentRow(4, QItemSelectionModel::Select);
        if (byKey) {
            list()->setFocus();
            QTest::keyClick(list(), Qt::Key_Backspace);
        } else {
            click("StaticText4");
        }
        QCOMPARE(rows(), (QStringList{Lines[1], Lines[3]}));

        // In a box Backspace only deletes a character.
        list()->setCurrentRow(0);
        word()->setFocus();
        typeInto(word(), u"кот"_s);
        QTest::keyClick(word(), Qt::Key_Backspace);
        QCOMPARE(word()->text(), u"ко"_s);
        QCOMPARE(rows().size(), 2);
    }

    void clearAsksAndTheFileFollowsOnlyOk_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<bool>("emptied");
        QTest::newRow("No") << int(Prompter::Button::No) << true << false;
        QTest::newRow("Yes, then Отмена") << int(Prompter::Button::Yes) << false << false;
        QTest::newRow("Yes, then OK") << int(Prompter::Button::Yes) << true << true;
    }

    void clearAsksAndTheFileFollowsOnlyOk()
    {
        QFETCH(int, answer);
        QFETCH(bool, ok);
        QFETCH(bool, emptied);
        openWith(Lines);
        m_prompter.answers.enqueue(Prompter::Button(answer));
        click("StaticText8");
        QCOMPARE(m_prompter.asked.size(), 1);
        const FakePrompter::Asked &asked = m_prompter.asked.first();
        QCOMPARE(asked.text, u"Очистить словарь поправок?"_s);
        QCOMPARE(asked.caption, u"Вельмира 6.1"_s);
        QCOMPARE(asked.icon, Prompter::Icon::Question);
        QCOMPARE(asked.buttons, Prompter::Buttons(Prompter::Button::Yes) | Prompter::Button::No);
        QCOMPARE(rows().isEmpty(), answer == int(Prompter::Button::Yes));

        click(ok ? "StaticText6" : "StaticText7");
        QVERIFY(!m_window->isVisible());
        // An emptied dictionary is an empty file, not a missing one.
        QCOMPARE(bytesOrMissing(dictionaryFile()), emptied ? QByteArray() : encodeText(joinLinesCrLf(Lines)));
    }

    void importAppendsTheFileAfterTheRows()
    {
        openWith(Lines);
        const QString imported = m_home->filePath(u"import.txt"_s);
        writeFileAtomically(imported, encodeText(u"кот=кошка\r\nctrl=контрол\nпёс=собака"_s));
        m_prompter.files.enqueue(imported);
        m_prompter.files.enqueue(m_home->filePath(u"gone.txt"_s));
        m_prompter.files.enqueue(QString());
        click("StaticText5");
        click("StaticText5");
        click("StaticText5");

        QCOMPARE(rows(), (Lines + QStringList{u"кот=кошка"_s, u"ctrl=контрол"_s, u"пёс=собака"_s}));
        QCOMPARE(m_prompter.asked.size(), 3);
        for (const FakePrompter::Asked &asked : std::as_const(m_prompter.asked)) {
            QCOMPARE(asked.kind, FakePrompter::Asked::Kind::OpenFile);
            QCOMPARE(asked.caption, u"Выбор файла словаря для импорта"_s);
            QCOMPARE(asked.text, u"Текстовые файлы (*.txt)|*.txt|Все файлы (*.*)|*.*"_s);
            // No import offers the name chosen before.
            QVERIFY(asked.name.isEmpty());
        }

        QTest::keyClick(list(), Qt::Key_Return);
        QCOMPARE(CorrectionDictionary::parse(bytesOrMissing(dictionaryFile())), rows());
    }

    void testSpeaksTheReplacementAsTyped()
    {
        // The dictionary is on and would change the text if it were applied.
        openWith(Lines);
        typeInto(word(), u"сеть"_s);
        typeInto(replacement(), u"интернет"_s);
        click("Label1");
        QCOMPARE(m_speech.calls, (QStringList{u"AudioReset"_s, u"Speak:интернет"_s}));
        QVERIFY(m_prompter.asked.isEmpty());

        m_speech.failWith = u"устройство занято"_s;
        click("Label1");
        QCOMPARE(m_prompter.asked.size(), 1);
        const FakePrompter::Asked &asked = m_prompter.asked.first();
        QCOMPARE(asked.text, u"Ошибка! Возможно, звуковая карта занята другим приложением."_s);
        QCOMPARE(asked.caption, u"Вельмира"_s);
        QCOMPARE(asked.icon, Prompter::Icon::None);
        QCOMPARE(asked.buttons, Prompter::Buttons(Prompter::Button::Ok));
        QVERIFY(m_window->isVisible());
        QCOMPARE(replacement()->text(), u"интернет"_s);
    }

    void enterSavesEvenWhileTypingAndEscForgets_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Enter on the keypad") << int(Qt::Key_Enter);
        QTest::newRow("Esc") << int(Qt::Key_Escape);
    }

    void enterSavesEvenWhileTypingAndEscForgets()
    {
        QFETCH(int, key);
        openWith(Lines);
        list()->setCurrentRow(0);
        click("StaticText4");
        typeInto(word(), u"недописанное"_s);
        QTest::keyClick(word(), Qt::Key(key));
        QVERIFY(!m_window->isVisible());
        const QStringList expected = key == Qt::Key_Escape ? Lines : Lines.mid(1);
        QCOMPARE(bytesOrMissing(dictionaryFile()), encodeText(joinLinesCrLf(expected)));
    }

    void failedSaveKeepsTheWindowAndTheChanges()
    {
        openWith(Lines);
        list()->setCurrentRow(0);
        click("StaticText4");
        // Something in the way of the file: it cannot be written.
        QVERIFY(QFile::remove(dictionaryFile()));
        QVERIFY(QDir().mkdir(dictionaryFile()));
        click("StaticText6");
        QVERIFY(m_window->isVisible());
        QCOMPARE(rows(), Lines.mid(1));
        QCOMPARE(m_prompter.asked.size(), 1);
        QCOMPARE(m_prompter.asked.first().caption, u"Вельмира"_s);
        QVERIFY(!m_prompter.asked.first().text.isEmpty());

        // Once the way is clear, "OK" stores the same changes.
        QVERIFY(QDir().rmdir(dictionaryFile()));
        click("StaticText6");
        QVERIFY(!m_window->isVisible());
        QCOMPARE(CorrectionDictionary::parse(bytesOrMissing(dictionaryFile())), Lines.mid(1));
    }

    void everyOpeningStartsAfresh()
    {
        writeDictionary(Lines);
        setFlag(true);
        QWidget owner;
        QStringList seen;
        // The first showing is left with a word typed and a row deleted; the second must show none of it.
        const auto inspect = [&](bool change) {
            QTimer::singleShot(0, &owner, [&, change] {
                auto *window = qobject_cast<DictionaryWindow *>(QApplication::activeModalWidget());
                QVERIFY(window);
                auto *box = window->findChild<QLineEdit *>(u"Edit1"_s);
                seen << box->text() << QString::number(window->lines().size());
                if (change) {
                    box->setText(u"кот"_s);
                    window->findChild<QListWidget *>(u"ListBox1"_s)->setCurrentRow(0);
                    QTest::mouseClick(window->findChild<LabelButton *>(u"StaticText4"_s), Qt::LeftButton);
                }
                QTest::keyClick(box, Qt::Key_Escape);
            });
            DictionaryWindow::N14Click(m_prompter, &m_speech, &owner);
        };
        // A failing test must not hang in the modal window.
        QTimer guard;
        connect(&guard, &QTimer::timeout, &owner, [] {
            if (QWidget *modal = QApplication::activeModalWidget())
                modal->close();
        });
        guard.start(3000);
        inspect(true);
        inspect(false);
        QCOMPARE(seen, (QStringList{QString(), u"5"_s, QString(), u"5"_s}));
        QVERIFY(owner.findChildren<DictionaryWindow *>().isEmpty());
    }
};

QTEST_MAIN(TestDictionaryWindow)
#include "tst_dictionarywindow.moc"
