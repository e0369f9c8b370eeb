#pragma once

#include <QString>
#include <QStringList>

namespace tornyx {

// What the command line decides, read and written by processCommandLine.
struct CommandLineState {
    QString lastFolder;
    int activeProfile = 1;
    QString transferPath;
    char autoSendRequest = 'N';
    char autoReceiveRequest = 'N';
    bool exitAfterTransfer = false;
    bool commandLineOpened = false;
    // Why Tornyx.tmp cannot be trusted (it could not be emptied at start-up
    // or a member could not be added); empty while it can. A multi-file send
    // is then not made at all: never a stale or a cut list.
    QString transferListError;

    bool requestPending() const { return autoSendRequest == 'Y' || autoReceiveRequest == 'Y'; }
};

// The effects the rules ask of the main window.
class CommandLineHost {
public:
    virtual ~CommandLineHost() = default;
    virtual bool fileExists(const QString& path) = 0;
    // Error box with the single button Yes, at the main window's corner.
    virtual void errorBox(const QString& text) = 0;
    // Warning box with Yes and No; true for Yes.
    virtual bool warningQuestion(const QString& text) = 0;
    // A member of a multi-file send: clear the editor, load the file as the
    // document and append the editor's text to the transfer list file. False
    // (and *error set) when the member could not be read or the list could
    // not be written.
    virtual bool appendToTransferList(const QString& path, QString* error) = 0;
    // Load a file to be sent and announce it (size, caption, recent files).
    virtual void loadForSend(const QString& path) = 0;
    // A plain path: save question, load as the document, announce it.
    virtual void openPlainPath(const QString& path) = 0;
};

// Runs the command-line rules over args (without the program name).
// transferListPath is the path of Tornyx.tmp.
void processCommandLine(const QStringList& args, CommandLineState& state, CommandLineHost& host,
                        const QString& transferListPath);

// Message texts of the command line.
QString sendDataMissingText(const QString& path);
QString profileMissingText(const QString& numberText);
QString overwriteQuestionText(const QString& path);
// The transfer list could not be made: the multi-file send is not made.
QString transferListFailedText(const QString& error);

} // namespace tornyx
