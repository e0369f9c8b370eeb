// The file search dialog, shown for real on the offscreen platform, over
// folder trees in temporary folders.

#include "search/ui/TSearchFiles.h"
#include "search/ui/BusyIndicator.h"
#include "support/QtPrinters.h"
#include "support/TempHome.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace tornyx;
using test::TempHome;

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QStringList texts(const QListWidget* l) {
    QStringList out;
    for (int i = 0; i < l->count(); ++i)
        out << l->item(i)->text();
    return out;
}

struct SearchDialog : ::testing::Test {
    TempHome home;
    QTemporaryDir tree;
    QString ini = home.file("Tornyx.INI");
    std::unique_ptr<TSearchFiles> dlg = std::make_unique<TSearchFiles>(ini);
    int beeps = 0;
    QStringList warnings;
    std::vector<std::pair<QString, qint64>> opened;
    bool openAnswer = true;
    QRect main{200, 150, 800, 600};

    SearchDialog() {
        dlg->beep = [this] { ++beeps; };
        dlg->warn = [this](const QString& t) { warnings << t; };
        dlg->openHit = [this](const QString& p, qint64 l) {
            opened.emplace_back(p, l);
            return openAnswer;
        };
    }
    QString at(const QString& rel) const { return tree.filePath(rel); }

    // Shows the dialog and runs body inside its event loop; returns the
    // dialog's result.
    int show(const std::function<void(TSearchFiles&)>& body) {
        QTimer::singleShot(0, [&] {
            body(*dlg);
            if (dlg->isVisible())
                dlg->reject();
        });
        return dlg->showOver(main);
    }
    void fill(TSearchFiles& d, const QString& text, const QString& patterns) {
        d.ComboBoxStr->setEditText(text);
        d.ComboBoxDir->setEditText(tree.path());
        d.ComboBoxFile->setEditText(patterns);
    }
};

} // namespace

TEST_F(SearchDialog, AnEmptyFieldOnlyBeeps) {
    writeFile(at("a.NC"), "T05\n");
    show([&](TSearchFiles& d) {
        fill(d, "", "*.NC");
        d.OKBtn->click();
        fill(d, "T05", "");
        d.OKBtn->click();
        EXPECT_EQ(d.ListBox1->count(), 0);
        EXPECT_EQ(d.CancelBtn->text(), QStringLiteral(u"戻る"));
    });
    EXPECT_EQ(beeps, 2);
    EXPECT_FALSE(home.read("Tornyx.INI").contains("FILE SEARCH"));
}

TEST_F(SearchDialog, TypedLettersAreUpperCaseAndTheHistoriesComeBack) {
    writeFile(at("Sub/Part.nc"), "G00\r\nT05 M06\r\n");
    writeFile(at("Sub/Other.txt"), "T05\r\n");
    show([&](TSearchFiles& d) {
        EXPECT_FALSE(d.Animate1->isVisible());
        d.ComboBoxStr->clearEditText();
        QTest::keyClicks(d.ComboBoxStr->lineEdit(), "t05");
        EXPECT_EQ(d.ComboBoxStr->currentText(), "T05");
        d.ComboBoxDir->clearEditText();
        QTest::keyClicks(d.ComboBoxDir->lineEdit(), tree.path());
        EXPECT_EQ(d.ComboBoxDir->currentText(), tree.path()) << "folder names keep their letter case";
        d.ComboBoxFile->clearEditText();
        QTest::keyClicks(d.ComboBoxFile->lineEdit(), "*.nc");
        EXPECT_EQ(d.ComboBoxFile->currentText(), "*.NC");
        QTest::keyClick(d.ComboBoxFile->lineEdit(), Qt::Key_Return);
        EXPECT_EQ(texts(d.ListBox1), QStringList{at("Sub/Part.nc") + "(2): T05 M06"});
        d.ComboBoxStr->setEditText("g00"); // from a hand-edited history: searched in upper case all the same
        d.OKBtn->click();
        EXPECT_EQ(texts(d.ListBox1), QStringList{at("Sub/Part.nc") + "(1): G00"});
    });
    const QByteArray written = home.read("Tornyx.INI");
    EXPECT_TRUE(written.contains("FSStr0=G00\r\nFSStr1=T05\r\n")) << written.toStdString();
    EXPECT_TRUE(written.contains("FSFile0=*.NC\r\n"));

    dlg = std::make_unique<TSearchFiles>(ini);
    show([&](TSearchFiles& d) {
        EXPECT_EQ(d.ComboBoxStr->currentText(), "G00");
        EXPECT_EQ(d.ComboBoxStr->count(), 2);
        EXPECT_EQ(d.ComboBoxStr->itemText(1), "T05");
        EXPECT_EQ(d.ComboBoxDir->currentText(), tree.path());
        EXPECT_EQ(d.ListBox1->count(), 0);
    });
}

