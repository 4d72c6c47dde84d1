// The PDF reader: the text layer of each page through Poppler, words in its reading order, lines joined
// into paragraphs where the page leaves no gap between them.
#include "book.h"
#include "bookreaders.h"
#include "common/error.h"

#include <poppler-qt6.h>

namespace velmira {

namespace {

struct PdfLine
{
    QString text;
    QRectF box;
};

std::vector<PdfLine> linesOf(const Poppler::Page &page)
{
    std::vector<PdfLine> lines;
    PdfLine line;
    for (const std::unique_ptr<Poppler::TextBox> &word : page.textList()) {
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

// Whether `next` carries on the paragraph of `line`: it follows right below it, without a gap wider
// than half a line, and starts no further right than a first-line indent would.
bool continues(const PdfLine &line, const PdfLine &next)
{
    const double height = qMax(line.box.height(), 1.0);
    const double gap = next.box.top() - line.box.bottom();
    return gap > -height / 2 && gap < height * 0.6 && next.box.left() < line.box.left() + height * 3 &&
           next.box.left() > line.box.left() - height * 3;
}

} // namespace

void readPdf(const QByteArray &bytes, Book &book)
{
    const std::unique_ptr<Poppler::Document> document = Poppler::Document::loadFromData(bytes);
    if (!document)
        throw Error(QStringLiteral("файл PDF повреждён"));
    if (document->isLocked())
        throw Error(QStringLiteral("документ PDF защищён паролем"));
    if (document->numPages() <= 0)
        throw Error(QStringLiteral("файл PDF повреждён"));
    for (int number = 0; number < document->numPages(); ++number) {
        const std::unique_ptr<Poppler::Page> page = document->page(number);
        if (!page)
            continue;
        const std::vector<PdfLine> lines = linesOf(*page);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (i == 0 || !continues(lines[i - 1], lines[i]))
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
        throw Error(QStringLiteral("в документе PDF нет текстового слоя: это, вероятно, отсканированные страницы"));
}

} // namespace velmira
