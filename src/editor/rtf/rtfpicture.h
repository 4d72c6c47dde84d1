// The picture formats that RTF documents carry and this program shows: PNG and JPEG.
#pragma once

#include <QByteArrayView>
#include <QSize>

namespace velmira::rtf {

enum class PictureFormat { Unknown, Png, Jpeg };

// The format of picture data, told by its first bytes.
PictureFormat pictureFormatOf(QByteArrayView data);

// The size in pixels that a PNG or JPEG picture declares in its header, without decoding it. An
// invalid size when the data is not such a picture or its header is damaged.
QSize pictureSizeOf(QByteArrayView data);

} // namespace velmira::rtf
