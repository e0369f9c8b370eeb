#include "nc/RestartPlan.h"

#include "platform/TextCodec.h"

#include <cmath>
#include <vector>

namespace tornyx::nc {

namespace {

QString lineText(TextLines& lines, int line) {
    return QString::fromUtf8(lines.line(line)).trimmed();
}

QString choiceText(const RestartChoice& c) {
    const QString nth =
        c.occurrence > 1 ? QString::number(c.occurrence) + QStringLiteral(u"番目の") : QString();
    if (c.kind == RestartChoice::Sequence)
        return nth + QStringLiteral(u"ｼｰｹﾝｽ番号 N") + QString::number(c.sequence);
    return nth + QStringLiteral(u"検索文字列 ") + QString::fromUtf8(c.text);
}

} // namespace

QString flowStopText(ProgramFlow::Stop stop, const QByteArray& target) {
    switch (stop) {
    case ProgramFlow::Stop::None:
    case ProgramFlow::Stop::End:
        return {};
    case ProgramFlow::Stop::TooDeep:
        return QStringLiteral(u"ｻﾌﾞﾌﾟﾛｸﾞﾗﾑ呼出のﾈｽﾄが深すぎます");
    case ProgramFlow::Stop::CallMacro:
    case ProgramFlow::Stop::GotoMacro:
        return QStringLiteral(u"ﾏｸﾛ変数は検索出来ません");
    case ProgramFlow::Stop::CallMissing:
        return QStringLiteral(u"ﾌﾟﾛｸﾞﾗﾑが見当たりません (P") + QString::fromLatin1(target) + ')';
    case ProgramFlow::Stop::M99Call:
        return QStringLiteral(u"M99 P... は検索出来ません");
    case ProgramFlow::Stop::GotoMissing:
        return QStringLiteral(u"飛び先が見当たりません (GOTO ") + QString::fromLatin1(target) + ')';
    case ProgramFlow::Stop::NotANumber:
        return QStringLiteral(u"数字でないﾌﾟﾛｸﾞﾗﾑ番号があります");
    case ProgramFlow::Stop::Loop:
        return QStringLiteral(u"GOTO が同じ所を回り続けます");
    }
    return {};
}

RestartPlan planRestart(TextLines& lines, const ScanSettings& settings, const QStringList& tmpl,
                        const RestartChoice& choice) {
    RestartPlan p;
    p.choice = choice;
    const int line = findRestartLine(lines, choice, settings.reader.rules);
    if (line < 0) {
        p.message = choice.kind == RestartChoice::Line
                        ? QStringLiteral(u"行%1 はﾃﾞｰﾀの範囲外です｡").arg(choice.line + 1)
                        : choiceText(choice) + QStringLiteral(u" が注釈の外に見つかりません｡");
        return p;
    }
    // A send run restarts inside the program that holds the block and reads
    // that program from its number line.
    ScanSettings s = settings;
    if (!s.flow.dnc)
        s.flow.startLine = programStartAbove(lines, line);
    p.startLine = s.flow.startLine;
    p.scan = scanToBlock(lines, s, line, choice.pass);
    const QString at = QStringLiteral(u"行%1").arg(line + 1);
    switch (p.scan.status) {
    case RestartScan::Ok:
        break;
    case RestartScan::NoWords:
        p.message = at + QStringLiteral(u" は注釈(又は空)の行です｡指令のあるﾌﾞﾛｯｸを選んで下さい｡");
        return p;
    case RestartScan::NotReached:
        p.message = at + QStringLiteral(u" は開始ﾌﾟﾛｸﾞﾗﾑ(行%1)からは送信されません｡").arg(p.startLine);
        return p;
    case RestartScan::FewerPasses:
        p.message = at + QStringLiteral(u" は %1回しか送信されません｡").arg(p.scan.reached);
        return p;
    case RestartScan::FlowStopped:
        p.message = QStringLiteral(u"行%1 で送信が止まります: ").arg(p.scan.flowStopLine + 1) +
                    flowStopText(p.scan.flowStop, p.scan.flowStopTarget) + QStringLiteral(u"｡\n") + at +
                    QStringLiteral(u" まで届きません｡");
        return p;
    case RestartScan::Cancelled:
        p.message = QStringLiteral(u"中止しました｡");
        return p;
    }
    p.ok = true;
    p.header = renderHeader(tmpl, p.scan.state, [&lines](int l) { return lineText(lines, l); });
    p.summary = at;
    if (choice.pass > 1)
        p.summary += QStringLiteral(u" (%1回目)").arg(choice.pass);
    if (s.flow.dnc) {
        p.summary += QStringLiteral(u" ﾚﾍﾞﾙ%1").arg(p.scan.start.level);
        if (p.scan.start.level > 0 && p.scan.start.count[size_t(p.scan.start.level)] > 1)
            p.summary += QStringLiteral("[L=%1]").arg(p.scan.start.count[size_t(p.scan.start.level)]);
    }
    p.summary += QStringLiteral(": ") + lineText(lines, line);
    return p;
}

QString checkHeader(const QStringList& lines) {
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].contains(u'{') || lines[i].contains(u'}'))
            return QStringLiteral(u"ﾍｯﾀﾞｰの %1行目に { } が残っています｡\n値を書き込んで下さい｡").arg(i + 1);
        qsizetype bad = 0;
        platform::toSjis(lines[i], &bad);
        if (bad > 0)
            return QStringLiteral(u"ﾍｯﾀﾞｰの %1行目に送信出来ない文字があります｡").arg(i + 1);
    }
    return {};
}

