#pragma once

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
    virtual QString openFileName(QWidget* owner, const QString& title, const QString& folder,
                                 const QString& filter) = 0;
    virtual QString saveFileName(QWidget* owner, const QString& title, const QString& proposal,
                                 const QString& filter) = 0;
    virtual QString folderName(QWidget* owner, const QString& title, const QString& start) = 0;
};

class QtPrompts : public Prompts {
public:
    int messageBox(QWidget* owner, Kind kind, const QString& title, const QString& text,
                   int buttons) override;
    QString openFileName(QWidget* owner, const QString& title, const QString& folder,
                         const QString& filter) override;
    QString saveFileName(QWidget* owner, const QString& title, const QString& proposal,
                         const QString& filter) override;
    QString folderName(QWidget* owner, const QString& title, const QString& start) override;
};

} // namespace tornyx
