#include "dnc/DataCheck.h"

#include "platform/TextCodec.h"

namespace tornyx::dnc {

QString CallEntry::text() const {
    return QString::number(line + 1).rightJustified(5, '0') + ':' + platform::fromSjis(call);
}

QByteArray callText(QByteArrayView line) {
    QByteArray t = line.toByteArray();
    t.replace(' ', QByteArray());
    qsizetype at = t.indexOf("M98");
    if (at < 0)
        at = t.indexOf("M198");
    if (at < 0)
        at = t.indexOf("G65");
    if (at < 0)
        return {};
    t.remove(0, at);
    const qsizetype p = t.indexOf('P');
    if (p >= 0) {
        qsizetype end = p + 1;
        while (end < t.size() && t[end] >= '0' && t[end] <= '9')
            ++end;
        t.truncate(end);
    }
    return t;
}

QList<CallEntry> dataCheck(int lineCount, const LineAt& lineAt, const QStringList* list) {
    QList<CallEntry> entries;
    for (int i = 0; i < lineCount; ++i) {
        const QByteArray call = callText(lineAt(i));
        if (call.isEmpty())
            continue;
        // Compared call by call: a text search over all entries would take
        // M98P10 for a repeat of M98P100 and never check program 10.
        bool seen = false;
        for (const CallEntry& e : entries)
            seen = seen || e.call == call;
        if (!seen)
            entries.append({i, call, false});
    }
    for (CallEntry& e : entries) {
        try {
            e.found = findCall(e.call, list, lineCount, lineAt).status == SearchResult::Found;
        } catch (const NotANumber&) {
            e.found = false;
        }
    }
    return entries;
}

} // namespace tornyx::dnc
