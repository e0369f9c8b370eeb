// Printing and the file search through the real main window.

#include "app/TMainForm.h"
#include "platform/TextCodec.h"
#include "print/PdfText.h"
#include "print/ui/TPrintCtrlDlg.h"
#include "search/ui/TSearchFiles.h"
#include "support/FakePrompts.h"
#include "support/JapaneseText.h"
#include "support/QtPrinters.h"
#include "support/SafeServices.h"
#include "support/TempHome.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFontInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>

using namespace tornyx;
using test::FakePrompts;
using test::pdfInfo;
using test::pdfPages;
using test::sj;
using test::TempHome;
using test::u;

namespace {

struct PrintSearch : ::testing::Test {
    TempHome home;
    FakePrompts prompts;
    test::SafeServices safe{home, &prompts};
    std::unique_ptr<TMainForm> form;
    QString pdf = home.file("listing.pdf");
    struct Asked {
        bool hasSelection;
        qint64 pages;
    };
    std::vector<Asked> asked;
    bool printSelection = false;

    void start() {
        // Only ever a PDF file: nothing a test runs reaches a printer.
        safe.services.printDialog = [this](QPrinter& p, bool hasSelection,
                                           qint64 pages) -> std::optional<bool> {
            asked.push_back({hasSelection, pages});
            p.setOutputFormat(QPrinter::PdfFormat);
            p.setOutputFileName(pdf);
            return hasSelection && printSelection;
        };
        form = std::make_unique<TMainForm>(QStringList{}, safe.services);
        form->show();
        QApplication::processEvents();
        prompts.boxes.clear();
    }
    const MainFormControls& c() const { return form->controls(); }
    void openFile(const QString& path) {
        prompts.fileNames.push_back(path);
        form->FileOpenClick();
    }
    // Runs body while the file search dialog is shown from the menu item.
    void inSearchDialog(QAction* item, const std::function<void(TSearchFiles&)>& body) {
        QTimer::singleShot(0, [&] {
            body(*c().SearchFiles);
            if (c().SearchFiles->isVisible())
                c().SearchFiles->reject();
        });
        item->trigger();
    }
    ~PrintSearch() override {
        if (form) {
            form->setModified(false);
            form->close();
        }
    }
};

QStringList body(const QStringList& page) {
    QStringList out;
    for (const QString& l : page)
        if (l.size() > 6 && l[4] == u':')
            out << l;
    return out;
}

} // namespace

TEST_F(PrintSearch, TheMenuAndTheToolbarPrintTheDocumentInTheEditorsFont) {
    home.write("O1000.NC", "%\r\nO1000(" + sj(u"荒加工") + ")\r\nG00 X0\r\nM30\r\n%\r\n");
    start();
    c().FilePrint->trigger();
    EXPECT_TRUE(asked.empty()) << "an empty editor prints nothing";

    openFile(home.file("O1000.NC"));
    c().FilePrint->trigger();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_FALSE(asked[0].hasSelection);
    EXPECT_EQ(asked[0].pages, 1);
    EXPECT_EQ(pdfInfo(pdf, "Title"), "O1000.NC");
    const auto pages = pdfPages(pdf);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0][0], home.file("O1000.NC"));
    EXPECT_EQ(body(pages[0]),
              (QStringList{"0001: %", u(u"0002: O1000(荒加工)"), "0003: G00 X0", "0004: M30", "0005: %"}));
    const QString fonts = test::runTool("pdffonts", {pdf});
    // The profile's font as this system resolves it, on screen and on paper.
    const QString family = QFontInfo(c().RichEdit1->font()).family();
    EXPECT_TRUE(fonts.contains(QString(family).remove(' '), Qt::CaseInsensitive))
        << fonts.toStdString() << " vs " << family.toStdString();

    QFile::remove(pdf);
    c().SpeedButton[8]->click();
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_TRUE(QFile::exists(pdf));
    EXPECT_TRUE(prompts.boxes.empty());
}

TEST_F(PrintSearch, ASelectionInTheEditorIsOfferedAndPrintedWithoutTheClipboard) {
    home.write("S.NC", "N1\r\nN2 G01\r\nN3\r\nN4\r\n");
    start();
    openFile(home.file("S.NC"));
    QApplication::clipboard()->setText("KEEP");
    c().RichEdit1->setSelection(1, 3, 2, 2);
    printSelection = true;
    c().FilePrint->trigger();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].hasSelection);
    EXPECT_EQ(body(pdfPages(pdf)[0]), (QStringList{"0001: G01", "0002: N3"}));
    EXPECT_EQ(QApplication::clipboard()->text(), "KEEP");
}

