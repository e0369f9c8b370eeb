#include "app/OptionRows.h"

#include "app/Options.h"
#include "platform/TextCodec.h"

#include <algorithm>

namespace tornyx {

namespace {

const char* const Opts = "Options";
const char* const Setting = "Setting";

const std::array<OptionRow, OptionRowCount> Rows = {{
    {u"(共通)ﾒｰﾄﾙ表示(N:ﾊﾞｲﾄ)", Opts, "op3", false},
    {u"(共通)DR信号常時ONにする", Opts, "op5", false},
    {u"(共通)自動ポート切換画面を有効にする", Opts, "op6", false},
    {u"(共通)除外ポート番号１", Setting, "ModemePort1", true},
    {u"(共通)除外ポート番号２", Setting, "ModemePort2", true},
    {u"(共通)DC3信号を0x93にする(N:0x13)", Setting, "DC3(0X93)", false},
    {u"(共通)NC機側からの中止信号は無効にする(N:有効)", Opts, "op9", false},
    {u"(共通)送受信完了後、PC電源断を有効にする", Opts, "Power_Off", false},
    {u"(共通)DSR信号と併用し処理を行う", Opts, "op14", false},
    {u"(共通)回線ﾁｪｯｸを行わない(Y:ｲﾝﾀｰﾘﾝｸ用ｸﾛｽｹｰﾌﾞﾙ)", Opts, "op13", false},
    {u"(受信)受信したﾃﾞｰﾀをﾌﾟﾛｸﾞﾗﾑ番号毎に分割する", Opts, "op2", false},
    {u"(受信)受信中止でもそれまでに受信したﾃﾞｰﾀは保存する", Opts, "op10", false},
    {u"(送信)ﾌﾟﾛｸﾞﾗﾑ番号を選択して送信を行う(DNC運転は除く)", Opts, "op1", false},
    {u"(送信)送信ﾃﾞｰﾀ内のｽﾍﾟｰｽは送信しない", Opts, "op4", false},
    {u"(送信)ﾃﾞｰﾀの注釈(；か’)以降も送信を行う", Opts, "op7", false},
    {u"(送信)ﾃｰﾌﾟﾊﾟﾝﾁｬを使用する場合に完了信号を出力する", Opts, "op12", false},
    {u"(送信)送信開始時に改行コードを送信しない", Opts, "op17", false},
    {u"(送信)送り速度Ｆの小数点送信項目を有効にする", Opts, "op20", false},
    {u"(送信)ｼｰｹﾝｽ番号送信項目を有効にする", Opts, "op21", false},
    {u"(DNC )DNC通信でﾚﾍﾞﾙ0以外のM02(M30)はM99として処理する", Opts, "op15", false},
    {u"(編集)編集時,FK1で補完機能を有効にする", Opts, "op19", false},
    {u"(編集)ﾀｲﾄﾙはﾌﾙﾊﾟｽ名で表示/Y:ﾌｧｲﾙ名のみ表示", Opts, "op22", false},
}};

// Columns in a fixed-pitch Japanese font: the bytes of the Shift-JIS form.
qsizetype columns(const QString& s) {
    return platform::toSjis(s).size();
}

// The three rows of the section "Setting" have fields of their own.
template <class O> auto settingField(O& o, const QString& key) -> decltype(&o.dc3) {
    if (key == "ModemePort1")
        return &o.modemePort1;
    if (key == "ModemePort2")
        return &o.modemePort2;
    if (key == "DC3(0X93)")
        return &o.dc3;
    return nullptr;
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
        captions << (r.freeText ? label : label + QString(width + 1 - columns(label), ' ') + "(Y/N)");
    }
    return captions;
}

OptionRowValues optionRowValues(const Options& options) {
    OptionRowValues values;
    for (int i = 0; i < OptionRowCount; ++i) {
        const QString key = QString::fromLatin1(Rows[i].key);
        const QString* field = settingField(options, key);
        values[i] = field ? *field : options.get(key);
    }
    return values;
}

void applyOptionRowValues(Options& options, const OptionRowValues& values) {
    for (int i = 0; i < OptionRowCount; ++i) {
        const QString key = QString::fromLatin1(Rows[i].key);
        if (auto* field = settingField(options, key))
            *field = values[i];
        else
            options.set(key, values[i]);
    }
}

} // namespace tornyx
