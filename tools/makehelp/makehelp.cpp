// Writes the user guide "Help.rtf" from its Markdown source and the pictures beside it:
//
//   makehelp resources/help/Help.md resources/Help.rtf
//
// Headings, paragraphs, bold and italic text, bulleted lists and pictures ("![caption](file.png)",
// the file in the source's folder) are understood. A picture wider than the page is shown smaller;
// a missing picture is left out with a warning, so that the guide can be written before every
// window has its picture.
#include "common/core/error.h"
#include "common/core/textfile.h"
#include "editor/rtf/rtfpicture.h"
#include "editor/rtf/rtfwriter.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <QUrl>

#include <cstdio>

using namespace velmira;
using namespace Qt::StringLiterals;

namespace {

// The widest picture, in pixels at 96 dpi: the text width of an A4 page with margins of 2 cm.
constexpr int PageWidth = 620;

QFont bodyFont()
{
    QFont font(u"Times New Roman"_s);
    font.setPointSize(12);
    return font;
}

void warn(const QString &text)
{
    std::fprintf(stderr, "makehelp: %s\n", qUtf8Printable(text));
}

// Headings get a size and a sans-serif face of their own (the RTF writer knows no heading levels).
void formatHeading(QTextCursor cursor, int level)
{
    static const int sizes[] = {20, 15, 13};
    QTextCharFormat format;
    format.setFontFamilies({u"Arial"_s});
    format.setFontPointSize(sizes[std::clamp(level, 1, 3) - 1]);
    format.setFontWeight(QFont::Bold);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.mergeCharFormat(format);
    QTextBlockFormat block = cursor.blockFormat();
    block.setTopMargin(level == 1 ? 0 : 14);
    block.setBottomMargin(6);
    cursor.setBlockFormat(block);
}

// List items become paragraphs that start with a bullet and hang from it (the RTF writer knows
// no lists).
void formatListItem(QTextBlock block)
{
    QTextList *list = block.textList();
    list->remove(block);
    QTextCursor cursor(block);
    QTextBlockFormat format = cursor.blockFormat();
    format.setIndent(0);
    format.setLeftMargin(24);
    format.setTextIndent(-14);
    format.setBottomMargin(3);
    cursor.setBlockFormat(format);
    cursor.insertText(u"•\t"_s);
}

// Removes the selected picture, and its paragraph when nothing else is in it.
void leaveOut(QTextCursor &cursor)
{
    cursor.removeSelectedText();
    if (!cursor.block().text().isEmpty())
        return;
    cursor.movePosition(QTextCursor::StartOfBlock);
    if (cursor.atStart()) {
        cursor.deleteChar();
    } else {
        cursor.deletePreviousChar();
    }
}

// Gives every picture its data and a size that fits the page; returns how many were missing.
int placePictures(QTextDocument &document, const QDir &folder)
{
    int missing = 0;
    QList<int> positions;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().isImageFormat()) {
                for (int i = 0; i < it.fragment().length(); ++i)
                    positions << it.fragment().position() + i;
            }
        }
    }
    // From the end, so that removing a picture does not move the ones still to do.
    for (auto it = positions.crbegin(); it != positions.crend(); ++it) {
        QTextCursor cursor(&document);
        cursor.setPosition(*it);
        cursor.setPosition(*it + 1, QTextCursor::KeepAnchor);
        QTextImageFormat image = cursor.charFormat().toImageFormat();
        const QString name = image.name();
        const QString path = folder.filePath(name);
        QByteArray data;
        try {
            data = readFileBytes(path);
        } catch (const Error &) {
            warn(u"no picture %1, left out"_s.arg(path));
            leaveOut(cursor);
            ++missing;
            continue;
        }
        const QSize size = rtf::pictureSizeOf(data);
        if (!size.isValid()) {
            warn(u"%1 is not a PNG or JPEG picture, left out"_s.arg(path));
            leaveOut(cursor);
            ++missing;
            continue;
        }
        document.addResource(QTextDocument::ImageResource, QUrl(name), data);
        const double scale = size.width() > PageWidth ? double(PageWidth) / size.width() : 1.0;
        image.setWidth(size.width() * scale);
        image.setHeight(size.height() * scale);
        // A button's picture sits in its line of text.
        image.setVerticalAlignment(QTextCharFormat::AlignMiddle);
        cursor.setCharFormat(image);
    }
    return missing;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 3) {
        warn(u"usage: makehelp SOURCE.md OUTPUT.rtf"_s);
        return 2;
    }
    try {
        const QString source = arguments.at(1);
        QTextDocument document;
        document.setDefaultFont(bodyFont());
        document.setMarkdown(QString::fromUtf8(readFileBytes(source)), QTextDocument::MarkdownDialectGitHub);

        QList<QTextBlock> blocks;
        for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
            blocks << block;
        for (const QTextBlock &block : blocks) {
            if (const int level = block.blockFormat().headingLevel(); level > 0)
                formatHeading(QTextCursor(block), level);
            else if (block.textList())
                formatListItem(block);
        }
        const int missing = placePictures(document, QFileInfo(source).dir());
        writeFileAtomically(arguments.at(2), writeRtf(document));
        if (missing > 0)
            warn(u"%1 picture(s) left out"_s.arg(missing));
    } catch (const Error &error) {
        warn(error.message());
        return 1;
    }
    return 0;
}
