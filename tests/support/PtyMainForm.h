#pragma once

// A main window that talks to tornyx-machine over a real pseudo-terminal
// mapped as COM1; the window uses the real termios port and clock, so only
// the stand-in commands are fakes. The test target defines TORNYX_MACHINE.

#include "app/TMainForm.h"
#include "platform/TextCodec.h"
#include "support/FakePrompts.h"
#include "support/MachineProcess.h"
#include "support/SafeServices.h"
#include "support/TempHome.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>

namespace tornyx::test {

template <class PromptsT = FakePrompts> struct PtyMainForm : ::testing::Test {
    TempHome home;
    PromptsT prompts;
    SafeServices safe{home, &prompts};
    std::unique_ptr<MachineProcess> machine;
    std::unique_ptr<TMainForm> form;

    // machineArgs come after the defaults and win over them.
    void start(const QStringList& machineArgs, const QByteArray& document, const QByteArray& settings = {}) {
        machine = std::make_unique<MachineProcess>(
            TORNYX_MACHINE,
            QStringList{"--mode", "receive", "--baud", "19200", "--start-delay", "30", "--timeout", "15000",
                        "--idle", "500", "--out", home.file("got.nc"), "--raw-out", home.file("raw.bin")},
            machineArgs);
        ASSERT_FALSE(machine->slave().isEmpty());
        home.write("Tornyx.INI", "[Ports]\r\nCOM1=" + machine->slave().toLocal8Bit() + "\r\n");
        home.write("Setting.ini", "[Send1]\r\nSpeed=5\r\n" + settings);
        home.write("PROG.NC", document);
        safe.services.port = nullptr;
        safe.services.clock = nullptr;
        form = std::make_unique<TMainForm>(QStringList{home.file("PROG.NC")}, safe.services);
        form->show();
        QApplication::processEvents();
    }
    // Waits (with the event loop running) until the run has ended and the
    // post-transfer step has given the window back.
    void waitUntilIdle() {
        QElapsedTimer t;
        t.start();
        while (form->controls().SpeedButton[13]->isEnabled() && t.elapsed() < 20000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        while (!form->controls().SpeedButton[10]->isEnabled() && t.elapsed() < 25000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    // Presses Send and waits until the window is back.
    void sendAndWait() {
        form->controls().SpeedButton[10]->click();
        waitUntilIdle();
    }
    QString lastLogLine() const {
        const QString log = platform::fromSjis(home.read("Tornyx_S.log"));
        const QStringList lines = log.split("\r\n", Qt::SkipEmptyParts);
        return lines.isEmpty() ? QString() : lines.back().section("  ", 1);
    }
    ~PtyMainForm() override {
        if (form) {
            form->setModified(false);
            form->close();
        }
    }
};

} // namespace tornyx::test
