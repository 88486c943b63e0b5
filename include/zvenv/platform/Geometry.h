#pragma once

#include <zvenv/platform/Types.h>

/// \file
/// Integer point, size and rectangle, laid out as the platform's structures.

/// A point: POINT with constructors and comparison.
class CPoint : public POINT {
public:
    /// The point (0, 0).
    CPoint() : POINT{0, 0} {}
    /// The point (x0, y0).
    CPoint(int x0, int y0) : POINT{x0, y0} {}
    /// A copy of a platform point.
    CPoint(const POINT& p) : POINT(p) {}
    /// Both coordinates equal.
    bool operator==(const CPoint& o) const { return x == o.x && y == o.y; }
    /// A coordinate differs.
    bool operator!=(const CPoint& o) const { return !(*this == o); }
};

/// A size: SIZE with constructors and comparison.
class CSize : public SIZE {
public:
    /// The size 0 by 0.
    CSize() : SIZE{0, 0} {}
    /// The size cx0 by cy0.
    CSize(int cx0, int cy0) : SIZE{cx0, cy0} {}
    /// A copy of a platform size.
    CSize(const SIZE& s) : SIZE(s) {}
    /// Width and height equal.
    bool operator==(const CSize& o) const { return cx == o.cx && cy == o.cy; }
    /// Width or height differs.
    bool operator!=(const CSize& o) const { return !(*this == o); }
};

/// A rectangle: RECT with constructors, its width and height, and comparison.
class CRect : public RECT {
public:
    /// The empty rectangle at (0, 0).
    CRect() : RECT{0, 0, 0, 0} {}
    /// The rectangle with the edges left l, top t, right r and bottom b.
    CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
    /// A copy of a platform rectangle.
    CRect(const RECT& r) : RECT(r) {}
    /// right - left; negative for a rectangle given the wrong way round.
    int Width() const { return right - left; }
    /// bottom - top; negative for a rectangle given the wrong way round.
    int Height() const { return bottom - top; }
    /// True when the rectangle covers no area: a width or height of 0 or less.
    bool IsRectEmpty() const { return Width() <= 0 || Height() <= 0; }
    /// All four edges equal.
    bool operator==(const CRect& o) const
    {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    /// An edge differs.
    bool operator!=(const CRect& o) const { return !(*this == o); }
};
