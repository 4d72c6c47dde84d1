// The books and documents of bookfiles.h.
#include "bookfiles.h"

#include <QBuffer>
#include <QImage>
#include <QStringEncoder>
#include <zip.h>

using namespace Qt::StringLiterals;

namespace bookfiles {


// A zip archive of the entries, in their order; `encryptedPassword` encrypts every entry.
QByteArray zipOf(const QList<Entry> &entries, const char *encryptedPassword)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_t *archive = zip_open_from_source(source, ZIP_TRUNCATE, &error);
    zip_source_keep(source);
    for (const Entry &entry : entries) {
        zip_source_t *data = zip_source_buffer(archive, entry.second.constData(), zip_uint64_t(entry.second.size()), 0);
        const zip_int64_t index = zip_file_add(archive, entry.first.toUtf8().constData(), data, ZIP_FL_ENC_UTF_8);
        if (encryptedPassword)
            zip_file_set_encryption(archive, zip_uint64_t(index), ZIP_EM_AES_256, encryptedPassword);
    }
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

QByteArray pngPicture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray windows1251(const QString &text)
{
    return QStringEncoder("windows-1251")(text);
}

// An FB2 book with everything a novel has; `encoding` is named in its declaration and used.
QByteArray fb2Book(const QByteArray &encoding)
{
    const QString text = uR"(<?xml version="1.0" encoding="%1"?>
<FictionBook xmlns="http://www.gribuser.ru/xml/fictionbook/2.0" xmlns:l="http://www.w3.org/1999/xlink">
 <description><title-info><book-title>Описание не читается</book-title></title-info></description>
 <body>
  <title><p>Повесть о ветре</p></title>
  <epigraph><p>Ветер знает всё.</p><text-author>Старая поговорка</text-author></epigraph>
  <section>
   <title><p>Глава первая</p></title>
   <p>Утром <strong>ветер</strong> стих,
      и <emphasis>тишина</emphasis> пришла<a l:href="#n1" type="note">[1]</a>.</p>
   <empty-line/>
   <image l:href="#pic.png"/>
   <poem><stanza><v>Шумит листва,</v><v>молчит <strong>река</strong>.</v></stanza></poem>
   <section><title><p>Часть вторая</p></title><p>Вечер<a l:href="#n2">{2}</a> пришёл.</p></section>
  </section>
 </body>
 <body name="notes">
  <section id="n1"><title><p>1</p></title><p>Сноска о тишине.</p></section>
 </body>
 <binary id="pic.png" content-type="image/png">%2</binary>
</FictionBook>
)"_s.arg(QString::fromLatin1(encoding), QString::fromLatin1(pngPicture().toBase64()));
    return QStringEncoder(encoding.constData())(text);
}

// The text fb2Book opens to; U+FFFC stands for the picture.
QString fb2BookText()
{
    return u"Повесть о ветре\nВетер знает всё.\nСтарая поговорка\nГлава первая\n"
           "Утром ветер стих, и тишина пришла.\n\n\uFFFC\nШумит листва,\nмолчит река.\n"
           "Часть вторая\nВечер пришёл.\n1\nСноска о тишине.\n"_s;
}

QByteArray xhtmlPage(const QString &body)
{
    return uR"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE html>
<html xmlns="http://www.w3.org/1999/xhtml" xmlns:epub="http://www.idpf.org/2007/ops">
<head><title>Заголовок окна</title><style>p { color: red; }</style>
<script type="text/javascript">if (1 < 2) { document.write("скрипт"); }</script></head>
<body>%1</body></html>)"_s.arg(body)
        .toUtf8();
}

// An EPUB 3 book whose chapters are stored in the archive in another order than its spine gives, with
// a navigation document listed in the spine too.
QByteArray epubBook()
{
    const QByteArray container = R"(<?xml version="1.0"?>
<container version="1.0" xmlns="urn:oasis:names:tc:opendocument:xmlns:container">
 <rootfiles><rootfile full-path="OEBPS/content.opf" media-type="application/oebps-package+xml"/></rootfiles>
</container>)";
    const QByteArray package = R"(<?xml version="1.0" encoding="UTF-8"?>