TEST_F(SearchDialog, AnInvalidMaskIsShownOnceAndWhatWasSkippedInOneSummary) {
    for (const char* n : {"1.NC", "2.NC", "3.NC"})
        writeFile(at(n), "T05\n");
    writeFile(at("bin.TXT"), QByteArray("T05\0", 4));
    writeFile(at("ok.TXT"), "T05\n");
    show([&](TSearchFiles& d) {
        fill(d, "T05", "[;*.TXT");
        d.OKBtn->click();
        EXPECT_EQ(texts(d.ListBox1), QStringList{at("ok.TXT") + "(1): T05"});
    });
    ASSERT_EQ(warnings.size(), 2);
    EXPECT_EQ(warnings[0], QStringLiteral(u"[：不適切なﾌｧｲﾙ名です"));
    EXPECT_EQ(warnings[1], QStringLiteral(u"次のﾌｧｲﾙ･ﾌｫﾙﾀﾞは検索できませんでした｡\n") + at("bin.TXT") +
                               QStringLiteral(u"  (ﾊﾞｲﾅﾘﾌｧｲﾙです)"));
    EXPECT_EQ(dlg->lastOutcome().skipped.size(), 1u);
}

TEST_F(SearchDialog, SummaryNamesTwentyAndCountsTheRest) {
    std::vector<Skipped> s;
    for (int i = 0; i < 25; ++i)
        s.push_back({QString::number(i), "R"});
    const QString text = skippedSummary(s);
    EXPECT_TRUE(text.contains("\n19  (R)"));
    EXPECT_FALSE(text.contains("\n20  (R)"));
    EXPECT_TRUE(text.endsWith(QStringLiteral(u"\nほか5件")));
}

// A tree large enough that its search takes far longer than the test waits.
struct LargeTree : SearchDialog {
    LargeTree() {
        QByteArray body;
        for (int i = 0; i < 2000; ++i)
            body += "N" + QByteArray::number(i) + " G01 X1.0 Y2.0 T05\r\n";
        for (int d = 0; d < 30; ++d)
            for (int f = 0; f < 40; ++f)
                writeFile(at(QStringLiteral("d%1/f%2.NC").arg(d).arg(f)), body);
    }
};

TEST_F(LargeTree, CancelStopsARunningSearchWithin100ms) {
    qint64 stopMs = -1;
    show([&](TSearchFiles& d) {
        fill(d, "T05", "*.NC");
        QElapsedTimer sinceCancel;
        bool sawBusy = false;
        QTimer::singleShot(150, [&] {
            sawBusy = d.Animate1->isVisible() && d.isSearching() && !d.OKBtn->isEnabled();
            EXPECT_EQ(d.CancelBtn->text(), QStringLiteral(u"中止"));
            sinceCancel.start();
            d.CancelBtn->click();
        });
        d.OKBtn->click(); // returns when the search has ended
        stopMs = sinceCancel.elapsed();
        EXPECT_TRUE(sawBusy);
        EXPECT_TRUE(d.lastOutcome().stopped);
        EXPECT_LT(d.lastOutcome().filesSearched, 1200);
        EXPECT_GT(d.ListBox1->count(), 0);
        EXPECT_TRUE(d.isVisible()) << "the results stay";
        EXPECT_EQ(d.CancelBtn->text(), QStringLiteral(u"戻る"));
        EXPECT_FALSE(d.Animate1->isVisible());
        EXPECT_TRUE(d.OKBtn->isEnabled());
    });
    EXPECT_GE(stopMs, 0);
    EXPECT_LE(stopMs, 100);
}

