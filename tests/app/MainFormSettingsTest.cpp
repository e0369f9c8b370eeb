#include "app/TMainForm.h"
#include "app/ui/TOptionForm.h"
#include "app/ui/TUser.h"
#include "dnc/ui/TDncForm.h"
#include "platform/IniFile.h"
#include "platform/TextCodec.h"
#include "profiles/ui/TSetdataForm.h"
#include "status/ui/StatusBars.h"
#include "support/FakePrompts.h"
#include "support/JapaneseText.h"
#include "support/QtPrinters.h"
#include "support/SafeServices.h"
#include "support/TempHome.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>

using namespace tornyx;
using test::FakePrompts;
using test::sj;
using test::TempHome;
using test::u;

namespace {

struct Settings : ::testing::Test {
    TempHome home;
    FakePrompts prompts;
    test::SafeServices safe{home, &prompts};
    std::unique_ptr<TMainForm> form;

    void start() {
        form = std::make_unique<TMainForm>(QStringList{}, safe.services);
        form->show();
        QApplication::processEvents();
    }
    // Acts inside the modal dialog the command opens; whatever happens, the
    // dialog is closed afterwards so that a failure cannot hang the test.
    template <class Dialog>
    void inDialog(const std::function<void()>& command, std::function<void(Dialog&)> act) {
        bool seen = false;
        QTimer::singleShot(0, form.get(), [&] {
            auto* d = form->findChild<Dialog*>();
            ASSERT_TRUE(d);
            seen = d->isVisible();
            act(*d);
            if (d->isVisible())
                d->QDialog::done(QDialog::Rejected);
        });
        command();
        EXPECT_TRUE(seen) << "the command opened its dialog";
    }
    QString setting() const { return platform::fromSjis(home.read("Setting.ini")); }
};

} // namespace

TEST_F(Settings, SetButtonOpensTheActiveProfileAndSavingReloadsTheWindow) {
    home.write("Tornyx.INI", "[Setting]\r\nSetNo=4\r\nModemePort1=com3\r\n[Options]\r\nop21=Y\r\n");
    safe.services.portProbe = [this](int n) {
        safe.probed.push_back(n);
        return n == 2 || n == 3;
    };
    start();
    safe.probed.clear();
    inDialog<TSetdataForm>([&] { form->controls().SpeedButton[11]->click(); },
                           [&](TSetdataForm& d) {
                               EXPECT_EQ(d.Edit1->text(), u(u"設定4"));
                               EXPECT_TRUE(d.OpLab3->isEnabled()) << "op21";
                               EXPECT_FALSE(d.OpLab2->isEnabled());
                               EXPECT_EQ(d.ReadBox4->count(), 2);
                               EXPECT_EQ(d.ReadBox4->itemText(0), "COM2")
                                   << "com3 is excluded and never probed";
                               d.Edit1->setText(u(u"旋盤"));
                               d.SendBox1->setCurrentIndex(3);
                               d.Button1->click();
                               EXPECT_FALSE(d.Button1->isEnabled());
                               d.Button2->click();
                           });
    EXPECT_EQ(std::count(safe.probed.begin(), safe.probed.end(), 3), 0);
    EXPECT_EQ(safe.probed.size(), 29u);
    EXPECT_EQ(form->controls().Set[4]->text(), u(u"旋盤"));
    EXPECT_EQ(form->controls().SetMenu->title(), u(u"通信設定切換(旋盤)"));
    EXPECT_EQ(form->desk().profiles()[4].send.speed, 3);
    EXPECT_TRUE(setting().contains(u(u"[Setting4]\r\nName=旋盤\r\n")));
    EXPECT_TRUE(prompts.boxes.empty());
    platform::IniFile ini(home.file("Tornyx.INI"));
    ini.load();
    EXPECT_TRUE(ini.hasKey("SetdataPos", "Left"));
    EXPECT_EQ(ini.readString("SetdataPos", "DirPath", ""), "C:");

    // The menu item opens the same dialog.
    inDialog<TSetdataForm>([&] { form->controls().Menu_setdata->trigger(); },
                           [](TSetdataForm& d) { d.Button2->click(); });
}

TEST_F(Settings, ProfileThatCannotBeWrittenIsReportedAndTheEditorStays) {
    QDir().mkpath(home.file("Setting.ini")); // a folder where the file should be
    start();
    inDialog<TSetdataForm>([&] { form->controls().SpeedButton[11]->click(); },
                           [&](TSetdataForm& d) {
                               d.Edit1->setText("X");
                               d.Button1->click();
                               EXPECT_TRUE(d.isVisible());
                               EXPECT_TRUE(d.Button1->isEnabled());
                               EXPECT_EQ(d.Edit1->text(), "X");
                               prompts.answers = {FakePrompts::Yes}; // leave without saving
                               d.Button2->click();
                               EXPECT_FALSE(d.isVisible());
                           });
    ASSERT_GE(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].kind, FakePrompts::Error);
    EXPECT_EQ(prompts.boxes[0].title, u(u"通信設定"));
    EXPECT_TRUE(
        prompts.boxes[0].text.startsWith(home.file("Setting.ini") + u(u"\nに設定を書き込めませんでした｡")))
        << prompts.boxes[0].text.toStdString();
    EXPECT_EQ(form->controls().Set[1]->text(), u(u"設定1"));
}

