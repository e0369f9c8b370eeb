#include "receive/Receiver.h"

#include "receive/ReceiveRun.h"
#include "serial/TransferSession.h"

#include <QFileInfo>

namespace tornyx {

namespace {

const QString ReceiveFileTitle = QStringLiteral(u"受信ﾃﾞｰﾀ名");

} // namespace

Receiver::Receiver(TransferSession& session, ReceiveHost& host) : m_session(session), m_host(host) {}

QString Receiver::ospReceiveFile(const QString& folder) {
    const QString name = QString::fromLatin1(ReceiveRun::OspTemporaryName);
    if (folder.endsWith('/'))
        return folder + name;
    return folder + '/' + name;
}

std::optional<ReceiveResult> Receiver::receiveButtonClicked(Request& request) {
    if (m_host.isLogViewShown())
        return std::nullopt;
    if (!m_host.askSaveBeforeReplace())
        return std::nullopt;
    if (m_host.isShiftHeld())
        request.exitAfterTransfer = true;
    m_host.prepareTransferBar();

    QString initialFolder;
    const QString profileFolder = request.profile.setting.dirPathSub;
    if (!profileFolder.isEmpty()) {
        if (QFileInfo(profileFolder).isDir()) {
            initialFolder = profileFolder;
        } else {
            initialFolder = m_host.workingFolder();
            m_session.host().showMessage(LineHost::Kind::Error,
                                         "設定ﾌｫﾙﾀﾞ\n" + profileFolder + "が見つかりません｡");
        }
    }

    if (request.profileNumber == 11 || request.profileNumber == 12) {
        const QString working = m_host.workingFolder();
        const std::optional<QString> folder = m_host.chooseFolder("現ﾃﾞｨﾚｸﾄﾘ " + working, working);
        if (!folder)
            return std::nullopt;
        return runOsp(request, *folder);
    }

    const std::optional<QString> file = m_host.chooseReceiveFile(ReceiveFileTitle, initialFolder);
    if (!file)
        return std::nullopt;
    m_host.setCaption(6, *file);
    m_host.setModified(false);
    m_host.enterTransferMode();
    m_host.clearEditor();
    m_session.log().start("  受信\n");
    m_session.log().append("  標準で受信設定開始\n");
    m_session.log().append("  受信ﾌｧｲﾙ名は" + *file + "\n");
    m_host.clearBreakpoint();
    return run(request, *file, m_host.workingFolder());
}

ReceiveResult Receiver::runOsp(Request& request, const QString& folder) {
    const QString file = ospReceiveFile(folder);
    const QString working = prepareOsp(file, [this] { m_host.setCaption(7, QString()); });
    m_host.clearBreakpoint();
    return run(request, file, working);
}

// The set-up both OSP starts share; caption shows the start's own caption.
// Returns the folder the named file will be stored in.
QString Receiver::prepareOsp(const QString& file, const std::function<void()>& caption) {
    const QString working = QFileInfo(file).absolutePath();
    m_host.setWorkingFolder(working);
    m_host.setSaveDialogFileName(file);
    caption();
    m_host.setModified(false);
    m_host.enterTransferMode();
    m_host.clearEditor();
    m_session.log().start("  受信\n");
    m_session.log().append("  OSP専用で受信設定開始\n");
    m_session.log().append("  受信ﾌｧｲﾙ名はNC装置から取得\n");
    m_session.log().append("  受信ﾌｧｲﾙ保存先は" + working + "\n");
    return working;
}

ReceiveResult Receiver::orderedReceive(Request& request, const QString& rValue) {
    m_host.prepareTransferBar();
    if (request.profileNumber == 11 || request.profileNumber == 12) {
        const QString file = ospReceiveFile(rValue);
        const QString working = prepareOsp(file, [this, &file] { m_host.setCaptionFullName(6, file); });
        return run(request, file, working);
    }
    m_host.setSaveDialogFileName(rValue);
    m_host.setCaption(6, rValue);
    m_host.setModified(false);
    m_host.enterTransferMode();
    m_host.clearEditor();
    m_session.log().start("  受信\n");
    m_session.log().append("  標準で受信設定開始\n");
    m_session.log().append("  受信ﾌｧｲﾙ名は" + rValue + "\n");
    return run(request, rValue, m_host.workingFolder());
}

ReceiveResult Receiver::run(Request& request, const QString& receiveFile, const QString& workingFolder) {
    ReceiveRun::Setup setup;
    setup.profileNumber = request.profileNumber;
    setup.profile = request.profile;
    setup.options = request.options;
    setup.receiveFile = receiveFile;
    setup.workingFolder = workingFolder;
    setup.exitAfterTransfer = request.exitAfterTransfer;
    return ReceiveRun(m_session, m_host, setup).run();
}

} // namespace tornyx
