#include "receive/ReceiveRun.h"

#include "editor/ProgramIndex.h"
#include "platform/AtomicFile.h"
#include "platform/TextCodec.h"
#include "receive/OspFileName.h"
#include "serial/TransferSession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <stdexcept>

namespace tornyx {

namespace {

constexpr std::int64_t PumpIntervalUs = 16000;
constexpr std::int64_t CloseDelayMs = 4000;

// Stages of the receive, logged when it stops.
constexpr int ErrNoLine = 2001;  // the line could not be set up
constexpr int ErrXoff = 2002;    // the pause sent to the machine
constexpr int ErrXon = 2003;     // the resume sent to the machine
constexpr int ErrEndDc4 = 2004;  // the completion DC4
constexpr int ErrStopDc4 = 2005; // the DC4 of the stop path

// Panel 2: the state of the transfer.
const QString Waiting = QStringLiteral(u"受信待機中");
const QString Receiving = QStringLiteral(u"＜＜ 受信中 ＞＞");
const QString Saving = QStringLiteral(u"保存中");
const QString Received = QStringLiteral(u"受信完了");
const QString Stopped = QStringLiteral(u"受信中止");

QString hexByte(unsigned char b) {
    return QString("0x%1").arg(b, 2, 16, QChar('0'));
}

// A receive file that cannot be created, appended to or moved: the run
// leaves through the unexpected-error path, and what was flushed stays.
// The path it carries is followed by the reason where that is known.
class ReceiveFileError : public std::runtime_error {
public:
    explicit ReceiveFileError(const QString& path) : std::runtime_error("receive file"), m_path(path) {}
    const QString& path() const { return m_path; }

private:
    QString m_path;
};

CodeMode codeModeFor(const ReadGroup& read) {
    switch (receiveCodeOf(read)) {
    case ReceiveCode::Auto:
        return CodeMode::Undecided;
    case ReceiveCode::Ascii:
        return CodeMode::Raw;
    case ReceiveCode::Eia:
        return CodeMode::Eia;
    case ReceiveCode::Iso:
        return CodeMode::Iso;
    case ReceiveCode::User:
    case ReceiveCode::Unknown:
        // User framing: with 8 data bits the first byte tells ISO from EIA
        // as in the automatic code. Seven data bits carry neither the ISO
        // parity bit nor the EIA codes (0x80 and up), so the characters are
        // taken as they come; deciding on them would turn every character
        // with an odd number of bits into EIA garbage.
        break;
    }
    return read.dataLength == 0 ? CodeMode::Raw : CodeMode::Undecided;
}

LineAssembler::Settings assemblerSettings(const ReadGroup& read, bool osp) {
    LineAssembler::Settings s;
    s.code = read.code;
    s.word = read.word;
    s.change = read.change;
    s.endCode = read.endCode;
    s.seChar = read.seChar;
    s.osp = osp;
    return s;
}

void appendLines(const QString& path, const QList<QByteArray>& lines) {
    QByteArray bytes;
    qsizetype size = 0;
    for (const QByteArray& line : lines)
        size += line.size() + 2;
    bytes.reserve(size);
    for (const QByteArray& line : lines) {
        bytes += line;
        bytes += "\r\n";
    }
    // One block, reserved before it is written: a full disk leaves the file
    // as it was after the last block, ending at a whole line.
    QString error;
    if (!platform::appendToFile(path, bytes, &error))
        throw ReceiveFileError(error);
}

} // namespace

ReceiveRun::ReceiveRun(TransferSession& session, RunDisplay& display, RunEditor& editor,
                       ProgramIndex& programs, TransferState& state, Setup setup)
    : m_session(session), m_display(display), m_editor(editor), m_programs(programs), m_state(state),
      m_setup(std::move(setup)), m_assembler(assemblerSettings(m_setup.profile.read, isOsp())),
      m_receiveFile(m_setup.receiveFile) {}

void ReceiveRun::log(const QString& message) {
    m_session.log().append(message);
}

ReceiveResult ReceiveRun::run() {
    try {
        return runSteps();
    } catch (const ReceiveFileError& e) {
        return unexpectedError(e.path());
    } catch (...) {
        return unexpectedError({});
    }
}

ReceiveResult ReceiveRun::runSteps() {
    // The (empty) editor is saved first: this creates or truncates the file.
    {
        QString error;
        if (!platform::writeFileAtomically(m_receiveFile, {}, &error))
            throw ReceiveFileError(error);
    }
    m_display.setScreenSaverInhibited(true);
    m_programs.cancelExtraction();
    m_display.showRunControls(true);
    m_display.setProgramLabel(QString());
    m_session.clearStop();

    if (!setUp())
        return abort();

    unsigned char startCharacter = 0;
    if (!waitForStart(startCharacter))
        return abort();
    startReception(startCharacter);

    bool keep = false;
    if (!receive(keep))
        return abort();
    if (!keep && m_assembler.finishData())
        log("  受信ﾃﾞｰﾀの最後部に％を追加\n");
    return complete();
}

bool ReceiveRun::setUp() {
    const ReadGroup& read = m_setup.profile.read;
    if (!m_session.openLine(ReceiveKind, m_setup.profile, m_setup.options.line)) {
        log("  通信設定不可で中止\n");
        m_errorNumber = ErrNoLine;
        return false;
    }
    m_session.setCodeMode(codeModeFor(read));
    m_state.running = true;
    m_display.setEditorContextMenuEnabled(false);
    m_errorNumber = 0;
    m_display.setTransferPanel(TransferPanel::State, Waiting);

    QString panel;
    switch (receiveCodeOf(read)) {
    case ReceiveCode::Auto:
        panel = "自動 ";
        log("  受信ｺｰﾄﾞは自動判別\n");
        break;
    case ReceiveCode::Ascii:
        panel = "ASCII";
        log("  受信ｺｰﾄﾞはASCII\n");
        break;
    case ReceiveCode::Eia:
        panel = "EIA ";
        log("  受信ｺｰﾄﾞはEIA\n");
        break;
    case ReceiveCode::Iso:
        panel = "ISO ";
        log("  受信ｺｰﾄﾞはISO\n");
        break;
    case ReceiveCode::User:
    case ReceiveCode::Unknown:
        break;
    }
    panel += speedPanelText(read.speed) + stopBitsPanelText(read.stopBits);
    m_display.setTransferPanel(TransferPanel::Line, panel);
    m_display.setTransferPanel(TransferPanel::Port, read.port);

    if (read.signal == 0) {
        m_display.setTransferPanel(TransferPanel::StartSignal, "Y");
        log("  NC機からの信号で開始する\n");
    } else {
        m_display.setTransferPanel(TransferPanel::StartSignal, "N");
        log("  NC機からの信号は使用しない\n");
    }
    m_display.setTransferPanel(TransferPanel::State, Waiting);
    log("  受信ﾃﾞｰﾀ待ち\n");
    return true;
}

void ReceiveRun::idle() {
    platform::Clock& clock = m_session.clock();
    const std::int64_t before = clock.nowUs();
    // A line that hung up makes poll() return at once, with nothing to read;
    // do not spin on it.
    if (!m_session.port().waitForInput(PumpIntervalUs) || m_session.queuedInput() <= 0) {
        const std::int64_t spent = clock.nowUs() - before;
        if (spent < PumpIntervalUs)
            clock.sleepUs(PumpIntervalUs - spent);
    }
    m_session.pumpEvents();
}

bool ReceiveRun::waitForStart(unsigned char& startCharacter) {
    const ReadGroup& read = m_setup.profile.read;
    for (;;) {
        if (m_session.queuedInput() <= 0) {
            idle();
            if (m_session.isStopRequested()) {
                log("  手動操作にて受信待機中に中止\n");
                return false;
            }
            if (m_session.isConnectionLost())
                return false;
            continue;
        }
        const unsigned char c = m_session.readChar();
        m_session.pumpEvents();
        if (read.signal == 0) {
            // A device without modem lines (a pseudo-terminal) cannot say
            // whether the carrier is there; nothing is discarded for it.
            const std::optional<platform::ModemLines> lines = m_session.updateModemLamps();
            if (lines && !lines->carrier && !m_setup.options.line.noLineCheck)
                continue;
        }
        if (LineAssembler::isStartCharacter(c)) {
            startCharacter = c;
            return true;
        }
        // Noise before the start must not fix the code.
        if (receiveCodeOf(read) == ReceiveCode::Auto)
            m_session.setCodeMode(CodeMode::Undecided);
        if (m_session.isStopRequested()) {
            // A line that chatters without pause must not outlast the stop button.
            log("  手動操作にて受信待機中に中止\n");
            return false;
        }
    }
}

void ReceiveRun::startReception(unsigned char startCharacter) {
    const ReadGroup& read = m_setup.profile.read;
    if (receiveCodeOf(read) == ReceiveCode::Auto && m_session.codeMode() == CodeMode::Iso) {
        log("  自動判別でISOｺｰﾄﾞを検出\n");
        m_display.setTransferPanel(TransferPanel::Detail, "自動判別でISOｺｰﾄﾞ検出");
    } else if (receiveCodeOf(read) == ReceiveCode::Auto && m_session.codeMode() == CodeMode::Eia) {
        log("  自動判別でEIAｺｰﾄﾞを検出\n");
        m_display.setTransferPanel(TransferPanel::Detail, "自動判別でEIAｺｰﾄﾞ検出");
    }
    if (startCharacter == nc::Lf)
        log("  開始文字(LF/CR)を受信 開始文字\n");
    else
        log("  開始文字(%OP:LNG$)を受信 開始文字" + QString(QChar(startCharacter)) + "\n");
    m_display.setTransferPanel(TransferPanel::State, Receiving);
    log("  ﾃﾞｰﾀ受信開始\n");

    m_display.setProgressRange(0, FlushLines);
    m_display.setProgress(0);
    m_shownProgress = 0;
    m_editor.clear();
    if (m_assembler.start(startCharacter))
        log("  受信ﾃﾞｰﾀの先頭に％を付加\n");
}

bool ReceiveRun::receive(bool& keep) {
    const ReceiveOptions& options = m_setup.options;
    for (;;) {
        const int queued = m_session.queuedInput();
        // Every pass, not only the idle ones: a port that keeps reporting
        // input it cannot deliver must not lock out the stop button.
        if (queued > 0)
            m_session.pumpEvents();
        if (queued <= 0 || m_session.isStopRequested()) {
            if (queued <= 0)
                idle();
            // A device server whose connection is gone sends nothing more,
            // like an operator's stop (the loss is logged with the box's
            // address).
            const bool stopped = m_session.isStopRequested();
            if (stopped || (queued <= 0 && m_session.isConnectionLost())) {
                // The closing "%" is in and only the character that would
                // confirm it is missing (a machine that sends nothing after
                // it): the program is complete, and stopping must not
                // throw it away.
                if (m_assembler.endPending()) {
                    m_assembler.feed(nc::Lf);
                    log("  NC機より完了（％）を受信した為終了\n");
                    return true;
                }
                if (stopped)
                    log("  手動操作にて受信待機中に中止\n");
                keep = options.keepOnStop;
                return keep;
            }
            // A machine that drops DSR after its last byte sends nothing more
            // that would let the check below see it.
            if (queued <= 0 && dsrDropped())
                return true;
            continue;
        }
        if (!flowControl(queued))
            return false;
        if (dsrDropped())
            return true;

        const unsigned char c = m_session.readChar();
        switch (m_assembler.feed(c)) {
        case LineAssembler::Outcome::Dropped:
            break;
        case LineAssembler::Outcome::Stored:
            progressAfterStore();
            break;
        case LineAssembler::Outcome::LineCompleted:
            showLineNotice();
            break;
        case LineAssembler::Outcome::Ended:
            switch (m_assembler.endReason()) {
            case LineAssembler::EndReason::Percent:
                log("  NC機より完了（％）を受信した為終了\n");
                break;
            case LineAssembler::EndReason::CancelSignal:
                log("  NC機より完了（中止）信号を受信した為終了\n");
                break;
            case LineAssembler::EndReason::UnexpectedCharacter:
                // The data ends here by rule; say why, so that a program
                // shorter than the tape is not taken for a whole one.
                log("  NC機より不正文字(" + hexByte(m_assembler.endCharacter()) + ")を受信した為終了 " +
                    QString::number(m_assembler.tapeLine()) + "行目\n");
                break;
            default:
                break;
            }
            return true;
        }
    }
}

bool ReceiveRun::dsrDropped() {
    const std::optional<platform::ModemLines> lines = m_session.updateModemLamps();
    if (!lines || lines->dsr || !m_setup.options.line.dsrCheck)
        return false;
    m_assembler.endOnDsrOff();
    log("  NC機よりDSR信号OFFを受信した為中止\n");
    log("  ※DSR信号を併用処理を行う:Y→N\n");
    return true;
}

bool ReceiveRun::flowControl(int queued) {
    if (!m_xoffSent && queued > InputQueueSize / 2) {
        m_errorNumber = ErrXoff;
        if (!writeControl(m_session.pauseCharacter()))
            return false;
        m_errorNumber = 0;
        m_xoffSent = true;
    } else if (m_xoffSent && queued < InputQueueSize / 4) {
        m_errorNumber = ErrXon;
        if (!writeControl(nc::Dc1))
            return false;
        m_errorNumber = 0;
        m_xoffSent = false;
    }
    return true;
}

void ReceiveRun::progressAfterStore() {
    if (m_assembler.lineCounter() < FlushLines) {
        m_session.pumpEvents();
        if (m_assembler.lineCounter() != m_shownProgress) {
            m_shownProgress = m_assembler.lineCounter();
            m_display.setProgress(m_shownProgress);
        }
        return;
    }
    flush();
    m_assembler.resetLineCounter();
    m_shownProgress = 0;
    m_display.setProgress(0);
}

void ReceiveRun::showLineNotice() {
    if (m_assembler.lastWasFileNameLine()) {
        const QString name = platform::fromSjis(m_assembler.ospFileName());
        m_display.setCaption(CaptionMode::Receiving, name);
        log("  NC機よりﾌｧｲﾙ名受信 ﾌｧｲﾙ名は" + name + "\n");
        m_display.setProgramLabel("NC機よりﾌｧｲﾙ名受信 ﾌｧｲﾙ名 => " + name);
    } else if (m_assembler.lastWasProgramLine()) {
        m_display.setProgramLabel("受信中のﾌﾟﾛｸﾞﾗﾑ番号 => " + platform::fromSjis(m_assembler.lastLine()));
    }
}

void ReceiveRun::flush() {
    const QList<QByteArray> lines = m_assembler.takeLines();
    if (!lines.isEmpty())
        appendLines(m_receiveFile, lines);
    m_editor.clear();
}

void ReceiveRun::moveToReceivedName() {
    const QString received = platform::fromSjis(m_assembler.ospFileName());
    if (received.isEmpty())
        return;
    const OspFileName final = finalOspFileName(received);
    if (final.name.isEmpty()) {
        log("  NC機のﾌｧｲﾙ名(" + received + ")が不正の為" + OspTemporaryName + "に保存\n");
        return;
    }
    if (final.changed)
        log("  NC機のﾌｧｲﾙ名を変更 " + received + " => " + final.name + "\n");

    QString folder = m_setup.workingFolder;
    if (folder.isEmpty())
        folder = QFileInfo(m_receiveFile).absolutePath();
    const QString target = QDir(folder).filePath(final.name);
    if (QFileInfo(target).absoluteFilePath().compare(QFileInfo(m_receiveFile).absoluteFilePath(),
                                                     Qt::CaseInsensitive) == 0)
        return;

    // Copy into place atomically, replacing an older file of that name, and
    // only then give up the temporary file.
    QFile source(m_receiveFile);
    if (!source.open(QIODevice::ReadOnly))
        throw ReceiveFileError(m_receiveFile);
    const QByteArray bytes = source.readAll();
    if (source.error() != QFileDevice::NoError)
        throw ReceiveFileError(m_receiveFile);
    source.close();
    if (!platform::writeFileAtomically(target, bytes)) {
        log("  受信ﾌｧｲﾙを" + target + "に保存できない為" + OspTemporaryName + "に保存\n");
        return;
    }
    QFile::remove(m_receiveFile);
    m_receiveFile = target;
}

bool ReceiveRun::writeControl(unsigned char b) {
    const bool ok = m_session.isOpen() && m_session.port().writeByte(b);
    m_session.setWriteFailed(!ok);
    return ok;
}

ReceiveResult ReceiveRun::complete() {
    const ReceiveOptions& options = m_setup.options;
    m_display.setTransferPanel(TransferPanel::State, Saving);
    m_display.repaintTransferBar();
    flush();
    if (isOsp())
        moveToReceivedName();

    log("  受信完了\n");
    if (options.powerOff)
        log("  自動で電源断\n");
    m_session.log().write(TransferLog::Receive);

    if (!options.line.noLineCheck && !m_session.writeFailed()) {
        m_errorNumber = ErrEndDc4;
        if (!writeControl(nc::Dc4)) {
            // The program is in the file already; a machine that cannot hear
            // the courtesy DC4 is no reason to throw it away.
            log("  完了信号(DC4)が送信できません 受信ﾃﾞｰﾀは保存済み\n");
            m_session.log().write(TransferLog::Receive);
        }
    }
    m_session.waitMs(CloseDelayMs, false);
    m_session.closeLine();

    m_display.setProgress(0);
    m_display.setTransferPanel(TransferPanel::State, Received);
    m_display.setTransferPanel(TransferPanel::Detail, QString());

    ReceiveResult result;
    result.outcome = ReceiveResult::Outcome::Completed;
    result.errorNumber = m_errorNumber;
    result.receiveFile = m_receiveFile;
    result.receivedPending = true;
    result.success = true;
    m_display.repaintTransferBar();
    return result;
}

ReceiveResult ReceiveRun::abort() {
    QFile::remove(m_receiveFile);
    // A port that could not be set up gets no DC4: its framing is unknown,
    // and the log must keep saying that the set-up failed. Nor does a
    // connection that is gone.
    if (!m_setup.options.line.noLineCheck && !m_session.writeFailed() && m_errorNumber != ErrNoLine &&
        !m_session.isConnectionLost()) {
        m_errorNumber = ErrStopDc4;
        writeControl(nc::Dc4);
    }
    log(QStringLiteral(u"  受信中止\u3000ｴﾗｰ番号 ") + QString::number(m_errorNumber) + "\n");
    m_session.log().write(TransferLog::Receive);
    m_session.closeLine();
    m_display.setTransferPanel(TransferPanel::State, Stopped);
    return endStopped(ReceiveResult::Outcome::Aborted);
}

ReceiveResult ReceiveRun::unexpectedError(const QString& fileError) {
    m_session.closeLine();
    m_display.setTransferPanel(TransferPanel::State, Stopped);
    if (!fileError.isEmpty())
        log("  受信ﾌｧｲﾙ書込み不良 " + fileError + "\n");
    log("  受信中にｴﾗｰが発生した為に中止\n");
    m_session.log().write(TransferLog::Receive);
    if (!fileError.isEmpty())
        m_session.host().showMessage(LineHost::Kind::Error, "受信ﾌｧｲﾙに書込めません｡\n" + fileError);
    return endStopped(ReceiveResult::Outcome::Failed);
}

// What every ending without a program does to the window after the log is
// written: an empty, unmodified editor, and the post-transfer step.
ReceiveResult ReceiveRun::endStopped(ReceiveResult::Outcome outcome) {
    m_display.repaintTransferBar();
    m_editor.clear();
    m_editor.setModified(false);
    m_display.setCaption(CaptionMode::Idle, QString());
    m_display.setEditingPanel(EditingPanel::ChangeMark, QString());
    m_display.setTransferPanel(TransferPanel::Detail, QString());
    m_display.setProgress(0);

    ReceiveResult result;
    result.outcome = outcome;
    result.errorNumber = m_errorNumber;
    result.receiveFile = m_receiveFile;
    return result;
}

} // namespace tornyx