TEST_F(Settings, TestMailGoesToTheMailCommand) {
    start();
    inDialog<TSetdataForm>([&] { form->controls().SpeedButton[11]->click(); },
                           [&](TSetdataForm& d) {
                               d.OpLab5->setText("ops@example.com");
                               d.OpLab6->setText("Test");
                               d.OpBtn->click();
                               d.Button2->click();
                           });
    QTRY_VERIFY_WITH_TIMEOUT(QFile(safe.mailLog).size() > 0, 10000);
    const QByteArray mail = home.read("mail.log");
    EXPECT_TRUE(mail.contains("To: ops@example.com\n")) << mail.toStdString();
    EXPECT_TRUE(mail.contains(u(u"\nﾃｽﾄ送信").toUtf8()));
}

TEST_F(Settings, OptionDialogTakesEffectWhenItClosesAndReachesTheFileAtClose) {
    home.write("PROG.NC", QByteArray(1000, 'X'));
    home.write("Tornyx.INI", "[Options]\r\nop3=N\r\nop99=kept\r\n");
    start();
    form->loadAsDocument(home.file("PROG.NC"));
    EXPECT_TRUE(form->controls().StatusBar1->text(0).contains(u(u"ﾊﾞｲﾄ")));
    auto pick = [](TOptionForm& d, int row, const char* key) {
        d.ValueListEditor1->setCurrentCell(row, 1);
        QApplication::processEvents();
        auto* box =
            qobject_cast<QComboBox*>(d.ValueListEditor1->indexWidget(d.ValueListEditor1->currentIndex()));
        ASSERT_TRUE(box);
        QTest::keyClicks(box, key);
    };
    inDialog<TOptionForm>([&] { form->controls().setting_op->trigger(); },
                          [&](TOptionForm& d) {
                              EXPECT_EQ(d.ValueListEditor1->item(0, 1)->text(), "N");
                              pick(d, 0, "Y");  // metres
                              pick(d, 21, "Y"); // file name only in the caption
                              d.Button1->click();
                              d.Button2->click();
                          });
    EXPECT_TRUE(form->controls().StatusBar1->text(0).contains(u(u"ﾒｰﾄﾙ")))
        << form->controls().StatusBar1->text(0).toStdString();
    EXPECT_TRUE(form->windowTitle().startsWith(u(u"<編集>PROG.NC"))) << form->windowTitle().toStdString();
    EXPECT_TRUE(form->desk().options().isOn(Opt::Metres));

    form->controls().send_step->trigger();
    form->controls().ono_op->trigger();
    EXPECT_TRUE(form->desk().options().stepSendEnabled);
    EXPECT_TRUE(form->desk().options().autoIndexOff);
    form->close();
    const QByteArray f = home.read("Tornyx.INI");
    EXPECT_TRUE(f.contains("[Options]\r\nop3=Y\r\nop99=kept\r\n")) << f.toStdString();
    EXPECT_TRUE(f.contains("op11=1\r\n"));
    EXPECT_TRUE(f.contains("op18=1\r\n"));
    EXPECT_TRUE(f.contains("op22=Y\r\n"));
    EXPECT_TRUE(f.contains("[OptionPos]\r\nLeft="));
}

TEST_F(Settings, UserFileTypesReachTheOptionsAndTheFileAsAHandEditWould) {
    const QByteArray original = "[Setting]\r\nSetNo=1\r\nOwn=" + platform::toSjis(u(u"手書き")) + "\r\n";
    home.write("Tornyx.INI", original);
    start();
    form->close();
    const QByteArray untouched = home.read("Tornyx.INI");

    home.write("Tornyx.INI", original);
    start();
    QPoint at;
    inDialog<TUser>([&] { form->controls().User_op->trigger(); },
                    [&](TUser& d) {
                        d.LabeledEdit1->setText("CAM");
                        d.LabeledEdit2->setText("nc2");
                        at = d.pos();
                        d.Button1->click();
                    });
    EXPECT_EQ(form->desk().options().user1Name, "CAM");
    EXPECT_EQ(form->desk().options().user1Mask, "*.nc2");
    form->close();

    QByteArray byHand = untouched;
    byHand.replace("User1_Name=" + platform::toSjis(u(u"ﾕｰｻﾞ1")) + "\r\n", "User1_Name=CAM\r\n");
    byHand.replace("User1_Mask=*.*\r\n", "User1_Mask=*.nc2\r\n");
    byHand.insert(byHand.indexOf("[Main]"), "[UserPos]\r\nLeft=" + QByteArray::number(at.x()) +
                                                "\r\nTop=" + QByteArray::number(at.y()) + "\r\n");
    ASSERT_NE(byHand, untouched);
    EXPECT_EQ(home.read("Tornyx.INI"), byHand);
}

