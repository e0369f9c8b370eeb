#include "print/Listing.h"

#include <QFontMetrics>
#include <QPagedPaintDevice>
#include <QPainter>

namespace tornyx {

namespace {

constexpr int TabStop = 8;

QString expandTabs(const QString& line) {
    if (!line.contains(u'\t'))
        return line;
    QString out;
    out.reserve(line.size() + TabStop);
    for (QChar c : line) {
        if (c == u'\t')
            out.append(QString(TabStop - out.size() % TabStop, u' '));
        else
            out.append(c);
    }
    return out;
}

class PainterCanvas : public ListingCanvas {
public:
    // The metrics are the painter's: on a printer they are in its dots.
    PainterCanvas(QPainter& painter, QPagedPaintDevice& device)
        : m_painter(painter), m_device(device), m_metrics(painter.fontMetrics()) {}
    void drawText(int x, int y, const QString& text) override {
        m_painter.drawText(QPoint(x, y + m_metrics.ascent()), text);
    }
    void drawTextEndingAt(int right, int y, const QString& text) override {
        drawText(right - m_metrics.horizontalAdvance(text), y, text);
    }
    bool newPage() override { return m_device.newPage(); }

private:
    QPainter& m_painter;
    QPagedPaintDevice& m_device;
    QFontMetrics m_metrics;
};

} // namespace

QString lineNumberText(qint64 k) {
    return QStringLiteral("%1: ").arg(k % 10000, 4, 10, QChar(u'0'));
}

ListingPlan planListing(const PageDevice& device, const QFontMetrics& printerFont,
                        const PrintSettings& settings, qint64 lines) {
    ListingPlan p;
    p.box = pageBox(device, settings);
    p.lineHeight = std::max(1, printerFont.height()); // the cell height of "ABC"
    p.linesPerPage = linesPerPage(p.box, p.lineHeight);
    p.bodyLines = bodyLinesPerPage(p.linesPerPage, settings);
    p.pages = pageCount(lines, p.bodyLines);
    return p;
}

ListingResult drawListing(ListingCanvas& canvas, const ListingPlan& plan, const PrintSettings& settings,
                          const ListingHeader& header, const PrintLines& lines, const PageDone& pageDone) {
    ListingResult r;
    const qint64 total = lines.count();
    const qint64 pages = pageCount(total, plan.bodyLines);
    const int h = plan.lineHeight;
    qint64 j = 0;
    for (qint64 page = 1; page <= pages; ++page) {
        const int y0 = plan.box.top;
        int x = 0;
        auto headerPair = [&](const QString& name) {
            canvas.drawText(plan.box.left, y0 + h * x++, name);
            canvas.drawTextEndingAt(plan.box.right, y0 + h * x++, header.printedAt);
        };
        if (settings.fullPath)
            headerPair(header.fullPath);
        if (settings.fileName)
            headerPair(header.fileName);
        for (int slot = 0; slot < plan.bodyLines; ++slot, ++x) {
            if (j >= total)
                continue;
            // The number runs with the line: 0001 for the first, 0000 after 9999.
            QString text = expandTabs(lines.line(j));
            if (settings.lineNo)
                text.prepend(lineNumberText(j + 1));
            canvas.drawText(plan.box.left, y0 + h * x, text);
            ++j;
        }
        if (settings.page)
            canvas.drawText((plan.box.left + plan.box.right) / 2, y0 + h * x,
                            QStringLiteral("- %1 -").arg(page));
        r.pages = page;
        r.lines = j;
        if (pageDone && !pageDone(page, pages)) {
            r.cancelled = page < pages;
            break;
        }
        if (page < pages && j < total && !canvas.newPage()) {
            r.failed = true;
            break;
        }
    }
    return r;
}

ListingResult paintListing(QPainter& painter, QPagedPaintDevice& device, const PageDevice& metrics,
                           const QFont& font, const PrintSettings& settings, const ListingHeader& header,
                           const PrintLines& lines, const PageDone& pageDone) {
    painter.setFont(font);
    const ListingPlan plan = planListing(metrics, painter.fontMetrics(), settings, lines.count());
    PainterCanvas canvas(painter, device);
    return drawListing(canvas, plan, settings, header, lines, pageDone);
}

} // namespace tornyx
