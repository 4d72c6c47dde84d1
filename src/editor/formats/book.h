// The text of a book or document as its reader finds it: paragraphs of styled runs and pictures,
// written into the editor's document in one go once the whole file has been read.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <vector>

class QTextDocument;

namespace velmira {

// Character styles a reader passes on; they combine.
enum BookStyle : unsigned char {
    Plain = 0,
    Bold = 1,
    Italic = 2,
    Underline = 4,
};

struct BookRun
{
    QString text;
    unsigned char style = Plain;
    int picture = -1; // index into Book::pictures(); the run then has no text
};

struct BookParagraph
{
    int heading = 0; // 1 to 6 for headings, 0 for body text
    std::vector<BookRun> runs;
};

// A picture as the file held it (PNG, JPEG, GIF...), decoded only when it is shown. A picture that a
// reader meets before its bytes (FB2 keeps them at the end) is named by its key until they come.
struct BookPicture
{
    QString key;
    QByteArray data;
};

// Collects paragraphs while a reader walks a file. Text given with `collapse` has its white space
// treated as markup languages do: every run of blanks, tabs and line ends is one space, and there is
// none at the start or end of a paragraph.
class Book
{
public:
    // Starts a new paragraph; text added before the first call starts one too.
    void startParagraph(int heading = 0);
    // Ends the current paragraph, so that the next text starts a new one; an empty paragraph already
    // started stays (an empty line of the book).
    void endParagraph();
    bool inParagraph() const { return m_open; }

    void addText(QStringView text, unsigned char style, bool collapse = true);
    // A line break inside the paragraph.
    void addLineBreak();
    void addTab();
    // Adds a picture from its file bytes; bytes that are no picture Qt can read are left out.
    void addPicture(const QByteArray &data);
    // Adds a picture whose bytes come later, by providePicture with the same key; a picture never
    // provided is left out.
    void addPictureReference(const QString &key);
    void providePicture(const QString &key, const QByteArray &data);

    const std::vector<BookParagraph> &paragraphs() const { return m_paragraphs; }
    const std::vector<BookPicture> &pictures() const { return m_pictures; }
    // The characters of text held, for the size limit of the readers.
    qsizetype textSize() const { return m_textSize; }
    bool hasText() const;
    // Each paragraph's text followed by a line end, line breaks as LF: what tests and messages compare.
    QString plainText() const;

private:
    BookParagraph &current();
    void append(QStringView text, unsigned char style);

    std::vector<BookParagraph> m_paragraphs;
    std::vector<BookPicture> m_pictures;
    qsizetype m_textSize = 0;
    bool m_open = false;
    bool m_pendingSpace = false;
};

// Replaces the document's content with the book: headings in bold and larger than the document's
// default font, the other styles as given, pictures as images no wider than a page. The undo history
// is cleared and the default font kept.
void fillDocument(const Book &book, QTextDocument &document);

// The point size of a heading of `level` over a body text of `bodyPoints`.
double headingPointSize(int level, double bodyPoints);

} // namespace velmira
