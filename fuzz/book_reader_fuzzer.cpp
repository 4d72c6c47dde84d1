// Fuzzing the FB2 and EPUB readers (built twice, once per reader, by run-book-fuzzer.sh). Any bytes
// are read as a book; a book that is read must fill a text document with one block per paragraph. A
// refused file is fine; a crash, a hang, a leak or an overflow is not.
//
// The EPUB fuzzer makes each input into a book: the bytes up to the first NUL are its package file
// (content.opf), the rest its one chapter (text.xhtml), so that the fuzzer spends its time on what the
// reader reads rather than on zip checksums. An input that starts as a zip archive is read as it is.
#include <QGuiApplication>
#include <QTextDocument>
#include <cstdint>
#include <cstdlib>
#include <zip.h>

#include "common/core/error.h"
#include "editor/formats/book.h"
#include "editor/formats/bookreaders.h"
#include "editor/formats/ziparchive.h"

namespace {

#ifdef FUZZ_EPUB
QByteArray epubOf(const QByteArray &package, const QByteArray &chapter)
{
    const QByteArray container = "<?xml version=\"1.0\"?><container><rootfiles>"
                                 "<rootfile full-path=\"content.opf\"/></rootfiles></container>";
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_t *archive = zip_open_from_source(source, ZIP_TRUNCATE, &error);
    zip_source_keep(source);
    const std::pair<const char *, const QByteArray *> files[] = {
        {"META-INF/container.xml", &container}, {"content.opf", &package}, {"text.xhtml", &chapter}};
    for (const auto &[name, data] : files)
        zip_file_add(archive, name, zip_source_buffer(archive, data->constData(), zip_uint64_t(data->size()), 0), 0);
    zip_close(archive);
    QByteArray bytes;
    zip_source_open(source);
    zip_source_seek(source, 0, SEEK_END);
    bytes.resize(qsizetype(zip_source_tell(source)));
    zip_source_seek(source, 0, SEEK_SET);
    zip_source_read(source, bytes.data(), zip_uint64_t(bytes.size()));
    zip_source_close(source);
    zip_source_free(source);
    zip_error_fini(&error);
    return bytes;
}
#endif

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
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    velmira::Book book;
    try {
#ifdef FUZZ_EPUB
        if (!velmira::ZipArchive::looksLikeZip(bytes)) {
            const qsizetype split = bytes.indexOf('\0');
            bytes = split < 0 ? epubOf(bytes, QByteArray()) : epubOf(bytes.left(split), bytes.mid(split + 1));
        }
        velmira::ZipArchive archive(bytes);
        velmira::readEpub(archive, book);
#else
        velmira::readFb2(bytes, book);
#endif
    } catch (const velmira::Error &) {
        return 0;
    }
    QTextDocument document;
    velmira::fillDocument(book, document);
    if (!book.paragraphs().empty() && std::size_t(document.blockCount()) != book.paragraphs().size())
        std::abort();
    return 0;
}
