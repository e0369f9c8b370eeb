#include "profiles/ui/TSetdataForm.h"

#include "platform/IniFile.h"
#include "platform/PosixSerialPort.h"
#include "platform/SystemCommands.h"
#include "platform/TextCodec.h"
#include "profiles/ProfileStore.h"
#include "serial/TransferSession.h"
#include "support/JapaneseText.h"
#include "support/PtyPair.h"
#include "support/QtPrinters.h"
#include "support/TempHome.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <deque>

using namespace tornyx;
using test::PtyPair;
using test::sj;
using test::TempHome;
using test::u;

namespace {

// The program around the dialog, made of real parts: profiles are saved
// into Setting.ini of the temporary home by the profile store, ports are
// probed by opening the devices mapped in its Tornyx.INI (never a real
// serial device), the test mail goes to a recording stand-in.
struct Host : SetdataHost {
    struct Box {
        Icon icon;
        QString title;
        QString text;
        bool question;
    };
    const TempHome& home;
    std::vector<Box> boxes;
    std::deque<bool> answers; // to questions; none left: No
    std::deque<QString> folders;
    std::deque<std::optional<QColor>> colours;
    std::deque<std::optional<QFont>> fonts;
    LineOptions lineOptions;
    bool failSave = false;
    QRect window{30, 40, 626, 470};
    platform::SystemCommands commands;

