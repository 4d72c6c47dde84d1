// How the program's 8-bit text files are decoded and encoded.
#pragma once

#include <QByteArray>
#include <QString>

namespace velmira {

// Reads the bytes of one of the program's text files. A file that starts with a UTF-8 byte-order mark,
// or that is valid UTF-8 and holds non-ASCII bytes, is UTF-8 (the BOM is dropped); anything else is
// Windows-1251.
QString decodeText(const QByteArray &bytes);

// Whether decodeText reads the bytes as UTF-8: they start with its byte-order mark, or they are valid
// UTF-8 and hold non-ASCII bytes.
bool isUtf8Text(const QByteArray &bytes);

// Encodes text for one of the program's text files: Windows-1251 when every character fits, otherwise
// UTF-8 with a byte-order mark, so that nothing typed is lost.
QByteArray encodeText(const QString &text);

// True when every character of the text has a place in Windows-1251.
bool fitsWindows1251(const QString &text);

// Plain Windows-1251 conversions. Characters without a place in the code page become '?'.
QByteArray toWindows1251(const QString &text);
QString fromWindows1251(const QByteArray &bytes);

} // namespace velmira
