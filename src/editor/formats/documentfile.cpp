#include "documentfile.h"

#include "common/core/error.h"
#include "common/core/textcodec.h"
#include "common/core/textfile.h"
#include "editor/rtf/rtfwriter.h"

#include <QFileInfo>
#include <QLocale>
#include <QStringDecoder>
#include <QTextDocument>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

// The lines of a plain text (a QByteArray of 8-bit or UTF-8 text, or a QString), each followed by
// CR LF, as plainDocumentText describes them.
template <typename Text> Text linesWithCrLf(const Text &in)
{
    using Char = typename Text::value_type;
    const Char cr(u'\r');
    const Char lf(u'\n');
    qsizetype end = in.indexOf(Char(u'\x1A'));
    if (end < 0)
        end = in.size();

    Text text;
    text.reserve(end + end / 32 + 2);
    const Char *data = in.constData();
    // Whether anything was read since the last line end: a last line without a line end is still a
    // line, even one that held nothing but dropped CRs.
    bool lineOpen = false;
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < end; ++i) {
        const Char c = data[i];
        if (c != cr && c != lf) {
            lineOpen = true;
            continue;
        }
        text.append(data + runStart, i - runStart);
        runStart = i + 1;
        if (c == lf) {
            text.append(cr);
            text.append(lf);
            lineOpen = false;
        } else {
            lineOpen = true;
        }
    }
    text.append(data + runStart, end - runStart);
    if (lineOpen) {
        text.append(cr);
        text.append(lf);
    }
    return text;
}

QString megabytes(qint64 size)
{
    return QLocale(QLocale::Russian).toString(double(size) / (1024 * 1024), 'f', 1);
}

QString bytesText(qint64 size)
{
    return u"%1 байт"_s.arg(QLocale(QLocale::Russian).toString(size));
}

// A size beside its limit, in the unit that shows why it is over: megabytes with one decimal, or
// bytes where the megabytes of the two would read the same ("64,0 МБ" against 64 МБ).
QString sizeText(qint64 size, qint64 limit)
{
    if (megabytes(size) != megabytes(limit))
        return megabytes(size) + u" МБ"_s;
    return bytesText(size);
}

QString limitText(qint64 size, qint64 limit)
{
    const QString whole = u"%1 МБ"_s.arg(limit / (1024 * 1024));
    if (megabytes(size) != megabytes(limit))
        return whole;
    return u"%1 (%2)"_s.arg(whole, bytesText(limit));
}

// Throws Error naming the file when a text of `length` characters in `paragraphs` paragraphs is too long
// for the editor.
void checkSize(qint64 length, qint64 paragraphs, const QString &path)
{
    const QLocale russian(QLocale::Russian);
    if (length > MaxDocumentLength) {
        throw Error(u"Текст слишком длинный для файла «%1» (символов: %2). Программа открывает и сохраняет "
                    "тексты не длиннее %3 символов."_s.arg(QFileInfo(path).fileName(),
                                                           russian.toString(length),
                                                           russian.toString(MaxDocumentLength)));
    }
    if (paragraphs > MaxDocumentParagraphs) {
        // A reader may stop one paragraph past the limit: how many more there are is not known.
        throw Error(u"Текст для файла «%1» состоит из более чем %2 абзацев. Программа открывает и сохраняет "
                    "тексты не больше чем из %2 абзацев."_s.arg(QFileInfo(path).fileName(),
                                                              russian.toString(MaxDocumentParagraphs)));
    }
}

} // namespace

void checkDocumentFileSize(const QString &path, qint64 size)
{
    const qint64 limit = hasRtfExtension(path) ? MaxRtfSize : MaxDocumentSize;
    if (size > limit)
        throw Error(u"Файл «%1» слишком велик: %2. Открываются файлы не больше %3."_s.arg(
            QFileInfo(path).fileName(), sizeText(size, limit), limitText(size, limit)));
}

void checkDocumentLength(const QTextDocument &document, const QString &path)
{
    // The document ends with a paragraph separator of its own, which is no part of the text.
    checkSize(document.characterCount() - 1, document.blockCount(), path);
}

void checkDocumentLength(const QString &text, const QString &path)
{
    // The last line ends the text; what follows it is the empty paragraph the editor keeps last.
    checkSize(text.size(), text.count(u'\n') + 1, path);
}

void saveDocumentRtf(const QTextDocument &document, const QString &path)
{
    checkDocumentLength(document, path);
    const QByteArray rtf = writeRtf(document);
    if (rtf.size() > MaxRtfSize)
        throw Error(
            u"Текст не сохранён в файл «%1»: в формате RTF он занял бы %2, а открываются файлы RTF не "
            "больше %3."_s.arg(QFileInfo(path).fileName(), sizeText(rtf.size(), MaxRtfSize),
                               limitText(rtf.size(), MaxRtfSize)));
    writeFileAtomically(path, rtf);
}

bool hasRtfExtension(const QString &path)
{
    return QFileInfo(path).fileName().endsWith(QLatin1String(".rtf"), Qt::CaseInsensitive);
}

bool hasUtf16Bom(const QByteArray &bytes)
{
    return bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
}

QString plainDocumentText(const QByteArray &bytes)
{
    if (hasUtf16Bom(bytes))
        return linesWithCrLf(QString(QStringDecoder(QStringConverter::Utf16).decode(bytes)));
    return decodeText(linesWithCrLf(bytes));
}

QString rtfSaveName(const QString &name)
{
    if (name.endsWith(QLatin1String(".rtf"), Qt::CaseInsensitive))
        return name;
    return name + QLatin1String(".rtf");
}

} // namespace velmira
