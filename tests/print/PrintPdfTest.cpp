// The print command and the settings dialog, printing real PDF files that
// poppler reads back.

#include "editor/ProgramIndex.h"
#include "print/PdfText.h"
#include "print/ui/PrintCommand.h"
#include "print/ui/TPrintCtrlDlg.h"
#include "status/TransferLog.h"
#include "support/QtPrinters.h"
#include "support/TempHome.h"

#include <QAbstractPrintDialog>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace tornyx;
using test::pdfInfo;
using test::pdfPages;
using test::pdfWords;
using test::TempHome;

namespace {

QByteArray numberedLines(int n) {
    QByteArray t;
    for (int i = 1; i <= n; ++i)
        t += "N" + QByteArray::number(i) + " G01 X" + QByteArray::number(i) + "\n";
    return t;
}

QFont editorFont() {
    return QFont("IPAGothic", 10);
}

struct Printing : ::testing::Test {
    TempHome home;
    QPrinter printer{QPrinter::HighResolution};
    QString pdf = home.file("out.pdf");
    PrintSettings settings;
    int dialogs = 0;
    bool answerSelection = false;
    PrintCommand command{nullptr};

    Printing() {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setPageSize(QPageSize(QPageSize::A4));
        command.dialog = [this](QPrinter&, bool, qint64) -> PrintDialogAnswer {
            ++dialogs;
            return answerSelection;
        };
        command.pageDone = [](qint64, qint64) { return true; };
    }

    PrintResult print(const IndexedText& text, qsizetype from = 0, qsizetype to = 0,
                      const QString& path = "/nc/work/O1000.NC") {
        PrintOrder o;
        o.text = &text;
        o.selectionFrom = from;
        o.selectionTo = to;
        o.documentPath = path;
        o.font = editorFont();
        o.settings = settings;
        o.printedAt = QDateTime(QDate(2026, 12, 8), QTime(14, 40, 5));
        return command.run(printer, o);
    }

    // Moves the margins until a page carries exactly bodyLines lines.
    void fitBodyLines(int bodyLines) {
        for (int top = 10; top <= 99; ++top) {
            for (int bottom = 0; bottom <= 99; ++bottom) {
                settings.topMargin = top;
                settings.bottomMargin = bottom;
                if (PrintCommand::plan(printer, editorFont(), settings, 1).bodyLines == bodyLines)
                    return;
            }
        }
        FAIL() << "no margins give " << bodyLines << " lines";
    }
};

QStringList bodyOf(const QStringList& page) {
    QStringList out;
    for (const QString& l : page)
        if (QRegularExpression("^\\d{4}: ").match(l).hasMatch())
            out << l;
    return out;
}

} // namespace

TEST_F(Printing, HundredLinesAtFortyFiveAPageGiveThreePagesWithEveryLineAndTheirHeaders) {
    fitBodyLines(45);
    const PlainIndexedText text(numberedLines(100));
    const PrintResult r = print(text);
    ASSERT_EQ(r.outcome, PrintOutcome::Printed) << r.failure.toStdString();
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(pdfInfo(pdf, "Pages"), "3");
    EXPECT_EQ(pdfInfo(pdf, "Title"), "O1000.NC") << "the job carries the file name";
    const auto pages = pdfPages(pdf);
    ASSERT_EQ(pages.size(), 3u);
    QStringList all;
    for (const auto& p : pages)
        all << bodyOf(p);
    ASSERT_EQ(all.size(), 100);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(all[i], QStringLiteral("%1: N%2 G01 X%2").arg(i + 1, 4, 10, QChar('0')).arg(i + 1));
    EXPECT_EQ(bodyOf(pages[0]).size(), 45);
    EXPECT_EQ(pages[2].front(), "/nc/work/O1000.NC");
    EXPECT_EQ(pages[2][1].trimmed(),
              TransferLog::formatStamp(QLocale::system(), QDateTime(QDate(2026, 12, 8), QTime(14, 40, 5))));
    EXPECT_EQ(pages[2].back().trimmed(), "- 3 -");
}