TEST_F(PrintSearch, APrinterThatRefusesTheJobIsNamed) {
    home.write("S.NC", "N1\r\n");
    start();
    openFile(home.file("S.NC"));
    pdf = home.file("missing/folder/x.pdf");
    c().FilePrint->trigger();
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].kind, Prompts::Error);
    EXPECT_TRUE(prompts.boxes[0].text.startsWith(u(u"印刷できませんでした｡\n") + pdf))
        << prompts.boxes[0].text.toStdString();
}

TEST_F(PrintSearch, SavedPrintSettingsSurviveTheWindowsClose) {
    start();
    bool shown = false;
    QTimer::singleShot(0, [&] {
        TPrintCtrlDlg& d = *c().PrintCtrlDlg;
        shown = d.isVisible();
        d.CkBoxFileName->click();
        d.Edit1->setText("25");
        d.Button1->click();
    });
    c().PrintSetting->trigger();
    EXPECT_TRUE(shown);
    form->close();
    form.reset();
    const PrintSettings s = PrintSettingsStore(home.file("Tornyx.INI")).load();
    EXPECT_TRUE(s.fileName);
    EXPECT_FALSE(s.fullPath);
    EXPECT_EQ(s.leftMargin, 25);
}

TEST_F(PrintSearch, AHitOpensThroughTheDocumentsLoadPathOnItsLineAndSavesBackThere) {
    const QString dir = home.file(u(u"ﾌﾟﾛｸﾞﾗﾑ(旧)"));
    QDir().mkpath(dir);
    const QString hit = dir + u(u"/ﾜｰｸ(A).NC");
    QFile f(hit);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("O2000\r\nG00\r\n" + sj(u"(工具交換 T05)") + "\r\nT05 M06\r\nM30\r\n");
    f.close();
    home.write("OTHER.NC", "N9\r\n");
    start();
    openFile(home.file("OTHER.NC"));
    c().RichEdit1->insert("X"); // unsaved changes: the save question comes first
    ASSERT_TRUE(form->isModified());
    prompts.boxes.clear();

    inSearchDialog(c().FileSearch1, [&](TSearchFiles& d) {
        EXPECT_TRUE(d.isVisible());
        d.ComboBoxStr->setEditText(u(u"工具"));
        d.ComboBoxDir->setEditText(home.path());
        d.ComboBoxFile->setEditText("*.NC");
        d.OKBtn->click();
        ASSERT_EQ(d.ListBox1->count(), 1);
        EXPECT_EQ(d.ListBox1->item(0)->text(), hit + u(u"(3): (工具交換 T05)"));
        d.ListBox1->setCurrentRow(0);
        d.ListBox1DblClick();
        EXPECT_FALSE(d.isVisible());
    });
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, home.file("OTHER.NC") + u(u" への変更を保存しますか？"));
    EXPECT_EQ(form->desk().document().path, hit);
    EXPECT_EQ(form->desk().options().recentFiles[0], hit);
    EXPECT_TRUE(form->windowTitle().contains(hit));
    EXPECT_FALSE(form->isModified());
    EXPECT_EQ(c().RichEdit1->caretLine(), 2) << "the caret on the hit's line";
    EXPECT_EQ(c().StatusBar1->text(1), "3 , 1");

    c().RichEdit1->insert("N1 ");
    ASSERT_TRUE(form->FileSaveClick());
    f.open(QIODevice::ReadOnly);
    EXPECT_EQ(f.readAll(), "O2000\r\nG00\r\nN1 " + sj(u"(工具交換 T05)") + "\r\nT05 M06\r\nM30\r\n");
}

TEST_F(PrintSearch, BothSearchItemsOpenTheDialogAndAVanishedHitIsNamed) {
    home.write("GONE.NC", "T05\r\n");
    start();
    form->desk().profiles()[form->activeProfile()].setting.dirPathSub = home.path();
    inSearchDialog(c().FileSearch, [&](TSearchFiles& d) {
        EXPECT_EQ(d.ComboBoxDir->currentText(), home.path()) << "the profile's folder to begin with";
        d.ComboBoxStr->setEditText("T05");
        d.ComboBoxFile->setEditText("*.NC");
        d.OKBtn->click();
        ASSERT_EQ(d.ListBox1->count(), 1);
        QFile::remove(home.file("GONE.NC"));
        d.ListBox1->setCurrentRow(0);
        d.ListBox1DblClick();
        EXPECT_TRUE(d.isVisible());
        prompts.fileNames.push_back(home.file("picked"));
        d.therDir->click();
        EXPECT_EQ(d.ComboBoxDir->currentText(), home.file("picked"));
    });
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, u(u"呼出ﾃﾞｰﾀ\n") + home.file("GONE.NC") + u(u"が見つかりません｡"));
    EXPECT_EQ(prompts.fileDialogTitles, QStringList{u(u"検索ﾌｫﾙﾀﾞ ") + home.path()});
    EXPECT_EQ(form->desk().document().path, u(u"無題"));
}