    explicit Host(const TempHome& h) : home(h) {
        const QString mail = home.file("fake-sendmail");
        home.write("fake-sendmail", ("#!/bin/sh\ncat >> '" + home.file("mail.log") + "'\n").toLocal8Bit());
        QFile::setPermissions(mail, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        commands.mail = mail;
        commands.mailFrom = "tornyx@test.invalid";
    }
    bool question(QWidget*, const QString& title, const QString& text) override {
        boxes.push_back({Information, title, text, true});
        if (answers.empty())
            return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void notice(QWidget*, Icon icon, const QString& title, const QString& text) override {
        boxes.push_back({icon, title, text, false});
    }
    QString chooseFolder(QWidget*, const QString& title, const QString& start) override {
        boxes.push_back({Information, title, start, false});
        return take(folders, QString());
    }
    std::optional<QColor> chooseColour(QWidget*, const QColor&) override { return take(colours, {}); }
    std::optional<QFont> chooseFont(QWidget*, const QFont&) override { return take(fonts, {}); }
    bool probePort(int n) override {
        platform::PosixSerialPort port;
        platform::IniFile ini(home.file("Tornyx.INI"));
        ini.load();
        return tornyx::probePort(n, port, lineOptions,
                                 [&](const QString& name) { return ini.readString("Ports", name, ""); });
    }
    bool saveProfile(int n, const CommProfile& record, bool writeFont, bool writePosition,
                     QString* error) override {
        platform::IniFile ini(failSave ? home.file("missing/Setting.ini") : home.file("Setting.ini"));
        ini.load();
        CommProfile p = record;
        saveProfileRecord(ini, n, p, writeFont, writePosition, window);
        QString why;
        if (ini.save(&why))
            return true;
        *error = ini.path() + "\n" + why;
        return false;
    }
    void sendTestMail(const platform::MailMessage& mail) override { platform::sendMail(commands, mail); }

private:
    template <class T> static T take(std::deque<T>& q, T none) {
        if (q.empty())
            return none;
        T v = q.front();
        q.pop_front();
        return v;
    }
};

// Another program holding a device open and locked, as a terminal program
// or a second instance of this one would.
struct Holder {
    QProcess p;
    explicit Holder(const QString& device) {
        // One process that opens, locks and then only waits, so killing it
        // lets go of the device.
        p.start("sh", {"-c", "exec 3<>\"$0\"; flock -x 3; exec sleep 30", device});
        p.waitForStarted();
    }
    ~Holder() {
        p.kill();
        p.waitForFinished();
    }
};

struct Editor : ::testing::Test {
    TempHome home;
    Host host{home};
    TSetdataForm form{host};
    SetdataInput input;

    Editor() {
        input.profile = defaultProfile(1);
        input.anchor = QRect(30, 40, 626, 470);
        input.optionFile = home.file("Tornyx.INI");
        input.editorFont = QFont("IPAGothic", 11);
        input.editorText = Qt::green;
        input.editorPaper = Qt::black;
        // No device of this computer is listed; the tests build their own.
        input.devices.dev = home.file("dev");
        input.devices.sysTty = home.file("sys");
        input.devices.locks = home.file("lock");
        QDir().mkpath(input.devices.dev + "/serial/by-id");
    }
    void open() {
        form.load(input);
        form.show();
    }
    // Opens profile 1 as the window would after loading it from Setting.ini.
    void openStored() {
        platform::IniFile ini(home.file("Setting.ini"));
        ini.load();
        ProfileTable table;
        loadProfileRecord(ini, 1, table);
        input.profile = table[1];
        open();
    }
    static QStringList items(const QComboBox* box) {
        QStringList out;
        for (int i = 0; i < box->count(); ++i)
            out << box->itemText(i);
        return out;
    }
    bool red(const QWidget* control) const {
        if (!form.labelOf(control))
            return control->palette().color(QPalette::WindowText) == QColor(Qt::red);
        return form.labelOf(control)->palette().color(QPalette::WindowText) == QColor(Qt::red);
    }
    QString setting() const { return platform::fromSjis(home.read("Setting.ini")); }
    void mapPorts(const QByteArray& lines) const { home.write("Tornyx.INI", "[Ports]\r\n" + lines); }
};

} // namespace

// ---------------------------------------------------------------- showing

TEST_F(Editor, FillsTheControlsFromTheProfile) {
    input.profile.read.code = 4; // user framing
    input.profile.read.dataLength = 1;
    input.profile.send.invTime = 15;
    input.profile.send.sendMsg = "ABC";
    input.profile.setting.mailFlg = "Y";
    input.profile.setting.dirPathSub = "/nc/in";
    input.feedPointField = true;
    open();
    EXPECT_EQ(form.windowTitle(), u(u"通信設定"));
    EXPECT_EQ(form.PageControl1->count(), 4);
    EXPECT_EQ(form.PageControl1->tabText(0), u(u"受信設定"));
    EXPECT_EQ(form.PageControl1->tabText(1), u(u"送信設定"));
    EXPECT_EQ(form.PageControl1->tabText(2), u(u"送信ｵﾌﾟｼｮﾝ"));
    EXPECT_EQ(form.PageControl1->tabText(3), u(u"全般共通"));
    EXPECT_EQ(form.PageControl1->currentIndex(), 0);
    EXPECT_EQ(form.Edit1->text(), u(u"設定1"));
    EXPECT_EQ(form.Edit1->maxLength(), 41);
    EXPECT_EQ(form.ReadBox1->currentText(), "4800");
    EXPECT_EQ(form.ReadBox2->currentText(), u(u"任意"));
    EXPECT_FALSE(form.ReadBox2a->isHidden()) << "receive code 任意 shows data length and parity";
    EXPECT_EQ(form.ReadBox2a->currentText(), "8");
    EXPECT_TRUE(form.SendBox2a->isHidden());
    EXPECT_TRUE(form.labelOf(form.SendBox2b)->isHidden());
    EXPECT_EQ(form.SendBox7->currentText(), u(u"改行コード+%"));
    EXPECT_EQ(form.SendBox10->text(), "15");
    EXPECT_FALSE(form.SendBox12->isEnabled()) << "ﾁｪｯｸ ｶｳﾝﾀ is shown only";
    EXPECT_EQ(form.OpLab1->text(), "ABC");
    EXPECT_EQ(form.OpLab2->text(), "N") << "empty shows N";
    EXPECT_EQ(form.OpLab3->text(), "N");
    EXPECT_TRUE(form.OpLab2->isEnabled()) << "option op20";
    EXPECT_FALSE(form.OpLab3->isEnabled()) << "option op21 off";
    EXPECT_EQ(form.OpLab4->text(), "Y");
    EXPECT_EQ(form.SRLab1->text(), "/nc/in");
    EXPECT_FALSE(form.SRChkBox1->isChecked());
    EXPECT_FALSE(form.SRBtn1->isEnabled());
    EXPECT_EQ(form.SRLab2->font().family(), "IPAGothic") << "without its own font the editor's is shown";
    EXPECT_EQ(form.SRLab2->palette().color(QPalette::WindowText), QColor(Qt::green));
    EXPECT_FALSE(form.Button1->isEnabled());
    EXPECT_TRUE(form.Edit1->isEnabled());
    EXPECT_TRUE(form.SendBox14->isEnabled());

    form.SendBox2->setCurrentIndex(3);
    EXPECT_FALSE(form.SendBox2a->isHidden());
    EXPECT_TRUE(form.Button1->isEnabled()) << "every change enables 保存";
}

TEST_F(Editor, ControllerFamilyProfilesKeepTheirNameAndDncMode) {
    input.number = 12;
    input.profile = defaultProfile(12);
    open();
    EXPECT_EQ(form.Edit1->text(), u(u"OSP専用_NO.2"));
    EXPECT_FALSE(form.Edit1->isEnabled());
    EXPECT_FALSE(form.SendBox14->isEnabled());
}

TEST_F(Editor, TapeReaderAndTapePunchRules) {
    open();
    EXPECT_FALSE(form.ReadBox8->isEnabled());
    EXPECT_TRUE(red(form.ReadBox8));
    form.ReadBox1->setCurrentIndex(6); // ﾃｰﾌﾟﾘｰﾀﾞより受信
    for (QComboBox* b : {form.ReadBox2, form.ReadBox3, form.ReadBox5, form.ReadBox6, form.ReadBox7,
                         form.ReadBox9, form.ReadBox10}) {
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
        EXPECT_TRUE(red(b)) << b->objectName().toStdString();
    }
    EXPECT_TRUE(form.ReadBox8->isEnabled());
    EXPECT_FALSE(red(form.ReadBox8));
    EXPECT_TRUE(form.ReadBox11->isEnabled());
    form.ReadBox1->setCurrentIndex(3);
    EXPECT_TRUE(form.ReadBox2->isEnabled());
    EXPECT_FALSE(red(form.ReadBox2));
    EXPECT_FALSE(form.ReadBox8->isEnabled());

    EXPECT_FALSE(form.SendBox8->isEnabled());
    EXPECT_TRUE(red(form.SendBox8));
    form.SendBox1->setCurrentIndex(6); // ﾃｰﾌﾟﾊﾟﾝﾁに送信
    EXPECT_TRUE(form.SendBox8->isEnabled()) << "ﾌｨｰﾄﾞ長さ";
    EXPECT_FALSE(red(form.SendBox8));
    EXPECT_FALSE(form.SendBox5->isEnabled());
    EXPECT_TRUE(red(form.SendBox5));
    EXPECT_FALSE(form.SendBox9->isEnabled());
    EXPECT_TRUE(red(form.SendBox9));
    EXPECT_TRUE(form.SendBox3->isEnabled());
}

TEST_F(Editor, TapePunchSavesSignalOneAndBufferZero) {
    input.profile.send.buff = 9;
    open();
    form.SendBox1->setCurrentIndex(6);
    form.SendBox8->setCurrentIndex(2);
    ASSERT_TRUE(form.Button1Click());
    platform::IniFile ini(home.file("Setting.ini"));
    ini.load();
    EXPECT_EQ(ini.readInteger("Send1", "Speed", -1), 6);
    EXPECT_EQ(ini.readInteger("Send1", "Signal", -1), 1);
    EXPECT_EQ(ini.readInteger("Send1", "Buff", -1), 0);
    EXPECT_EQ(ini.readInteger("Send1", "Feed", -1), 2);
    EXPECT_FALSE(form.Button1->isEnabled());
}

// ---------------------------------------------------------------- keys

TEST_F(Editor, WaitTimeTakesDigitsOnlyAndAnEmptyOneBlocksSaving) {
    open();
    form.PageControl1->setCurrentIndex(1);
    form.SendBox10->setFocus();
    form.SendBox10->selectAll();
    QTest::keyClicks(form.SendBox10, "2a5");
    EXPECT_EQ(form.SendBox10->text(), "25") << "a letter has no effect";
    form.SendBox10->clear();
    QTest::keyClick(form.SendBox10, Qt::Key_Return);
    form.PageControl1->setCurrentIndex(0);
    form.Edit1->setFocus();
    EXPECT_FALSE(form.Button1Click());
    EXPECT_EQ(form.PageControl1->currentIndex(), 1);
    EXPECT_EQ(form.focusWidget(), form.SendBox10);
    EXPECT_TRUE(host.boxes.empty()) << "without a message";
    EXPECT_FALSE(QFile::exists(home.file("Setting.ini"))) << "nothing saved";
    EXPECT_TRUE(form.Button1->isEnabled());
}

TEST_F(Editor, YesNoFieldsFolderFieldAndUpperCase) {
    input.sequenceField = true;
    open();
    form.OpLab3->clear();
    form.OpLab3->setFocus();
    QTest::keyClicks(form.OpLab3, "xqy");
    EXPECT_EQ(form.OpLab3->text(), "Y") << "y shown in upper case, other letters swallowed";
    QTest::keyClick(form.OpLab3, Qt::Key_Backspace);
    QTest::keyClick(form.OpLab3, 'n');
    EXPECT_EQ(form.OpLab3->text(), "N");
    QTest::keyClicks(form.OpLab1, "g0x");
    EXPECT_EQ(form.OpLab1->text(), "G0X");

    form.SRLab1->clear();
    QTest::keyClicks(form.SRLab1, "/nc/*in");
    EXPECT_EQ(form.SRLab1->text(), "/nc/in") << "the folder separator stays typeable";
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].icon, SetdataHost::Stop);
    EXPECT_EQ(host.boxes[0].title, u(u"確認"));
    EXPECT_EQ(host.boxes[0].text, u(u"この文字はﾌｫﾙﾀﾞ名に使えません｡\n,;*?<>|"));
}

