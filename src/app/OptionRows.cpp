#include "app/OptionRows.h"

#include "platform/TextCodec.h"

#include <algorithm>

namespace tornyx {

namespace {

// The option of the two port rows is never read: they edit their field.
const std::array<OptionRow, OptionRowCount> Rows = {{
    {u"(共通)ﾒｰﾄﾙ表示(N:ﾊﾞｲﾄ)", Opt::Metres},
    {u"(共通)DR信号常時ONにする", Opt::DtrAlwaysOn},
    {u"(共通)自動ポート切換画面を有効にする", Opt::AutoSwitch},
    {u"(共通)除外ポート番号１", Opt::Metres, &Options::modemePort1},
    {u"(共通)除外ポート番号２", Opt::Metres, &Options::modemePort2},
    {u"(共通)DC3信号を0x93にする(N:0x13)", Opt::Dc3Is93},
    {u"(共通)NC機側からの中止信号は無効にする(N:有効)", Opt::IgnoreMachineStop},
    {u"(共通)送受信完了後、PC電源断を有効にする", Opt::PowerOff},
    {u"(共通)DSR信号と併用し処理を行う", Opt::DsrCheck},
    {u"(共通)回線ﾁｪｯｸを行わない(Y:ｲﾝﾀｰﾘﾝｸ用ｸﾛｽｹｰﾌﾞﾙ)", Opt::NoLineCheck},
    {u"(受信)受信したﾃﾞｰﾀをﾌﾟﾛｸﾞﾗﾑ番号毎に分割する", Opt::SplitAfterReceive},
    {u"(受信)受信中止でもそれまでに受信したﾃﾞｰﾀは保存する", Opt::KeepOnStop},
    {u"(送信)ﾌﾟﾛｸﾞﾗﾑ番号を選択して送信を行う(DNC運転は除く)", Opt::SelectPrograms},
    {u"(送信)送信ﾃﾞｰﾀ内のｽﾍﾟｰｽは送信しない", Opt::SkipSpaces},
    {u"(送信)ﾃﾞｰﾀの注釈(；か’)以降も送信を行う", Opt::SendAfterComment},
    {u"(送信)ﾃｰﾌﾟﾊﾟﾝﾁｬを使用する場合に完了信号を出力する", Opt::PunchCompletion},
    {u"(送信)送信開始時に改行コードを送信しない", Opt::NoLeadingLf},
    {u"(送信)送り速度Ｆの小数点送信項目を有効にする", Opt::FeedPointField},
    {u"(送信)ｼｰｹﾝｽ番号送信項目を有効にする", Opt::SequenceField},
    {u"(DNC )DNC通信でﾚﾍﾞﾙ0以外のM02(M30)はM99として処理する", Opt::DncEndAsReturn},
    {u"(編集)編集時,FK1で補完機能を有効にする", Opt::Completion},
    {u"(編集)ﾀｲﾄﾙはﾌﾙﾊﾟｽ名で表示/Y:ﾌｧｲﾙ名のみ表示", Opt::FileNameCaption},
}};

// Columns in a fixed-pitch Japanese font: the bytes of the Shift-JIS form.
qsizetype columns(const QString& s) {
    return platform::toSjis(s).size();
}

} // namespace

const std::array<OptionRow, OptionRowCount>& optionRows() {
    return Rows;
}

QStringList optionRowCaptions() {
    qsizetype width = 0;
    for (const OptionRow& r : Rows)
        width = std::max(width, columns(QString::fromUtf16(r.label)));
    QStringList captions;
    for (const OptionRow& r : Rows) {
        const QString label = QString::fromUtf16(r.label);
        captions << (r.isFreeText() ? label : label + QString(width + 1 - columns(label), ' ') + "(Y/N)");
    }
    return captions;
}

OptionRowValues optionRowValues(const Options& options) {
    OptionRowValues values;
    for (int i = 0; i < OptionRowCount; ++i)
        values[i] = Rows[i].isFreeText() ? options.*Rows[i].port : options.text(Rows[i].option);
    return values;
}

void applyOptionRowValues(Options& options, const OptionRowValues& values) {
    for (int i = 0; i < OptionRowCount; ++i) {
        if (Rows[i].isFreeText())
            options.*Rows[i].port = values[i];
        else
            options.setText(Rows[i].option, values[i]);
    }
}

} // namespace tornyx
