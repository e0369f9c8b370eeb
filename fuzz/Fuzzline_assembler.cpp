// Any punch-out under any receive settings: the line assembler never
// crashes, never stores a line with CR or LF, takes no character after the
// data ended, and counts no more lines than it was given line feeds.
#include "receive/LineAssembler.h"

#include <cstdlib>

using tornyx::LineAssembler;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3)
        return 0;
    // The first two bytes choose the profile, the third the start character.
    LineAssembler::Settings s;
    s.code = data[0] % 5;
    s.word = (data[0] / 5) % 4;
    s.change = (data[0] / 20) % 3;
    s.endCode = data[1] % 3;
    s.seChar = (data[1] / 3) % 4;
    s.osp = (data[1] / 12) % 2;
    static const char Starts[] = "%OP:LNG$\n";
    LineAssembler a(s);
    a.start(static_cast<unsigned char>(Starts[data[2] % 9]));

    qsizetype lineFeeds = 1; // the start line counts as one
    qsizetype stored = a.lines().size();
    bool ended = false;
    for (size_t i = 3; i < size; ++i) {
        if (ended)
            break;
        lineFeeds += data[i] == '\n' || data[i] == '\r';
        ended = a.feed(data[i]) == LineAssembler::Outcome::Ended;
        if (i % 97 == 0) { // the run flushes every so often
            stored += a.takeLines().size();
            a.resetLineCounter();
        }
    }
    if (!ended)
        a.finishData();
    const QList<QByteArray> rest = a.takeLines();
    for (const QByteArray& line : rest)
        if (line.contains('\r') || line.contains('\n'))
            std::abort();
    stored += rest.size();
    // Head and tail "%" lines and the line a DC4 or the end keeps come on top.
    if (stored > lineFeeds + 3)
        std::abort();
    return 0;
}
