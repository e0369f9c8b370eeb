#pragma once

#include "dnc/DncCalls.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace tornyx::dnc {

// One subprogram call found by the data check of the DNC set-up dialog.
struct CallEntry {
    int line = 0;    // 0-based editor line of the call
    QByteArray call; // blanks removed, from the call word to the P digits
    bool found = false;
    // "00031:M98P1000"
    QString text() const;
};

// The call text of a line holding "M98", "M198" or "G65", or empty.
QByteArray callText(QByteArrayView line);

// Every distinct call of the text with whether its program is there
// (searched over the list when given, else over the lines). A call the
// search cannot resolve (macro variable, a program number such as O12A)
// counts as missing.
QList<CallEntry> dataCheck(int lineCount, const LineAt& lineAt, const QStringList* list);

} // namespace tornyx::dnc
