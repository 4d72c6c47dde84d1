// The formatting buttons, their menu items and keys, and the font box, driven through the main window.
#include "editorwindow.h"

#include "editor/selectionformat.h"

#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QTextImageFormat>

using namespace velmira;
using namespace Qt::StringLiterals;

namespace {

// The font of the character at `position`, over the editor's default font.
QFont fontAt(const RichEdit &editor, int position)
{
    QTextCursor cursor(editor.document());
    cursor.setPosition(position + 1);
    return effectiveFont(cursor.charFormat(), *editor.document());
}

QColor colorAt(const RichEdit &editor, int position)
{
    QTextCursor cursor(editor.document());
    cursor.setPosition(position + 1);
    return cursor.charFormat().foreground().color();
}

void format(RichEdit &editor, int from, int to, const std::function<void(QTextCharFormat &)> &change)
{
    QTextCursor cursor(editor.document());
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    changeSelectionFormat(cursor, change);
}

void select(RichEdit &editor, int from, int to)
{
    QTextCursor cursor(editor.document());
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    editor.setTextCursor(cursor);
}

} // namespace

Q_DECLARE_METATYPE(velmira::StyleFlag)

class TestFormatCommands : public QObject
{
    Q_OBJECT

private slots:
    void boldOnAPartlyBoldSelection()
    {
        EditorWindow w;
        RichEdit &editor = w.editor();
        editor.setPlainContent(u"обычный жирный"_s);
        format(editor, 8, 14, [](QTextCharFormat &f) { setStyleFlag(f, StyleFlag::Bold, true); });
        format(editor, 0, 3, [](QTextCharFormat &f) { setStyleFlag(f, StyleFlag::Italic, true); });
        editor.selectAll();

        // Partly bold reads as not bold: the whole selection becomes bold.
        w.run(u"SpeedButton17"_s);
        for (int i = 0; i < 14; ++i) {
            QVERIFY2(fontAt(editor, i).bold(), qPrintable(QString::number(i)));
            // Italic stays where it was, and only there.
            QCOMPARE(fontAt(editor, i).italic(), i < 3);
        }
        QCOMPARE(editor.textCursor().selectedText(), u"обычный жирный"_s);

        // Now wholly bold: the whole selection loses it.
        w.run(u"SpeedButton17"_s);
        for (int i = 0; i < 14; ++i)
            QVERIFY(!fontAt(editor, i).bold());
    }

    void styleTogglesTwiceGiveBackTheFormerState_data()
    {
        QTest::addColumn<QString>("buttonName");
        QTest::addColumn<int>("key");
        QTest::addColumn<StyleFlag>("flag");
        QTest::newRow("bold") << u"SpeedButton17"_s << int(Qt::Key_B) << StyleFlag::Bold;
        QTest::newRow("italic") << u"SpeedButton18"_s << int(Qt::Key_I) << StyleFlag::Italic;
        QTest::newRow("underline") << u"SpeedButton19"_s << int(Qt::Key_U) << StyleFlag::Underline;
    }

    void styleTogglesTwiceGiveBackTheFormerState()
    {
        QFETCH(QString, buttonName);
        QFETCH(int, key);
        QFETCH(StyleFlag, flag);
        EditorWindow w;
        RichEdit &editor = w.editor();
        editor.setPlainContent(u"раз два три"_s);
        format(editor, 4, 7, [flag](QTextCharFormat &f) { setStyleFlag(f, flag, true); });

        for (const auto &[from, to] : {std::pair{4, 7}, std::pair{0, 3}}) {
            const bool before = hasFlag(fontAt(editor, from), flag);
            select(editor, from, to);
            w.ctrl(Qt::Key(key));
            QCOMPARE(hasFlag(fontAt(editor, from), flag), !before);
            QCOMPARE(hasFlag(fontAt(editor, to - 1), flag), !before);
            w.ctrl(Qt::Key(key));
            QCOMPARE(hasFlag(fontAt(editor, from), flag), before);
            w.run(buttonName);
            QCOMPARE(hasFlag(fontAt(editor, to - 1), flag), !before);
            w.run(buttonName);
        }
        // Nothing outside the selections changed, and nothing was typed.
        QCOMPARE(editor.toPlainText(), u"раз два три"_s);
        QVERIFY(!hasFlag(fontAt(editor, 9), flag));
        QVERIFY(hasFlag(fontAt(editor, 5), flag));
        QVERIFY(!hasFlag(fontAt(editor, 1), flag));
    }

    void aToggleWithoutSelectionAppliesToWhatIsTypedNext()
    {
        EditorWindow w;
        RichEdit &editor = w.editor();
        editor.setPlainContent(u"начало"_s);
        editor.moveCursor(QTextCursor::End);
        w.ctrl(Qt::Key_B);
        w.type(u"жир"_s);
        QCOMPARE(editor.toPlainText(), u"началожир"_s);
        QVERIFY(!fontAt(editor, 5).bold());
        QVERIFY(fontAt(editor, 6).bold());
        QVERIFY(fontAt(editor, 8).bold());
    }

