#pragma once

#include "nc/RestartHeader.h"
#include "nc/RestartScan.h"

#include <QString>
#include <QStringList>

namespace tornyx::nc {

// A restart as the operator is shown it before anything is sent: the block,
// the call tables the run continues with, the header and what the scan
// could not know; or why there is no restart from the block chosen.
struct RestartPlan {
    bool ok = false;
    QString message; // why not, when !ok
    RestartChoice choice;
    int startLine = 0; // 1-based line the scan read from (the DNC start program)
    RestartScan scan;
    RenderedHeader header;
    // "行123 (2回目) ﾚﾍﾞﾙ1: X1. Y2."
    QString summary;
};

RestartPlan planRestart(TextLines& lines, const ScanSettings& settings, const QStringList& tmpl,
                        const RestartChoice& choice);

// Why a run stops at a line, in the words of its own messages.
QString flowStopText(ProgramFlow::Stop stop, const QByteArray& target);

// What is wrong with a header the operator is about to send; empty when
// it can go out as it stands.
QString checkHeader(const QStringList& lines);

// The log lines of a restart: the block, every header line sent, and the
// lines the operator took out of the built header or put into it.
QStringList restartLogLines(const RestartPlan& plan, const QStringList& sent);

// "1時間02分03秒", "2分03秒", "12.3秒".
QString durationText(double seconds);

} // namespace tornyx::nc
