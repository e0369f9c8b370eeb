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

} // namespace tornyx
