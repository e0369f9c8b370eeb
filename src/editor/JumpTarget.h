#pragma once

#include "editor/ProgramIndex.h"

#include <QString>
#include <QStringList>

namespace tornyx {

// What the caret line asks for: a call with a P address (M98 P…, G65 P…)
// leads to the program it names, a macro GOTO to the N block it names.
enum class JumpBranch { None, Call, Goto };

// The branch of a caret line (UTF-8). Comments in parentheses are not read.
JumpBranch jumpBranch(QByteArrayView caretLine);
// The status text while a branch searches ("ﾌﾟﾛｸﾞﾗﾑ番号検索中",
// "GOTO 先検索中"); empty for None.
QString jumpSearchingText(JumpBranch branch);

// The end of a search: a place to show, or a message box.
struct JumpOutcome {
    // Found: the line (0-based) whose start the caret goes to, and the
    // bytes to select, [selectStart, selectEnd).
    int line = -1;
    qsizetype selectStart = -1;
    qsizetype selectEnd = -1;
    // The list entry the call was found through; -1 when the lines were
    // searched (or for a GOTO).
    int entry = -1;
    // Not found: an information box (or a plain one) with this text.
    QString message;
    QString caption;
    bool plainBox = false;

    bool found() const { return line >= 0; }
};

// Searches the target of the caret line (0-based). entries is the
// program-number list in its entry format; when it is empty the call's
// program is looked for in the lines. A number text that is no integer is
// passed over.
JumpOutcome findJumpTarget(const IndexedText& text, int caretLine, const QStringList& entries);

// The messages of the search.
namespace jumptext {
QString caption();                           // "飛び先検索"
QString chooseCall();                        // no P and no GOTO in the line
QString returnNotSearched();                 // M99 P…
QString macroVariable();                     // P#…, GOTO #…
QString mainCaption();                       // "ﾒｲﾝﾌﾟﾛｸﾞﾗﾑ検索"
QString mainNotFound();                      // no such program
QString targetNotFound();                    // the GOTO's N block is missing up to the end
QString notInProgram(const QString& target); // it would lie in the next program
} // namespace jumptext

} // namespace tornyx
