#include "print/PageGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tornyx {

namespace {

// The inch as the original page arithmetic takes it.
constexpr double MillimetresPerInch = 25.39999;

// Truncation towards zero, kept inside int: a margin of millions of
// millimetres in a hand-edited option file must not overflow.
int truncated(double v) {
    constexpr double lo = std::numeric_limits<int>::min();
    constexpr double hi = std::numeric_limits<int>::max();
    return static_cast<int>(std::trunc(std::clamp(v, lo, hi)));
}

double dots(int millimetres, int dpi) {
    return millimetres / MillimetresPerInch * dpi;
}

} // namespace

PageBox pageBox(const PageDevice& d, const PrintSettings& s) {
    const int rightOff = d.physicalWidth - d.horzRes - d.offX;
    const int bottomOff = d.physicalHeight - d.vertRes - d.offY;
    PageBox b;
    b.left = std::max(0, truncated(dots(s.leftMargin, d.dpiX) - d.offX + 0.5));
    b.top = std::max(0, truncated(dots(s.topMargin, d.dpiY) - d.offY + 0.5));
    b.right = truncated(d.horzRes - (dots(s.rightMargin, d.dpiX) - rightOff) + 0.5);
    if (b.right < 0)
        b.right = d.horzRes;
    b.bottom = truncated(d.vertRes - (dots(s.bottomMargin, d.dpiY) - bottomOff) + 0.5);
    if (b.bottom < 0)
        b.bottom = d.vertRes;
    return b;
}

int linesPerPage(const PageBox& box, int lineHeight) {
    if (lineHeight <= 0 || box.bottom <= box.top)
        return 0;
    return (box.bottom - box.top) / lineHeight;
}

int headerLines(const PrintSettings& s) {
    return (s.fullPath ? 2 : 0) + (s.fileName ? 2 : 0) + (s.page ? 1 : 0);
}

int bodyLinesPerPage(int linesPerPage, const PrintSettings& s) {
    return std::max(1, linesPerPage - headerLines(s));
}

qint64 pageCount(qint64 lines, int bodyLines) {
    const qint64 l = std::max(1, bodyLines);
    return std::max<qint64>(1, (lines + l - 1) / l);
}

} // namespace tornyx
