#pragma once

#include "receive/ReceiveHost.h"

#include <QStringList>

#include <map>
#include <optional>
#include <vector>

namespace tornyx::test {

// A main window that records what the receive asked of it.
class FakeReceiveHost : public ReceiveHost {
public:
    // canned answers
    bool logViewShown = false;
    bool saveAnswer = true;
    bool shiftHeld = false;
    std::optional<QString> receiveFile;
    std::optional<QString> folder;
    QString working = "/tmp";

    // records
    std::map<int, QString> panels;
    QStringList panel2History;
    QStringList calls;
    QString caption;
    int captionMode = 0;
    QString dialogTitle;
    QString dialogFolder;
    QString folderCaption;
    QString saveDialogName;
    std::optional<bool> modified;
    int progressMax = -1;
    int progress = -1;
    int progressUpdates = 0;
    int editorClears = 0;
    QString programLabel;
    std::vector<ReceiveResult> ended;
    int closes = 0;
    int shutdowns = 0;
    int newDocuments = 0;
    std::optional<bool> screenSaver;

    bool isLogViewShown() override { return logViewShown; }
    bool askSaveBeforeReplace() override {
        calls << "askSave";
        return saveAnswer;
    }
    bool isShiftHeld() override { return shiftHeld; }
    void prepareTransferBar() override { calls << "prepareTransferBar"; }
    std::optional<QString> chooseReceiveFile(const QString& title, const QString& initialFolder) override {
        dialogTitle = title;
        dialogFolder = initialFolder;
        calls << "chooseReceiveFile";
        return receiveFile;
    }
    std::optional<QString> chooseFolder(const QString& caption_, const QString& start) override {
        folderCaption = caption_;
        dialogFolder = start;
        calls << "chooseFolder";
        return folder;
    }
    void setSaveDialogFileName(const QString& path) override { saveDialogName = path; }
    QString workingFolder() override { return working; }
    void setWorkingFolder(const QString& f) override { working = f; }
    void setCaption(int mode, const QString& name) override {
        captionMode = mode;
        caption = name;
    }
    void setCaptionFullName(int mode, const QString& name) override {
        captionMode = mode;
        caption = "full:" + name;
    }
    void setModified(bool m) override { modified = m; }
    void enterTransferMode() override { calls << "enterTransferMode"; }
    void clearEditor() override { ++editorClears; }
    void clearBreakpoint() override { calls << "clearBreakpoint"; }
    void setScreenSaverActive(bool a) override { screenSaver = a; }
    void showReceiveLayout() override { calls << "showReceiveLayout"; }
    void setTransferRunning() override { calls << "setTransferRunning"; }
    void setTransferPanel(int index, const QString& text) override {
        panels[index] = text;
        if (index == 2)
            panel2History << text;
    }
    void repaintTransferBar() override {}
    void setEditingPanel(int index, const QString& text) override { panels[100 + index] = text; }
    void setProgressRange(int, int maximum) override { progressMax = maximum; }
    void setProgress(int value) override {
        progress = value;
        ++progressUpdates;
    }
    void setProgramLabel(const QString& text) override { programLabel = text; }
    void closeMainWindow() override { ++closes; }
    void shutDownComputer() override { ++shutdowns; }
    void startPostTransfer(const ReceiveResult& result) override { ended.push_back(result); }
    void newDocument() override { ++newDocuments; }
};

} // namespace tornyx::test