// ---------------------------------------------------------------- saving and closing

TEST_F(Editor, SaveWritesTheBytesOfAHandEditAndKeepsUnknownKeys) {
    home.write("Setting.ini", "; machine notes\r\n[Setting1]\r\nName=" + sj(u"旋盤") +
                                  "\r\nOwnKey=1\r\n[Read1]\r\nSpeed=3\r\n[Setting2]\r\nName=" + sj(u"別") +
                                  "\r\n");
    openStored();
    EXPECT_EQ(form.Edit1->text(), u(u"旋盤"));
    form.Edit1->setText(u(u"旋盤A"));
    form.ReadBox1->setCurrentIndex(5);
    form.SendBox6->setCurrentIndex(1);
    form.SendBox10->setText("3");
    form.OpLab5->setText("ops@example.com");
    ASSERT_TRUE(form.Button1Click());
    const QByteArray expected =
        "; machine notes\r\n[Setting1]\r\nName=" + sj(u"旋盤A") +
        "\r\nOwnKey=1\r\nMail_Flg=N\r\nMail_Address=ops@example.com\r\nMail_Subject=\r\nDirPath_Sub=\r\n"
        "[Read1]\r\nSpeed=5\r\nCode=0\r\nSTbit=1\r\nPort=COM1\r\nChange=0\r\nWord=0\r\nSignal=0\r\nRSignal="
        "1\r\n"
        "Buff=3\r\nEndCode=0\r\nControl=0\r\nS&E_Char=3\r\nParity=0\r\nDataLength=0\r\n"
        "[Setting2]\r\nName=" +
        sj(u"別") +
        "\r\n[Send1]\r\nSpeed=2\r\nCode=0\r\nSTbit=1\r\nPort=COM1\r\nSignal=0\r\nStartChar=1\r\nEndChar=0\r\n"
        "Feed=0\r\nBuff=0\r\nInvTime=3\r\nControl=0\r\nChk "
        "Count=0\r\nCRLF_Type=0\r\nDNC_Send=0\r\nSendMsg=\r\n"
        "F_non=N\r\nN_non=N\r\nParity=0\r\nDataLength=0\r\n";
    EXPECT_EQ(home.read("Setting.ini"), expected);
}

