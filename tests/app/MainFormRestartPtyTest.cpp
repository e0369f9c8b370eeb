// Restart from a block through the real window over a pseudo-terminal to
// tornyx-machine: the operator opens the restart dialog (from the editor's
// popup menu or from the DNC set-up dialog), reads the header built from the
// profile's template in Setting.ini and starts; the machine must receive the
// header and then the program from the chosen block, byte for byte, in ISO
// and in EIA, at level 0 and inside a called program.
#include "PickStartProgram.h"
#include "app/TMainForm.h"
#include "nc/ui/TRestartForm.h"
#include "platform/TextCodec.h"
#include "serial/NcCode.h"
#include "support/FakePrompts.h"
#include "support/MachineProcess.h"
#include "support/ModalDialog.h"
#include "support/SafeServices.h"
#include "support/TempHome.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace tornyx;
using test::FakePrompts;
using test::MachineProcess;
using test::TempHome;

namespace {

struct RestartCase {
    const char* name;
    bool eia;
    bool dnc;
    bool viaSetUpDialog; // "途中再開" of the DNC set-up dialog, else the popup menu
    QList<QByteArray> lines;
    int caretLine; // 0-based
    int pass;
    std::string stream; // the program characters the machine received
};

void PrintTo(const RestartCase& c, std::ostream* os) {
    *os << c.name;
}

class RestartThroughTheWindow : public ::testing::TestWithParam<RestartCase> {
protected:
    TempHome home;
    FakePrompts prompts;
    test::SafeServices safe{home, &prompts};
    std::unique_ptr<MachineProcess> machine;
    std::unique_ptr<TMainForm> form;
    QString header; // what the dialog showed

    ~RestartThroughTheWindow() override {
        if (form) {
            form->setModified(false);
            form->close();
        }
    }

    void run(const RestartCase& c) {
        QStringList args{"--mode",        c.dnc ? "dnc" : "receive",
                         "--code",        c.eia ? "eia" : "iso",
                         "--baud",        "19200",
                         "--start-delay", "30",
                         "--timeout",     "15000",
                         "--idle",        "500",
                         "--raw-out",     home.file("raw.bin")};
        if (c.dnc)
            args << "--buffer"
                 << "256"
                 << "--blocks-per-s"
                 << "60";
        machine = std::make_unique<MachineProcess>(TORNYX_MACHINE, args, QStringList{});
        ASSERT_FALSE(machine->slave().isEmpty());
        home.write("Tornyx.INI", "[Ports]\r\nCOM1=" + machine->slave().toLocal8Bit() + "\r\n");
        home.write("Setting.ini", "[Send1]\r\nSpeed=5\r\nCode=" + QByteArray(c.eia ? "1" : "0") +
                                      "\r\nDNC_Send=" + QByteArray(c.dnc ? "1" : "0") +
                                      "\r\n[Restart1]\r\nHeaderLines=2\r\nHeader1=G90 G00 X{x} Y{y}\r\n"
                                      "Header2={units} {distance}\r\n");
        QByteArray doc;
        for (const QByteArray& l : c.lines)
            doc += l + "\r\n";
        home.write("PROG.NC", doc);
        safe.services.port = nullptr;
        safe.services.clock = nullptr;
        form = std::make_unique<TMainForm>(QStringList{home.file("PROG.NC")}, safe.services);
        form->show();
        QElapsedTimer t;
        t.start();
        while (form->controls().ComboBox1->count() == 0 && t.elapsed() < 10000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        ASSERT_GT(form->controls().ComboBox1->count(), 0);
        form->controls().RichEdit1->setCursorPosition(c.caretLine, 0);

        test::whenModalShown<TRestartForm>(form.get(), [this, c](TRestartForm& d) {
            if (c.pass != 1) {
                d.SpinEdit3->setValue(c.pass);
                d.Button3Click();
            }
            header = d.Memo1->toPlainText();
            d.Button1->click();
        });
        if (c.viaSetUpDialog) {
            test::whenModalShown<TDncForm>(form.get(), [](TDncForm& d) {
                d.ComboBox1->setCurrentIndex(0);
                emit d.ComboBox1->activated(0);
                d.Button5->click();
            });
            form->controls().SpeedButton[10]->click(); // returns when the run has ended
        } else {
            QAction* restart = form->controls().PopupMenu1->findChild<QAction*>("restart_s");
            ASSERT_NE(restart, nullptr);
            restart->trigger();
        }
        while (!form->controls().SpeedButton[10]->isEnabled() && t.elapsed() < 30000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
    }

    std::string stream(bool eia) const {
        std::string out;
        for (char ch : home.read("raw.bin")) {
            const auto b = static_cast<unsigned char>(ch);
            out += eia ? (b == nc::EiaEndOfBlock ? '\n' : char(nc::decodeEia(b))) : char(b & 0x7f);
        }
        return out;
    }
};

TEST_P(RestartThroughTheWindow, HeaderThenTheProgramFromTheBlock) {
    const RestartCase& c = GetParam();
    run(c);
    // ISO leads with a line feed; EIA has none. The end code is LF + "%".
    EXPECT_EQ(stream(c.eia), (c.eia ? "" : "\n") + c.stream + "\n%");
    const QString log = platform::fromSjis(home.read(c.dnc ? "Tornyx_D.log" : "Tornyx_S.log"));
    EXPECT_TRUE(log.contains(QStringLiteral(u"  途中再開 行%1").arg(c.caretLine + 1))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral(u"  ﾍｯﾀﾞｰ修正なし"))) << log.toStdString();
    EXPECT_TRUE(form->controls().SpeedButton[10]->isEnabled()) << "the window is given back";
}

const QList<QByteArray> Straight = {"O1", "G21 G90 G00 X1. Y2.", "G01 X3. F100.", "Y4.", "X5.", "M30"};
const QList<QByteArray> Called = {"O1",   "G21 G90 G00 X0. Y0.", "M98 P100 L3", "X9.", "M30",
                                  "O100", "G91 G01 X1. F100.",   "Y1.",         "M99"};
// After one pass and the first line of the second: X2. Y1., incremental.
const std::string CalledRest = "G90 G00 X2. Y1.\nG21 G91\nY1.\nG91 G01 X1. F100.\nY1.\nX9.\nM30\n";

INSTANTIATE_TEST_SUITE_P(Cases, RestartThroughTheWindow,
                         testing::Values(RestartCase{"DncIsoLevelZero", false, true, false, Straight, 3, 1,
                                                     "G90 G00 X3. Y2.\nG21 G90\nY4.\nX5.\nM30\n"},
                                         RestartCase{"DncEiaLevelZero", true, true, false, Straight, 3, 1,
                                                     "G90 G00 X3. Y2.\nG21 G90\nY4.\nX5.\nM30\n"},
                                         RestartCase{"DncIsoInsideTheCall", false, true, false, Called, 7, 2,
                                                     CalledRest},
                                         RestartCase{"DncEiaInsideTheCallFromTheSetUpDialog", true, true,
                                                     true, Called, 7, 2, CalledRest},
                                         RestartCase{"SendIsoLevelZero", false, false, false, Straight, 3, 1,
                                                     "G90 G00 X3. Y2.\nG21 G90\nY4.\nX5.\nM30\n"}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
