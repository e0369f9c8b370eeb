// DNC operation through the real main window: the set-up dialog chooses the
// start program and the run drip-feeds the line. Each case compares what
// went down the line with the stream the subprogram calls must produce, or
// checks the stop path. The cases run on the emulated line and the fake
// clock; a few run end to end into tornyx-machine's DNC buffer over a
// pseudo-terminal, where the machine's own pacing, XOFF, hang-up and cancel
// are what is tested.
#include "PickStartProgram.h"
#include "app/TMainForm.h"
#include "platform/TextCodec.h"
#include "status/ui/StatusBars.h"
#include "support/FakePrompts.h"
#include "support/JapaneseText.h"
#include "support/MachineProcess.h"
#include "support/SafeServices.h"
#include "support/TempHome.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace tornyx;
using test::FakePrompts;
using test::MachineProcess;
using test::TempHome;
using test::u;

namespace {

struct DncCase {
    const char* name;
    QList<QByteArray> lines;
    int startProgram;   // entry of the dialog's program list
    QByteArray options; // extra lines of section Options
    // What the machine took off the line, the low seven bits of each byte;
    // for a stop: what came before it.
    std::string stream;
    const char16_t* lastLog;            // the log's last line after the time stamp
    const char16_t* box;                // a box the run must have shown, or nullptr
    const char16_t* level;              // a level display seen during the run, or nullptr
    const char* blocksPerSecond = "60"; // how fast the control runs its buffer
};

void PrintTo(const DncCase& c, std::ostream* os) {
    *os << c.name;
}

class DncThroughTheWindow : public ::testing::TestWithParam<DncCase> {
protected:
    TempHome home;
    FakePrompts prompts;
    test::SafeServices safe{home, &prompts};
    std::unique_ptr<MachineProcess> machine;
    std::unique_ptr<TMainForm> form;
    QStringList levels; // every text of the level panel seen during the run

    ~DncThroughTheWindow() override {
        if (form) {
            form->setModified(false);
            form->close();
        }
    }