TEST_F(Editor, FontAndColoursDriveTheSampleAndAreSavedWithTheirBox) {
    open();
    form.SRChkBox1->setChecked(true);
    EXPECT_TRUE(form.SRBtn1->isEnabled());
    host.colours = {QColor(0x10, 0x20, 0x30), QColor(Qt::white)};
    host.fonts = {QFont("DejaVu Sans Mono", 14)};
    form.SRBtn1Click();
    form.SRBtn2Click();
    form.SRBtn3Click();
    EXPECT_EQ(form.SRLab2->palette().color(QPalette::WindowText), QColor(0x10, 0x20, 0x30));
    EXPECT_EQ(form.SRLab2->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(form.SRLab2->font().family(), "DejaVu Sans Mono");
    form.SRChkBox2->setChecked(true);
    ASSERT_TRUE(form.Button1Click());
    platform::IniFile ini(home.file("Setting.ini"));
    ini.load();
    EXPECT_TRUE(ini.readBool("Setting1", "Font Chg", false));
    EXPECT_EQ(ini.readString("Setting1", "Font Name", ""), "DejaVu Sans Mono");
    EXPECT_EQ(ini.readInteger("Setting1", "Font Size", 0), 14);
    EXPECT_EQ(ini.readInteger("Setting1", "Font Color", 0), 0x302010) << "stored as 0x00BBGGRR";
    EXPECT_EQ(ini.readInteger("Setting1", "Screen Color", 0), 0xFFFFFF);
    EXPECT_EQ(ini.readInteger("Setting1", "Pos Left", 0), 30) << "the main window's geometry";
    EXPECT_EQ(ini.readInteger("Setting1", "Pos Height", 0), 470);
}

TEST_F(Editor, CloseAsksAndNoSavesYesDoesNot) {
    open();
    form.Edit1->setText("A");
    host.answers = {true};
    form.Button2Click();
    EXPECT_FALSE(form.isVisible());
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_TRUE(host.boxes[0].question);
    EXPECT_EQ(host.boxes[0].title, u(u"通信設定"));
    EXPECT_EQ(host.boxes[0].text, u(u"通信設定が変更されています｡\n保存せずに終了しますか？"));
    EXPECT_FALSE(QFile::exists(home.file("Setting.ini")));

    open();
    form.Edit1->setText("B");
    host.answers = {false};
    form.close();
    EXPECT_FALSE(form.isVisible());
    platform::IniFile ini(home.file("Setting.ini"));
    ini.load();
    EXPECT_EQ(ini.readString("Setting1", "Name", ""), "B");
}

TEST_F(Editor, FailedSaveSaysSoAndKeepsTheDialogAndItsValues) {
    open();
    form.Edit1->setText("C");
    host.failSave = true;
    EXPECT_FALSE(form.Button1Click());
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].icon, SetdataHost::Stop);
    EXPECT_TRUE(host.boxes[0].text.contains("Setting.ini"));
    EXPECT_TRUE(form.Button1->isEnabled()) << "not marked as saved";

    host.answers = {false}; // "do not leave without saving"
    form.Button2Click();
    EXPECT_TRUE(form.isVisible()) << "the changes are still on the screen";
    EXPECT_EQ(form.Edit1->text(), "C");
    host.failSave = false;
    form.Button2Click();
    EXPECT_FALSE(form.isVisible());
}