    void fontSizeSteps()
    {
        EditorWindow w;
        RichEdit &editor = w.editor();
        // The editor's own 15-pixel font counts as 11 points.
        editor.setPlainContent(u"мелкий КРУПНЫЙ"_s);
        select(editor, 0, 6);
        w.run(u"SpeedButton16"_s);
        QCOMPARE(w.status(), u"Текущий размер шрифта 12."_s);
        QCOMPARE(fontAt(editor, 0).pointSize(), 12);
        QCOMPARE(fontAt(editor, 5).pointSize(), 12);
        QCOMPARE(fontAt(editor, 7).pixelSize(), 15);
        w.ctrl(Qt::Key_K);
        w.run(u"CtrlK1"_s);
        QCOMPARE(w.status(), u"Текущий размер шрифта 14."_s);

        // A selection of two sizes takes one size, from its first character.
        select(editor, 0, 14);
        w.ctrl(Qt::Key_T);
        QCOMPARE(w.status(), u"Текущий размер шрифта 13."_s);
        QCOMPARE(fontAt(editor, 13).pointSize(), 13);

        // Down to 1 point, and no further.
        format(editor, 0, 14, [](QTextCharFormat &f) { setPointSize(f, 2); });
        w.run(u"SpeedButton20"_s);
        QCOMPARE(w.status(), u"Текущий размер шрифта 1."_s);
        w.run(u"CtrlT1"_s);
        QCOMPARE(w.status(), u"Текущий размер шрифта 1."_s);
        QCOMPARE(fontAt(editor, 0).pointSize(), 1);
        QCOMPARE(fontAt(editor, 13).pointSize(), 1);
        QCOMPARE(editor.toPlainText(), u"мелкий КРУПНЫЙ"_s);
    }

    void alignmentOfTheParagraphsTheSelectionTouches()
    {
        EditorWindow w;
        RichEdit &editor = w.editor();
        editor.setPlainContent(u"первый\nвторой\nтретий"_s);
        auto alignments = [&editor] {
            QList<Qt::Alignment> list;
            for (QTextBlock b = editor.document()->begin(); b.isValid(); b = b.next())
                list << (b.blockFormat().alignment() & Qt::AlignHorizontal_Mask);
            return list;
        };
        select(editor, 9, 9);
        w.run(u"SpeedButton14"_s);
        QCOMPARE(alignments(), (QList<Qt::Alignment>{Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignLeft}));

        select(editor, 3, 10);
        w.run(u"SpeedButton15"_s);
        QCOMPARE(alignments(), (QList<Qt::Alignment>{Qt::AlignRight, Qt::AlignRight, Qt::AlignLeft}));

        select(editor, 10, 16);
        w.run(u"SpeedButton10"_s);
        QCOMPARE(alignments(), (QList<Qt::Alignment>{Qt::AlignRight, Qt::AlignLeft, Qt::AlignLeft}));
    }

