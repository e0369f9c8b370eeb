#pragma once

#include "editor/ProgramIndex.h"
#include "editor/ProgramSelection.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace tornyx {

// How a text is split into one file per program (section "Sub" of
// Tornyx.INI, and the current document's extension).
struct SplitSettings {
    QString folder;
    QString extension;          // with its dot; empty for none
    bool percentAtTop = false;  // op_f "先頭に％付加"
    bool percentAtEnd = false;  // op_b "末尾に％付加"
    bool serialNumbers = false; // op_n "保存時連番付加"
};

// The extension of a document path from the last "." of its file name on,
// empty when the name has none (the untitled "無題").
QString documentExtension(const QString& path);

// The file name of a program: its number line (leading blanks and control
// characters already removed) up to the first "(", a leading ":" written as
// "O", then "_" and the 1-based serial with three digits when serial > 0,
// then the extension. Not yet made safe: the line came from a machine.
QString programFileName(const QString& programLine, int serial, const QString& extension);

// A program stored under another name than programFileName gives.
struct RenamedFile {
    int line = 0; // 1-based line of the program's number line
    QString wanted;
    QString used;
};

struct SplitResult {
    int programs = 0;           // program starts met, ticked or not
    QStringList written;        // paths of the files written, in text order
    QList<RenamedFile> cleaned; // names with characters a file name cannot hold
    QList<RenamedFile> renamed; // a later program of a name already written
    QString failedPath;         // the file (or folder) that stopped the split
    QString failure;            // why; empty when the split went through
    bool ok() const { return failure.isEmpty(); }
};

// Called as the walk goes on; the host may update its progress bar and
// process events (the text must not change meanwhile). Answers whether it
// processed events.
class SplitProgress {
public:
    virtual ~SplitProgress() = default;
    virtual bool reached(int line) = 0; // 0-based
};

// Walks the lines of the text and writes every program that is not
// unticked into a file of its own in settings.folder: Shift-JIS, CR LF.
//
// - A line starts a program when, without its leading bytes 0x00..0x20, it
//   begins with "O", ":" or "L"; lines before the first program go nowhere.
// - Lines are stored without their leading blanks and control characters;
//   lines that then begin with "%" are never copied. The text itself is not
//   changed.
// - op_f / op_b put a "%" line at the top / end of every file; op_n numbers
//   the files in text order, counting every program, ticked or not.
// - An unticked program leaves no trace: no file is written or removed for it.
// - A name a file cannot carry is cleaned like an OSP receive name; a name
//   already written in this split gets the next free "_nnn" (free in the
//   split and in the folder), so no program overwrites another.
// - Every file is written whole or not at all; the first that cannot be
//   written stops the split, and the files written before it stay.
SplitResult splitPrograms(const IndexedText& text, const ExcludedPrograms& unticked,
                          const SplitSettings& settings, SplitProgress* progress = nullptr);

// Characters of the text that Shift-JIS cannot hold (they would be stored
// as "?").
qsizetype unmappableCharacters(const IndexedText& text);

// The messages of the split.
namespace splittext {
QString nothingTicked(); // 分割保存するﾃﾞｰﾀが見つかりません｡...
QString nothingToSend(); // 送信ﾃﾞｰﾀが見つかりません｡...
QString folderCaption(const QString& folder);
// The stop after a file could not be written.
QString stopped(const SplitResult& result);
// The names that were changed, one message; empty when none was.
QString renamedReport(const SplitResult& result);
} // namespace splittext

} // namespace tornyx
