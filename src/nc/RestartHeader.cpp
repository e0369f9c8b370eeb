#include "nc/RestartHeader.h"

#include "platform/IniFile.h"

#include <QRegularExpression>

#include <cmath>

namespace tornyx::nc {

namespace {

const QString LinesKey = QStringLiteral("HeaderLines");
const QString LineKey = QStringLiteral("Header");
const QString RapidKey = QStringLiteral("RapidRate");
const QString WholeUnitsKey = QStringLiteral("WholeUnits");

QString reasonText(Unknown why) {
    switch (why) {
    case Unknown::None:
        return {};
    case Unknown::NotGiven:
        return QStringLiteral(u"ﾌﾟﾛｸﾞﾗﾑ中に指令がありません");
    case Unknown::Macro:
        return QStringLiteral(u"ﾏｸﾛ変数で指令されています");
    case Unknown::RefReturn:
        return QStringLiteral(u"原点復帰の後は位置が不明です");
    case Unknown::MachineCoord:
        return QStringLiteral(u"G53(機械座標)の後は位置が不明です");
    case Unknown::CoordShift:
        return QStringLiteral(u"G52で座標系が変わりました");
    case Unknown::Skip:
        return QStringLiteral(u"G31(ｽｷｯﾌﾟ)の後は位置が不明です");
    case Unknown::MachineCall:
        return QStringLiteral(u"NC機のﾒﾓﾘのﾌﾟﾛｸﾞﾗﾑを呼んだ後は不明です");
    case Unknown::RetractMode:
        return QStringLiteral(u"固定ｻｲｸﾙにG98/G99の指令がありません");
    case Unknown::Units:
        return QStringLiteral(u"G20/G21より前の小数点なしの値です");
    case Unknown::DistanceMode:
        return QStringLiteral(u"G90/G91より前の軸指令です");
    case Unknown::OtherCode:
        return QStringLiteral(u"読み取らないGｺｰﾄﾞと同じﾌﾞﾛｯｸの軸指令です");
    case Unknown::NoTool:
        return QStringLiteral(u"T指令の無いM06です");
    case Unknown::Unreadable:
        return QStringLiteral(u"読めない指令です");
    }
    return {};
}

// A placeholder's value: text, nothing to restore, or not known.
struct Value {
    enum Kind { Has, Absent, NotKnown } kind = Absent;
    QByteArray text;
    Unknown why = Unknown::NotGiven;
    int line = -1;
    QString what; // for the note
};

Value has(QByteArray text) {
    Value v;
    v.kind = Value::Has;
    v.text = std::move(text);
    return v;
}

template <class T> Value notKnown(const Tracked<T>& t, const QString& what) {
    Value v;
    v.kind = Value::NotKnown;
    v.why = t.why;
    v.line = t.line;
    v.what = what;
    return v;
}

QByteArray text(const ShortText& t) {
    return t.view().toByteArray();
}

template <class T> bool knownOr(const Tracked<T>& t, const QString& what, Value& out) {
    if (t.known())
        return true;
    out = notKnown(t, what);
    return false;
}

const QString Units = QStringLiteral(u"単位(G20/G21)");
const QString Plane = QStringLiteral(u"平面(G17-G19)");
const QString Distance = QStringLiteral(u"ｱﾌﾞｿ/ｲﾝｸﾘ(G90/G91)");
const QString WorkOffset = QStringLiteral(u"ﾜｰｸ座標系(G54-G59)");
const QString Motion = QStringLiteral(u"補間ﾓｰﾄﾞ(G00-G03)");
const QString FeedMode = QStringLiteral(u"送りﾓｰﾄﾞ(G94/G95)");
const QString LengthComp = QStringLiteral(u"工具長補正(G43/G44/G49)");
const QString CutterComp = QStringLiteral(u"工具径補正(G40-G42)");
const QString Cycle = QStringLiteral(u"固定ｻｲｸﾙ");
const QString Tool = QStringLiteral(u"工具(T)");
const QString ToolChange = QStringLiteral(u"工具交換(M06)");
const QString Spindle = QStringLiteral(u"主軸(S/M03-M05)");
const QString Coolant = QStringLiteral(u"ｸｰﾗﾝﾄ(M07-M09)");
const QString Feed = QStringLiteral(u"送り速度(F)");
const char AxisLetters[] = "XYZABC";

bool isInch(const NcState& s) {
    return s.units.known() && s.units.value == 200;
}

Value lookup(const QString& name, double offset, const NcState& s) {
    Value v;
    if (name.size() == 1 && QByteArrayView(AxisLetters).contains(char(name[0].toUpper().toLatin1()))) {
        const int a = int(QByteArrayView(AxisLetters).indexOf(char(name[0].toUpper().toLatin1())));
        const auto& t = s.axis[size_t(a)];
        if (!s.axisNamed[size_t(a)] && a >= A)
            return v; // the program never turns this axis
        if (!knownOr(t, QString(QChar(AxisLetters[a])) + QStringLiteral(u"位置"), v))
            return v;
        return has(formatNumber(t.value + offset, isInch(s) && a < A));
    }
    if (name == u"units")
        return knownOr(s.units, Units, v) ? has(codeText('G', s.units.value)) : v;
    if (name == u"plane")
        return knownOr(s.plane, Plane, v) ? has(codeText('G', s.plane.value)) : v;
    if (name == u"distance")
        return knownOr(s.distance, Distance, v) ? has(codeText('G', s.distance.value)) : v;
    if (name == u"motion")
        return knownOr(s.motion, Motion, v) ? has(codeText('G', s.motion.value)) : v;
    if (name == u"feedmode")
        return knownOr(s.feedMode, FeedMode, v) ? has(codeText('G', s.feedMode.value)) : v;
    if (name == u"workoffset") {
        if (!knownOr(s.workOffset, WorkOffset, v))
            return v;
        QByteArray t = codeText('G', s.workOffset.value);
        if (s.workOffset.value == 541)
            t += " P" + text(s.workOffsetP);
        return has(t);
    }
    if (name == u"lengthoffset") {
        if (!knownOr(s.lengthComp, LengthComp, v))
            return v;
        if (s.lengthComp.value == 490)
            return has("G49");
        return knownOr(s.h, LengthComp, v) ? has(codeText('G', s.lengthComp.value) + " H" + text(s.h.value))
                                           : v;
    }
    if (name == u"cutcomp") {
        if (!knownOr(s.cutterComp, CutterComp, v))
            return v;
        if (s.cutterComp.value == 400)
            return has("G40");
        return knownOr(s.d, CutterComp, v) ? has(codeText('G', s.cutterComp.value) + " D" + text(s.d.value))
                                           : v;
    }
    if (name == u"h")
        return knownOr(s.h, LengthComp, v) ? has(text(s.h.value)) : v;
    if (name == u"d")
        return knownOr(s.d, CutterComp, v) ? has(text(s.d.value)) : v;
    if (name == u"cycle") {
        if (!knownOr(s.cycle, Cycle, v) || !s.cycleActive())
            return v;
        QByteArray t;
        if (s.retract.known())
            t = codeText('G', s.retract.value) + ' ';
        t += codeText('G', s.cycle.value);
        for (int i = 0; i < 4; ++i) {
            const auto& w = s.cycleWords[size_t(i)];
            if (w.why == Unknown::NotGiven)
                continue;
            if (!knownOr(w, Cycle, v))
                return v;
            t += ' ' + QByteArray(1, "ZRQP"[i]) + text(w.value);
        }
        if (s.f.known())
            t += " F" + text(s.f.value);
        return has(t);
    }
    if (name == u"toolchange")
        return knownOr(s.spindleTool, ToolChange, v) ? has('T' + text(s.spindleTool.value) + " M06") : v;
    if (name == u"t")
        return knownOr(s.tool, Tool, v) ? has(text(s.tool.value)) : v;
    if (name == u"nexttool") {
        // A tool called up after the last change waits in the magazine.
        if (!s.tool.known() || s.toolChangeFollowed ||
            (s.spindleTool.known() && s.spindleTool.value == s.tool.value))
            return v;
        return has('T' + text(s.tool.value));
    }
    if (name == u"spindle") {
        if (!knownOr(s.spindle, Spindle, v))
            return v;
        if (s.spindle.value == 5)
            return has("M05");
        return knownOr(s.s, Spindle, v) ? has('S' + text(s.s.value) + ' ' + codeText('M', s.spindle.value))
                                        : v;
    }
    if (name == u"s")
        return knownOr(s.s, Spindle, v) ? has(text(s.s.value)) : v;
    if (name == u"coolant") {
        if (!knownOr(s.mist, Coolant, v) || !knownOr(s.flood, Coolant, v)) {
            // One of them known and on is still something to restore.
            if (s.mist.known() && s.mist.value && !s.flood.known())
                return has("M07");
            if (s.flood.known() && s.flood.value && !s.mist.known())
                return has("M08");
            return v;
        }
        if (s.mist.value && s.flood.value)
            return has("M07\nM08"); // one M code per block on many controls
        return has(s.flood.value ? "M08" : s.mist.value ? "M07" : "M09");
    }
    if (name == u"feed")
        return knownOr(s.f, Feed, v) ? has('F' + text(s.f.value)) : v;
    if (name == u"f")
        return knownOr(s.f, Feed, v) ? has(text(s.f.value)) : v;
    v.kind = Value::NotKnown;
    v.why = Unknown::None;
    v.what = name;
    return v;
}

QString where(int line, const LineText& lineText) {
    if (line < 0)
        return {};
    QString t = QStringLiteral(u" (行") + QString::number(line + 1);
    if (lineText)
        t += QStringLiteral(": ") + lineText(line).trimmed();
    return t + ')';
}

QString carriedText(const Carried& c) {
    switch (c.kind) {
    case Carried::GCode:
        return QString::fromLatin1(codeText('G', c.code)) +
               QStringLiteral(u" は読み取りません｡ﾍｯﾀﾞｰに入っていません");
    case Carried::ModalGroup:
        return QString::fromLatin1(codeText('G', c.code % 1000)) +
               QStringLiteral(u" が有効です｡ﾍｯﾀﾞｰに入っていません");
    case Carried::MCode:
        return QString::fromLatin1(codeText('M', c.code)) +
               QStringLiteral(u" は読み取りません｡ﾍｯﾀﾞｰに入っていません");
    case Carried::Letter:
        return QString(QChar(c.code)) + QStringLiteral(u" の指令は読み取りません");
    case Carried::MacroStatement:
        return QStringLiteral(u"ﾏｸﾛ文は計算していません");
    case Carried::BlockDelete:
        return QStringLiteral(u"/(ﾌﾞﾛｯｸｽｷｯﾌﾟ)のﾌﾞﾛｯｸも実行されたものとして読みました");
    case Carried::AfterSemicolon:
        return QStringLiteral(u"; 以降も送信されますが読み取っていません");
    case Carried::UnreadableText:
        return QStringLiteral(u"読めない文字があります");
    case Carried::CoordinateSet:
        return QString::fromLatin1(codeText('G', c.code)) +
               QStringLiteral(u" で座標系が変わっています｡ﾍｯﾀﾞｰに入っていません");
    case Carried::DataSetting:
        return QStringLiteral(u"G10 でｵﾌｾｯﾄ等が変わっています");
    case Carried::MachineCall:
        return QStringLiteral(u"NC機のﾒﾓﾘのﾌﾟﾛｸﾞﾗﾑを呼んでいます｡その後の状態は不明です");
    case Carried::ModalCall:
        return QStringLiteral(u"G66 ﾓｰﾀﾞﾙ呼出が有効です｡ﾍｯﾀﾞｰに入っていません");
    }
    return {};
}

} // namespace

QString restartSection(int profile) {
    return QStringLiteral("Restart") + QString::number(profile);
}

QStringList defaultHeaderTemplate() {
    // Cancel what could move the tool unexpectedly, retract, then rebuild
    // the state; the approach stops 5 above the point and feeds the rest,
    // and only over a known X and Y.
    return {
        QStringLiteral("G40 G49 G80"),
        QStringLiteral("{units}"),
        QStringLiteral("G91 G28 Z0."),
        QStringLiteral("G90"),
        QStringLiteral("{toolchange}"),
        QStringLiteral("{nexttool}"),
        QStringLiteral("{workoffset} {plane} {feedmode}"),
        QStringLiteral("{spindle}"),
        QStringLiteral("G00 X{x} Y{y}"),
        QStringLiteral("G00 A{a}"),
        QStringLiteral("G00 B{b}"),
        QStringLiteral("G00 C{c}"),
        QStringLiteral("{lengthoffset} G00 Z{z+5.}{?x y}"),
        QStringLiteral("{coolant}"),
        QStringLiteral("G01 Z{z} {feed}{?x y}"),
        QStringLiteral("{distance} {motion}"),
    };
}

RestartSettings loadRestartSettings(const platform::IniFile& ini, int profile) {
    RestartSettings s;
    const QString section = restartSection(profile);
    const int lines = ini.readInteger(section, LinesKey, -1);
    if (lines < 0) {
        s.header = defaultHeaderTemplate();
    } else {
        for (int i = 1; i <= lines; ++i)
            s.header << ini.readString(section, LineKey + QString::number(i), QString());
    }
    s.rapidRate = ini.readInteger(section, RapidKey, s.rapidRate);
    s.wholeUnits = ini.readBool(section, WholeUnitsKey, s.wholeUnits);
    return s;
}

ReaderSettings readerSettingsFor(const RestartSettings& restart, bool sendAfterComment, bool dnc) {
    ReaderSettings s;
    s.rules.sendAfterComment = sendAfterComment;
    s.wholeUnits = restart.wholeUnits;
    s.rapidRate = restart.rapidRate;
    s.machineCalls = !dnc;
    return s;
}

RestartSettings readRestartSettings(const QString& profileFile, int profile) {
    platform::IniFile ini(profileFile);
    ini.load();
    return loadRestartSettings(ini, profile);
}

void saveRestartSettings(platform::IniFile& ini, int profile, const RestartSettings& s) {
    const QString section = restartSection(profile);
    ini.writeInteger(section, LinesKey, int(s.header.size()));
    for (int i = 0; i < s.header.size(); ++i)
        ini.writeString(section, LineKey + QString::number(i + 1), s.header[i]);
    ini.writeInteger(section, RapidKey, s.rapidRate);
    ini.writeBool(section, WholeUnitsKey, s.wholeUnits);
}

QByteArray formatNumber(double value, bool inch) {
    QByteArray t = QByteArray::number(value, 'f', inch ? 4 : 3);
    while (t.endsWith('0'))
        t.chop(1);
    if (t == "-.")
        t = ".";
    if (t == "-0.")
        t = "0.";
    return t;
}

RenderedHeader renderHeader(const QStringList& tmpl, const NcState& state, const LineText& lineText) {
    RenderedHeader out;
    QStringList noted;
    const auto note = [&](const QString& key, const QString& text, int line) {
        if (noted.contains(key))
            return;
        noted << key;
        out.notes.append({text + where(line, lineText), line});
    };
    bool usesCycle = false, usesCutter = false;
    bool usesAxis[AxisCount] = {};
    // One placeholder: its text onto line (when given); false when the line
    // must go, with the note that says why.
    const auto fill = [&](const QString& name, double offset, QString* line) {
        usesCycle |= name == u"cycle";
        usesCutter |= name == u"cutcomp" || name == u"d";
        if (name.size() == 1) {
            const qsizetype a = QByteArrayView(AxisLetters).indexOf(char(name[0].toUpper().toLatin1()));
            if (a >= 0)
                usesAxis[a] = true;
        }
        const Value v = lookup(name, offset, state);
        if (v.kind == Value::Has) {
            if (line)
                *line += QString::fromLatin1(v.text);
            return true;
        }
        if (v.kind == Value::NotKnown && v.why == Unknown::None && v.what == name)
            note(QStringLiteral("?") + name,
                 QStringLiteral(u"ﾃﾝﾌﾟﾚｰﾄの {") + name + QStringLiteral(u"} は使えません"), -1);
        else if (v.kind == Value::NotKnown)
            note(v.what,
                 v.what + QStringLiteral(u": ") + reasonText(v.why) +
                     QStringLiteral(u"｡ﾍｯﾀﾞｰの行を外しました"),
                 v.line);
        // A guard over an axis the program never turns asks for nothing.
        return !line && v.kind == Value::Absent;
    };
    for (const QString& t : tmpl) {
        QString line;
        bool keep = true;
        for (qsizetype i = 0; i < t.size(); ++i) {
            const qsizetype close = t[i] == u'{' ? t.indexOf(u'}', i) : -1;
            if (close < 0) {
                line += t[i];
                continue;
            }
            const QString raw = t.mid(i + 1, close - i - 1);
            i = close;
            if (raw.trimmed().startsWith(u'?')) {
                // A guard: the line needs these values, and writes nothing.
                for (const QString& n :
                     raw.trimmed().mid(1).split(QRegularExpression("[ ,]+"), Qt::SkipEmptyParts))
                    keep = fill(n.toLower(), 0, nullptr) && keep;
                continue;
            }
            QString name = raw.trimmed();
            double offset = 0;
            const qsizetype sign = std::max(name.indexOf(u'+'), name.indexOf(u'-'));
            if (sign > 0) {
                bool ok = false;
                offset = name.mid(sign).remove(u' ').toDouble(&ok);
                name = name.left(sign).trimmed();
                if (!ok) {
                    keep = false;
                    note(QStringLiteral("?") + raw,
                         QStringLiteral(u"ﾃﾝﾌﾟﾚｰﾄの {") + raw + QStringLiteral(u"} は使えません"), -1);
                    continue;
                }
            }
            keep = fill(name.toLower(), offset, &line) && keep;
        }
        if (!keep)
            continue;
        for (const QString& part : line.split(u'\n')) {
            const QString trimmed = part.trimmed();
            if (!trimmed.isEmpty())
                out.lines << trimmed;
        }
    }

    // In effect at the block and not rebuilt by this template.
    if (state.cycleActive() && !usesCycle)
        note(Cycle,
             QStringLiteral(u"固定ｻｲｸﾙ ") + QString::fromLatin1(codeText('G', state.cycle.value)) +
                 QStringLiteral(u" が有効です｡ﾍｯﾀﾞｰに入っていません"),
             state.cycle.line);
    if (state.cutterComp.known() && state.cutterComp.value != 400 && !usesCutter)
        note(CutterComp,
             QStringLiteral(u"工具径補正 ") + QString::fromLatin1(codeText('G', state.cutterComp.value)) +
                 QStringLiteral(u" が有効です｡ﾍｯﾀﾞｰに入っていません"),
             state.cutterComp.line);
    for (int a = 0; a < AxisCount; ++a) {
        const auto& t = state.axis[size_t(a)];
        if (!usesAxis[a] && state.axisNamed[size_t(a)] && !t.known()) {
            const QString what = QString(QChar(AxisLetters[a])) + QStringLiteral(u"位置");
            note(what, what + QStringLiteral(u": ") + reasonText(t.why), t.line);
        }
    }
    for (const Carried& c : state.carried)
        note(QStringLiteral("c%1/%2").arg(int(c.kind)).arg(c.code), carriedText(c), c.line);
    return out;
}

} // namespace tornyx::nc
