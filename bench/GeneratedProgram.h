#pragma once

// The 100 MB program the benchmarks open, index, edit, print and search:
// what a CAM system writes, Shift-JIS with CR LF.

#include "platform/TextCodec.h"

#include <QByteArray>
#include <QString>

#include <cstdio>

namespace tornyx::bench {

constexpr qint64 ProgramBytes = 100'000'000;

// CAM-like output: programs of blocksPerProgram blocks (about 220,000 gives
// ten programs), each with a Shift-JIS header comment, and tool changes with
// Japanese comments.
inline QByteArray generateProgram(qint64 targetBytes = ProgramBytes, int blocksPerProgram = 220'000) {
    const QByteArray toolComment = platform::toSjis(QString::fromUtf16(u"(ﾂｰﾙ交換 T05 φ10 ｴﾝﾄﾞﾐﾙ)"));
    const QByteArray header = platform::toSjis(QString::fromUtf16(u"(加工ﾌﾟﾛｸﾞﾗﾑ 荒加工 ﾜｰｸ座標 G54)"));
    QByteArray out;
    out.reserve(targetBytes + 1000);
    out += "%\r\n";
    int program = 0;
    int n = 0;
    char line[96];
    while (out.size() < targetBytes) {
        if (n % blocksPerProgram == 0) {
            if (program > 0)
                out += "M30\r\n";
            ++program;
            out += "O" + QByteArray::number(1000 + program).rightJustified(4, '0') + header + "\r\n";
        }
        if (n % 5000 == 0)
            out += toolComment + "\r\nT05 M06\r\n";
        const int len = std::snprintf(line, sizeof line, "N%06d G01 X%.3f Y%.3f Z-%.3f F1200\r\n",
                                      n % 1000000, (n % 7919) * 0.137, (n % 6007) * 0.071, (n % 97) * 0.01);
        out.append(line, len);
        ++n;
    }
    out += "M30\r\n%\r\n";
    return out;
}

} // namespace tornyx::bench
