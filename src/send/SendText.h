#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>

namespace tornyx {

// The end-of-block characters of a profile's CRLF_Type: 0 LF, 1 CR LF,
// 2 CR LF LF, 3 CR. A value outside the list (a hand-edited Setting.ini)
// is taken as LF, the plain end of block every machine accepts.
QByteArray endOfBlock(int crlfType);

// How a line is filtered before it is sent.
struct LineFilter {
    QByteArray sendMsg;               // Shift-JIS; blanked out wherever it occurs
    bool dropSequenceNumbers = false; // profile N_non = "Y"
    bool dropFeedPoint = false;       // profile F_non = "Y"
    bool sendAfterComment = false;    // option op7: ";" and "'" do not end the line
};

// What the filter makes of one editor line.
struct FilteredLine {
    QByteArray chars;         // in order, as WriteChar is to get them
    bool percentOnly = false; // the line is "%" alone: nothing at all, no end of block
};

// The character filter of the send and DNC runs for one line (Shift-JIS
// bytes without the line break; trim is 1 for a line that is a lone LF).
// Two-byte characters pass as a whole, so a trail byte is never taken for
// "F" or "N".
FilteredLine filterLine(QByteArrayView line, int trim, const LineFilter& filter);

// The file name a profile 11/12 machine is sent ahead of the data: the
// document's name with an OSP program extension (else ".MIN"), no folder,
// upper case.
QString ospHeaderName(const QString& documentPath);

// Remaining amount in the unit of option op3: "1,234ﾊﾞｲﾄ" or "3.13ﾒｰﾄﾙ"
// (characters x 0.00254 m).
QString amountText(int64_t characters, bool metres);
// The remaining time: "(約 59秒)", "(約 1分00秒)", "(約 1時02分)".
QString timeText(int32_t seconds);
// "送信:" + three digits.
QString repeatText(int count);

// A line sent by the run whose text holds one of these waits 5 ms after it.
bool endsProgramOrSubprogram(QByteArrayView line);

} // namespace tornyx
