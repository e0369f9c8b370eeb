#include "editor/ProgramSelection.h"

#include "editor/ProgramIndex.h"

#include <algorithm>

namespace tornyx {

QList<ProgramHeader> headersFromIndex(const QStringList& entries) {
    QList<ProgramHeader> out;
    out.reserve(entries.size());
    for (const QString& e : entries)
        out.append({std::max(0, entryLine(e)), entryText(e)});
    return out;
}

bool headersFollowText(const QList<ProgramHeader>& headers, int lineCount,
                       const std::function<QString(int)>& lineText) {
    for (const ProgramHeader& h : headers)
        if (h.line < 1 || h.line > lineCount || lineText(h.line - 1) != h.text)
            return false;
    return true;
}

void ExcludedPrograms::add(const ProgramHeader& header) {
    if (header.line > 0)
        m_byLine.insert(header.line, header.text);
    else
        m_anyLine.insert(header.text);
    m_texts.append(header.text);
    ++m_count;
}

bool ExcludedPrograms::excludes(int line1, QStringView text) const {
    if (m_anyLine.contains(text.toString()))
        return true;
    for (auto it = m_byLine.constFind(line1); it != m_byLine.cend() && it.key() == line1; ++it)
        if (*it == text)
            return true;
    return false;
}

} // namespace tornyx