TEST_F(Editor, CloseStoresThePositionAndTheBrowseFolder) {
    home.write("Tornyx.INI", "[SetdataPos]\r\nDirPath=C:\r\n[Other]\r\nK=1\r\n");
    const QString folder = home.file("programs");
    QDir().mkpath(folder);
    open();
    host.folders = {folder};
    form.SRBtn0Click();
    EXPECT_EQ(form.SRLab1->text(), folder);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].title, u(u"現ﾃﾞｨﾚｸﾄﾘ "));
    const QPoint at = form.pos();
    host.answers = {true};
    form.Button2Click();
    EXPECT_EQ(home.read("Tornyx.INI"),
              "[SetdataPos]\r\nDirPath=" + folder.toLocal8Bit() + "\r\nLeft=" + QByteArray::number(at.x()) +
                  "\r\nTop=" + QByteArray::number(at.y()) + "\r\n[Other]\r\nK=1\r\n");
}

// ---------------------------------------------------------------- bad input

TEST_F(Editor, HandEditedValuesOutOfRangeOpenAndAreNotWrittenBack) {
    home.write("Setting.ini",
               "[Read1]\r\nSpeed=99\r\nCode=-1\r\n[Send1]\r\nSTbit=7\r\nInvTime=-5\r\n[Setting1]\r\nName=" +
                   QByteArray(5000, 'N') + "\xff\xfe\r\nFont Size=-3\r\n");
    openStored();
    EXPECT_EQ(form.ReadBox1->currentIndex(), -1);
    EXPECT_EQ(form.ReadBox2->currentIndex(), -1);
    EXPECT_EQ(form.SendBox3->currentIndex(), -1);
    EXPECT_EQ(form.Edit1->text(), QString(41, 'N'));
    EXPECT_EQ(form.SendBox10->text(), "-5");

    EXPECT_FALSE(form.Button1Click()) << "a wait time that is no number";
    EXPECT_EQ(host.boxes.back().text, u(u"ｳｪｲﾄﾀｲﾑは数字で入力してください｡"));
    form.SendBox10->setText("0");
    EXPECT_FALSE(form.Button1Click());
    EXPECT_EQ(host.boxes.back().text, u(u"通信速度を選択してください｡"));
    EXPECT_EQ(form.focusWidget(), form.ReadBox1);
    form.ReadBox1->setCurrentIndex(2);
    EXPECT_FALSE(form.Button1Click());
    EXPECT_EQ(host.boxes.back().text, u(u"受信コードを選択してください｡"));
    form.ReadBox2->setCurrentIndex(0);
    form.SendBox3->setCurrentIndex(1);
    ASSERT_TRUE(form.Button1Click());
    platform::IniFile ini(home.file("Setting.ini"));
    ini.load();
    EXPECT_EQ(ini.readInteger("Read1", "Speed", -1), 2);
    EXPECT_EQ(ini.readInteger("Read1", "Code", -2), 0);
    EXPECT_EQ(ini.readInteger("Send1", "STbit", -1), 1);
    EXPECT_EQ(ini.readString("Setting1", "Name", ""), QString(41, 'N'));
}

