// Prints the 100 MB program from the editor to a PDF file the way the print
// command does: time to the first finished page, the whole job, and the
// job's memory against the editor's own.
//
//   bench_print [runs]      (default 1; the job has about 50,000 pages)

#include "BenchSupport.h"
#include "GeneratedProgram.h"
#include "editor/ui/NcEditor.h"
#include "print/ui/PrintCommand.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

using namespace tornyx;
using namespace tornyx::bench;

namespace {} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc >= 2 ? std::max(1, std::atoi(argv[1])) : 1;

    QTemporaryDir dir;
    const QString file = dir.filePath("big.nc");
    {
        const QByteArray data = generateProgram(ProgramBytes);
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
            return 1;
        std::printf("program: %.1f MB\n", data.size() / 1e6);
    }

    const long before = statusKb("VmRSS");
    NcEditor editor;
    editor.resize(800, 600);
    NoQuestions host;
    if (!editor.loadFile(file, false, host).opened)
        return 2;
    const long editorKb = statusKb("VmRSS") - before;
    std::printf("editor: %d lines, %.0f MB resident for the text\n", editor.lineCount(), editorKb / 1024.0);

    std::vector<double> firstPage, whole, cpu, jobMb;
    qint64 pages = 0;
    qint64 pdfBytes = 0;
    for (int run = 0; run < runs; ++run) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath("listing.pdf"));
        printer.setPageSize(QPageSize(QPageSize::A4));
        PrintCommand command(nullptr);
        command.dialog = [](QPrinter&, bool, qint64) -> PrintDialogAnswer { return false; };
        QElapsedTimer t;
        double first = -1;
        long samples = 0;
        command.pageDone = [&](qint64 page, qint64 total) {
            if (page == 1)
                first = t.nsecsElapsed() / 1e9;
            if (page % 5000 == 0 && ++samples)
                std::printf("  page %lld/%lld at %.1f s, resident %.0f MB\n", static_cast<long long>(page),
                            static_cast<long long>(total), t.nsecsElapsed() / 1e9,
                            statusKb("VmRSS") / 1024.0);
            return true;
        };
        PrintOrder order;
        order.text = &editor.indexedText();
        order.documentPath = file;
        order.font = QFont("IPAGothic", 10);
        order.printedAt = QDateTime::currentDateTime();
        const long rssBefore = statusKb("VmRSS");
        resetPeak();
        const double cpu0 = cpuSeconds();
        t.start();
        const PrintResult r = command.run(printer, order);
        whole.push_back(t.nsecsElapsed() / 1e9);
        cpu.push_back(cpuSeconds() - cpu0);
        firstPage.push_back(first);
        jobMb.push_back((statusKb("VmHWM") - rssBefore) / 1024.0);
        if (r.outcome != PrintOutcome::Printed) {
            std::printf("print failed: %s\n", qPrintable(r.failure));
            return 3;
        }
        pages = r.listing.pages;
        pdfBytes = QFileInfo(dir.filePath("listing.pdf")).size();
    }
    std::printf("runs: %d, pages: %lld, PDF %.0f MB\n", runs, static_cast<long long>(pages), pdfBytes / 1e6);
    std::printf("first page drawn       median %8.3f s   goal <= 2 s\n", median(firstPage));
    std::printf("whole job              median %8.1f s  (%.1f s of processor time)\n", median(whole),
                median(cpu));
    std::printf("job memory (peak rise) median %8.0f MB  = %.2f x the editor's %.0f MB   goal <= 2 x\n",
                median(jobMb), median(jobMb) / (editorKb / 1024.0), editorKb / 1024.0);
    return 0;
}
