#pragma once

// The main window's side of the transfers: the serial line's host, the send
// run's editor and host and the post-transfer step's host, in one object the
// main window owns.

#include "app/DncFileAppender.h"
#include "app/Prompts.h"
#include "app/TMainForm.h"
#include "dnc/DncRun.h"
#include "dnc/ui/TDncForm.h"
#include "platform/PortNames.h"
#include "platform/PosixSerialPort.h"
#include "platform/ScreenSaver.h"
#include "platform/TextCodec.h"
#include "receive/ReceiveHost.h"
#include "send/PostTransfer.h"
#include "status/Caption.h"
#include "send/SendRun.h"
#include "send/TSendTime.h"
#include "serial/TransferSession.h"
#include "serial/ui/TAutoForm.h"

#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QTimer>
#include <QToolButton>

namespace tornyx {

namespace transfer_detail {
inline Prompts::Kind promptKind(LineHost::Kind k) {
    switch (k) {
    case LineHost::Kind::Error: return Prompts::Error;
    case LineHost::Kind::Warning: return Prompts::Warning;
    case LineHost::Kind::Question: return Prompts::Question;
    case LineHost::Kind::Stop: return Prompts::Error;
    default: return Prompts::Information;
    }
}
} // namespace transfer_detail

// Everything a transfer needs from the main window, in one place.
class TransferWiring : public LineHost,
                       public SendEditor,
                       public SendHost,
                       public PostTransferHost,
                       public ReceiveHost,
                       public DncHost {
public:
    TransferWiring(TMainForm& w, MainFormServices& s)
        : m_w(w), m_ownPort(s.port ? nullptr : std::make_unique<platform::PosixSerialPort>()),
          m_ownClock(s.clock ? nullptr : std::make_unique<platform::SystemClock>()),
          m_port(s.port ? *s.port : *m_ownPort), m_clock(s.clock ? *s.clock : *m_ownClock),
          m_commands(s.commands ? *s.commands : platform::SystemCommands::loadFromOptionFile(w.home().optionFile())),
          m_session(m_port, *this, m_clock), m_send(m_session, *this, *this, m_w.transferState),
          m_dnc(m_send, m_session, *this, *this, *this, m_w.transferState) {
        m_session.setPortResolver(
            [home = w.home()](const QString& name) { return platform::portDevicePath(name, home); });
        m_session.log().setFolder(w.home().folder());
    }

    TransferSession& session() { return m_session; }
    SendRun& send() { return m_send; }
    DncRun& dnc() { return m_dnc; }
    void runDnc() { m_dnc.RunDnc(DncOptions{m_w.options.isOn(Opt::DncEndAsReturn)}); }

    // ---- DncHost and the send set-up's DNC step
    int dncSetUp() override { return m_dnc.dncSetUp(); }
    SetUp showDncForm() override {
        if (!m_dncForm) {
            m_dncForm = new TDncForm(&m_w, m_w.home().optionFile());
            m_dncAppender.connect(*m_dncForm);
            m_dncForm->askYesNo = [this](const QString& text) {
                return showMessage(Kind::Warning, text, Buttons::YesNo, QString()) == Answer::Yes;
            };
        }
        const std::optional<int> start = m_dncForm->choose(indexEntries(), m_w.frameGeometry());
        return start ? SetUp{true, *start} : SetUp{false, 0};
    }
    platform::SerialPort& port() { return m_port; }
    const platform::SystemCommands& commands() const { return m_commands; }
    bool takeStep() {
        const bool s = m_step;
        m_step = false;
        return s;
    }
    void step() { m_step = true; }

    // ---- LineHost
    Answer showMessage(Kind kind, const QString& text, Buttons buttons, const QString& caption) override {
        int b = Prompts::Ok;
        switch (buttons) {
        case Buttons::Ok: b = Prompts::Ok; break;
        case Buttons::OkCancel: b = Prompts::Ok | Prompts::Cancel; break;
        case Buttons::YesNo: b = Prompts::Yes | Prompts::No; break;
        case Buttons::YesNoCancel: b = Prompts::Yes | Prompts::No | Prompts::Cancel; break;
        }
        const int r = m_w.prompts().messageBox(&m_w, transfer_detail::promptKind(kind), caption, text, b);
        switch (r) {
        case Prompts::Yes: return Answer::Yes;
        case Prompts::No: return Answer::No;
        case Prompts::Ok: return Answer::Ok;
        default: return Answer::Cancel;
        }
    }
    void processEvents() override { QCoreApplication::processEvents(QEventLoop::AllEvents, 5); }
    void setDsrLamp(bool on) override { m_w.setDsrLamp(on); }
    void setCtsLamp(bool on) override { m_w.setCtsLamp(on); }
    std::optional<QString> askSwitchNumber() override {
        if (m_w.switchNumberDialog)
            return m_w.switchNumberDialog();
        return m_w.AutoForm->askSwitchNumber(m_w.frameGeometry());
    }

    // ---- SendEditor
    int lineCount() const override {
        // The control counts a last line even when it is empty.
        return m_w.RichEdit1->lineCount();
    }
    QByteArray line(int index) const override { return m_w.RichEdit1->lineSjis(index); }
    bool isEmpty() const override { return m_w.RichEdit1->length() == 0; }
    void selectLine(int index, int length) override {
        m_w.RichEdit1->selectLinePrefix(index, length);
    }
    void caretToStart() override { m_w.RichEdit1->setCursorPosition(0, 0); }
    void setFocus() override { m_w.RichEdit1->setFocus(); }
    void setReadOnly(bool readOnly) override { m_w.RichEdit1->setReadOnly(readOnly); }
    bool isModified() const override { return m_w.isModified(); }
    void setModified(bool modified) override { m_w.setModified(modified); }
    int breakpointLine() const override { return m_w.breakpointLine; }

    // ---- SendHost (and PostTransferHost where they share a name)
    void showBreakpoint(const QString& text) override {
        m_w.prompts().messageBox(&m_w, Prompts::Warning, QString(), text, Prompts::Yes);
    }
    void setTransferPanel(int index, const QString& text) override { m_w.setTransferPanel(index, text); }
    void setEditPanel(int index, const QString& text) override { m_w.setEditingPanel(index, text); }
    void setStatusLabel(const QString& text) override { m_w.Label2->setText(text); }
    void setProgressRange(int maximum) override {
        if (auto* p = m_w.StatusBar2->progressBar())
            p->setRange(0, qMax(0, maximum));
    }
    void setProgress(int position) override {
        if (auto* p = m_w.StatusBar2->progressBar())
            p->setValue(position);
    }
    void refreshCaption() override {
        m_w.setCaption(m_w.isModified() ? 4 : 1, m_w.saveDialogFileName);
    }
    void setTransferMode(bool editing) override { m_w.setTransferMode(editing); }
    void showSendDisplay(bool on) override {
        m_w.Label1->setVisible(!on);
        m_w.ComboBox1->setVisible(!on);
        m_w.BitBtn1->setVisible(!on);
        m_w.Label2->setVisible(on);
        m_w.LabeledEdit1->setVisible(on);
        m_w.LabeledEdit2->setVisible(on);
    }
    void setStepButtonEnabled(bool enabled) override { m_w.SpeedButton[14]->setEnabled(enabled); }
    void setEditorContextMenuEnabled(bool enabled) override {
        m_w.RichEdit1->setContextMenuPolicy(enabled ? Qt::CustomContextMenu : Qt::NoContextMenu);
    }
    void setScreenSaverInhibited(bool inhibited) override {
        if (inhibited)
            m_screenSaver.inhibit(QString::fromUtf16(u"NCﾃﾞｰﾀ転送中"));
        else
            m_screenSaver.release();
    }
    void setCaretUpdatesSuspended(bool suspended) override { m_w.caretUpdatesSuspended = suspended; }
    void startTimer1() override { m_w.Timer1->start(); }
    void setTimer2(bool on) override {
        if (on)
            m_w.Timer2->start(TSendTime::TickMs);
        else
            m_w.Timer2->stop();
    }
    bool isShiftHeld() override {
        return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier) || m_w.shiftForNextTransfer;
    }
    bool takeStepEvent() override { return takeStep(); }
    bool isIndexEmpty() override { return m_w.ComboBox1->count() == 0; }
    bool isIndexExtractionFinished() override { return !m_w.Timer4->isActive() && m_w.BitBtn1->isEnabled(); }
    void stopIndexExtraction() override {
        m_w.Timer4->stop();
        m_w.BitBtn1->setEnabled(true);
        m_w.setEditingPanel(6, QString());
    }
    void markIndexNotExtracted() override { m_w.programIndex.ready = false; }
    void addIndexEntry(const QString& entry) override {
        if (m_w.ComboBox1->findText(entry) < 0)
            m_w.ComboBox1->addItem(entry);
    }
    QStringList indexEntries() override {
        QStringList items;
        for (int i = 0; i < m_w.ComboBox1->count(); ++i)
            items << m_w.ComboBox1->itemText(i);
        return items;
    }
    void openFile() override { m_w.FileOpenClick(); }
    bool isLogViewOpen() override { return m_w.logDisplayed; }
    void startDncRun() override {
        if (m_w.dncRun)
            m_w.dncRun();
        else
            m_w.setTransferMode(true);
    }
    void showSelectionDialog(const QString& caption, const QStringList& entries, const QString& note) override {
        if (m_w.selectionDialog)
            m_w.selectionDialog(caption, entries, note);
        else
            m_w.setTransferMode(true);
    }
    void closeMainWindow() override {
        m_w.closeAfterTransfer = true;
        QTimer::singleShot(0, &m_w, [w = &m_w] { w->close(); });
    }
    bool powerOff() override { return platform::powerOff(m_commands); }

