#pragma once

#include "print/PrintSettings.h"

#include <QtGlobal>

namespace tornyx {

// A printer's page as its driver reports it, in device units (dots). The
// printable area lies offX, offY dots inside the paper's top-left corner and
// is horzRes x vertRes dots; drawing coordinates start at its corner.
struct PageDevice {
    int dpiX = 0;
    int dpiY = 0;
    int offX = 0;
    int offY = 0;
    int physicalWidth = 0;
    int physicalHeight = 0;
    int horzRes = 0;
    int vertRes = 0;
};

// The body's box in drawing coordinates: the margins measured from the
// paper's edges, clipped to what the printer can reach.
struct PageBox {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

PageBox pageBox(const PageDevice& device, const PrintSettings& settings);

// How many text lines of height lineHeight fit between top and bottom (L0);
// 0 when none fit.
int linesPerPage(const PageBox& box, int lineHeight);

// The header lines a page loses: 2 for each header kind, 1 for the page number.
int headerLines(const PrintSettings& settings);

// The body lines of a page (L). Never below 1: a page too small for its
// headers still carries one line rather than none, so every line is printed
// and the page count stays finite.
int bodyLinesPerPage(int linesPerPage, const PrintSettings& settings);

// Pages for a number of text lines, at least 1.
qint64 pageCount(qint64 lines, int bodyLines);

} // namespace tornyx