<package xmlns="http://www.idpf.org/2007/opf" version="3.0" unique-identifier="id">
 <metadata xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:title>Книга</dc:title></metadata>
 <manifest>
  <item id="nav" href="nav.xhtml" media-type="application/xhtml+xml" properties="nav"/>
  <item id="c2" href="text/%D0%B2%D1%82%D0%BE%D1%80%D0%B0%D1%8F.xhtml" media-type="application/xhtml+xml"/>
  <item id="c1" href="text/first.xhtml" media-type="application/xhtml+xml"/>
  <item id="pic" href="images/pic.png" media-type="image/png"/>
  <item id="css" href="style.css" media-type="text/css"/>
 </manifest>
 <spine><itemref idref="nav"/><itemref idref="c1"/><itemref idref="c2"/></spine>
</package>)";
    const QByteArray nav = xhtmlPage(
        uR"(<nav epub:type="toc"><ol><li><a href="text/first.xhtml">Оглавление: первая</a></li></ol></nav>)"_s);
    const QByteArray first =
        xhtmlPage(uR"(<h1>Первая глава</h1><p>Текст с <b>жирным</b> и <em>курсивом</em>.</p>
<ul><li>пункт один</li><li>пункт два</li></ul><p><img src="../images/pic.png" alt="рисунок"/></p>)"_s);
    const QByteArray second = xhtmlPage(uR"(<h2>Вторая глава</h2><p>Конец&#160;книги.</p>)"_s);
    return zipOf({{u"mimetype"_s, "application/epub+zip"},
                  {u"META-INF/container.xml"_s, container},
                  {u"OEBPS/text/вторая.xhtml"_s, second},
                  {u"OEBPS/style.css"_s, "p { margin: 0 }"},
                  {u"OEBPS/nav.xhtml"_s, nav},
                  {u"OEBPS/images/pic.png"_s, pngPicture()},
                  {u"OEBPS/content.opf"_s, package},
                  {u"OEBPS/text/first.xhtml"_s, first}});
}

QString epubBookText()
{
    return u"Первая глава\nТекст с жирным и курсивом.\nпункт один\nпункт два\n\uFFFC\n"
           "Вторая глава\nКонец\u00A0книги.\n"_s;
}

QByteArray docxDocument()
{
    const QByteArray styles = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<w:styles xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main">
 <w:style w:type="paragraph" w:styleId="1"><w:name w:val="heading 1"/><w:rPr><w:b/></w:rPr></w:style>
 <w:style w:type="character" w:styleId="Strong"><w:name w:val="Strong"/><w:rPr><w:b/></w:rPr></w:style>
</w:styles>)";
    const QByteArray document = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"
 xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/2006"><w:body>
 <w:p><w:pPr><w:pStyle w:val="1"/></w:pPr><w:r><w:t>Отчёт</w:t></w:r></w:p>
 <w:p><w:r><w:t xml:space="preserve">Обычный </w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t>жирный</w:t></w:r>
  <w:r><w:t xml:space="preserve"> и </w:t></w:r><w:r><w:rPr><w:i/><w:u w:val="single"/></w:rPr><w:t>курсив</w:t></w:r>
  <w:r><w:rPr><w:b w:val="0"/></w:rPr><w:t xml:space="preserve">, </w:t></w:r><w:r><w:rPr><w:rStyle w:val="Strong"/></w:rPr><w:t>важное</w:t></w:r></w:p>
 <w:p/>
 <w:p><w:pPr><w:numPr><w:ilvl w:val="0"/><w:numId w:val="1"/></w:numPr></w:pPr><w:r><w:t>пункт</w:t></w:r></w:p>
 <w:tbl><w:tr><w:tc><w:p><w:r><w:t>Имя</w:t></w:r></w:p></w:tc><w:tc><w:p><w:r><w:t>Возраст</w:t></w:r></w:p></w:tc></w:tr>
  <w:tr><w:tc><w:p><w:r><w:t>Анна</w:t></w:r></w:p></w:tc><w:tc><w:p><w:r><w:t>30</w:t></w:r></w:p></w:tc></w:tr></w:tbl>
 <w:p><w:r><w:t>До</w:t></w:r><w:r><w:tab/><w:t>после</w:t><w:br/><w:t>строка</w:t></w:r>
  <w:del><w:r><w:delText>удалено</w:delText></w:r></w:del></w:p>
 <w:sectPr/></w:body></w:document>)";
    return zipOf({{u"[Content_Types].xml"_s, "<Types/>"},
                  {u"word/styles.xml"_s, styles},
                  {u"word/document.xml"_s, document}});
}