    // ---- PostTransferHost
    void stopTimer1() override { m_w.Timer1->stop(); }
    void closeSelectionDialog() override {}
    void enableCommands() override { m_w.setTransferMode(true); }
    void loadReceivedFile(const QString& path) override { m_w.loadReceived(path); }
    void openSplitSave() override { m_w.opSaveClick(); }
    void showProgramControls() override { showSendDisplay(false); }
    void scheduleIndexRebuild(int ms) override {
        m_w.programIndex.ready = false;
        m_w.Timer4->start(ms);
    }
    void destroyProgressBar() override { m_w.StatusBar2->removeProgress(); }
    void sendCompletionMail(const platform::MailMessage& mail) override {
        // The mail waits a few seconds so the operator sees the end first.
        const platform::SystemCommands commands = m_commands;
        QTimer::singleShot(5000, &m_w, [commands, mail] { platform::sendMailInBackground(commands, mail); });
    }

    // ---- ReceiveHost
    bool isLogViewShown() override { return m_w.logDisplayed; }
    bool askSaveBeforeReplace() override { return m_w.askSaveBeforeReplace(); }
    void prepareTransferBar() override {
        m_w.setTransferPanel(6, QString());
        m_w.ProgressBar1 = m_w.StatusBar2->startProgress();
    }
    std::optional<QString> chooseReceiveFile(const QString& title, const QString& initialFolder) override {
        const QString name = m_w.prompts().saveFileName(&m_w, title, initialFolder, QString());
        if (name.isEmpty()) {
            m_w.saveDialogFileName = m_w.documentPath;
            return std::nullopt;
        }
        return name;
    }
    std::optional<QString> chooseFolder(const QString& caption, const QString& startFolder) override {
        const QString folder = m_w.prompts().folderName(&m_w, caption, startFolder);
        return folder.isEmpty() ? std::nullopt : std::optional<QString>(folder);
    }
    void setSaveDialogFileName(const QString& path) override { m_w.saveDialogFileName = path; }
    QString workingFolder() override { return m_w.options.dirPath; }
    void setWorkingFolder(const QString& folder) override { m_w.options.dirPath = folder; }
    void setCaption(int mode, const QString& fileName) override { m_w.setCaption(mode, fileName); }
    void setCaptionFullName(int mode, const QString& fileName) override {
        m_w.setWindowTitle(makeCaption(mode, fileName, false, m_w.versionText));
    }
    void enterTransferMode() override { m_w.setTransferMode(false); }
    void clearEditor() override { m_w.clearEditor(); }
    void clearBreakpoint() override {
        m_w.breakpointLine = -1;
        m_w.jump_bp->setEnabled(false);
    }
    void setScreenSaverActive(bool active) override { setScreenSaverInhibited(!active); }
    void showReceiveLayout() override {
        m_w.Timer4->stop();
        showSendDisplay(true);
        m_w.Label2->clear();
    }
    void setTransferRunning() override {
        m_w.transferState.running = true;
        setEditorContextMenuEnabled(false);
    }
    void repaintTransferBar() override { m_w.StatusBar2->repaint(); }
    void setEditingPanel(int index, const QString& text) override { m_w.setEditingPanel(index, text); }
    void setProgressRange(int minimum, int maximum) override {
        if (auto* p = m_w.StatusBar2->progressBar())
            p->setRange(minimum, qMax(minimum, maximum));
    }
    void setProgramLabel(const QString& text) override { m_w.Label2->setText(text); }
    void shutDownComputer() override { platform::powerOff(m_commands); }
    void startPostTransfer(const ReceiveResult& result) override {
        TransferState& st = m_w.transferState;
        st.kind = 2;
        st.receivedPending = result.receivedPending;
        st.success = result.success;
        st.dataSent = false;
        st.errorNumber = result.errorNumber;
        if (!result.receiveFile.isEmpty()) {
            st.transferPath = result.receiveFile;
            m_w.transferPath = result.receiveFile;
        }
        m_w.Timer1->start();
    }
    void newDocument() override { m_w.open1Click(); }

private:
    TMainForm& m_w;
    std::unique_ptr<platform::SerialPort> m_ownPort;
    std::unique_ptr<platform::Clock> m_ownClock;
    platform::SerialPort& m_port;
    platform::Clock& m_clock;
    platform::SystemCommands m_commands;
    platform::ScreenSaver m_screenSaver;
    TransferSession m_session;
    SendRun m_send;
    DncRun m_dnc;
    TDncForm* m_dncForm = nullptr; // owned by the main window
    DncFileAppender m_dncAppender{m_w};
    bool m_step = false;
};

} // namespace tornyx
