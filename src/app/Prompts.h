#pragma once

#include "app/FileTypeList.h"

#include <QString>

class QWidget;

namespace tornyx {

// The message boxes and file dialogs of the main window. The real one shows
// Qt dialogs; a test answers from a script, so no run ever waits for a hand.
class Prompts {
public:
    // Plain: a box without an icon.
    enum Kind { Error, Warning, Information, Question, Exclamation, Plain };
    enum Button { Yes = 1, No = 2, Cancel = 4, Ok = 8 };

    virtual ~Prompts() = default;
    // Returns the button pressed (Cancel when the box was closed otherwise).
    // A box with an owner is placed with its top-left corner 50 pixels right
    // of and below the owner's top-left corner.
    virtual int messageBox(QWidget* owner, Kind kind, const QString& title, const QString& text,
                           int buttons) = 0;
    // Empty when cancelled.
    virtual QString folderName(QWidget* owner, const QString& title, const QString& start) = 0;

    // The file dialogs of documents, offering the program's file types.
    // They open at entry types.index and, when a file was chosen, leave the
    // entry chosen there. The save dialog also sets types.defaultExtension
    // when the operator picks an entry, and a name typed without an
    // extension comes back with it (so that the dialog's own question about
    // an existing file is about the file that will be written).
    virtual QString openFileName(QWidget* owner, const QString& title, const QString& folder,
                                 FileTypeChoice& types) = 0;
    virtual QString saveFileName(QWidget* owner, const QString& title, const QString& proposal,
                                 FileTypeChoice& types) = 0;
};

class QtPrompts : public Prompts {
public:
    int messageBox(QWidget* owner, Kind kind, const QString& title, const QString& text,
                   int buttons) override;
    QString folderName(QWidget* owner, const QString& title, const QString& start) override;
    QString openFileName(QWidget* owner, const QString& title, const QString& folder,
                         FileTypeChoice& types) override;
    QString saveFileName(QWidget* owner, const QString& title, const QString& proposal,
                         FileTypeChoice& types) override;
};

} // namespace tornyx