// ---------------------------------------------------------------- test mail

TEST_F(Editor, TestMailGoesToTheMailCommandOrAsksForTheAddress) {
    open();
    form.OpLab5->setText("no-address");
    form.OpBtnClick();
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].icon, SetdataHost::Information);
    EXPECT_EQ(host.boxes[0].title, u(u"ﾃｽﾄ送信"));
    EXPECT_EQ(host.boxes[0].text, u(u"ﾒｰﾙｱﾄﾞﾚｽ確認"));
    EXPECT_TRUE(home.read("mail.log").isEmpty());

    form.OpLab5->setText("ops@example.com");
    form.OpLab6->setText("Lathe");
    form.OpBtnClick();
    const QByteArray mail = home.read("mail.log");
    EXPECT_TRUE(mail.contains("To: ops@example.com\n")) << mail.toStdString();
    EXPECT_TRUE(mail.contains("Subject: Lathe\n"));
    EXPECT_TRUE(mail.contains("Disposition-Notification-To:"));
    EXPECT_TRUE(mail.contains(u(u"\nﾃｽﾄ送信").toUtf8())) << mail.toStdString();
    EXPECT_EQ(host.boxes.size(), 1u);
}

// ---------------------------------------------------------------- ports over pseudo-terminals

TEST_F(Editor, NoFreePortGivesOnlyNoPort) {
    open();
    EXPECT_EQ(items(form.ReadBox4), QStringList{u(u"設定ﾎﾟｰﾄ無し")});
    EXPECT_EQ(items(form.SendBox4), QStringList{u(u"設定ﾎﾟｰﾄ無し")});
    EXPECT_EQ(form.ReadBox4->currentIndex(), -1) << "the profile's COM1 is not there";
}