    void fontBoxAppliesToTheSelection_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("toolbar") << u"SpeedButton22"_s;
        QTest::newRow("menu") << u"N20"_s;
        QTest::newRow("context menu") << u"N23"_s;
        QTest::newRow("Ctrl+F") << QString();
    }

    void fontBoxAppliesToTheSelection()
    {
        QFETCH(QString, command);
        EditorWindow w;
        RichEdit &editor = w.editor();
        editor.setPlainContent(u"раз два три"_s);
        format(editor, 4, 7, [](QTextCharFormat &f) {
            setStyleFlag(f, StyleFlag::Italic, true);
            setPointSize(f, 14);
            f.setForeground(QColor(0, 0, 128));
        });
        select(editor, 4, 7);

        QFont chosen(u"DejaVu Sans"_s, 20);
        chosen.setBold(true);
        chosen.setStrikeOut(true);
        w.prompter.fonts.enqueue({chosen, QColor(255, 0, 0)});
        if (command.isEmpty())
            w.ctrl(Qt::Key_F);
        else
            w.run(command);

        // The box showed the selection's font.
        QVERIFY(w.prompter.lastFontShown);
        QCOMPARE(w.prompter.lastFontShown->font.family(), RichEdit::defaultFont().family());
        QCOMPARE(w.prompter.lastFontShown->font.pointSize(), 14);
        QVERIFY(w.prompter.lastFontShown->font.italic());
        QCOMPARE(w.prompter.lastFontShown->color, QColor(0, 0, 128));
        QVERIFY(w.prompter.messages().isEmpty());

        for (int i = 4; i < 7; ++i) {
            const QFont font = fontAt(editor, i);
            QCOMPARE(font.family(), u"DejaVu Sans"_s);
            QCOMPARE(font.pointSize(), 20);
            QVERIFY(font.bold() && font.strikeOut() && !font.italic() && !font.underline());
            QCOMPARE(colorAt(editor, i), QColor(255, 0, 0));
        }
        QCOMPARE(fontAt(editor, 3).family(), RichEdit::defaultFont().family());
        QCOMPARE(fontAt(editor, 8).pixelSize(), 15);
        QCOMPARE(editor.textCursor().selectedText(), u"два"_s);
    }

    void fontBoxWithoutSelectionAsksAboutTheWholeText()
    {
        EditorWindow w;
        RichEdit &editor = w.editor();
        editor.setPlainContent(u"первый\nвторой"_s);
        select(editor, 9, 9);
        const QFont chosen(u"DejaVu Serif"_s, 16);

        // No: nothing changes, and the font is not kept for typing either.
        w.prompter.fonts.enqueue({chosen, QColor(0, 128, 0)});
        w.prompter.answers.enqueue(Prompter::Button::No);
        w.ctrl(Qt::Key_F);
        QCOMPARE(w.prompter.asked.size(), 2);
        const FakePrompter::Asked &question = w.prompter.asked[1];
        QCOMPARE(question.caption, u"Вельмира 6.1"_s);
        QCOMPARE(question.icon, Prompter::Icon::Question);
        QCOMPARE(question.buttons, Prompter::Buttons(Prompter::Button::Yes) | Prompter::Button::No);
        QCOMPARE(
            question.text,
            u"Не был выделен текст, чтобы применить к нему шрифт.\r\n Применить шрифт ко всему тексту?"_s);
        w.type(u"ж"_s);
        QCOMPARE(fontAt(editor, 9).family(), RichEdit::defaultFont().family());
        QCOMPARE(fontAt(editor, 0).family(), RichEdit::defaultFont().family());
        QTextCursor back = editor.textCursor();
        back.deletePreviousChar();
        editor.setTextCursor(back);

        // Cancelled font box: no question at all.
        w.prompter.asked.clear();
        w.run(u"N20"_s);
        QCOMPARE(w.prompter.asked.size(), 1);

        // Yes: the whole text takes the font, and the caret is back where it was.
        w.prompter.fonts.enqueue({chosen, QColor(0, 128, 0)});
        w.prompter.answers.enqueue(Prompter::Button::Yes);
        w.run(u"N20"_s);
        QCOMPARE(editor.toPlainText(), u"первый\nвторой"_s);
        for (int i : {0, 5, 7, 12}) {
            QCOMPARE(fontAt(editor, i).family(), u"DejaVu Serif"_s);
            QCOMPARE(fontAt(editor, i).pointSize(), 16);
            QCOMPARE(colorAt(editor, i), QColor(0, 128, 0));
        }
        QVERIFY(!editor.textCursor().hasSelection());
        QCOMPARE(editor.textCursor().position(), 9);
    }

    void picturesSurviveFormatting()
    {
        EditorWindow w;
        RichEdit &editor = w.editor();
        QImage picture(8, 8, QImage::Format_RGB32);
        picture.fill(Qt::blue);
        editor.document()->addResource(QTextDocument::ImageResource, QUrl(u"картинка"_s), picture);
        // A picture between two pieces of text of one format.
        editor.setPlainContent(u"до"_s);
        QTextCursor cursor(editor.document());
        cursor.movePosition(QTextCursor::End);
        const QTextCharFormat text = cursor.charFormat();
        QTextImageFormat image;
        image.setName(u"картинка"_s);
        cursor.insertImage(image);
        cursor.insertText(u"после"_s, text);
        auto pictureIsThere = [&editor] {
            QTextCursor at(editor.document());
            at.setPosition(3);
            return at.charFormat().isImageFormat() && at.charFormat().toImageFormat().name() == u"картинка"_s;
        };
        QVERIFY(pictureIsThere());

        editor.selectAll();
        w.run(u"SpeedButton17"_s);
        w.run(u"SpeedButton16"_s);
        QVERIFY(pictureIsThere());
        QVERIFY(fontAt(editor, 0).bold() && fontAt(editor, 7).bold());
        QCOMPARE(fontAt(editor, 7).pointSize(), 12);

        w.prompter.fonts.enqueue({QFont(u"DejaVu Sans"_s, 9), QColor(Qt::red)});
        w.run(u"N20"_s);
        QVERIFY(pictureIsThere());
        QCOMPARE(fontAt(editor, 0).pointSize(), 9);
        QCOMPARE(fontAt(editor, 7).family(), u"DejaVu Sans"_s);
    }
};

QTEST_MAIN(TestFormatCommands)
#include "tst_formatcommands.moc"
