// The main window's side of the transfers: the desk's buttons, and what the
// runs see of the window (the run display, the editor's lines, the message
// boxes and dialogs).
#include "app/Prompts.h"
#include "app/TMainForm.h"
#include "platform/MappedSerialPort.h"
#include "platform/PortNames.h"
#include "serial/ui/TAutoForm.h"
#include "status/Caption.h"

#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QToolButton>

namespace tornyx {

namespace {

// How often the desk's timers are looked at while they run.
constexpr int DeskTickMs = 100;

bool shiftHeld() {
    return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier);
}

Prompts::Kind promptKind(LineHost::Kind k) {
    switch (k) {
    case LineHost::Kind::Error:
        return Prompts::Error;
    case LineHost::Kind::Warning:
        return Prompts::Warning;
    case LineHost::Kind::Question:
        return Prompts::Question;
    case LineHost::Kind::Stop:
        return Prompts::Error;
    default:
        return Prompts::Information;
    }
}

} // namespace

void TMainForm::setUpTransfers() {
    if (!m_services.port)
        m_ownPort = std::make_unique<platform::MappedSerialPort>();
    if (!m_services.clock)
        m_ownClock = std::make_unique<platform::SystemClock>();
    const platform::SettingsHome home =
        m_services.home ? *m_services.home : platform::SettingsHome::resolve();
    const TransferDesk::Services services{
        m_services.port ? *m_services.port : *m_ownPort,
        m_services.clock ? *m_services.clock : *m_ownClock,
        m_services.commands ? *m_services.commands
                            : platform::SystemCommands::loadFromOptionFile(home.optionFile()),
        home,
    };
    m_desk = std::make_unique<TransferDesk>(services, DeskViews{*this, *this, *this, *this, *this, *this});

    AutoForm = new TAutoForm(this);
    connectLogMenu();
    m_deskTimer = new QTimer(this);
    m_deskTimer->setObjectName("DeskTimer");
    m_deskTimer->setInterval(DeskTickMs);
    connect(m_deskTimer, &QTimer::timeout, this, [this] { m_desk->onTimer(); });
    connect(SpeedButton[13], &QToolButton::clicked, this, [this] { SpeedButton13Click(); });
    connect(SpeedButton[14], &QToolButton::clicked, this, [this] { SpeedButton14Click(); });
    connect(SpeedButton[15], &QToolButton::clicked, this, [this] { SpeedButton15Click(); });
    qApp->installEventFilter(this);
}

TMainForm::~TMainForm() {
    if (qApp)
        qApp->removeEventFilter(this);
}

// ---------------------------------------------------------------- buttons