TEST_F(Editor, PortListHoldsTheMappedPortsThatOpenAndLeavesOutExcludedAndHeldOnes) {
    PtyPair a, b, c;
    mapPorts("COM2=" + a.slavePath().toLocal8Bit() + "\r\nCOM3=" + b.slavePath().toLocal8Bit() +
             "\r\nCOM12=" + c.slavePath().toLocal8Bit() + "\r\nCOM7=" + home.file("gone").toLocal8Bit() +
             "\r\n");
    input.profile.read.port = "COM12";
    input.profile.send.port = "com2";
    host.lineOptions.excludedPort1 = "com3";
    open();
    const QStringList all{"COM2", "COM12", u(u"設定ﾎﾟｰﾄ無し")};
    EXPECT_EQ(items(form.ReadBox4), all) << "com3 excludes port 3; COM7's device is gone";
    EXPECT_EQ(items(form.SendBox4), all);
    EXPECT_EQ(form.ReadBox4->currentText(), "COM12");
    EXPECT_EQ(form.SendBox4->currentText(), "COM2");

    Holder holder(c.slavePath());
    QElapsedTimer t;
    t.start();
    while (host.probePort(12) && t.elapsed() < 3000)
        QTest::qWait(20);
    open();
    EXPECT_EQ(items(form.ReadBox4), (QStringList{"COM2", u(u"設定ﾎﾟｰﾄ無し")})) << "held by another program";
    EXPECT_EQ(form.ReadBox4->currentIndex(), -1) << "the profile's port shows no selection";
    form.Edit1->setText("X");
    ASSERT_TRUE(form.Button1Click());
    platform::IniFile ini(home.file("Setting.ini"));
    ini.load();
    EXPECT_EQ(ini.readString("Read1", "Port", ""), "COM12") << "a port not offered now is kept, not erased";
    EXPECT_EQ(ini.readString("Send1", "Port", ""), "COM2");

    form.ReadBox4->setCurrentIndex(form.ReadBox4->findText(u(u"設定ﾎﾟｰﾄ無し")));
    ASSERT_TRUE(form.Button1Click());
    ini.load();
    EXPECT_EQ(ini.readString("Read1", "Port", ""), u(u"設定ﾎﾟｰﾄ無し"));
}

TEST_F(Editor, DeviceMappingShowsPicksAndSavesTheDevice) {
    PtyPair usb, old;
    QFile::link(usb.slavePath(), input.devices.dev + "/ttyUSB0");
    const QString byId = input.devices.dev + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A9H5LJV3-if00-port0";
    QFile::link("../../ttyUSB0", byId);
    home.write("Tornyx.INI", "[Main]\r\nLeft=5\r\n[Ports]\r\nCOM2=" + old.slavePath().toLocal8Bit() +
                                 "\r\n[Options]\r\nop1=N\r\n");
    input.profile.send.port = "COM2";
    open();
    EXPECT_EQ(form.SendDevBox->currentText(), old.slavePath()) << "the device COM2 leads to now";
    EXPECT_EQ(form.SendDevState->text(), u(u"使用可能"));
    EXPECT_EQ(form.ReadDevBox->currentText(), "/dev/ttyS0")
        << "the receive list cannot offer the profile's COM1; its default device is shown";
    ASSERT_EQ(form.SendDevBox->count(), 2);
    EXPECT_EQ(form.SendDevBox->itemText(0), byId);
    EXPECT_EQ(form.SendDevBox->model()->index(0, 1).data().toString(), "FTDI FT232R USB UART A9H5LJV3");
    EXPECT_EQ(form.SendDevBox->itemText(1), input.devices.dev + "/ttyUSB0");

    // A new adapter for the profile's receive port COM1, which does not open
    // and so is not offered: choosing the device maps COM1 and offers it.
    form.ReadDevBox->setCurrentIndex(0);
    EXPECT_EQ(form.ReadBox4->currentText(), "COM1");
    EXPECT_EQ(items(form.SendBox4), (QStringList{"COM1", "COM2", u(u"設定ﾎﾟｰﾄ無し")}));
    EXPECT_EQ(form.mappedDevice("COM1"), byId);
    EXPECT_EQ(form.ReadDevState->text(), u(u"使用可能"));
    EXPECT_TRUE(form.Button1->isEnabled());

    // A typed path that does not exist is taken as typed and shown as missing.
    form.SendDevBox->setEditText("/dev/ttyUSB7");
    EXPECT_EQ(form.SendDevState->text(), u(u"見つかりません"));
    ASSERT_TRUE(form.Button1Click());
    EXPECT_EQ(home.read("Tornyx.INI"), "[Main]\r\nLeft=5\r\n[Ports]\r\nCOM2=/dev/ttyUSB7\r\nCOM1=" +
                                           byId.toLocal8Bit() + "\r\n[Options]\r\nop1=N\r\n");
    platform::IniFile set(home.file("Setting.ini"));
    set.load();
    EXPECT_EQ(set.readString("Read1", "Port", ""), "COM1");
}

