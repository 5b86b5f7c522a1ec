#pragma once

#include <QPainterPath>
#include <QRectF>

namespace framora {

// Qt's rasteriser pays for every row and column a filled shape spans, drawn or not: a sheet's
// outline stroked on a band of 260 rows costs as much as on the whole page, a hundred times a
// short line's cost. These cut a path down to a rectangle around the band. Within the rectangle
// the cut path paints what the whole path paints, so the rectangle must hold the band and
// whatever reaches into it (a stroke's half width, its joins and caps, a smoothed edge).
// Paths with curves are given back whole.

// Each ring clipped to rect as an area: for a point inside rect it winds as before, so both fill
// rules fill the same there.
QPainterPath CutAreasToRect(const QPainterPath& path, const QRectF& rect);

// Each line cut where it leaves rect, into open pieces that end outside it; a closed ring that
// leaves rect is opened at a vertex outside it, so that its joins inside stay joins. For solid
// strokes only: a dash pattern starts afresh on every piece.
QPainterPath CutLinesToRect(const QPainterPath& path, const QRectF& rect);

}  // namespace framora
