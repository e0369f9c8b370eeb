// The main window's side of the transfers: the serial line's host, the send
// run's editor and host, the post-transfer step (Timer1) and the
// remaining-time ticks (Timer2).
#include "app/TMainForm.h"
#include "app/TransferWiring.h"

#include "app/Prompts.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "platform/PortNames.h"
#include "platform/PosixSerialPort.h"
#include "platform/ScreenSaver.h"
#include "platform/TextCodec.h"
#include "send/PostTransfer.h"
#include "send/SendRun.h"
#include "receive/Receiver.h"
#include "send/TSendTime.h"
#include "serial/TransferSession.h"

#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QTimer>
#include <QToolButton>

namespace tornyx {

namespace {

} // namespace

LineOptions lineOptionsFrom(const Options& o) {
    LineOptions l;
    l.dc3Is93 = o.isOn(Opt::Dc3Is93);
    l.skipSpaces = o.isOn(Opt::SkipSpaces);
    l.dtrAlwaysOn = o.isOn(Opt::DtrAlwaysOn);
    l.autoSwitch = o.isOn(Opt::AutoSwitch);
    l.noLineCheck = o.isOn(Opt::NoLineCheck);
    l.dsrCheck = o.isOn(Opt::DsrCheck);
    l.excludedPort1 = o.modemePort1;
    l.excludedPort2 = o.modemePort2;
    return l;
}

SendOptions sendOptionsFrom(const Options& o) {
    SendOptions s;
    s.selectPrograms = o.isOn(Opt::SelectPrograms);
    s.metres = o.isOn(Opt::Metres);
    s.sendAfterComment = o.isOn(Opt::SendAfterComment);
    s.ignoreMachineStop = o.isOn(Opt::IgnoreMachineStop);
    s.punchCompletion = o.isOn(Opt::PunchCompletion);
    s.noLeadingLf = o.isOn(Opt::NoLeadingLf);
    s.noLineCheck = o.isOn(Opt::NoLineCheck);
    s.powerOff = o.isOn(Opt::PowerOff);
    s.dc3Is93 = o.isOn(Opt::Dc3Is93);
    s.stepSendEnabled = o.stepSendEnabled;
    s.autoIndexOff = o.autoIndexOff;
    return s;
}

// ---------------------------------------------------------------- the main window's part

void TMainForm::setUpTransfers(MainFormServices& services) {
    m_transfer = std::make_unique<TransferWiring>(*this, services);
    if (!dncRun)
        dncRun = [this] {
            m_transfer->runDnc();
            // A close asked for during the run (not the close after a
            // completed run, which is on its way already).
            if (closeAfterTransfer && !transferState.success)
                QTimer::singleShot(0, this, [this] { close(); });
        };
    AutoForm = new TAutoForm(this);
    connectLogMenu();
    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(2000);
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    Timer2 = new QTimer(this);
    Timer2->setObjectName("Timer2");
    Timer2->setInterval(TSendTime::TickMs);
    connect(Timer2, &QTimer::timeout, this, [this] { TSendTime::tick(transferState.counters); });
    connect(SpeedButton[13], &QToolButton::clicked, this, [this] { SpeedButton13Click(); });
    connect(SpeedButton[14], &QToolButton::clicked, this, [this] { SpeedButton14Click(); });
    connect(SpeedButton[15], &QToolButton::clicked, this, [this] { SpeedButton15Click(); });
    qApp->installEventFilter(this);
}

TMainForm::~TMainForm() {
    if (qApp)
        qApp->removeEventFilter(this);
}

TransferSession& TMainForm::session() { return m_transfer->session(); }
SendRun& TMainForm::sendRun() { return m_transfer->send(); }
Prompts& TMainForm::prompts() { return *m_prompts; }

bool TMainForm::isTransferRunning() const { return receiving ||
           (m_transfer && (m_transfer->send().isRunning() || m_transfer->dnc().isRunning()));
}

ReceiveOptions receiveOptionsFrom(const Options& o) {
    ReceiveOptions r;
    r.line = lineOptionsFrom(o);
    r.keepOnStop = o.isOn(Opt::KeepOnStop);
    r.powerOff = o.isOn(Opt::PowerOff);
    r.splitAfterReceive = o.isOn(Opt::SplitAfterReceive);
    return r;
}

void TMainForm::runReceive(const std::function<void(Receiver&, Receiver::Request&)>& how) {
    Receiver receiver(session(), *m_transfer);
    Receiver::Request request;
    request.profileNumber = options.setNo;
    request.profile = profiles[options.setNo];
    request.options = receiveOptionsFrom(options);
    request.exitAfterTransfer = exitAfterTransfer;
    transferState.kind = 2;
    receiving = true;
    how(receiver, request);
    receiving = false;
    exitAfterTransfer = request.exitAfterTransfer;
    shiftForNextTransfer = false;
    if (closeAfterTransfer)
        QTimer::singleShot(0, this, [this] { close(); });
}

void TMainForm::SpeedButton9Click() {
    runReceive([](Receiver& r, Receiver::Request& q) { r.receiveButtonClicked(q); });
}

void TMainForm::startReceive(const QString& path) {
    runReceive([path](Receiver& r, Receiver::Request& q) { r.orderedReceive(q, path); });
}

SendContext TMainForm::sendContext() const {
    SendContext c;
    c.profile = profiles[options.setNo];
    c.profileNumber = options.setNo;
    c.options = sendOptionsFrom(options);
    c.lineOptions = lineOptionsFrom(options);
    c.documentPath = documentPath;
    return c;
}

void TMainForm::SpeedButton10Click() {
    transferState.exitAfterTransfer = exitAfterTransfer;
    transferState.transferPath = transferPath;
    sendRun().SendButtonPressed(1, sendContext());
    exitAfterTransfer = transferState.exitAfterTransfer;
    shiftForNextTransfer = false;
}

void TMainForm::SpeedButton15Click() {
    transferState.exitAfterTransfer = exitAfterTransfer;
    sendRun().SendButtonPressed(2, sendContext());
    exitAfterTransfer = transferState.exitAfterTransfer;
}

void TMainForm::SpeedButton13Click() {
    stopPending = true;
    sendRun().StopPressed();
    session().requestStop();
}

void TMainForm::SpeedButton14Click() { m_transfer->step(); }

void TMainForm::Timer1Timer() {
    PostTransferOptions o;
    o.closeSelection = options.isOn(Opt::SelectPrograms);
    o.splitAfterReceive = options.isOn(Opt::SplitAfterReceive);
    transferState.receivedPending = transferState.receivedPending || receivedPending;
    runPostTransfer(*m_transfer, transferState, profiles[options.setNo], o, session().log().stamp());
    receivedPending = transferState.receivedPending;
    stopPending = false;
}

void TMainForm::loadReceived(const QString& path) { loadAsDocument(path); }

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && SpeedButton[13] && SpeedButton[13]->isEnabled()) {
        auto* k = static_cast<QKeyEvent*>(event);
        // While a transfer runs, Esc and F3 stop it and the space bar steps.
        if (k->key() == Qt::Key_Escape || k->key() == Qt::Key_F3) {
            SpeedButton13Click();
            return true;
        }
        if (k->key() == Qt::Key_Space && isTransferRunning()) {
            m_transfer->step();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TMainForm::probeAllPorts(int n) {
    if (m_portProbe)
        return m_portProbe(n);
    platform::PosixSerialPort port;
    return probePort(n, port, lineOptionsFrom(options),
                     [this](const QString& name) { return platform::portDevicePath(name, m_home); });
}

} // namespace tornyx
