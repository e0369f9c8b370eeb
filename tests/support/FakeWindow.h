#pragma once

#include "app/TransferDesk.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QStringList>

#include <functional>
#include <optional>

namespace tornyx::test {

// The main window as the runs and the desk see it, recording what they did
// and answering from canned values: the run display, the editor's lines,
// the prompts of the receive and the DNC run, and the desk's view.
class FakeWindow : public RunDisplay,
                   public RunEditor,
                   public ReceivePrompts,
                   public DncPrompts,
                   public DeskView {
public:
    // ---- RunDisplay records
    QMap<int, QString> panels; // by TransferPanel
    QStringList panel1History, panel2History, panel6History;
    QMap<int, QStringList> panelHistory; // every text of every panel
    QMap<int, QString> editPanels;       // by EditingPanel
    QString programLabel;
    int progressMax = -1, progress = -1, progressUpdates = 0;
    int captionMode = 0;
    QString caption;
    bool editing = true; // leaveTransferMode / enterTransferMode
    std::optional<bool> runControls;
    bool stepButton = false;
    bool contextMenu = true;
    std::optional<bool> inhibited;
    int progressBarsRemoved = 0;
    QStringList calls; // the named steps in their order
    // Off for hours of drip feed in a benchmark, whose memory figure would
    // otherwise measure this recorder.
    bool keepPanelHistory = true;

    void setTransferPanel(TransferPanel p, const QString& t) override {
        const int i = int(p);
        panels[i] = t;
        if (!keepPanelHistory)
            return;
        panelHistory[i] << t;
        if (i == 1)
            panel1History << t;
        if (i == 2)
            panel2History << t;
        if (i == 6)
            panel6History << t;
    }
    void setEditingPanel(EditingPanel p, const QString& t) override { editPanels[int(p)] = t; }
    void setProgramLabel(const QString& t) override { programLabel = t; }
    void setProgressRange(int, int maximum) override { progressMax = maximum; }
    void setProgress(int p) override {
        progress = p;
        ++progressUpdates;
    }
    void repaintTransferBar() override {}
    void prepareTransferBar() override { calls << "prepareTransferBar"; }
    void removeProgressBar() override { ++progressBarsRemoved; }
    void setCaption(CaptionMode m, const QString& name) override {
        captionMode = int(m);
        caption = name;
    }
    void setCaptionFullName(CaptionMode m, const QString& name) override {
        captionMode = int(m);
        caption = "full:" + name;
    }
    void refreshCaption() override {}
    void enterTransferMode() override {
        editing = false;
        calls << "enterTransferMode";
    }
    void leaveTransferMode() override { editing = true; }
    void showRunControls(bool run) override {
        runControls = run;
        if (run)
            calls << "showRunControls";
    }
    void setStepButtonEnabled(bool e) override { stepButton = e; }
    void setEditorContextMenuEnabled(bool e) override { contextMenu = e; }
    void setScreenSaverInhibited(bool i) override { inhibited = i; }

    // ---- RunEditor
    QList<QByteArray> lines{"O1", "M30"};
    bool modified = false;
    bool readOnly = false;
    int breakpoint = -1;
    int selections = 0;
    int editorClears = 0;

    int lineCount() const override { return int(lines.size()); }
    QByteArray line(int i) const override { return lines.at(i); }
    bool isEmpty() const override { return lines.isEmpty() || (lines.size() == 1 && lines[0].isEmpty()); }
    void selectLine(int, int) override { ++selections; }
    void caretToStart() override {}
    void focus() override {}
    void setReadOnly(bool r) override { readOnly = r; }
    bool isModified() const override { return modified; }
    void setModified(bool m) override { modified = m; }
    int breakpointLine() const override { return breakpoint; }
    void clearBreakpoint() override {
        breakpoint = -1;
        calls << "clearBreakpoint";
    }
    void clear() override {
        lines.clear();
        modified = false;
        ++editorClears;
    }

    // ---- ReceivePrompts
    bool saveAnswer = true;
    std::optional<QString> receiveFile;
    std::optional<QString> folder;
    QString working = "/tmp";
    QString dialogTitle, dialogFolder, folderCaption, saveDialogName;

    bool askSaveBeforeReplace() override {
        calls << "askSave";
        return saveAnswer;
    }
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

    // ---- DncPrompts
    Start dncStart{true, 1};
    std::function<Start()> onDncStart;
    int dncAsks = 0;
    Start chooseDncStart() override {
        ++dncAsks;
        return onDncStart ? onDncStart() : dncStart;
    }

    // ---- DeskView
    bool logView = false;
    int openFileCalls = 0;
    std::function<void()> onOpenFile;
    int indexBuilds = 0;
    std::function<void()> onExtractIndex;
    int indexStops = 0;
    QStringList selectionEntries; // the texts of selectionPrograms
    QList<ProgramHeader> selectionPrograms;
    int selectionShown = 0, selectionClosed = 0;
    QStringList loadedFiles;
    int splitOpened = 0;
    int newDocuments = 0;
    int closes = 0;
    std::function<void()> onClose;
    bool ticking = false;

    bool isLogViewOpen() override { return logView; }
    void openFile() override {
        ++openFileCalls;
        if (onOpenFile)
            onOpenFile();
    }
    void extractIndexNow() override {
        ++indexBuilds;
        if (onExtractIndex)
            onExtractIndex();
    }
    void stopIndexExtraction() override { ++indexStops; }
    void showSelectionDialog(const QString&, const QList<ProgramHeader>& programs, const QString&) override {
        ++selectionShown;
        selectionPrograms = programs;
        selectionEntries.clear();
        for (const ProgramHeader& p : programs)
            selectionEntries << p.text;
    }
    void closeSelectionDialog() override { ++selectionClosed; }
    void loadReceivedFile(const QString& path) override { loadedFiles << path; }
    void openSplitSave() override { ++splitOpened; }
    void newDocument() override { ++newDocuments; }
    void closeWindow() override {
        ++closes;
        if (onClose)
            onClose();
    }
    void setTicking(bool on) override { ticking = on; }
};

// The views of a desk that runs in a test: the line host of the serial line
// and the fake window for everything else.
inline DeskViews deskViews(LineHost& line, FakeWindow& w) {
    return DeskViews{line, w, w, w, w, w};
}

// Puts what a SendContext says into the desk's profile, options and
// document, as if the operator had set them up: the desk takes its context
// from there when Send is pressed.
inline void applyContext(TransferDesk& desk, const SendContext& c) {
    Options& o = desk.options();
    o.setNo = c.profileNumber;
    desk.profiles()[c.profileNumber] = c.profile;
    desk.document().path = c.documentPath;
    o.setOn(Opt::SelectPrograms, c.options.selectPrograms);
    o.setOn(Opt::Metres, c.options.metres);
    o.setOn(Opt::SendAfterComment, c.options.sendAfterComment);
    o.setOn(Opt::IgnoreMachineStop, c.options.ignoreMachineStop);
    o.setOn(Opt::PunchCompletion, c.options.punchCompletion);
    o.setOn(Opt::NoLineCheck, c.options.noLineCheck || c.lineOptions.noLineCheck);
    o.setOn(Opt::NoLeadingLf, c.options.noLeadingLf);
    o.setOn(Opt::PowerOff, c.options.powerOff);
    o.setOn(Opt::Dc3Is93, c.options.dc3Is93 && c.lineOptions.dc3Is93);
    o.setOn(Opt::DncEndAsReturn, c.options.dncEndAsReturn);
    o.stepSendEnabled = c.options.stepSendEnabled;
    o.autoIndexOff = c.options.autoIndexOff;
    o.setOn(Opt::SkipSpaces, c.lineOptions.skipSpaces);
    o.setOn(Opt::DtrAlwaysOn, c.lineOptions.dtrAlwaysOn);
    o.setOn(Opt::AutoSwitch, c.lineOptions.autoSwitch);
    o.setOn(Opt::DsrCheck, c.lineOptions.dsrCheck);
    o.modemePort1 = c.lineOptions.excludedPort1;
    o.modemePort2 = c.lineOptions.excludedPort2;
}

} // namespace tornyx::test
