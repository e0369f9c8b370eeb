#include "print/ui/PrintCommand.h"

#include "editor/DocumentFile.h"
#include "print/PrintText.h"
#include "status/TransferLog.h"

#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>

#include <cmath>
#include <limits>
#include <memory>

namespace tornyx {

PageDevice pageDeviceOf(const QPrinter& printer) {
    const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
    const QRectF page = printer.pageRect(QPrinter::DevicePixel);
    PageDevice d;
    d.dpiX = printer.logicalDpiX();
    d.dpiY = printer.logicalDpiY();
    d.offX = qRound(page.left() - paper.left());
    d.offY = qRound(page.top() - paper.top());
    d.physicalWidth = qRound(paper.width());
    d.physicalHeight = qRound(paper.height());
    d.horzRes = qRound(page.width());
    d.vertRes = qRound(page.height());
    return d;
}

PrintDialogAnswer showPrintDialog(QPrinter& printer, bool hasSelection, qint64 pages, QWidget* parent) {
    QPrintDialog d(&printer, parent);
    d.setOption(QAbstractPrintDialog::PrintSelection, hasSelection);
    d.setOption(QAbstractPrintDialog::PrintPageRange, false);
    d.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    d.setMinMax(1, static_cast<int>(std::min<qint64>(pages, std::numeric_limits<int>::max())));
    d.setPrintRange(hasSelection ? QAbstractPrintDialog::Selection : QAbstractPrintDialog::AllPages);
    if (d.exec() != QDialog::Accepted)
        return std::nullopt;
    return hasSelection && d.printRange() == QAbstractPrintDialog::Selection;
}

QString printFailedText(const QString& where) {
    return QStringLiteral(u"印刷できませんでした｡\n") + where;
}

PrintCommand::PrintCommand(QWidget* parent) : m_parent(parent) {
    dialog = [this](QPrinter& p, bool hasSelection, qint64 pages) {
        return showPrintDialog(p, hasSelection, pages, m_parent);
    };
}

ListingPlan PrintCommand::plan(QPrinter& printer, const QFont& font, const PrintSettings& settings,
                               qint64 lines) {
    return planListing(pageDeviceOf(printer), QFontMetrics(font, &printer), settings, lines);
}

PrintResult PrintCommand::run(QPrinter& printer, const PrintOrder& order) {
    PrintResult r;
    const DocumentLines all(*order.text);
    if (order.text->length() == 0)
        return r;
    const bool hasSelection = order.selectionFrom != order.selectionTo;
    const qint64 pages = plan(printer, order.font, order.settings, all.count()).pages;
    const PrintDialogAnswer answer = dialog(printer, hasSelection, pages);
    if (!answer) {
        r.outcome = PrintOutcome::Cancelled;
        return r;
    }
    // Taken from the editor's buffer: the clipboard keeps what the operator
    // copied last.
    const SelectionLines selected(*order.text, order.selectionFrom, order.selectionTo);
    const PrintLines& lines = *answer ? static_cast<const PrintLines&>(selected) : all;

    printer.setDocName(fileNameOf(order.documentPath));
    const QString where =
        printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName() : printer.printerName();
    QPainter painter;
    if (!painter.begin(&printer)) {
        r.outcome = PrintOutcome::Failed;
        r.failure = printFailedText(where);
        return r;
    }

    std::unique_ptr<QProgressDialog> progress;
    PageDone pageDone = this->pageDone;
    if (!this->pageDone) {
        pageDone = [&](qint64 page, qint64 total) {
            if (!progress) {
                progress = std::make_unique<QProgressDialog>(QStringLiteral(u"印刷中です｡"),
                                                             QStringLiteral(u"中止"), 0, 1000, m_parent);
                progress->setWindowModality(Qt::WindowModal);
                progress->setMinimumDuration(1000);
            }
            progress->setValue(static_cast<int>(page * 1000 / total));
            return !progress->wasCanceled();
        };
    }
    ListingHeader header;
    header.fullPath = order.documentPath;
    header.fileName = fileNameOf(order.documentPath);
    header.printedAt = TransferLog::formatStamp(QLocale::system(), order.printedAt);
    // Measured again: the print dialog may have changed the printer or the paper.
    r.listing = paintListing(painter, printer, pageDeviceOf(printer), order.font, order.settings, header,
                             lines, pageDone);
    if (r.listing.cancelled || r.listing.failed) {
        printer.abort();
        painter.end();
        r.outcome = r.listing.cancelled ? PrintOutcome::Stopped : PrintOutcome::Failed;
    } else {
        r.outcome = painter.end() ? PrintOutcome::Printed : PrintOutcome::Failed;
    }
    if (r.outcome == PrintOutcome::Failed)
        r.failure = printFailedText(where);
    return r;
}

} // namespace tornyx