TEST_F(Printing, NumbersPast9999ContinueWith0000) {
    settings.fullPath = settings.page = false;
    settings.topMargin = settings.bottomMargin = 0;
    const PlainIndexedText text(numberedLines(10001));
    ASSERT_EQ(print(text).outcome, PrintOutcome::Printed);
    QStringList all;
    for (const auto& p : pdfPages(pdf))
        all << bodyOf(p);
    ASSERT_EQ(all.size(), 10001);
    EXPECT_EQ(all[9998], "9999: N9999 G01 X9999");
    EXPECT_EQ(all[9999], "0000: N10000 G01 X10000");
    EXPECT_EQ(all[10000], "0001: N10001 G01 X10001");
}

TEST_F(Printing, ASelectionPrintsFrom0001AndLeavesTheClipboardAlone) {
    QGuiApplication::clipboard()->setText("COPIED BEFORE");
    const QByteArray t = QStringLiteral(u"O1000\nN1 G00\n(工具交換 T05)\nN3 M30\n").toUtf8();
    const PlainIndexedText text(t);
    answerSelection = true;
    ASSERT_EQ(print(text, t.indexOf("G00"), t.indexOf("M30")).outcome, PrintOutcome::Printed);
    const auto pages = pdfPages(pdf);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(bodyOf(pages[0]),
              (QStringList{"0001: G00", QStringLiteral(u"0002: (工具交換 T05)"), "0003: N3"}));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "COPIED BEFORE");

    answerSelection = false; // the operator chose all pages after all
    ASSERT_EQ(print(text, t.indexOf("G00"), t.indexOf("M30")).outcome, PrintOutcome::Printed);
    EXPECT_EQ(bodyOf(pdfPages(pdf)[0]).size(), 4);
}

TEST_F(Printing, RightMarginWiderThanThePaperEndsTheDateAtThePrintableEdge) {
    printer.setPageSize(QPageSize(QSizeF(80, 120), QPageSize::Millimeter));
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    const PlainIndexedText text(numberedLines(3));
    const QString time =
        QLocale::system().toString(QTime(14, 40, 5), TransferLog::longTimeFormat(QLocale::system()));
    auto dateEnd = [&] {
        double right = 0;
        for (const auto& w : pdfWords(pdf))
            if (w.text == time)
                right = std::max(right, w.xMax);
        return right;
    };
    settings.rightMargin = 99;
    ASSERT_EQ(print(text).outcome, PrintOutcome::Printed);
    const double full = dateEnd();
    EXPECT_NEAR(full, 80 / 25.4 * 72, 3.0);
    settings.rightMargin = 10;
    ASSERT_EQ(print(text).outcome, PrintOutcome::Printed);
    EXPECT_NEAR(dateEnd(), 70 / 25.4 * 72, 3.0);

    settings.leftMargin = 0; // an empty field, stored as 0
    ASSERT_EQ(print(text).outcome, PrintOutcome::Printed);
    double left = 1000;
    for (const auto& w : pdfWords(pdf))
        left = std::min(left, w.xMin);
    EXPECT_LT(left, 2.0);
}

TEST_F(Printing, BothHeaderKindsSetInTheFileTakeFourLines) {
    home.write("Tornyx.INI", "[Print]\r\nFullPath=1\r\nFileName=1\r\nPage=0\r\n");
    settings = PrintSettingsStore(home.file("Tornyx.INI")).load();
    const ListingPlan plan = PrintCommand::plan(printer, editorFont(), settings, 500);
    EXPECT_EQ(plan.bodyLines, plan.linesPerPage - 4);
    const PlainIndexedText text(numberedLines(500));
    ASSERT_EQ(print(text).outcome, PrintOutcome::Printed);
    const auto pages = pdfPages(pdf);
    ASSERT_GE(pages.size(), 2u);
    EXPECT_EQ(pages[0][0], "/nc/work/O1000.NC");
    EXPECT_EQ(pages[0][2], "O1000.NC");
    EXPECT_EQ(bodyOf(pages[0]).size(), plan.bodyLines);
    EXPECT_EQ(pdfInfo(pdf, "Pages"), QString::number(plan.pages));
}

