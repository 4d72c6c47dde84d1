#include "textcodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace velmira {

namespace {

constexpr char Utf8Bom[] = "\xEF\xBB\xBF";

bool isValidUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString decoded = decoder.decode(bytes);
    Q_UNUSED(decoded);
    return !decoder.hasError();
}

bool hasNonAscii(const QByteArray &bytes)
{
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    }
    return false;
}

} // namespace

QString decodeText(const QByteArray &bytes)
{
    if (bytes.startsWith(Utf8Bom))
        return QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3);
    if (isUtf8Text(bytes))
        return QString::fromUtf8(bytes);
    return fromWindows1251(bytes);
}

bool isUtf8Text(const QByteArray &bytes)
{
    return bytes.startsWith(Utf8Bom) || (hasNonAscii(bytes) && isValidUtf8(bytes));
}

QByteArray encodeText(const QString &text)
{
    if (fitsWindows1251(text))
        return toWindows1251(text);
    return QByteArray(Utf8Bom) + text.toUtf8();
}

bool fitsWindows1251(const QString &text)
{
    QStringEncoder encoder("windows-1251");
    const QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return false;
    // A code page without a place for a character may still produce a substitute without an error;
    // decoding back tells for sure.
    return fromWindows1251(bytes) == text;
}

QByteArray toWindows1251(const QString &text)
{
    QStringEncoder encoder("windows-1251");
    QByteArray bytes = encoder.encode(text);
    if (!encoder.hasError())
        return bytes;
    // Some character has no place: encode one character at a time and put '?' for those.
    bytes.clear();
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype width = (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        QStringEncoder one("windows-1251");
        const QByteArray piece = one.encode(QStringView(text).mid(i, width));
        bytes += one.hasError() ? QByteArray("?") : piece;
        i += width - 1;
    }
    return bytes;
}

QString fromWindows1251(const QByteArray &bytes)
{
    QStringDecoder decoder("windows-1251");
    return decoder.decode(bytes);
}

} // namespace velmira
