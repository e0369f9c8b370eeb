#include "send/PostTransfer.h"

namespace tornyx {

std::optional<platform::MailMessage> completionMail(const TransferState& state, const SettingGroup& setting,
                                                    const QString& endStamp) {
    if (state.receivedPending || !state.dataSent)
        return std::nullopt;
    if (setting.mailFlg != "Y" || setting.mailAddress.isEmpty() || !setting.mailAddress.contains('@'))
        return std::nullopt;
    platform::MailMessage m;
    m.to = setting.mailAddress;
    m.subject = setting.mailSubject;
    m.fromName = QStringLiteral(u"testです");
    m.readReceipt = true;
    m.body =
        state.startLine + QStringLiteral(u"終了 ") + endStamp +
        (state.success ? QStringLiteral(u"\n送信無事完了しました｡") : QStringLiteral(u"\n送信中断しました｡"));
    return m;
}

void runPostTransfer(PostTransferHost& host, TransferState& state, const CommProfile& active,
                     const PostTransferOptions& options, const QString& endStamp) {
    host.setTransferPanel(6, QString());
    host.setTransferPanel(2, QString());
    host.stopTimer1();
    // (The synthesized release of Escape is a Windows mechanism: dropped.)
    if (options.closeSelection)
        host.closeSelectionDialog();
    host.enableCommands();
    if (state.receivedPending) {
        host.loadReceivedFile(state.transferPath);
        if (options.splitAfterReceive)
            host.openSplitSave();
        host.showProgramControls();
        host.scheduleIndexRebuild(100);
        host.setScreenSaverInhibited(false);
    } else {
        host.setScreenSaverInhibited(false);
        host.showProgramControls();
        if (const auto mail = completionMail(state, active.setting, endStamp))
            host.sendCompletionMail(*mail);
    }
    host.setStepButtonEnabled(false);
    state.stepFlag = false;
    host.setEditorContextMenuEnabled(true);
    state.running = false;
    if (active.send.dncSend != 1)
        host.destroyProgressBar();
}

} // namespace tornyx
