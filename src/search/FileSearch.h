#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <vector>

namespace tornyx {

struct SearchRequest {
    QString text; // searched for exactly, letter case included
    QString folder;
    QStringList patterns; // searched one after the other, in this order
    bool subfolders = true;
    bool firstHitOnly = false; // one hit per file is enough
    // How often the window gets its events while the search runs.
    std::chrono::milliseconds pumpInterval{10};
};

// The file patterns of the pattern box: ";" between them, blanks around
// them dropped, empty ones left out.
QStringList splitPatterns(const QString& text);

struct SearchHit {
    QString path;
    qint64 line = 0; // 1-based, counted as the editor counts (LF, CR LF, CR)
    QString text;    // the line without its line end
};

// "path(line): text", as the result list shows a hit.
QString resultEntry(const SearchHit& hit);

// A file or folder the search passed over, and why.
struct Skipped {
    QString path;
    QString reason;
};

class SearchHost {
public:
    virtual ~SearchHost() = default;
    virtual void found(const SearchHit& hit) = 0;
    // The pattern is no valid mask; told for every file it was tried on.
    virtual void invalidMask(const QString& pattern) = 0;
    // Lets the window process its events; true stops the search.
    virtual bool pump() = 0;
};

struct SearchOutcome {
    bool stopped = false;
    qint64 filesSearched = 0;
    qint64 hits = 0;
    std::vector<Skipped> skipped;
};

// Searches the files of the folder (and, when asked, of its subfolders) that
// match the patterns for lines that hold the text. A file is Shift-JIS
// unless it starts with a Unicode mark (UTF-8, UTF-16); its text is compared
// as text, so a search never matches half of a double-byte character.
// Files holding 0 bytes are binary and skipped; so are files and folders
// that cannot be read. A folder reached a second time (a symbolic link back
// into the tree) is not searched again. Special files (pipes, devices) are
// passed over without a word.
SearchOutcome searchFiles(const SearchRequest& request, SearchHost& host);

// Why a file or folder was skipped, as the summary says it.
namespace text {
QString binaryFile();
QString lineTooLong();
QString linkLoop();
QString invalidMask(const QString& pattern);
} // namespace text

} // namespace tornyx