void TMainForm::SpeedButton9Click() {
    m_desk->receivePressed(shiftHeld());
}
void TMainForm::SpeedButton10Click() {
    m_desk->sendPressed(shiftHeld());
}
void TMainForm::SpeedButton13Click() {
    m_desk->stopPressed();
}
void TMainForm::SpeedButton14Click() {
    m_desk->stepPressed();
}
void TMainForm::SpeedButton15Click() {
    m_desk->repeatPressed(shiftHeld());
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && SpeedButton[13] && SpeedButton[13]->isEnabled()) {
        auto* k = static_cast<QKeyEvent*>(event);
        // While a transfer runs, Esc and F3 stop it and the space bar steps.
        if (k->key() == Qt::Key_Escape || k->key() == Qt::Key_F3) {
            SpeedButton13Click();
            return true;
        }
        if (k->key() == Qt::Key_Space && isTransferRunning()) {
            SpeedButton14Click();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TMainForm::probePort(int n) {
    if (m_services.portProbe)
        return m_services.portProbe(n);
    platform::MappedSerialPort port;
    return tornyx::probePort(n, port, m_desk->lineOptions(),
                             [this](const QString& name) { return platform::portDevicePath(name, home()); });
}

// ---------------------------------------------------------------- RunDisplay

void TMainForm::setProgramLabel(const QString& text) {
    Label2->setText(text);
}

void TMainForm::setProgressRange(int minimum, int maximum) {
    if (auto* p = StatusBar2->progressBar())
        p->setRange(minimum, qMax(minimum, maximum));
}

void TMainForm::setProgress(int value) {
    if (auto* p = StatusBar2->progressBar())
        p->setValue(value);
}

QProgressBar* TMainForm::progressBar() const {
    return StatusBar2->progressBar();
}

void TMainForm::repaintTransferBar() {
    StatusBar2->repaint();
}

void TMainForm::prepareTransferBar() {
    setTransferPanel(TransferPanel::Repeat, QString());
    ProgressBar1 = StatusBar2->startProgress();
}

void TMainForm::removeProgressBar() {
    StatusBar2->removeProgress();
}

void TMainForm::setCaptionFullName(CaptionMode mode, const QString& fileName) {
    setWindowTitle(makeCaption(int(mode), fileName, false, m_versionText));
}

void TMainForm::refreshCaption() {
    setCaption(isModified() ? CaptionMode::Modified : CaptionMode::Editing,
               m_desk->document().saveDialogFileName);
}

void TMainForm::showRunControls(bool run) {
    Label1->setVisible(!run);
    ComboBox1->setVisible(!run);
    BitBtn1->setVisible(!run);
    Label2->setVisible(run);
    LabeledEdit1->setVisible(run);
    LabeledEdit2->setVisible(run);
}

void TMainForm::setStepButtonEnabled(bool enabled) {
    SpeedButton[14]->setEnabled(enabled);
}

void TMainForm::setEditorContextMenuEnabled(bool enabled) {
    RichEdit1->setContextMenuPolicy(enabled ? Qt::CustomContextMenu : Qt::NoContextMenu);
}

void TMainForm::setScreenSaverInhibited(bool inhibited) {
    if (inhibited)
        m_screenSaver.inhibit(QString::fromUtf16(u"NCﾃﾞｰﾀ転送中"));
    else
        m_screenSaver.release();
}

// ---------------------------------------------------------------- RunEditor

int TMainForm::lineCount() const {
    // The control counts a last line even when it is empty.
    return RichEdit1->lineCount();
}

QByteArray TMainForm::line(int index) const {
    return RichEdit1->lineSjis(index);
}

bool TMainForm::isEmpty() const {
    return RichEdit1->length() == 0;
}

void TMainForm::selectLine(int index, int length) {
    RichEdit1->selectLinePrefix(index, length);
}

void TMainForm::caretToStart() {
    RichEdit1->setCursorPosition(0, 0);
}

void TMainForm::focus() {
    RichEdit1->setFocus();
}

void TMainForm::setReadOnly(bool readOnly) {
    RichEdit1->setReadOnly(readOnly);
}

int TMainForm::breakpointLine() const {
    return m_desk->document().breakpointLine;
}

void TMainForm::clearBreakpoint() {
    clearBreakpointMark();
}

void TMainForm::clear() {
    clearEditor();
}

// ---------------------------------------------------------------- LineHost

LineHost::Answer TMainForm::showMessage(Kind kind, const QString& text, Buttons buttons,
                                        const QString& caption) {
    int b = Prompts::Ok;
    switch (buttons) {
    case Buttons::Ok:
        b = Prompts::Ok;
        break;
    case Buttons::Yes:
        b = Prompts::Yes;
        break;
    case Buttons::OkCancel:
        b = Prompts::Ok | Prompts::Cancel;
        break;
    case Buttons::YesNo:
        b = Prompts::Yes | Prompts::No;
        break;
    case Buttons::YesNoCancel:
        b = Prompts::Yes | Prompts::No | Prompts::Cancel;
        break;
    }
    switch (m_prompts->messageBox(this, promptKind(kind), caption, text, b)) {
    case Prompts::Yes:
        return Answer::Yes;
    case Prompts::No:
        return Answer::No;
    case Prompts::Ok:
        return Answer::Ok;
    default:
        return Answer::Cancel;
    }
}

void TMainForm::processEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

std::optional<QString> TMainForm::askSwitchNumber() {
    if (m_services.switchNumberDialog)
        return m_services.switchNumberDialog();
    return AutoForm->askSwitchNumber(frameGeometry());
}

// The line reports the lamps before every byte it writes; the widgets are
// touched only when a lamp changes.
void TMainForm::setDsrLamp(bool on) {
    const QColor colour = on ? QColor(Qt::blue) : QColor(Qt::red);
    if (LabeledEdit1->textColor() != colour)
        LabeledEdit1->setTextColor(colour);
}

void TMainForm::setCtsLamp(bool on) {
    const QString text = on ? QString::fromUtf16(u" ●") : QString::fromUtf16(u" ○");
    if (LabeledEdit2->text() != text)
        LabeledEdit2->setText(text);
}

// ---------------------------------------------------------------- ReceivePrompts

std::optional<QString> TMainForm::chooseReceiveFile(const QString& title, const QString& initialFolder) {
    const QString name = chooseSaveFile(this, title, initialFolder);
    if (name.isEmpty()) {
        m_desk->document().saveDialogFileName = m_desk->document().path;
        return std::nullopt;
    }
    return name;
}

std::optional<QString> TMainForm::chooseFolder(const QString& caption, const QString& startFolder) {
    const QString folder = m_prompts->folderName(this, caption, startFolder);
    return folder.isEmpty() ? std::nullopt : std::optional<QString>(folder);
}

void TMainForm::setSaveDialogFileName(const QString& path) {
    m_desk->document().saveDialogFileName = path;
}

QString TMainForm::workingFolder() {
    return m_desk->options().dirPath;
}

void TMainForm::setWorkingFolder(const QString& folder) {
    m_desk->options().dirPath = folder;
}

// ---------------------------------------------------------------- DeskView

void TMainForm::extractIndexNow() {
    if (!m_desk->programs().isExtractionFinished())
        m_desk->programs().cancelExtraction();
    Timer4Timer();
}

void TMainForm::stopIndexExtraction() {
    m_desk->programs().cancelExtraction();
    BitBtn1->setEnabled(true);
    setEditingPanel(EditingPanel::Busy, QString());
}

void TMainForm::closeWindow() {
    QTimer::singleShot(0, this, [this] { close(); });
}

void TMainForm::setTicking(bool on) {
    if (on && !m_deskTimer->isActive())
        m_deskTimer->start();
    else if (!on)
        m_deskTimer->stop();
}

} // namespace tornyx
