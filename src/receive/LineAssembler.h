#pragma once

#include <QByteArray>
#include <QList>

namespace tornyx {

// Turns the decoded characters of a punch-out into the lines of the receive
// file: the "%" framing, the blank handling of the profile, the program-number
// letter, the OSP file-name line. It knows nothing of the port, the clock or
// the screen; the receive run feeds it one character at a time and takes the
// finished lines off it.
//
// Lines are kept as the bytes that arrived (Shift-JIS comments in ASCII mode
// pass untouched); they never hold CR or LF.
class LineAssembler {
public:
    struct Settings {
        int code = 0;     // receive code: 0 auto, 1 ASCII, 2 EIA, 3 ISO, 4 user framing
        int word = 0;     // 0 blank between words, 1 no blanks, 2 trim the ends, 3 as received
        int change = 0;   // 0 as received, 1 first ":" -> "O", 2 first "O" -> ":"
        int endCode = 0;  // 2: CR ends a line like LF
        int seChar = 3;   // 0 "%" line at the head, 1 at the tail, 2 both, 3 none
        bool osp = false; // profiles 11 and 12: the file name comes in a "$" line
    };

    enum class Outcome {
        Dropped,       // nothing changed that the run must act on
        Stored,        // a character went into the line buffer
        LineCompleted, // an LF finished a line (stored, joined or dropped)
        Ended,         // the data ended; see endReason()
    };

    enum class EndReason {
        None,
        Percent,             // a "%" after the data had started
        CancelSignal,        // DC4 or CAN from the machine
        UnexpectedCharacter, // a character outside the tape code's set
        PercentLine,         // a stored line held a "%"
        DsrOff,              // the run ended it on a dropped DSR line
    };

    explicit LineAssembler(const Settings& settings);

    // Reception starts with this character ("%OP:LNG$" or LF). Answers
    // true when the head "%" line was added (S&E_Char 0 or 2).
    bool start(unsigned char startCharacter);

    // One decoded character of the reception loop (0 and, unless CR ends
    // lines, CR are dropped here).
    Outcome feed(unsigned char c);

    // The line buffer goes out as it is, even when empty (DSR dropped).
    void endOnDsrOff();
    // End of data: the tail "%" line for S&E_Char 1 and 2. Answers true when
    // it was added.
    bool finishData();

    // Finished lines not yet taken by the run.
    const QList<QByteArray>& lines() const { return m_lines; }
    QList<QByteArray> takeLines();

    // Lines completed since the last flush (the progress bar's value).
    int lineCounter() const { return m_lineCounter; }
    void resetLineCounter() { m_lineCounter = 0; }

    EndReason endReason() const { return m_endReason; }
    // The character that ended the data on UnexpectedCharacter.
    unsigned char endCharacter() const { return m_endCharacter; }
    // 1-based number of the line on the tape that was being received
    // (every LF counts, also for lines that were dropped or joined).
    int tapeLine() const { return m_tapeLines + 1; }

    // The last line completed at LF, and what it was.
    const QByteArray& lastLine() const { return m_lastLine; }
    bool lastWasProgramLine() const { return m_lastWasProgramLine; }
    bool lastWasFileNameLine() const { return m_lastWasFileName; }

    // OSP: the file name from the "$" line; empty when none came.
    const QByteArray& ospFileName() const { return m_ospName; }
    const QByteArray& lineBuffer() const { return m_buffer; }
    bool hasDataStarted() const { return m_dataStarted; }
    // The closing "%" has come; the next character of any kind ends the data.
    bool endPending() const { return m_bufferHasPercent && m_dataStarted; }

    static bool isStartCharacter(unsigned char c);
    static bool isAcceptedCharacter(unsigned char c);
    static bool isNumericCharacter(unsigned char c);

private:
    Outcome completeLine();
    Outcome store(unsigned char c);
    Outcome end(EndReason reason);
    void append(unsigned char c);
    void addLine(const QByteArray& line);
    QByteArray unfinishedLine() const;
    void refreshPercent();

    Settings m_settings;
    QList<QByteArray> m_lines;
    QByteArray m_buffer;
    // Whether m_buffer holds a "%": asked on every character, so it is kept
    // up to date instead of searched (a line of a megabyte must not cost
    // a megabyte per character).
    bool m_bufferHasPercent = false;
    bool m_dataStarted = false;
    bool m_wordFlag = true;
    bool m_commentFlag = false;
    int m_lineCounter = 0;
    int m_tapeLines = 0;
    EndReason m_endReason = EndReason::None;
    unsigned char m_endCharacter = 0;
    QByteArray m_ospName;
    QByteArray m_lastLine;
    bool m_lastWasProgramLine = false;
    bool m_lastWasFileName = false;
};

} // namespace tornyx
