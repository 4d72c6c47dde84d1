// Word following: the word heard is marked in the editor, and nothing else changes there.
#include "common/core/textfile.h"
#include "dictionary/correctiondictionary.h"
#include "reading/readingcontroller.h"
#include "reading/wordfollower.h"
#include "support/fakeprompter.h"
#include "support/fakereadinghost.h"
#include "support/fakespeechcontrol.h"
#include "support/testfiles.h"

#include <QScrollBar>
#include <QTest>
#include <QTextEdit>

using namespace velmira;
using namespace Qt::StringLiterals;

class TestWordFollower : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TemporaryProgramFolder> m_home;
    std::unique_ptr<QTextEdit> m_editor;
    std::unique_ptr<FakeSpeechControl> m_speech;
    std::unique_ptr<WordFollower> m_follower;
    std::unique_ptr<FakeReadingHost> m_host;
    std::unique_ptr<ReadingController> m_reading;
    FakePrompter m_prompter;

    static QString withCrLf(QString text)
    {
        return text.replace(QChar::ParagraphSeparator, u"\r\n"_s).replace(u'\n', u"\r\n"_s).replace(u"\r\r"_s, u"\r"_s);
    }

    // The speech control reports the `n`th word `word` (from 0) of the text spoken last as heard.
    void hear(const QString &word, int n = 0)
    {
        const QString &spoken = m_speech->spoken.last();
        qsizetype at = -1;
        for (int i = 0; i <= n; ++i)
            at = spoken.indexOf(word, at + 1);
        QVERIFY2(at >= 0, qPrintable(word));
        emit m_speech->wordReached(m_speech->lastSerial(), int(at), int(word.size()));
    }

    // The editor's characters under the mark, or "" without one.
    QString marked() const
    {
        const QList<QTextEdit::ExtraSelection> marks = m_editor->extraSelections();
        if (marks.isEmpty())
            return QString();
        [&] { QCOMPARE(marks.size(), 1); }();
        return marks.first().cursor.selectedText();
    }
    int markStart() const { return m_editor->extraSelections().value(0).cursor.selectionStart(); }

