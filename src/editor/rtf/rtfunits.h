// Sizes and lengths as RTF files give them and as the editor's document holds them.
#pragma once

#include <QFont>
#include <QtGlobal>
#include <cmath>

namespace velmira::rtf {

// The editor works in pixels of a 96 dpi screen, RTF in points and twips: 1 pt = 4/3 px, 1 px = 15 twips.
constexpr double PixelsPerPoint = 96.0 / 72.0;
constexpr double TwipsPerPixel = 15.0;

// A size in points as \fs gives it, in half points: rounded to the nearest half point, never below one.
inline int halfPointsFromPoints(double points)
{
    return qBound(1, int(std::lround(qMin(points, 1.0e6) * 2)), 1 << 20);
}

// A size in pixels, in half points, converted at 96 dpi: 15 px is 11.25 pt, written as 23 half points.
inline int halfPointsFromPixels(double pixels)
{
    return halfPointsFromPoints(pixels / PixelsPerPoint);
}

// The size of a font in half points, whether the font gives it in points or in pixels.
inline int halfPointsOf(const QFont &font)
{
    if (font.pointSizeF() > 0)
        return halfPointsFromPoints(font.pointSizeF());
    if (font.pixelSize() > 0)
        return halfPointsFromPixels(font.pixelSize());
    return 24;
}

inline int twipsFromPixels(double pixels)
{
    return int(std::lround(qBound(-1.0e6, pixels, 1.0e6) * TwipsPerPixel));
}

inline double pixelsFromTwips(int twips)
{
    return twips / TwipsPerPixel;
}

} // namespace velmira::rtf
