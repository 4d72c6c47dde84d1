// Speed of the RTF reader and writer: a Russian text with mixed formatting, and a document with pictures,
// each at a base size and ten times that, so that the growth shows.
#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QRandomGenerator>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>
#include <benchmark/benchmark.h>
#include <malloc.h>

#include "editor/rtf/rtfreader.h"
#include "editor/rtf/rtfwriter.h"

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype Megabyte = 1 << 20;

QFont editorFont()
{
    QFont font(u"Times New Roman"_s);
    font.setPixelSize(15);
    return font;
}

// About `characters` characters of Russian text (one byte each in Windows-1251) in paragraphs of
// 60 to 140 words, a change of formatting every few words.
void fillRussianText(QTextDocument &document, qsizetype characters)
{
    static const QStringList words = {
        u"Вельмира"_s,   u"читает"_s, u"текст"_s, u"вслух"_s,   u"голосом"_s,      u"синтезатора"_s,
        u"и"_s,          u"в"_s,      u"речи"_s,  u"словарь"_s, u"произношения"_s, u"напоминание"_s,
        u"органайзер"_s, u"ещё"_s,    u"съешь"_s, u"этих"_s,    u"мягких"_s,       u"французских"_s,
        u"булок,"_s,     u"да"_s,     u"выпей"_s, u"же"_s,      u"чаю."_s,         u"«Ёлка»"_s,
        u"—"_s,          u"№"_s,      u"1"_s};
    QRandomGenerator random(1251);
    QTextCursor cursor(&document);
    QTextCharFormat format;
    qsizetype written = 0;
    int wordsInParagraph = 0;
    int paragraphLength = 60 + int(random.bounded(80));
    while (written < characters) {
        QString run;
        const int count = 1 + int(random.bounded(6));
        for (int i = 0; i < count; ++i)
            run += words[random.bounded(int(words.size()))] + u' ';
        cursor.insertText(run, format);
        written += run.size();
        wordsInParagraph += count;
        format = QTextCharFormat();
        switch (random.bounded(6)) {
        case 0:
            format.setFontWeight(QFont::Bold);
            break;
        case 1:
            format.setFontItalic(true);
            break;
        case 2:
            format.setForeground(QColor::fromRgb(random.bounded(0x1000000u)));
            break;
        case 3:
            format.setFontPointSize(10 + random.bounded(10));
            break;
        default:
            break;
        }
        if (wordsInParagraph >= paragraphLength) {
            QTextBlockFormat block;
            block.setAlignment(random.bounded(3) == 0 ? Qt::AlignHCenter : Qt::AlignJustify);
            cursor.insertBlock(block);
            ++written;
            wordsInParagraph = 0;
            paragraphLength = 60 + int(random.bounded(80));
        }
    }
}

// Pictures of noise (so that they do not compress), about `bytes` of PNG data in all, with a
// paragraph of text between them.
void fillPictures(QTextDocument &document, qsizetype bytes)
{
    QRandomGenerator random(42);
    QTextCursor cursor(&document);
    qsizetype written = 0;
    for (int n = 0; written < bytes; ++n) {
        QImage image(300, 300, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                line[x] = random.generate();
        }
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        const QString name = u"picture%1.png"_s.arg(n);
        document.addResource(QTextDocument::ImageResource, QUrl(name), png);
        written += png.size();
        cursor.insertText(u"Рисунок %1: шум, который не сжимается.\n"_s.arg(n + 1));
        QTextImageFormat format;
        format.setName(name);
        format.setWidth(200);
        format.setHeight(200);
        cursor.insertImage(format);
        cursor.insertBlock();
    }
}

struct Sample
{
    QByteArray rtf;
    qsizetype characters = 0;
};

// A document of the given kind and size, written once; the benchmarks read it or write it again.
const Sample &sample(bool pictures, int megabytes)
{
    static QHash<int, Sample> samples;
    const int key = megabytes * 2 + (pictures ? 1 : 0);
    auto it = samples.find(key);
    if (it == samples.end()) {
        QTextDocument document;
        document.setDefaultFont(editorFont());
        if (pictures)
            fillPictures(document, megabytes * Megabyte);
        else
            fillRussianText(document, megabytes * Megabyte);
        Sample made;
        made.rtf = velmira::writeRtf(document);
        made.characters = document.characterCount();
        it = samples.insert(key, made);
    }
    return *it;
}

void report(benchmark::State &state, const Sample &sample)
{
    state.SetBytesProcessed(state.iterations() * sample.rtf.size());
    state.counters["rtf_MB"] = double(sample.rtf.size()) / Megabyte;
    state.counters["chars"] = double(sample.characters);
}

void readBenchmark(benchmark::State &state, bool pictures)
{
    const Sample &input = sample(pictures, int(state.range(0)));
    for (auto _ : state) {
        QTextDocument document;
        document.setDefaultFont(editorFont());
        velmira::readRtf(input.rtf, document);
        benchmark::DoNotOptimize(document.characterCount());
    }
    report(state, input);
}

void writeBenchmark(benchmark::State &state, bool pictures)
{
    const Sample &input = sample(pictures, int(state.range(0)));
    QTextDocument document;
    document.setDefaultFont(editorFont());
    velmira::readRtf(input.rtf, document);
    for (auto _ : state)
        benchmark::DoNotOptimize(velmira::writeRtf(document));
    report(state, input);
}

void BM_ParseRussianTextWithoutLayout(benchmark::State &state)
{
    readBenchmark(state, false);
}
void BM_WriteRussianText(benchmark::State &state)
{
    writeBenchmark(state, false);
}
void BM_ParsePicturesWithoutLayout(benchmark::State &state)
{
    readBenchmark(state, true);
}
void BM_WritePictures(benchmark::State &state)
{
    writeBenchmark(state, true);
}

} // namespace

// Sizes in megabytes: of the text in Windows-1251, of the pictures' data.
BENCHMARK(BM_ParseRussianTextWithoutLayout)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteRussianText)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParsePicturesWithoutLayout)->Arg(3)->Arg(30)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WritePictures)->Arg(3)->Arg(30)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    // Large blocks come fresh from the system every time, as they do for a save or a load in the
    // running program. Without this the C library keeps blocks below 32 MB for reuse, so that small
    // documents are measured on warm memory and large ones on cold, and the growth looks worse than
    // it is.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