TEST_F(Printing, ATinyPageWithHugeMarginsStillPrintsEveryLine) {
    printer.setPageSize(QPageSize(QSizeF(20, 20), QPageSize::Millimeter));
    settings.topMargin = settings.bottomMargin = settings.leftMargin = settings.rightMargin = 99;
    settings.fullPath = settings.page = false;
    const PlainIndexedText text(numberedLines(4));
    EXPECT_EQ(PrintCommand::plan(printer, editorFont(), settings, 4).pages, 4);
    ASSERT_EQ(print(text).outcome, PrintOutcome::Printed);
    EXPECT_EQ(pdfInfo(pdf, "Pages"), "4");
}

TEST_F(Printing, EmptyTextAsksNothingAndAnUnwritableTargetSaysWhere) {
    const PlainIndexedText empty("");
    EXPECT_EQ(print(empty).outcome, PrintOutcome::NothingToPrint);
    EXPECT_EQ(dialogs, 0);

    const QString nowhere = home.file("no/such/folder/out.pdf");
    printer.setOutputFileName(nowhere);
    const PlainIndexedText text(numberedLines(3));
    const PrintResult r = print(text);
    EXPECT_EQ(r.outcome, PrintOutcome::Failed);
    EXPECT_TRUE(r.failure.startsWith(QStringLiteral(u"印刷できませんでした｡\n") + nowhere))
        << r.failure.toStdString();
}

TEST_F(Printing, AStoppedJobLeavesTheEarlierFileAsItWas) {
    home.write("out.pdf", "an earlier listing");
    command.pageDone = [](qint64 page, qint64) { return page < 2; };
    const PlainIndexedText text(numberedLines(1000));
    const PrintResult r = print(text);
    EXPECT_EQ(r.outcome, PrintOutcome::Stopped);
    EXPECT_EQ(r.listing.pages, 2);
    EXPECT_TRUE(r.failure.isEmpty());
    EXPECT_EQ(home.read("out.pdf"), "an earlier listing");
    EXPECT_EQ(QDir(home.path()).entryList(QDir::Files), QStringList{"out.pdf"})
        << "no temporary is left behind";
}

TEST_F(Printing, ThePrintDialogOffersTheSelectionOnlyWhenThereIsOne) {
    for (bool selection : {true, false}) {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* d = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            seen = true;
            EXPECT_EQ(d->testOption(QAbstractPrintDialog::PrintSelection), selection);
            EXPECT_FALSE(d->testOption(QAbstractPrintDialog::PrintPageRange));
            EXPECT_EQ(d->printRange(),
                      selection ? QAbstractPrintDialog::Selection : QAbstractPrintDialog::AllPages);
            EXPECT_EQ(d->maxPage(), 7);
            d->reject();
        });
        EXPECT_FALSE(showPrintDialog(printer, selection, 7, nullptr).has_value());
        EXPECT_TRUE(seen);
    }
}

// ---------------------------------------------------------------- the dialog

struct PrintSettingsDialog : ::testing::Test {
    TempHome home;
    QString ini = home.file("Tornyx.INI");
    std::unique_ptr<TPrintCtrlDlg> dlg;

    // Opens the dialog over a main window and runs body while it is shown.
    void open(const std::function<void(TPrintCtrlDlg&)>& body) {
        dlg = std::make_unique<TPrintCtrlDlg>(ini);
        QTimer::singleShot(0, [&] {
            body(*dlg);
            if (dlg->isVisible())
                dlg->reject();
        });
        dlg->showOver(QRect(100, 80, 800, 600));
    }
};

