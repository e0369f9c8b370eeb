#pragma once

#include "app/Prompts.h"

#include <QStringList>

#include <deque>

namespace tornyx::test {

// Answers message boxes and file dialogs from a script and records what was
// asked; a box nobody scripted is answered with Cancel (or No / Ok when the
// box has no Cancel button), so a test never hangs on a modal dialog.
class FakePrompts : public Prompts {
public:
    struct Box {
        Kind kind;
        QString title;
        QString text;
        int buttons;
    };
    std::vector<Box> boxes;
    std::deque<int> answers;
    std::deque<QString> fileNames;
    QStringList fileDialogTitles;
    QStringList fileDialogFolders; // the folder or proposed name each dialog was given

    int messageBox(QWidget*, Kind kind, const QString& title, const QString& text, int buttons) override {
        boxes.push_back({kind, title, text, buttons});
        if (!answers.empty()) {
            const int a = answers.front();
            answers.pop_front();
            return a;
        }
        if (buttons & Cancel)
            return Cancel;
        if (buttons & No)
            return No;
        return buttons & Ok ? Ok : Yes;
    }
    QString folderName(QWidget*, const QString& title, const QString& start) override {
        fileDialogFolders << start;
        return next(title);
    }

    // The file-type entry the operator picks in the next file dialog; none
    // scripted (or 0): the one it opens at.
    std::deque<int> fileTypePicks;
    std::vector<FileTypeChoice> fileDialogTypes; // as each dialog was given them

    QString openFileName(QWidget*, const QString& title, const QString& folder,
                         FileTypeChoice& types) override {
        fileDialogFolders << folder;
        fileDialogTypes.push_back(types);
        const int pick = nextPick();
        const QString name = next(title);
        if (!name.isEmpty() && pick >= 1 && pick <= FileTypeCount)
            types.index = pick;
        return name;
    }
    // As the dialog does: a picked entry sets the default extension, which
    // a name typed without one receives.
    QString saveFileName(QWidget*, const QString& title, const QString& proposal,
                         FileTypeChoice& types) override {
        fileDialogFolders << proposal;
        fileDialogTypes.push_back(types);
        FileTypeChoice chosen = types;
        if (const int pick = nextPick())
            chosen.pickForSave(pick);
        const QString name = next(title);
        if (name.isEmpty())
            return name;
        types = chosen;
        return withDefaultExtension(name, chosen.defaultExtension);
    }

private:
    int nextPick() {
        if (fileTypePicks.empty())
            return 0;
        const int p = fileTypePicks.front();
        fileTypePicks.pop_front();
        return p;
    }
    QString next(const QString& title) {
        fileDialogTitles << title;
        if (fileNames.empty())
            return {};
        QString n = fileNames.front();
        fileNames.pop_front();
        return n;
    }
};

} // namespace tornyx::test
