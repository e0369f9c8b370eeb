#pragma once

#include "print/PageGeometry.h"
#include "print/PrintSettings.h"
#include "print/PrintText.h"

#include <QFont>
#include <QString>

#include <functional>

class QFontMetrics;
class QPagedPaintDevice;
class QPainter;

namespace tornyx {

// Where a listing draws. y is always the top of a line slot.
class ListingCanvas {
public:
    virtual ~ListingCanvas() = default;
    virtual void drawText(int x, int y, const QString& text) = 0;
    // Drawn so that the text ends at right.
    virtual void drawTextEndingAt(int right, int y, const QString& text) = 0;
    // Ends the page and starts the next; false when the device failed.
    virtual bool newPage() = 0;
};

// The page arithmetic of one listing.
struct ListingPlan {
    PageBox box;
    int lineHeight = 0;   // h: the height of "ABC" in the printer font
    int linesPerPage = 0; // L0: lines between top and bottom
    int bodyLines = 1;    // L: L0 less the header lines, at least 1
    qint64 pages = 1;     // P
};
ListingPlan planListing(const PageDevice& device, const QFontMetrics& printerFont,
                        const PrintSettings& settings, qint64 lines);

// What the header lines say.
struct ListingHeader {
    QString fullPath;
    QString fileName;
    QString printedAt; // date and time in the system's format
};

// Called after every finished page; false cancels the rest.
using PageDone = std::function<bool(qint64 page, qint64 pages)>;

struct ListingResult {
    qint64 pages = 0; // pages drawn
    qint64 lines = 0; // text lines drawn
    bool cancelled = false;
    bool failed = false; // the device refused a new page
};

// Draws the pages of lines: headers, "0001: " numbers (0000 follows 9999),
// the text without wrapping, "- n -" page numbers. Tabs are expanded to the
// editor's stops of 8.
ListingResult drawListing(ListingCanvas& canvas, const ListingPlan& plan, const PrintSettings& settings,
                          const ListingHeader& header, const PrintLines& lines,
                          const PageDone& pageDone = {});

// The line number as it is printed: four digits, then ": ".
QString lineNumberText(qint64 k);

// Paints a listing with a painter already begun on a paged device (a
// printer or a PDF writer), in font. Ending or aborting the job is the
// caller's.
ListingResult paintListing(QPainter& painter, QPagedPaintDevice& device, const PageDevice& metrics,
                           const QFont& font, const PrintSettings& settings, const ListingHeader& header,
                           const PrintLines& lines, const PageDone& pageDone = {});

} // namespace tornyx
