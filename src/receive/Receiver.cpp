#include "receive/Receiver.h"

#include "receive/ReceiveRun.h"
#include "serial/TransferSession.h"

#include <QFileInfo>

namespace tornyx {

namespace {

const QString ReceiveFileTitle = QStringLiteral(u"受信ﾃﾞｰﾀ名");

} // namespace

Receiver::Receiver(TransferSession& session, RunDisplay& display, RunEditor& editor, ProgramIndex& programs,
                   TransferState& state, ReceivePrompts& prompts)
    : m_session(session), m_display(display), m_editor(editor), m_programs(programs), m_state(state),
      m_prompts(prompts) {}

QString Receiver::ospReceiveFile(const QString& folder) {
    const QString name = QString::fromLatin1(ReceiveRun::OspTemporaryName);
    if (folder.endsWith('/'))
        return folder + name;
    return folder + '/' + name;
}

std::optional<ReceiveResult> Receiver::receiveButtonClicked(Request& request, bool shiftHeld) {
    if (!m_prompts.askSaveBeforeReplace())
        return std::nullopt;
    // Shift closes the program after this receive; a receive that never
    // starts (a dialog cancelled) must not leave that behind for the next.
    const auto exitIfShift = [&] {
        if (shiftHeld)
            m_state.exitAfterTransfer = true;
    };
    m_display.prepareTransferBar();

    QString initialFolder;
    const QString profileFolder = request.profile.setting.dirPathSub;
    if (!profileFolder.isEmpty()) {
        if (QFileInfo(profileFolder).isDir()) {
            initialFolder = profileFolder;
        } else {
            initialFolder = m_prompts.workingFolder();
            m_session.host().showMessage(LineHost::Kind::Error,
                                         "設定ﾌｫﾙﾀﾞ\n" + profileFolder + "が見つかりません｡");
        }
    }

    if (isOspProfile(request.profileNumber)) {
        const QString working = m_prompts.workingFolder();
        const std::optional<QString> folder = m_prompts.chooseFolder("現ﾃﾞｨﾚｸﾄﾘ " + working, working);
        if (!folder)
            return std::nullopt;
        exitIfShift();
        return runOsp(request, *folder);
    }

    const std::optional<QString> file = m_prompts.chooseReceiveFile(ReceiveFileTitle, initialFolder);
    if (!file)
        return std::nullopt;
    exitIfShift();
    m_display.setCaption(CaptionMode::Receiving, *file);
    m_editor.setModified(false);
    m_display.enterTransferMode();
    m_editor.clear();
    m_session.log().start("  受信\n");
    m_session.log().append("  標準で受信設定開始\n");
    m_session.log().append("  受信ﾌｧｲﾙ名は" + *file + "\n");
    m_editor.clearBreakpoint();
    return run(request, *file, m_prompts.workingFolder());
}

ReceiveResult Receiver::runOsp(Request& request, const QString& folder) {
    const QString file = ospReceiveFile(folder);
    const QString working = prepareOsp(file, [this] { m_display.setCaption(CaptionMode::Empty, QString()); });
    m_editor.clearBreakpoint();
    return run(request, file, working);
}

// The set-up both OSP starts share; caption shows the start's own caption.
// Returns the folder the named file will be stored in.
QString Receiver::prepareOsp(const QString& file, const std::function<void()>& caption) {
    const QString working = QFileInfo(file).absolutePath();
    m_prompts.setWorkingFolder(working);
    m_prompts.setSaveDialogFileName(file);
    caption();
    m_editor.setModified(false);
    m_display.enterTransferMode();
    m_editor.clear();
    m_session.log().start("  受信\n");
    m_session.log().append("  OSP専用で受信設定開始\n");
    m_session.log().append("  受信ﾌｧｲﾙ名はNC装置から取得\n");
    m_session.log().append("  受信ﾌｧｲﾙ保存先は" + working + "\n");
    return working;
}

ReceiveResult Receiver::orderedReceive(Request& request, const QString& rValue) {
    m_display.prepareTransferBar();
    if (isOspProfile(request.profileNumber)) {
        const QString file = ospReceiveFile(rValue);
        const QString working =
            prepareOsp(file, [this, &file] { m_display.setCaptionFullName(CaptionMode::Receiving, file); });
        return run(request, file, working);
    }
    m_prompts.setSaveDialogFileName(rValue);
    m_display.setCaption(CaptionMode::Receiving, rValue);
    m_editor.setModified(false);
    m_display.enterTransferMode();
    m_editor.clear();
    m_session.log().start("  受信\n");
    m_session.log().append("  標準で受信設定開始\n");
    m_session.log().append("  受信ﾌｧｲﾙ名は" + rValue + "\n");
    return run(request, rValue, m_prompts.workingFolder());
}

ReceiveResult Receiver::run(Request& request, const QString& receiveFile, const QString& workingFolder) {
    ReceiveRun::Setup setup;
    setup.profileNumber = request.profileNumber;
    setup.profile = request.profile;
    setup.options = request.options;
    setup.receiveFile = receiveFile;
    setup.workingFolder = workingFolder;
    return ReceiveRun(m_session, m_display, m_editor, m_programs, m_state, setup).run();
}

} // namespace tornyx