QString docxDocumentText()
{
    return u"Отчёт\nОбычный жирный и курсив, важное\n\nпункт\nИмя\tВозраст\nАнна\t30\nДо\tпосле\nстрока\n"_s;
}

QByteArray odtDocument()
{
    const QByteArray content = R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0">
 <office:automatic-styles>
  <style:style style:name="T1" style:family="text"><style:text-properties fo:font-weight="bold"/></style:style>
  <style:style style:name="T2" style:family="text"><style:text-properties fo:font-style="italic" style:text-underline-style="solid"/></style:style>
 </office:automatic-styles>
 <office:body><office:text>
  <text:sequence-decls><text:sequence-decl text:name="Table"/></text:sequence-decls>
  <text:h text:outline-level="1">Отчёт</text:h>
  <text:p>Обычный <text:span text:style-name="T1">жирный</text:span> и <text:span text:style-name="T2">курсив</text:span>,<text:s text:c="2"/><text:span text:style-name="Strong_20_Emphasis">важное</text:span><text:note><text:note-citation>1</text:note-citation><text:note-body><text:p>Сноска</text:p></text:note-body></text:note></text:p>
  <text:p/>
  <text:list><text:list-item><text:p>пункт</text:p></text:list-item></text:list>
  <table:table><table:table-row><table:table-cell><text:p>Имя</text:p></table:table-cell><table:table-cell><text:p>Возраст</text:p></table:table-cell></table:table-row>
   <table:table-row><table:table-cell><text:p>Анна</text:p></table:table-cell><table:table-cell><text:p>30</text:p></table:table-cell></table:table-row></table:table>
  <text:p>До<text:tab/>после<text:line-break/>строка</text:p>
 </office:text></office:body></office:document-content>)";
    const QByteArray styles = R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document-styles xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0">
 <office:styles><style:style style:name="Strong_20_Emphasis" style:family="text"><style:text-properties fo:font-weight="bold"/></style:style></office:styles>
</office:document-styles>)";
    return zipOf({{u"mimetype"_s, "application/vnd.oasis.opendocument.text"},
                  {u"content.xml"_s, content},
                  {u"styles.xml"_s, styles},
                  {u"META-INF/manifest.xml"_s, "<manifest:manifest/>"}});
}

QString odtDocumentText()
{
    return u"Отчёт\nОбычный жирный и курсив,  важное\n\nпункт\nИмя\tВозраст\nАнна\t30\nДо\tпосле\nстрока\n"_s;
}

QByteArray htmlPage1251()
{
    return windows1251(uR"(<!DOCTYPE html>
<html><head><meta http-equiv="Content-Type" content="text/html; charset=windows-1251">
<title>Окно</title><style>b { color: red }</style></head>
<body><h1>Новости</h1><p>Сегодня <b>тепло</b>, <i>ясно</i>.</p>
<script>var a = "<p>скрипт</p>"; if (a < b) {}</script><p>Завтра дождь.</p></body></html>)"_s);
}

QString htmlPageText()
{
    return u"Новости\nСегодня тепло, ясно.\nЗавтра дождь.\n"_s;
}

} // namespace bookfiles
