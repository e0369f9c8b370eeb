#include "print/ui/PrintCommand.h"

#include "editor/DocumentFile.h"
#include "platform/AtomicFile.h"
#include "print/PrintText.h"
#include "status/TransferLog.h"

#include <QIODevice>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>

#include <cmath>
#include <limits>
#include <memory>

namespace tornyx {

namespace {

// A PDF chosen in the print dialog reaches its file through AtomicFile: a
// stopped or failed job leaves an earlier file of that name as it was. The
// PDF writer writes in small pieces; they are gathered into large writes.
class AtomicFileDevice : public QIODevice {
public:
    explicit AtomicFileDevice(platform::AtomicFile& file) : m_file(file) {}
    bool isSequential() const override { return true; }
    // Passes the gathered bytes on; false once a write failed.
    bool drain() {
        m_ok = m_ok && m_file.write(m_pending);
        m_pending.clear();
        return m_ok;
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 n) override {
        m_pending.append(data, n);
        if (m_pending.size() >= Gather && !drain())
            return -1;
        return n;
    }

private:
    static constexpr qsizetype Gather = 1 << 20;
    platform::AtomicFile& m_file;
    QByteArray m_pending;
    bool m_ok = true;
};

} // namespace

PageDevice pageDeviceOf(const QPageLayout& layout, int dpi) {
    const QRect paper = layout.fullRectPixels(dpi);
    const QRect page = layout.paintRectPixels(dpi);
    PageDevice d;
    d.dpiX = d.dpiY = dpi;
    d.offX = page.left() - paper.left();
    d.offY = page.top() - paper.top();
    d.physicalWidth = paper.width();
    d.physicalHeight = paper.height();
    d.horzRes = page.width();
    d.vertRes = page.height();
    return d;
}

PrintDialogAnswer showPrintDialog(QPrinter& printer, bool hasSelection, qint64 pages, QWidget* parent) {
    QPrintDialog d(&printer, parent);
    d.setOption(QAbstractPrintDialog::PrintSelection, hasSelection);
    d.setOption(QAbstractPrintDialog::PrintPageRange, false);
    d.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    d.setMinMax(1, static_cast<int>(std::min<qint64>(pages, std::numeric_limits<int>::max())));
    // After setMinMax, which offers page ranges again.
    d.setOption(QAbstractPrintDialog::PrintPageRange, false);
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
    return planListing(pageDeviceOf(printer.pageLayout(), printer.resolution()), QFontMetrics(font, &printer),
                       settings, lines);
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

    const QString title = fileNameOf(order.documentPath);
    printer.setDocName(title);

    std::unique_ptr<QProgressDialog> progress;
    PageDone pageDone = this->pageDone;
    if (!pageDone) {
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
    header.fileName = title;
    header.printedAt = TransferLog::formatStamp(QLocale::system(), order.printedAt);
    // Measured again below: the print dialog may have changed the printer or
    // the paper.
    auto paint = [&](QPagedPaintDevice& device, const PageDevice& metrics) {
        QPainter painter;
        if (!painter.begin(&device))
            return false;
        r.listing =
            paintListing(painter, device, metrics, order.font, order.settings, header, lines, pageDone);
        if (r.listing.cancelled || r.listing.failed)
            printer.abort(); // a printer's spooled job is withdrawn
        return painter.end() && !r.listing.failed;
    };

    bool ok = false;
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        platform::AtomicFile file(printer.outputFileName());
        if (file.open()) {
            AtomicFileDevice device(file);
            device.open(QIODevice::WriteOnly);
            QPdfWriter writer(&device);
            writer.setResolution(printer.resolution());
            writer.setPageLayout(printer.pageLayout());
            writer.setTitle(title);
            writer.setCreator(QStringLiteral("Tornyx"));
            ok = paint(writer, pageDeviceOf(writer.pageLayout(), writer.resolution())) && device.drain();
            if (ok && !r.listing.cancelled)
                ok = file.commit();
            else
                file.discard();
        }
        if (!ok)
            r.failure =
                printFailedText(file.errorString().isEmpty() ? printer.outputFileName() : file.errorString());
    } else {
        ok = paint(printer, pageDeviceOf(printer.pageLayout(), printer.resolution()));
        if (!ok)
            r.failure = printFailedText(printer.printerName());
    }
    if (r.listing.cancelled)
        r.outcome = PrintOutcome::Stopped;
    else
        r.outcome = ok ? PrintOutcome::Printed : PrintOutcome::Failed;
    if (r.outcome != PrintOutcome::Failed)
        r.failure.clear();
    return r;
}

} // namespace tornyx
