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
    QString openFileName(QWidget*, const QString& title, const QString& folder, const QString&) override {
        fileDialogFolders << folder;
        return next(title);
    }
    QString saveFileName(QWidget*, const QString& title, const QString& proposal, const QString&) override {
        fileDialogFolders << proposal;
        return next(title);
    }
    QString folderName(QWidget*, const QString& title, const QString& start) override {
        fileDialogFolders << start;
        return next(title);
    }

private:
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