TEST_F(Editor, DeviceHeldByAnotherProgramIsShownBusy) {
    PtyPair usb;
    QFile::link(usb.slavePath(), input.devices.dev + "/ttyUSB0");
    mapPorts("COM4=" + input.devices.dev.toLocal8Bit() + "/ttyUSB0\r\n");
    input.profile.read.port = "COM4";
    Holder holder(usb.slavePath());
    QTest::qWait(200);
    open();
    EXPECT_EQ(form.ReadDevState->text(), u(u"使用中(他のﾌﾟﾛｸﾞﾗﾑ)"));
    ASSERT_EQ(form.ReadDevBox->count(), 1) << "listed, not hidden";
    EXPECT_EQ(form.ReadDevBox->model()->index(0, 2).data().toString(), u(u"使用中(他のﾌﾟﾛｸﾞﾗﾑ)"));
    holder.p.kill();
    holder.p.waitForFinished();
    form.refreshDevices();
    EXPECT_EQ(form.ReadDevState->text(), u(u"使用可能"));
}

TEST_F(Editor, DeviceServerMappingsAndTheFastSpeeds) {
    input.profile.send.speed = 9;
    input.profile.send.port = "COM3";
    open();
    EXPECT_EQ(form.SendBox1->currentText(), "115200");
    EXPECT_EQ(form.ReadBox1->count(), 10);
    EXPECT_EQ(form.ReadBox1->itemText(6), u(u"ﾃｰﾌﾟﾘｰﾀﾞより受信")) << "the fast rates follow the tape entry";

    form.PageControl1->setCurrentIndex(1);
    form.SendDevBox->setEditText("rfc2217://");
    EXPECT_EQ(form.SendDevState->text(), u(u"ﾎｽﾄ名がありません"));
    EXPECT_FALSE(form.Button1Click()) << "an address no port can open is not stored";
    EXPECT_EQ(host.boxes.back().text, u(u"COM3の割当: ﾎｽﾄ名がありません"));
    EXPECT_FALSE(QFile::exists(home.file("Setting.ini")));

    form.SendDevBox->setEditText("rfc2217://ts-1:4001");
    EXPECT_EQ(form.SendDevState->text(), u(u"ﾈｯﾄﾜｰｸ機器 ts-1:4001"));
    EXPECT_FALSE(red(form.SendDevState));
    ASSERT_TRUE(form.Button1Click());
    platform::IniFile ini(home.file("Tornyx.INI"));
    ini.load();
    EXPECT_EQ(ini.readString("Ports", "COM3", ""), "rfc2217://ts-1:4001");
    platform::IniFile set(home.file("Setting.ini"));
    set.load();
    EXPECT_EQ(set.readInteger("Send1", "Speed", -1), 9);
}
