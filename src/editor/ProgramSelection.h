#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <initializer_list>

namespace tornyx {

// A program-start line of the editor text: its 1-based line (0 when not
// known) and its text as the editor holds it.
struct ProgramHeader {
    int line = 0;
    QString text;
    bool operator==(const ProgramHeader&) const = default;
};

// The headers of program-number list entries ("00012-O1234(A)").
QList<ProgramHeader> headersFromIndex(const QStringList& entries);

// True when every header's line holds the header's text: the list was made
// from the text as it is now, and its line numbers can be trusted.
// lineText(i) is the 0-based line i of the text.
bool headersFollowText(const QList<ProgramHeader>& headers, int lineCount,
                       const std::function<QString(int)>& lineText);

// The programs the operator unticked, which a split must not write and a
// selective send must not send. A program is identified by its start line
// and its text, so that of two programs with the same number line (a tape
// punched twice) unticking one leaves the other alone. A header without a
// line matches every program start with its text.
class ExcludedPrograms {
public:
    ExcludedPrograms() = default;
    ExcludedPrograms(std::initializer_list<ProgramHeader> headers) {
        for (const ProgramHeader& h : headers)
            add(h);
    }
    void add(const ProgramHeader& header);
    bool excludes(int line1, QStringView text) const;
    bool isEmpty() const { return m_count == 0; }
    int count() const { return m_count; }
    // The texts in the order they were added, as the log shows them.
    const QStringList& texts() const { return m_texts; }

private:
    QMultiHash<int, QString> m_byLine;
    QSet<QString> m_anyLine;
    QStringList m_texts;
    int m_count = 0;
};

} // namespace tornyx
