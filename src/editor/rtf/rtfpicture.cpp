#include "rtfpicture.h"

namespace velmira::rtf {

namespace {

constexpr unsigned char PngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

quint32 bigEndian32(const unsigned char *p)
{
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
}

quint16 bigEndian16(const unsigned char *p)
{
    return quint16((p[0] << 8) | p[1]);
}

QSize pngSize(QByteArrayView data)
{
    // The signature, then the IHDR chunk: length, "IHDR", width, height.
    if (data.size() < 24)
        return {};
    const auto *p = reinterpret_cast<const unsigned char *>(data.data());
    if (QByteArrayView(data.data() + 12, 4) != "IHDR")
        return {};
    const quint32 width = bigEndian32(p + 16);
    const quint32 height = bigEndian32(p + 20);
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF)
        return {};
    return QSize(int(width), int(height));
}

QSize jpegSize(QByteArrayView data)
{
    // Walk the marker segments up to the start-of-frame segment, which holds height and width.
    const auto *p = reinterpret_cast<const unsigned char *>(data.data());
    const qsizetype size = data.size();
    qsizetype i = 2;
    while (i + 4 <= size) {
        if (p[i] != 0xFF)
            return {};
        const unsigned char marker = p[i + 1];
        if (marker == 0xFF) { // fill byte
            ++i;
            continue;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            i += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) // end of image, start of scan: no frame header seen
            return {};
        const quint16 length = bigEndian16(p + i + 2);
        if (length < 2)
            return {};
        const bool isFrame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
                             marker != 0xCC;
        if (isFrame) {
            if (i + 9 > size)
                return {};
            const int height = bigEndian16(p + i + 5);
            const int width = bigEndian16(p + i + 7);
            if (width == 0 || height == 0)
                return {};
            return QSize(width, height);
        }
        i += 2 + length;
    }
    return {};
}

} // namespace

PictureFormat pictureFormatOf(QByteArrayView data)
{
    if (data.size() >= 8 && QByteArrayView(data.data(), 8) ==
                                QByteArrayView(reinterpret_cast<const char *>(PngSignature), 8))
        return PictureFormat::Png;
    if (data.size() >= 3 && uchar(data[0]) == 0xFF && uchar(data[1]) == 0xD8 && uchar(data[2]) == 0xFF)
        return PictureFormat::Jpeg;
    return PictureFormat::Unknown;
}

QSize pictureSizeOf(QByteArrayView data)
{
    switch (pictureFormatOf(data)) {
    case PictureFormat::Png: return pngSize(data);
    case PictureFormat::Jpeg: return jpegSize(data);
    case PictureFormat::Unknown: break;
    }
    return {};
}

} // namespace velmira::rtf
