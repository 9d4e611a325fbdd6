#include "UiRenderGeometry.h"

#include <algorithm>

namespace UiLib {

namespace {

RECT MakeRect(LONG left, LONG top, LONG right, LONG bottom)
{
    RECT rc = {left, top, right, bottom};
    return rc;
}

bool Meets(const RECT& a, const RECT& b)
{
    RECT common;
    return IntersectRect(&common, &a, &b) != FALSE;
}

void AddIfVisible(std::vector<UiBlitPiece>& pieces, const RECT& dest, const RECT& source, const RECT& paint)
{
    if (Meets(dest, paint))
        pieces.push_back(UiBlitPiece{dest, source});
}

RECT Inner(const RECT& rc, const RECT& corner)
{
    return MakeRect(rc.left + corner.left, rc.top + corner.top, rc.right - corner.right, rc.bottom - corner.bottom);
}

// The first tile index whose span [start + i * size, start + (i + 1) * size)
// can meet a paint edge at paintStart.
LONG FirstTile(LONG start, LONG size, LONG paintStart)
{
    return paintStart > start ? (paintStart - start) / size : 0;
}

// Tiles along one axis: spans of size from start to end, the last one cut.
// Only spans that reach into [paintStart, paintEnd) are listed.
struct Span {
    LONG begin;
    LONG end;
};

std::vector<Span> TileSpans(LONG start, LONG end, LONG size, LONG paintStart, LONG paintEnd)
{
    std::vector<Span> spans;
    if (size <= 0 || end <= start)
        return spans;
    for (LONG i = FirstTile(start, size, paintStart);; ++i) {
        const LONG begin = start + i * size;
        if (begin >= end || begin >= paintEnd)
            break;
        spans.push_back(Span{begin, std::min(begin + size, end)});
    }
    return spans;
}

}  // namespace

std::vector<UiBlitPiece> BorderPieces(const RECT& dest, const RECT& source, const RECT& corner, const RECT& paint)
{
    std::vector<UiBlitPiece> pieces;
    const RECT& d = dest;
    const RECT& s = source;
    const RECT& c = corner;
    if (c.left > 0 && c.top > 0)
        AddIfVisible(pieces, MakeRect(d.left, d.top, d.left + c.left, d.top + c.top),
                     MakeRect(s.left, s.top, s.left + c.left, s.top + c.top), paint);
    if (c.top > 0)
        AddIfVisible(pieces, MakeRect(d.left + c.left, d.top, d.right - c.right, d.top + c.top),
                     MakeRect(s.left + c.left, s.top, s.right - c.right, s.top + c.top), paint);
    if (c.right > 0 && c.top > 0)
        AddIfVisible(pieces, MakeRect(d.right - c.right, d.top, d.right, d.top + c.top),
                     MakeRect(s.right - c.right, s.top, s.right, s.top + c.top), paint);
    if (c.left > 0)
        AddIfVisible(pieces, MakeRect(d.left, d.top + c.top, d.left + c.left, d.bottom - c.bottom),
                     MakeRect(s.left, s.top + c.top, s.left + c.left, s.bottom - c.bottom), paint);
    if (c.right > 0)
        AddIfVisible(pieces, MakeRect(d.right - c.right, d.top + c.top, d.right, d.bottom - c.bottom),
                     MakeRect(s.right - c.right, s.top + c.top, s.right, s.bottom - c.bottom), paint);
    if (c.left > 0 && c.bottom > 0)
        AddIfVisible(pieces, MakeRect(d.left, d.bottom - c.bottom, d.left + c.left, d.bottom),
                     MakeRect(s.left, s.bottom - c.bottom, s.left + c.left, s.bottom), paint);
    if (c.bottom > 0)
        AddIfVisible(pieces, MakeRect(d.left + c.left, d.bottom - c.bottom, d.right - c.right, d.bottom),
                     MakeRect(s.left + c.left, s.bottom - c.bottom, s.right - c.right, s.bottom), paint);
    if (c.right > 0 && c.bottom > 0)
        AddIfVisible(pieces, MakeRect(d.right - c.right, d.bottom - c.bottom, d.right, d.bottom),
                     MakeRect(s.right - c.right, s.bottom - c.bottom, s.right, s.bottom), paint);
    return pieces;
}

std::vector<UiBlitPiece> CentrePieces(const RECT& dest, const RECT& source, const RECT& corner, const RECT& paint,
                                      bool xtiled, bool ytiled)
{
    std::vector<UiBlitPiece> pieces;
    const RECT d = Inner(dest, corner);
    const RECT s = Inner(source, corner);
    const LONG tileWidth = s.right - s.left;
    const LONG tileHeight = s.bottom - s.top;
    if (d.right <= d.left || d.bottom <= d.top || tileWidth <= 0 || tileHeight <= 0 || !Meets(d, paint))
        return pieces;
    std::vector<Span> columns;
    std::vector<Span> rows;
    if (xtiled)
        columns = TileSpans(d.left, d.right, tileWidth, paint.left, paint.right);
    else
        columns.push_back(Span{d.left, d.right});
    if (ytiled)
        rows = TileSpans(d.top, d.bottom, tileHeight, paint.top, paint.bottom);
    else
        rows.push_back(Span{d.top, d.bottom});
    for (const Span& row : rows) {
        for (const Span& column : columns) {
            // A tiled axis copies as much source as the tile shows; an
            // untiled one stretches the whole inner source.
            const LONG sourceRight = xtiled ? s.left + (column.end - column.begin) : s.right;
            const LONG sourceBottom = ytiled ? s.top + (row.end - row.begin) : s.bottom;
            AddIfVisible(pieces, MakeRect(column.begin, row.begin, column.end, row.end),
                         MakeRect(s.left, s.top, sourceRight, sourceBottom), paint);
        }
    }
    return pieces;
}

std::vector<UiGradientBand> GradientBands(const RECT& rc, DWORD color1, DWORD color2, bool vertical, int steps)
{
    int shift = 6;
    if (steps < 4)
        shift = 1;
    else if (steps < 8)
        shift = 2;
    else if (steps < 16)
        shift = 3;
    else if (steps < 32)
        shift = 4;
    else if (steps < 64)
        shift = 5;
    const int bands = 1 << shift;
    const LONG extent = vertical ? rc.bottom - rc.top : rc.right - rc.left;
    std::vector<UiGradientBand> result;
    for (int j = 0; j < bands; ++j) {
        const LONG nearEdge = static_cast<LONG>((static_cast<long long>(j) * extent) >> shift);
        const LONG farEdge = static_cast<LONG>((static_cast<long long>(j + 1) * extent) >> shift);
        if (farEdge <= nearEdge)
            continue;
        BYTE channel[3];
        for (int c = 0; c < 3; ++c) {
            const int bits = 16 - 8 * c;  // red, green, blue of ARGB
            const int value1 = (color1 >> bits) & 0xFF;
            const int value2 = (color2 >> bits) & 0xFF;
            channel[c] = static_cast<BYTE>((value2 * (bands - j) + value1 * j) >> shift);
        }
        RECT band = rc;
        if (vertical) {
            band.top = rc.bottom - farEdge;
            band.bottom = rc.bottom - nearEdge;
        } else {
            band.left = rc.right - farEdge;
            band.right = rc.right - nearEdge;
        }
        result.push_back(UiGradientBand{band, RGB(channel[0], channel[1], channel[2])});
    }
    return result;
}

}  // namespace UiLib
