#pragma once

#include "dnc/DncRun.h"
#include "nc/DripMonitor.h"
#include "status/RunDisplay.h"

#include <QString>

#include <optional>

namespace tornyx {
class TransferSession;
}

namespace tornyx::nc {

// The drip-feed monitor on a DNC run: the transfer bar's last panel tells
// the operator while the line delivers the current moves more slowly than
// the control runs them, and goes blank again when it keeps up.
class DripWatch : public DncWatch {
public:
    DripWatch(RunDisplay& display, TransferSession& session) : m_display(display), m_session(session) {}

    // Before a run: how its blocks read, and the profile's text not to be
    // sent (Shift-JIS, as the run's lines).
    void configure(const ReaderSettings& reader, const QByteArray& sendMsg);
    // After a run: the warning goes.
    void finish();

    void passStarted() override;
    void lineSent(int index, const QByteArray& line, const QByteArray& words) override;

private:
    void show(const QString& text);

    RunDisplay& m_display;
    TransferSession& m_session;
    ReaderSettings m_reader;
    QByteArray m_sendMsg;
    std::optional<DripMonitor> m_monitor;
    QString m_shown;
};

} // namespace tornyx::nc