QStringList restartLogLines(const RestartPlan& plan, const QStringList& sent) {
    QStringList out;
    out << QStringLiteral(u"  途中再開 ") + plan.summary + '\n';
    for (const QString& l : sent)
        out << QStringLiteral(u"  再開ﾍｯﾀﾞｰ ") + l + '\n';
    // Line by line: the longest common run of lines stays, the rest of the
    // built header was taken out, the rest of what went out was put in.
    const QStringList& built = plan.header.lines;
    const qsizetype n = built.size(), m = sent.size();
    std::vector<std::vector<int>> common(size_t(n + 1), std::vector<int>(size_t(m + 1), 0));
    for (qsizetype i = n - 1; i >= 0; --i)
        for (qsizetype j = m - 1; j >= 0; --j)
            common[size_t(i)][size_t(j)] = built[i] == sent[j] ? common[size_t(i + 1)][size_t(j + 1)] + 1
                                                               : std::max(common[size_t(i + 1)][size_t(j)],
                                                                          common[size_t(i)][size_t(j + 1)]);
    QStringList edits;
    qsizetype i = 0, j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && built[i] == sent[j]) {
            ++i, ++j;
        } else if (j < m &&
                   (i == n || common[size_t(i)][size_t(j + 1)] >= common[size_t(i + 1)][size_t(j)])) {
            edits << QStringLiteral(u"  ﾍｯﾀﾞｰ修正 追加 ") + sent[j++] + '\n';
        } else {
            edits << QStringLiteral(u"  ﾍｯﾀﾞｰ修正 削除 ") + built[i++] + '\n';
        }
    }
    if (edits.isEmpty())
        edits << QStringLiteral(u"  ﾍｯﾀﾞｰ修正なし\n");
    return out + edits;
}

QString durationText(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0)
        return QStringLiteral("-");
    if (seconds < 60)
        return QString::number(seconds, 'f', 1) + QStringLiteral(u"秒");
    const long long s = std::llround(seconds);
    const auto two = [](long long v) { return QString::number(v).rightJustified(2, '0'); };
    if (s < 3600)
        return QString::number(s / 60) + QStringLiteral(u"分") + two(s % 60) + QStringLiteral(u"秒");
    return QString::number(s / 3600) + QStringLiteral(u"時間") + two(s % 3600 / 60) + QStringLiteral(u"分") +
           two(s % 60) + QStringLiteral(u"秒");
}

} // namespace tornyx::nc
