// Fuzzing the RTF reader: any bytes are read as RTF; what was read is written and read again, and must
// come back with the same text.
#include <QGuiApplication>
#include <QTextBlock>
#include <QTextDocument>
#include <cstdint>
#include <cstdlib>

#include "editor/rtf/rtfreader.h"
#include "editor/rtf/rtfwriter.h"

namespace {

QString textOf(const QTextDocument &document)
{
    QString text;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        text += block.text() + u'\n';
    return text;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int applicationArgc = 1;
    static QGuiApplication application(applicationArgc, *argv);
    (void)argc;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QTextDocument document;
    if (!velmira::readRtf(bytes, document))
        return 0;
    const QByteArray written = velmira::writeRtf(document);
    QTextDocument again;
    if (!velmira::readRtf(written, again) || textOf(again) != textOf(document) ||
        velmira::writeRtf(again) != written)
        std::abort();
    return 0;
}
