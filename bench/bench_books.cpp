// Opening books into the shown editor: a 5 MB FB2 novel, a 2 MB EPUB and a 300-page PDF, and the same
// files converted to text by LibreOffice's headless conversion, when it is installed, for comparison.
// The counters give the memory the opened book holds (resident after opening, less before it, the
// memory of the round before given back) beside the size of its text (two bytes a character).
#include "editor/documentcommands.h"
#include "editor/richedit.h"

#include "../tests/editor/formats/bookfiles.h"
#include "benchsupport.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

using namespace velmira;
using namespace Qt::StringLiterals;

namespace {

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

// A novel of `bytes` bytes: chapters of titled sections, paragraphs with some bold and italic words.
QByteArray fb2Novel(qsizetype bytes)
{
    const QStringList paragraphs = bench::russianText(bytes * 9 / 10).split(u'\n', Qt::SkipEmptyParts);
    QString body;
    for (qsizetype i = 0; i < paragraphs.size(); ++i) {
        if (i % 40 == 0)
            body += (i ? u"</section>"_s : QString()) + u"<section><title><p>Глава %1</p></title>"_s.arg(i / 40 + 1);
        QString text = escaped(paragraphs[i].trimmed());
        const qsizetype space = text.indexOf(u' ');
        if (space > 0)
            text = (i % 3 ? u"<strong>"_s : u"<emphasis>"_s) + text.left(space) +
                   (i % 3 ? u"</strong>"_s : u"</emphasis>"_s) + text.mid(space);
        body += u"<p>"_s + text + u"</p>\n"_s;
    }
    body += u"</section>"_s;
    return (u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<FictionBook xmlns=\"http://www.gribuser.ru/xml/"
            u"fictionbook/2.0\"><body><title><p>Роман</p></title>"_s +
            body + u"</body></FictionBook>"_s)
        .toUtf8();
}

// An EPUB book of about `bytes` bytes of XHTML in twenty chapters.
QByteArray epubBook(qsizetype bytes)
{
    const QStringList paragraphs = bench::russianText(bytes * 9 / 10).split(u'\n', Qt::SkipEmptyParts);
    QList<bookfiles::Entry> files{{u"mimetype"_s, "application/epub+zip"},
                                  {u"META-INF/container.xml"_s,
                                   "<container><rootfiles><rootfile full-path=\"content.opf\"/></rootfiles></container>"}};
    QString manifest, spine;
    const qsizetype perChapter = paragraphs.size() / 20 + 1;
    for (int chapter = 0; chapter < 20; ++chapter) {
        QString page = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?><html xmlns=\"http://www.w3.org/1999/xhtml\">"
                       u"<head><title>Глава</title></head><body><h1>Глава %1</h1>"_s.arg(chapter + 1);
        for (qsizetype i = chapter * perChapter; i < qMin(paragraphs.size(), (chapter + 1) * perChapter); ++i)
            page += u"<p>"_s + escaped(paragraphs[i].trimmed()) + u" <b>конец</b>.</p>\n"_s;
        page += u"</body></html>"_s;
        const QString name = u"c%1.xhtml"_s.arg(chapter);
        files.append({name, page.toUtf8()});
        manifest += u"<item id=\"c%1\" href=\"%2\" media-type=\"application/xhtml+xml\"/>"_s.arg(chapter).arg(name);
        spine += u"<itemref idref=\"c%1\"/>"_s.arg(chapter);
    }
    files.append({u"content.opf"_s, (u"<package><manifest>"_s + manifest + u"</manifest><spine>"_s + spine +
                                     u"</spine></package>"_s)
                                        .toUtf8()});
    return bookfiles::zipOf(files);
}

// A PDF of `pages` pages of text in lines, as a printed book has them.
QByteArray pdfBook(int pages)
{
    const QStringList words = bench::russianText(pages * 3000).split(u' ', Qt::SkipEmptyParts);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(72);
    QPainter painter(&writer);
    QFont font(u"Liberation Serif"_s);
    font.setPointSize(11);
    painter.setFont(font);
    const int width = writer.width() - 80;
    qsizetype word = 0;
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            writer.newPage();
        for (int y = 50; y < writer.height() - 40; y += painter.fontMetrics().lineSpacing()) {
            QString line;
            while (word < words.size() && painter.fontMetrics().horizontalAdvance(line + words[word]) < width)
                line += words[word++].simplified() + u' ';
            painter.drawText(40, y, line.trimmed());
        }
    }
    painter.end();
    return bytes;
}

