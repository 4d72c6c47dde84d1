// Small books and documents of every format the program reads, made for the tests.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace bookfiles {

using Entry = QPair<QString, QByteArray>;

QByteArray zipOf(const QList<Entry> &entries, const char *encryptedPassword = nullptr);
QByteArray pngPicture(int width = 8, int height = 4);
QByteArray windows1251(const QString &text);
QByteArray fb2Book(const QByteArray &encoding);
QString fb2BookText();
QByteArray xhtmlPage(const QString &body);
QByteArray epubBook();
QString epubBookText();
QByteArray docxDocument();
QString docxDocumentText();
QByteArray odtDocument();
QString odtDocumentText();
QByteArray htmlPage1251();
QString htmlPageText();

} // namespace bookfiles
