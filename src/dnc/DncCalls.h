#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace tornyx::dnc {

// The lines of a DNC run are the editor's Shift-JIS bytes without their line
// break. Every function here reads them; none keeps a copy.

enum class CallKind { None, M98, M198, G65 };

// The call a line makes. A call word standing after the first "(" is inside
// a comment and makes no call; M198 is tested before M98 (it contains it).
CallKind callKind(QByteArrayView line);

// The words of a call line that are not the call: the line without every
// "M98" (or "M198"). A G65 line leaves the pending words as they were.
QByteArray callWords(QByteArrayView line, CallKind kind, const QByteArray& pending);

// The repeat count of a call from its words: the digits after the first
// "L"; 1 without "L", with a "(" before it, or without digits after it.
int repeatCount(QByteArrayView words);

// The program number a call or GOTO names.
struct Target {
    enum Status { Ok, Macro } status = Ok;
    QByteArray text; // as written, blanks trimmed ("0100")
    long long number = 0;
};
// The characters after the first "P" while in "0123456789 #". Macro when
// empty or holding "#".
Target callTarget(QByteArrayView line);
// The same after "GOTO".
Target gotoTarget(QByteArrayView line);

// The pending words after a call search found its program: without the
// "P" + target and blanks; emptied when an "L" remains; without a leading
// sequence number; cut at ";" and "'".
QByteArray cleanCallWords(const QByteArray& words, const QByteArray& target);

// Thrown when a program-number or sequence-number text the search meets is
// not an integer (such as O12A): the run ends through its unexpected-error
// path instead of jumping somewhere.
struct NotANumber {
    QByteArray text;
};

// Program number of an editor line starting with "O" or ":" (from the second
// character up to "(", blanks trimmed); nullopt for other lines and empty
// numbers. Throws NotANumber.
std::optional<long long> lineProgramNumber(QByteArrayView line);
// Program number of a program-number list entry ("00012-O1234 (MAIN)"):
// from the eighth character up to "(" (else ";"), blanks trimmed.
std::optional<long long> entryProgramNumber(const QString& entry);

// How a call search ended.
struct SearchResult {
    enum Status { Found, M99Call, Macro, Missing, BadIndex } status = Missing;
    int index = -1;    // 0-based line of the program-number line (Found)
    QByteArray target; // the target as written
};

// The lines a search reads.
using LineAt = std::function<QByteArray(int index)>;

// Call search for the line: over the program-number list when it is given
// (entries name their line in the first five characters), else over the
// editor lines. A list entry naming a line outside the text is BadIndex.
SearchResult findCall(QByteArrayView line, const QStringList* list, int lineCount, const LineAt& lineAt);

// GOTO within the current program: the line with "N" + target between the
// program-number line above lineIndex and the next one.
struct GotoResult {
    enum Status { Found, Macro, EndOfText, NextProgram } status = EndOfText;
    int index = -1;
};
GotoResult findGoto(int lineIndex, int lineCount, const LineAt& lineAt);

// True when the transmitted line ends the run: "M02", "M30", "%" or "M2"
// followed by a non-digit (or the line's end), outside comments.
bool isEndLine(QByteArrayView line);

// The option "level 0 only": M30 (or M02) above level 0 returns like M99.
bool returnsAboveLevel0(QByteArrayView line);

bool isProgramNumberLine(QByteArrayView line); // first character "O", ":" or "L"

} // namespace tornyx::dnc