    // Over a pty to tornyx-machine with the real clock when machineArgs are
    // given (or overPty), else on the emulated line with the fake clock.
    void run(const DncCase& c, const QStringList& machineArgs = {}, bool overPty = false) {
        m_overPty = overPty || !machineArgs.isEmpty();
        QByteArray ports;
        if (m_overPty) {
            machine = std::make_unique<MachineProcess>(
                TORNYX_MACHINE,
                QStringList{"--mode", "dnc", "--buffer", "256", "--blocks-per-s", c.blocksPerSecond, "--baud",
                            "19200", "--start-delay", "30", "--timeout", "15000", "--idle", "500",
                            "--raw-out", home.file("raw.bin")},
                machineArgs);
            ASSERT_FALSE(machine->slave().isEmpty());
            ports = "[Ports]\r\nCOM1=" + machine->slave().toLocal8Bit() + "\r\n";
            safe.services.port = nullptr;
            safe.services.clock = nullptr;
        } else {
            safe.port.deliver("\x11"); // the control is ready
        }
        home.write("Tornyx.INI", ports + "[Options]\r\n" + c.options);
        home.write("Setting.ini", "[Send1]\r\nSpeed=5\r\nDNC_Send=1\r\n");
        QByteArray doc;
        for (const QByteArray& l : c.lines)
            doc += l + "\r\n";
        home.write("PROG.NC", doc);
        form = std::make_unique<TMainForm>(QStringList{home.file("PROG.NC")}, safe.services);
        form->show();
        QElapsedTimer t;
        t.start();
        while (form->controls().ComboBox1->count() <= c.startProgram && t.elapsed() < 10000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        ASSERT_GT(form->controls().ComboBox1->count(), c.startProgram);

        // The set-up dialog comes up modally inside the run.
        test::pickStartProgramWhenShown(form.get(), c.startProgram);
        QObject::connect(form->controls().StatusBar2, &StatusPanels::textChanged,
                         [&](int index, const QString& text) {
                             if (index == 1)
                                 levels << text;
                         });
        form->controls().SpeedButton[10]->click(); // returns when the run has ended
        if (m_overPty) {
            while (!form->controls().SpeedButton[10]->isEnabled() && t.elapsed() < 30000)
                QApplication::processEvents(QEventLoop::AllEvents, 20);
        } else {
            safe.settle([&] { return form->controls().SpeedButton[10]->isEnabled(); });
        }
    }

    std::string stream() const {
        QByteArray text = m_overPty ? home.read("raw.bin") : safe.port.written();
        for (char& ch : text)
            ch = char(ch & 0x7f);
        return text.toStdString();
    }
    QString lastLogLine() const {
        const QStringList lines =
            platform::fromSjis(home.read("Tornyx_D.log")).split("\r\n", Qt::SkipEmptyParts);
        return lines.isEmpty() ? QString() : lines.back().section("  ", 1);
    }
    bool boxShown(const QString& text) const {
        for (const auto& b : prompts.boxes)
            if (b.text == text)
                return true;
        return false;
    }
    bool m_overPty = false;
};

TEST_P(DncThroughTheWindow, TheMachineGetsExactlyTheCalledBlocks) {
    const DncCase& c = GetParam();
    run(c);
    EXPECT_EQ(stream(), c.stream);
    EXPECT_EQ(lastLogLine(), u(c.lastLog));
    if (c.box) {
        EXPECT_TRUE(boxShown(u(c.box))) << "box " << u(c.box).toStdString();
    }
    if (c.level) {
        EXPECT_TRUE(levels.contains(u(c.level))) << levels.join(" | ").toStdString();
    }
    EXPECT_TRUE(form->controls().SpeedButton[10]->isEnabled()) << "the window is given back";
}

// The line carries LF before the data and LF + "%" at the end (ISO, the
// profile's defaults); a stop sends DC4.
const char16_t* const Done = u"DNC送信完了";

INSTANTIATE_TEST_SUITE_P(
    Cases, DncThroughTheWindow,
    testing::Values(
        DncCase{"RepeatCount",
                {"O1", "M98 P100 L3", "M30", "O100", "X5.", "M99"},
                0,
                "",
                "\nO1\nX5.\nX5.\nX5.\nM30\n\n%",
                Done,
                nullptr,
                u"<< DNC運転ﾓｰﾄﾞ >> ﾚﾍﾞﾙ1[L=3]"},
        DncCase{"CallWords",
                {"O1", "X10. M98 P100", "M30", "O100", "G01 X5.", "Y1.", "M99"},
                0,
                "",
                "\nO1\nG01 X5.X10.\nY1.\nM30\n\n%",
                Done,
                nullptr,
                nullptr},
        DncCase{"M99AtLevel0", {"O1", "X1.", "M99", "X2."}, 0, "", "\nO1\nX1.\n\n%", Done, nullptr, nullptr},
        DncCase{"M30AtLevel1WithOp15",
                {"O1", "M98 P100", "X9.", "M30", "O100", "X5.", "M30", "X6."},
                0,
                "op15=Y\r\n",
                "\nO1\nX5.\nX9.\nM30\n\n%",
                Done,
                nullptr,
                nullptr},
        DncCase{"M30AtLevel1WithoutOp15",
                {"O1", "M98 P100", "X9.", "M30", "O100", "X5.", "M30", "X6."},
                0,
                "op15=N\r\n",
                "\nO1\nX5.\nM30\n\n%",
                Done,
                nullptr,
                nullptr},
        DncCase{"GotoInsideItsProgram",
                {"O1", "GOTO 20", "N10 X1.", "N20 X2.", "M30", "O2", "N20 X9."},
                0,
                "",
                "\nO1\nN20 X2.\nM30\n\n%",
                Done,
                nullptr,
                nullptr},
        DncCase{"M2EndsM20DoesNot",
                {"O1", "M20", "X1.", "M2", "X3."},
                0,
                "",
                "\nO1\nM20\nX1.\nM2\n\n%",
                Done,
                nullptr,
                nullptr},
        DncCase{"ThreeDeep",
                {"O1", "M98 P10", "X1.", "M30", "O10", "A1.", "M98 P20", "A2.", "M99", "O20", "B1.",
                 "M98 P30", "B2.", "M99", "O30", "C1.", "M99"},
                0,
                "",
                "\nO1\nA1.\nB1.\nC1.\nB2.\nA2.\nX1.\nM30\n\n%",
                Done,
                nullptr,
                u"<< DNC運転ﾓｰﾄﾞ >> ﾚﾍﾞﾙ3"},
        DncCase{"StartInTheMiddle",
                {"O100", "X5.", "M99", "O1", "M98 P100", "M30"},
                1,
                "",
                "\nO1\nX5.\nM30\n\n%",
                Done,
                nullptr,
                nullptr},
        DncCase{"MacroVariable",
                {"O1", "M98 P#1", "M30", "O100", "M99"},
                0,
                "",
                "\nO1\n\x14",
                u"送信中止　ｴﾗｰ番号 3025",
                u"ﾏｸﾛ変数は検索出来ません｡",
                nullptr},
        DncCase{"MissingProgram",
                {"O1", "M98 P7", "M30"},
                0,
                "",
                "\nO1\n\x14",
                u"送信中止　ｴﾗｰ番号 3025",
                u"ﾌﾟﾛｸﾞﾗﾑが見当たりません?\n送信を中止します｡",
                nullptr},
        DncCase{"Recursion",
                {"O1", "M98 P100", "M30", "O100", "X1.", "M98 P100", "M99"},
                0,
                "",
                "\nO1\nX1.\nX1.\nX1.\nX1.\nX1.\nX1.\nX1.\nX1.\nX1.\n\x14",
                u"送信中止　ｴﾗｰ番号 3025",
                nullptr,
                u"<< DNC運転ﾓｰﾄﾞ >> ﾚﾍﾞﾙ9"}),
    [](const testing::TestParamInfo<DncCase>& i) { return std::string(i.param.name); });

// End to end into the simulated control's buffer: every block arrives, and
// a control that runs its buffer slowly holds the run with XOFF without an
// overrun.
class DncOverPty : public DncThroughTheWindow {};

TEST_F(DncOverPty, CallsArriveInTheControlsBuffer) {
    const DncCase c{"RepeatCount",
                    {"O1", "M98 P100 L3", "M30", "O100", "X5.", "M99"},
                    0,
                    "",
                    "\nO1\nX5.\nX5.\nX5.\nM30\n\n%",
                    Done,
                    nullptr,
                    nullptr};
    run(c, {}, true);
    EXPECT_EQ(stream(), c.stream);
    EXPECT_EQ(lastLogLine(), u(c.lastLog));
    EXPECT_EQ(machine->result().value("overflow"), "0");
}

TEST_F(DncOverPty, ThrottledByTheBuffer) {
    const DncCase c = DncCase{"ThrottledByTheBuffer",
                              {"O1", "M98 P100 L20", "M30", "O100", "G01 X123.456 Y-78.9 F1200.", "M99"},
                              0,
                              "",
                              "\nO1\n" +
                                  [] {
                                      std::string s;
                                      for (int i = 0; i < 20; ++i)
                                          s += "G01 X123.456 Y-78.9 F1200.\n";
                                      return s;
                                  }() +
                                  "M30\n\n%",
                              Done,
                              nullptr,
                              u"<< DNC運転ﾓｰﾄﾞ >> ﾚﾍﾞﾙ1[L=20]",
                              "20"};
    run(c, {}, true);
    EXPECT_EQ(stream(), c.stream);
    EXPECT_TRUE(levels.contains(u(c.level))) << levels.join(" | ").toStdString();
    EXPECT_EQ(machine->result().value("overflow"), "0") << "the control's buffer never overran";
    EXPECT_GT(machine->result().value("xoffs").toInt(), 0) << "the control had to hold the run";
}

// A machine that hangs up or cancels in the middle of the drip feed: the run
// stops with the reason in the log and gives the window back.
class DncHangUp : public DncThroughTheWindow {};

TEST_F(DncHangUp, StopsTheRunWithItsReason) {
    DncCase c{"HangUp", {"O1", "M98 P100 L50", "M30", "O100", "G01 X1.", "M99"}, 0, "", "", u"", nullptr,
              nullptr};
    run(c, {"--fault", "hangup@40"});
    const std::string got = stream();
    EXPECT_EQ(got.substr(0, 12), "\nO1\nG01 X1.\n");
    EXPECT_LT(got.size(), 60u);
    EXPECT_TRUE(lastLogLine().startsWith(u(u"送信中止　ｴﾗｰ番号 30"))) << lastLogLine().toStdString();
    EXPECT_TRUE(platform::fromSjis(home.read("Tornyx_D.log")).contains(u(u"  通信ﾎﾟｰﾄ書込み不良の為中止")));
    EXPECT_TRUE(form->controls().SpeedButton[10]->isEnabled());
}

// The machine holds the run with XOFF and then cancels it with CAN.
TEST_F(DncHangUp, CanWhileTheMachineHoldsTheRunStopsIt) {
    DncCase c{"Can",  {"O1", "M98 P100 L50", "M30", "O100", "G01 X1.", "M99"}, 0, "", "", u"", nullptr,
              nullptr};
    run(c, {"--xoff-at", "30", "--xoff-ms", "10000", "--fault", "can@30"});
    EXPECT_LT(stream().size(), 60u) << "nothing after the cancel";
    EXPECT_TRUE(lastLogLine().startsWith(u(u"送信中止　ｴﾗｰ番号 30"))) << lastLogLine().toStdString();
    EXPECT_FALSE(QByteArray::fromStdString(stream()).contains('\x14')) << "a cancelled run sends no DC4";
    EXPECT_TRUE(form->controls().SpeedButton[10]->isEnabled());
}

} // namespace