TEST_F(LargeTree, EscapeStopsTheSearchAndADoubleClickMeanwhileOpensAfterwards) {
    show([&](TSearchFiles& d) {
        fill(d, "T05", "*.NC");
        QTimer::singleShot(100, [&] { QTest::keyClick(&d, Qt::Key_Escape); });
        d.OKBtn->click();
        EXPECT_TRUE(d.lastOutcome().stopped);
        EXPECT_TRUE(d.isVisible());

        QTimer::singleShot(100, [&] {
            ASSERT_GT(d.ListBox1->count(), 2);
            d.ListBox1->setCurrentRow(2);
            d.ListBox1DblClick();
        });
        d.OKBtn->click();
        EXPECT_FALSE(d.isVisible()) << "opened, so the dialog closed";
    });
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].first, at("d0/f0.NC"));
    EXPECT_EQ(opened[0].second, 3);
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
}

TEST_F(SearchDialog, ADoubleClickOpensTheHitAndAFailedOpenKeepsTheDialog) {
    const QString name = QStringLiteral(u"ﾜｰｸ(1)/加工(A).NC");
    writeFile(at(name), "(T05)\nN2\nT05 (TOOL(5))\n");
    show([&](TSearchFiles& d) {
        d.ListBox1DblClick(); // nothing listed: nothing happens
        EXPECT_TRUE(opened.empty());
        fill(d, "T05", "*.NC");
        d.CheckBox1->setChecked(false);
        d.OKBtn->click();
        ASSERT_EQ(d.ListBox1->count(), 2);
        EXPECT_EQ(d.ListBox1->item(1)->text(), at(name) + "(3): T05 (TOOL(5))");
        openAnswer = false;
        d.ListBox1->setCurrentRow(1);
        d.ListBox1DblClick();
        EXPECT_TRUE(d.isVisible());
        openAnswer = true;
        emit d.ListBox1->itemDoubleClicked(d.ListBox1->item(1));
        EXPECT_FALSE(d.isVisible());
    });
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1], std::make_pair(at(name), qint64(3)));
}

TEST_F(SearchDialog, FolderPickerIsTitledWithTheProfileFolderAndThePlaceIsKept) {
    QString title;
    QString start;
    dlg->setProfileFolder("/srv/nc/mazak");
    dlg->chooseFolder = [&](const QString& t, const QString& s) {
        title = t;
        start = s;
        return QStringLiteral("/srv/nc/mazak/2026");
    };
    show([&](TSearchFiles& d) {
        EXPECT_EQ(d.pos(), QPoint(210, 160)) << "the main window's corner + 10 the first time";
        d.therDir->click();
        EXPECT_EQ(d.ComboBoxDir->currentText(), "/srv/nc/mazak/2026");
        d.move(333, 222);
    });
    EXPECT_EQ(title, QStringLiteral(u"検索ﾌｫﾙﾀﾞ /srv/nc/mazak"));
    EXPECT_EQ(start, "/srv/nc/mazak");
    EXPECT_TRUE(home.read("Tornyx.INI").contains("[FileSearchPos]\r\nLeft=333\r\nTop=222"));
    show([&](TSearchFiles& d) { EXPECT_EQ(d.pos(), QPoint(333, 222)); });
}
