#include "nc/DripWatch.h"

#include "serial/TransferSession.h"

namespace tornyx::nc {

void DripWatch::configure(const ReaderSettings& reader, const QByteArray& sendMsg) {
    m_reader = reader;
    m_sendMsg = sendMsg;
    m_monitor.reset();
}

void DripWatch::finish() {
    m_monitor.reset();
    show(QString());
}

void DripWatch::passStarted() {
    // A new pass: the wait between two passes is no slow delivery.
    m_monitor.emplace(m_reader, m_sendMsg);
    show(QString());
}

void DripWatch::lineSent(int index, const QByteArray& line, const QByteArray& words) {
    if (!m_monitor)
        return;
    m_monitor->blockSent(index, line, words, m_session.clock().nowUs(), m_session.heldUs());
    show(DripMonitor::warningText(m_monitor->status()));
}

void DripWatch::show(const QString& text) {
    if (text == m_shown)
        return;
    m_shown = text;
    m_display.setTransferPanel(TransferPanel::Supply, text);
}

} // namespace tornyx::nc