TEST_F(PrintSettingsDialog, ShowsTheStoredSettingsWithSaveDisabledAndHeaderBoxesExclusive) {
    home.write("Tornyx.INI", "[Print]\r\nFullPath=1\r\nFileName=1\r\nLeftMargin=7\r\n");
    open([](TPrintCtrlDlg& d) {
        EXPECT_TRUE(d.CkBoxFilePath->isChecked()) << "both kinds, as the file has them";
        EXPECT_TRUE(d.CkBoxFileName->isChecked());
        EXPECT_EQ(d.Edit1->text(), "7");
        EXPECT_EQ(d.Edit2->text(), "10");
        EXPECT_FALSE(d.Button1->isEnabled());
        d.CkBoxFileName->click(); // off
        EXPECT_TRUE(d.Button1->isEnabled());
        d.CkBoxFileName->click(); // on again: the full path goes off
        EXPECT_FALSE(d.CkBoxFilePath->isChecked());
        d.CkBoxFilePath->click();
        EXPECT_FALSE(d.CkBoxFileName->isChecked());
        d.Button2->click(); // 戻る stores nothing
    });
    EXPECT_TRUE(PrintSettingsStore(ini).load().fileName);
}

TEST_F(PrintSettingsDialog, MarginFieldsTakeTwoDigitsAndAnEmptyOneIsStoredAsZero) {
    open([](TPrintCtrlDlg& d) {
        d.Edit4->clear();
        QTest::keyClicks(d.Edit4, "a1-b23.");
        EXPECT_EQ(d.Edit4->text(), "12");
        d.Edit1->selectAll();
        QTest::keyClick(d.Edit1, Qt::Key_Backspace);
        EXPECT_EQ(d.Edit1->text(), "");
        d.Edit1->setFocus();
        QTest::keyClick(d.Edit1, Qt::Key_Return);
        EXPECT_TRUE(d.isVisible()) << "Enter in an empty field presses nothing";
        d.Edit2->setFocus();
        QTest::keyClick(d.Edit2, Qt::Key_Return); // a filled field passes Enter to 保存
        EXPECT_FALSE(d.isVisible());
    });
    const PrintSettings s = PrintSettingsStore(ini).load();
    EXPECT_EQ(s.leftMargin, 0);
    EXPECT_EQ(s.rightMargin, 12);
    EXPECT_EQ(dlg->settings(), s);
    EXPECT_EQ(home.read("Tornyx.INI").count("LeftMargin=0"), 1);
}

TEST_F(PrintSettingsDialog, IsCentredOverTheMainWindowAndRemembersWhereItWas) {
    open([](TPrintCtrlDlg& d) {
        // Centred as the frame was measured before it was shown.
        const QPoint centre = d.frameGeometry().center();
        EXPECT_NEAR(centre.x(), 100 + 400, 4);
        EXPECT_NEAR(centre.y(), 80 + 300, 4);
        d.move(321, 123);
    });
    const QByteArray written = home.read("Tornyx.INI");
    EXPECT_TRUE(written.contains("[PrintSetPos]\r\nLeft=321\r\nTop=123")) << written.toStdString();
    EXPECT_EQ(TPrintCtrlDlg::placement(QRect(10, -300, 100, 100), QSize(50, 400)), QPoint(35, -300))
        << "a dialog taller than the space above goes to the main window's top";
}

TEST_F(PrintSettingsDialog, PrinterSetUpOpensThePageSetUpOfTheDialogsPrinter) {
    bool shown = false;
    open([&](TPrintCtrlDlg& d) {
        QTimer::singleShot(0, [&] {
            auto* setup = qobject_cast<QPageSetupDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(setup, nullptr);
            EXPECT_EQ(setup->printer(), &d.printer());
            shown = true;
            setup->reject();
        });
        d.Button3->click();
    });
    EXPECT_TRUE(shown);
}
