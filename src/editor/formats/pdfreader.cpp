// The PDF reader: the text layer of each page through Poppler, words in its reading order, lines joined
// into the paragraphs they make on the page.
#include "book.h"
#include "bookreaders.h"
#include "common/core/error.h"

#include <QRegularExpression>
#include <poppler-qt6.h>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

struct PdfLine
{
    QString text;
    QRectF box;
    double firstWordWidth = 0;
};

std::vector<PdfLine> linesOf(const Poppler::Page &page)
{
    std::vector<PdfLine> lines;
    PdfLine line;
    for (const std::unique_ptr<Poppler::TextBox> &word : page.textList()) {
        if (line.text.isEmpty())
            line.firstWordWidth = word->boundingBox().width();
        line.text += word->text();
        line.box = line.box.isNull() ? word->boundingBox() : line.box.united(word->boundingBox());
        if (word->nextWord()) {
            if (word->hasSpaceAfter())
                line.text += u' ';
            continue;
        }
        lines.push_back(line);
        line = PdfLine();
    }
    if (!line.text.isEmpty())
        lines.push_back(line);
    return lines;
}

// Whether `next` stands on the same line as `line`, further right: the next cell of a table row.
bool besides(const PdfLine &line, const PdfLine &next)
{
    const double height = qMax(line.box.height(), 1.0);
    return qAbs(next.box.top() - line.box.top()) < height * 0.3 && next.box.left() >= line.box.right();
}

// A list item starts with its bullet or number.
bool startsItem(const QString &text)
{
    static const QRegularExpression item(uR"(^(?:[•◦▪■●‣–—-]|\d{1,3}[.)])\s)"_s);
    return item.match(text).hasMatch();
}

// Whether `next` carries on the paragraph of `line`: it follows right below it in type of the same
// size, starts no further right (a first line is indented), is no list item of its own, and its first
// word would not have fitted at the end of `line` (a paragraph ends where its last line leaves room).
bool continues(const PdfLine &line, const PdfLine &next, double textRight)
{
    const double height = qMax(line.box.height(), 1.0);
    const double gap = next.box.top() - line.box.bottom();
    return gap > -height / 2 && gap < height * 0.6 && qAbs(next.box.height() - height) < height * 0.15 &&
           next.box.left() < line.box.left() + height / 2 && next.box.left() > line.box.left() - height * 3 &&
           !startsItem(next.text) && line.box.right() + height / 4 + next.firstWordWidth > textRight - height / 2;
}

} // namespace

void readPdf(const QByteArray &bytes, Book &book)
{
    const std::unique_ptr<Poppler::Document> document = Poppler::Document::loadFromData(bytes);
    if (!document)
        throw Error(u"файл PDF повреждён"_s);
    if (document->isLocked())
        throw Error(u"документ PDF защищён паролем"_s);
    if (document->numPages() <= 0)
        throw Error(u"файл PDF повреждён"_s);
    for (int number = 0; number < document->numPages(); ++number) {
        const std::unique_ptr<Poppler::Page> page = document->page(number);
        if (!page)
            continue;
        const std::vector<PdfLine> lines = linesOf(*page);
        double textRight = 0;
        for (const PdfLine &line : lines)
            textRight = qMax(textRight, line.box.right());
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (i > 0 && besides(lines[i - 1], lines[i]))
                book.addTab();
            else if (i == 0 || !continues(lines[i - 1], lines[i], textRight))
                book.startParagraph();
            else if (!lines[i - 1].text.endsWith(QChar::SoftHyphen))
                book.addText(u" ", Plain, false);
            QString text = lines[i].text;
            if (text.endsWith(QChar::SoftHyphen))
                text.chop(1);
            book.addText(text, Plain, false);
        }
        book.endParagraph();
    }
    if (!book.hasText())
        throw Error(u"в документе PDF нет текстового слоя: это, вероятно, отсканированные страницы"_s);
}

} // namespace velmira
