#pragma once

#include "profiles/CommProfile.h"
#include "receive/ReceiveHost.h"

#include <QString>

#include <functional>
#include <optional>

namespace tornyx {

class TransferSession;

// Starts a receive the way the operator or the command line asks for it:
// the receive button (SpeedButton9Click) with its save question, Shift for
// ExitAfterTransfer, the profile folder and the file or folder dialog, and
// the idle-time start of a receive ordered with R=. Profiles 11 and 12
// receive into "osp_data.tmp" in a chosen folder.
class Receiver {
public:
    // What the main window hands over for one receive.
    struct Request {
        int profileNumber = 1; // ActiveProfile
        CommProfile profile;
        ReceiveOptions options;
        bool exitAfterTransfer = false; // in: END given; out: also Shift held
    };

    Receiver(TransferSession& session, ReceiveHost& host);

    // SpeedButton9Click. nullopt when no receive ran (a log is shown, the
    // save question or a dialog was cancelled).
    std::optional<ReceiveResult> receiveButtonClicked(Request& request);

    // The receive of the idle-time start; rValue is the R= file, or for
    // profiles 11 and 12 the folder.
    ReceiveResult orderedReceive(Request& request, const QString& rValue);

    // Folder + "osp_data.tmp", without a doubled separator.
    static QString ospReceiveFile(const QString& folder);

private:
    ReceiveResult runOsp(Request& request, const QString& folder);
    QString prepareOsp(const QString& file, const std::function<void()>& caption);
    ReceiveResult run(Request& request, const QString& receiveFile, const QString& workingFolder);

    TransferSession& m_session;
    ReceiveHost& m_host;
};

} // namespace tornyx