// ---------------------------------------------------------------- file types in the window's file dialogs

TEST_F(Settings, SaveAsAppendsTheExtensionOfTheRememberedOrPickedEntry) {
    home.write("Tornyx.INI", "[Setting]\r\nMask_No=1\r\nUser1_Mask=*.nc2\r\n");
    start();
    form->controls().RichEdit1->setText("O1\n");
    prompts.fileNames = {home.file("A")};
    ASSERT_TRUE(form->saveAs());
    EXPECT_EQ(form->desk().document().path, home.file("A.nc")) << "entry 1 remembered at start";
    ASSERT_EQ(prompts.fileDialogTypes.size(), 1u);
    EXPECT_EQ(prompts.fileDialogTypes[0].index, 1);
    EXPECT_EQ(prompts.fileDialogTypes[0].user.mask1, "*.nc2");

    prompts.fileNames = {home.file("B")};
    prompts.fileTypePicks = {1};
    ASSERT_TRUE(form->saveAs());
    EXPECT_EQ(form->desk().document().path, home.file("B.NC")) << "entry 1 picked in the dialog";
    EXPECT_TRUE(QFile::exists(home.file("B.NC")));

    prompts.fileNames = {home.file("C")};
    prompts.fileTypePicks = {3};
    ASSERT_TRUE(form->saveAs());
    EXPECT_EQ(form->desk().document().path, home.file("C.nc2"))
        << "the user pattern's extension, not the pattern";
    EXPECT_EQ(form->desk().options().maskNo, 3);

    prompts.fileNames = {QString()}; // cancelled: nothing changes
    prompts.fileTypePicks = {2};
    EXPECT_FALSE(form->saveAs());
    EXPECT_EQ(form->desk().options().maskNo, 3);
    form->close();
    EXPECT_TRUE(home.read("Tornyx.INI").contains("Mask_No=3\r\n"));
}

TEST_F(Settings, EntrySevenRememberedAppendsNothing) {
    home.write("Tornyx.INI", "[Setting]\r\nMask_No=7\r\n");
    start();
    form->controls().RichEdit1->setText("O1\n");
    prompts.fileNames = {home.file("PROG")};
    ASSERT_TRUE(form->saveAs());
    EXPECT_EQ(form->desk().document().path, home.file("PROG"));
    EXPECT_EQ(prompts.fileDialogTypes.at(0).index, 7);
}

TEST_F(Settings, OpenDialogOpensAtTheRememberedEntryAndKeepsTheChosenOne) {
    home.write("Tornyx.INI", "[Setting]\r\nMask_No=6\r\n");
    home.write("P.MIN", "O1\r\n");
    start();
    prompts.fileNames = {home.file("P.MIN")};
    prompts.fileTypePicks = {5};
    form->FileOpenClick();
    EXPECT_EQ(form->desk().document().path, home.file("P.MIN"));
    EXPECT_EQ(prompts.fileDialogTypes.at(0).index, 6);
    EXPECT_EQ(form->desk().options().maskNo, 5);
}

TEST_F(Settings, DncAddFilesDialogOffersTheFileTypes) {
    home.write("Tornyx.INI", "[Setting]\r\nMask_No=2\r\n");
    home.write("S.NC", "O100\r\nM99\r\n");
    start();
    TDncForm dnc(form.get(), home.file("Tornyx.INI"));
    form->connectDncForm(dnc);
    prompts.fileNames = {home.file("S.NC")};
    prompts.fileTypePicks = {1};
    dnc.Button4Click();
    ASSERT_EQ(prompts.fileDialogTypes.size(), 1u);
    EXPECT_EQ(prompts.fileDialogTypes[0].index, 2);
    EXPECT_EQ(form->desk().options().maskNo, 1);
    form->setModified(false);
}

TEST_F(Settings, ReceiveSaveDialogOffersTheFileTypes) {
    home.write("Tornyx.INI", "[Setting]\r\nMask_No=4\r\nUser2_Name=CAM\r\nUser2_Mask=*.tap\r\n");
    start();
    prompts.fileNames = {QString()}; // the operator cancels
    form->SpeedButton9Click();
    ASSERT_EQ(prompts.fileDialogTypes.size(), 1u);
    EXPECT_EQ(prompts.fileDialogTypes[0].index, 4);
    EXPECT_EQ(prompts.fileDialogTypes[0].defaultExtension, "tap") << "entry 4 remembered at start";
    EXPECT_EQ(prompts.fileDialogTypes[0].user.name2, "CAM");
}
