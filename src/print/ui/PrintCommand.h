#pragma once

#include "editor/ProgramIndex.h"
#include "print/Listing.h"
#include "print/PageGeometry.h"
#include "print/PrintSettings.h"

#include <QDateTime>
#include <QFont>
#include <QString>

#include <functional>
#include <optional>

class QPageLayout;
class QPrinter;
class QWidget;

namespace tornyx {

// The page of a layout (a printer's or a PDF's) at dpi, in dots.
PageDevice pageDeviceOf(const QPageLayout& layout, int dpi);

// The print dialog's answer: nullopt when cancelled, else whether the
// operator chose to print the selection.
using PrintDialogAnswer = std::optional<bool>;
// Shows the system's print dialog for pages 1 to pages. The selection is
// offered, and chosen in advance, only when there is one; page ranges are
// never offered.
PrintDialogAnswer showPrintDialog(QPrinter& printer, bool hasSelection, qint64 pages, QWidget* parent);

// What one print needs from the main window.
struct PrintOrder {
    const IndexedText* text = nullptr;
    qsizetype selectionFrom = 0; // editor byte offsets; equal: no selection
    qsizetype selectionTo = 0;
    QString documentPath;
    QFont font; // the editor's font: name and size
    PrintSettings settings;
    QDateTime printedAt;
};

enum class PrintOutcome {
    NothingToPrint, // the editor is empty
    Cancelled,      // the print dialog was closed without printing
    Printed,
    Stopped, // the operator stopped the job while it printed
    Failed,  // the printer refused the job or a page
};

struct PrintResult {
    PrintOutcome outcome = PrintOutcome::NothingToPrint;
    ListingResult listing;
    QString failure; // the message for Failed
};

class PrintCommand {
public:
    // The print dialog; a test answers it without a window.
    std::function<PrintDialogAnswer(QPrinter&, bool hasSelection, qint64 pages)> dialog;
    // Called after every page; false stops the job. Empty: a progress
    // dialog with a stop button appears when a job takes longer than a
    // moment.
    PageDone pageDone;

    explicit PrintCommand(QWidget* parent);
    // Measures, asks, prints. The job is titled with the document's file name.
    // A PDF target is replaced only by a finished listing.
    PrintResult run(QPrinter& printer, const PrintOrder& order);

    // The pages the listing of lines needs on printer (the measure-only
    // print).
    static ListingPlan plan(QPrinter& printer, const QFont& font, const PrintSettings& settings,
                            qint64 lines);

private:
    QWidget* m_parent;
};

// "印刷できませんでした｡" with where it was to go.
QString printFailedText(const QString& where);

} // namespace tornyx