private slots:
    void init()
    {
        m_home = std::make_unique<TemporaryProgramFolder>();
        m_editor = std::make_unique<QTextEdit>();
        m_editor->resize(300, 120);
        m_speech = std::make_unique<FakeSpeechControl>();
        m_follower = std::make_unique<WordFollower>(*m_editor);
        m_host = std::make_unique<FakeReadingHost>();
        m_host->dialogs = &m_prompter;
        m_host->follower = m_follower.get();
        m_host->mainSpeech = [this] { return m_speech.get(); };
        m_host->whole = [this] { return withCrLf(m_editor->toPlainText()); };
        m_host->selected = [this] { return withCrLf(m_editor->textCursor().selectedText()); };
        m_reading = std::make_unique<ReadingController>(*m_host, *m_host);
    }

    void cleanup()
    {
        m_reading.reset();
        m_host.reset();
        m_follower.reset();
        m_speech.reset();
        m_editor.reset();
        m_home.reset();
    }

    // The mark follows the words over line breaks and emoji; the document, its undo steps, its
    // modified flag and the user's caret stay as they were; Pause keeps the mark, Stop removes it.
    void marksTheWordHeardAndNothingElse()
    {
        const QString text = u"Первая строка\n\nвторая 😀 строка и 𝄞 ноты"_s;
        m_editor->setPlainText(text);
        QTextCursor caret(m_editor->document());
        caret.setPosition(3);
        m_editor->setTextCursor(caret);
        QCOMPARE(marked(), QString());

        m_reading->Read();
        hear(u"строка"_s, 1);
        QCOMPARE(marked(), u"строка"_s);
        QCOMPARE(markStart(), text.indexOf(u"строка"_s, 20));
        hear(u"ноты"_s);
        QCOMPARE(marked(), u"ноты"_s);
        QCOMPARE(markStart(), text.indexOf(u"ноты"_s));

        QCOMPARE(m_editor->toPlainText(), text);
        QVERIFY(!m_editor->document()->isModified());
        QVERIFY(!m_editor->document()->isUndoAvailable());
        QCOMPARE(m_editor->textCursor().position(), 3);
        QVERIFY(!m_editor->textCursor().hasSelection());
        QVERIFY(!m_editor->toHtml().contains(u"background"_s));

        m_reading->Pause();
        QCOMPARE(marked(), u"ноты"_s);
        m_reading->Stop();
        QCOMPARE(marked(), QString());
        QCOMPARE(m_follower->marked(), std::nullopt);
    }

    // Reading the selection marks within it; a corrected word marks the word it replaced, and the
    // mark moves with what the user types before it.
    void selectionWithCorrections()
    {
        writeFileAtomically(m_home->filePath(u"Dictionary.txt"_s), CorrectionDictionary::serialize({u"т.е.=то есть"_s}));
        CorrectionDictionary::setInUse(true);
        const QString text = u"Начало.\nОн пришёл, т.е. ушёл домой."_s;
        m_editor->setPlainText(text);
        QTextCursor selection(m_editor->document());
        selection.setPosition(8);
        selection.setPosition(int(text.size()), QTextCursor::KeepAnchor);
        m_editor->setTextCursor(selection);

        m_reading->Read();
        QCOMPARE(m_speech->spoken.last(), u"Он пришёл, то есть ушёл домой."_s);
        hear(u"есть"_s);
        QCOMPARE(marked(), u"т.е."_s);
        QCOMPARE(markStart(), text.indexOf(u"т.е."_s));
        hear(u"ушёл"_s);
        QCOMPARE(markStart(), text.indexOf(u"ушёл"_s));

        QTextCursor typing(m_editor->document());
        typing.insertText(u"Ох. "_s);
        hear(u"домой"_s);
        QCOMPARE(marked(), u"домой"_s);
        QVERIFY(m_editor->textCursor().hasSelection());
    }

    // A long selection with the dictionary on is spoken as its start and then the rest: words of both
    // pieces mark the editor's own words, even when the start was heard to its end and the user moved
    // the selection before the rest came.
    void longTextInTwoPieces()
    {
        writeFileAtomically(m_home->filePath(u"Dictionary.txt"_s), CorrectionDictionary::serialize({u"т.е.=то есть"_s}));
        CorrectionDictionary::setInUse(true);
        QString text = u"Заголовок.\n"_s;
        for (int i = 0; i < 100; ++i)
            text += u"Предложение номер %1, т.е. длинное. "_s.arg(i);
        text += u"Конец книги."_s;
        m_editor->setPlainText(text);
        QTextCursor selection(m_editor->document());
        selection.setPosition(11);
        selection.setPosition(int(text.size()), QTextCursor::KeepAnchor);
        m_editor->setTextCursor(selection);

        m_reading->Read();
        QCOMPARE(m_speech->spoken.size(), 1);
        hear(u"есть"_s);
        QCOMPARE(marked(), u"т.е."_s);
        QCOMPARE(markStart(), text.indexOf(u"т.е."_s));
        emit m_speech->finished();
        QCOMPARE(marked(), QString());
        m_editor->setTextCursor(QTextCursor(m_editor->document()));

        QTRY_COMPARE(m_speech->spoken.size(), 2);
        hear(u"книги"_s);
        QCOMPARE(marked(), u"книги"_s);
        QCOMPARE(markStart(), text.indexOf(u"книги"_s));
    }

    // Texts that are not the editor's, the end of reading and switching following off leave no mark;
    // every repetition of repeated reading is marked.
    void onlyTheEditorsTextWhileItIsRead()
    {
        m_editor->setPlainText(u"кот спит"_s);
        m_reading->Read();
        hear(u"спит"_s);
        QCOMPARE(marked(), u"спит"_s);
        m_reading->ReadText(u"Пора обедать"_s);
        QCOMPARE(marked(), QString());
        hear(u"обедать"_s);
        QCOMPARE(marked(), QString());

        m_reading->Read();
        hear(u"кот"_s);
        QCOMPARE(marked(), u"кот"_s);
        // Typing tracking speaks a word on its own, behind the reading.
        m_speech->Speak(u"слово"_s);
        hear(u"слово"_s);
        QCOMPARE(marked(), QString());

        m_reading->Read();
        hear(u"кот"_s);
        emit m_speech->finished();
        QCOMPARE(marked(), QString());

        m_speech->Speak(u"кот спит. кот спит. "_s);
        m_follower->follow(*m_speech, u"кот спит"_s, m_speech->spoken.last(), false, 2);
        hear(u"спит"_s, 1);
        QCOMPARE(marked(), u"спит"_s);
        hear(u"."_s, 1);
        QCOMPARE(marked(), u"спит"_s);

        m_follower->setOn(false);
        QCOMPARE(marked(), QString());
        m_reading->Read();
        hear(u"кот"_s);
        QCOMPARE(marked(), QString());
    }

    // The editor scrolls to the word heard, unless the user has just scrolled elsewhere.
    void keepsTheWordInViewUnlessTheUserScrolled()
    {
        QStringList lines;
        for (int i = 1; i <= 200; ++i)
            lines << u"Строка номер %1"_s.arg(i);
        m_editor->setPlainText(lines.join(u'\n'));
        m_editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_editor.get()));
        QScrollBar *bar = m_editor->verticalScrollBar();
        QCOMPARE(bar->value(), 0);

        m_reading->Read();
        hear(u"150"_s);
        QVERIFY(bar->value() > 0);
        QTextCursor word(m_editor->document());
        word.setPosition(markStart());
        QVERIFY(m_editor->viewport()->rect().contains(m_editor->cursorRect(word)));

        bar->setValue(0);
        hear(u"190"_s);
        QCOMPARE(marked(), u"190"_s);
        QCOMPARE(bar->value(), 0);
    }
};

QTEST_MAIN(TestWordFollower)
#include "tst_wordfollower.moc"