struct Books
{
    QTemporaryDir folder;
    QString fb2, epub, pdf;

    Books()
    {
        fb2 = folder.filePath(u"роман.fb2"_s);
        epub = folder.filePath(u"книга.epub"_s);
        pdf = folder.filePath(u"статья.pdf"_s);
        const std::pair<QString, QByteArray> files[] = {
            {fb2, fb2Novel(5 * 1024 * 1024)}, {epub, epubBook(2 * 1024 * 1024)}, {pdf, pdfBook(300)}};
        for (const auto &[path, bytes] : files) {
            QFile file(path);
            if (file.open(QIODevice::WriteOnly))
                file.write(bytes);
        }
    }

    QString path(int which) const { return which == 0 ? fb2 : which == 1 ? epub : pdf; }
};

const Books &books()
{
    static const Books made;
    return made;
}

double residentMegabytes()
{
    QFile statm(u"/proc/self/statm"_s);
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024 * 1024) : 0;
}

void BM_OpenBook(benchmark::State &state)
{
    const QString path = books().path(int(state.range(0)));
    RichEdit editor;
    editor.resize(800, 600);
    editor.show();
    if (!QTest::qWaitForWindowExposed(&editor))
        state.SkipWithError("the editor was not shown");
    double memory = 0;
    for (auto _ : state) {
        state.PauseTiming();
        editor.clear();
        QCoreApplication::processEvents();
        // Memory freed by the last round goes back to the system, so that the next is measured afresh.
        malloc_trim(0);
        const double before = residentMegabytes();
        state.ResumeTiming();
        LoadDocument(editor, path);
        editor.repaint();
        memory = residentMegabytes() - before;
    }
    state.counters["file_MB"] = double(QFileInfo(path).size()) / (1024 * 1024);
    state.counters["text_MB"] = double(editor.document()->characterCount()) * 2 / (1024 * 1024);
    state.counters["added_RSS_MB"] = memory;
}
BENCHMARK(BM_OpenBook)->ArgName("fb2_epub_pdf")->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Iterations(3);

// LibreOffice's own conversion of the same book to text, from the start of soffice to its end: what
// opening the book through a word processor would cost.
void BM_LibreOfficeConvertsToText(benchmark::State &state)
{
    const QString soffice = QStandardPaths::findExecutable(u"soffice"_s);
    if (soffice.isEmpty()) {
        state.SkipWithError("LibreOffice is not installed");
        return;
    }
    const QString path = books().path(int(state.range(0)));
    QTemporaryDir out;
    QStringList arguments{u"-env:UserInstallation=file://"_s + out.filePath(u"profile"_s), u"--headless"_s,
                          u"--convert-to"_s, u"txt:Text (encoded):UTF8"_s, u"--outdir"_s, out.path(), path};
    // LibreOffice opens a PDF as a drawing unless told to take it into Writer.
    if (path.endsWith(u".pdf"_s))
        arguments.prepend(u"--infilter=writer_pdf_import"_s);
    // The first start makes LibreOffice's profile, which a user's machine has already.
    QProcess::execute(soffice, arguments);
    bool converted = false;
    const double childrenBefore = bench::cpuSeconds(RUSAGE_CHILDREN);
    for (auto _ : state) {
        QFile::remove(QDir(out.path()).filePath(QFileInfo(path).completeBaseName() + u".txt"_s));
        QProcess::execute(soffice, arguments);
        converted = QFile::exists(QDir(out.path()).filePath(QFileInfo(path).completeBaseName() + u".txt"_s));
    }
    if (!converted)
        state.SkipWithError("LibreOffice did not convert this book");
    // The processor time soffice took, which a busy machine does not inflate as it does the wall clock.
    state.counters["soffice_cpu_ms"] =
        (bench::cpuSeconds(RUSAGE_CHILDREN) - childrenBefore) * 1000 / double(state.iterations());
}
BENCHMARK(BM_LibreOfficeConvertsToText)
    ->ArgName("fb2_epub_pdf")
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    return bench::runWidgetBenchmarks<QApplication>(argc, argv);
}
