#pragma once

#include "send/SendInterfaces.h"

#include "support/FakeLineHost.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QMap>
#include <QStringList>

#include <functional>

namespace tornyx::test {

// A line host that answers its boxes from a list (Yes when it runs out).
class ScriptedLineHost : public FakeLineHost {
public:
    QList<Answer> answers;
    Answer showMessage(Kind kind, const QString& text, Buttons buttons, const QString& caption) override {
        FakeLineHost::showMessage(kind, text, buttons, caption);
        return answers.isEmpty() ? (buttons == Buttons::Ok ? Answer::Ok : Answer::Yes) : answers.takeFirst();
    }
    QStringList texts() const {
        QStringList out;
        for (const Message& m : messages)
            out << m.text;
        return out;
    }
};

// A line host that also pumps the real event loop, as the main window does.
class PumpingLineHost : public ScriptedLineHost {
public:
    void processEvents() override {
        ScriptedLineHost::processEvents();
        QCoreApplication::processEvents();
    }
};

class FakeEditor : public SendEditor {
public:
    QList<QByteArray> lines;
    bool modified = false;
    bool readOnly = false;
    int breakpoint = -1;
    int selections = 0;

    explicit FakeEditor(QList<QByteArray> l = {}) : lines(std::move(l)) {}
    int lineCount() const override { return int(lines.size()); }
    QByteArray line(int i) const override { return lines.at(i); }
    bool isEmpty() const override { return lines.isEmpty() || (lines.size() == 1 && lines[0].isEmpty()); }
    void selectLine(int, int) override { ++selections; }
    void caretToStart() override {}
    void setFocus() override {}
    void setReadOnly(bool r) override { readOnly = r; }
    bool isModified() const override { return modified; }
    void setModified(bool m) override { modified = m; }
    int breakpointLine() const override { return breakpoint; }
};

class FakeSendHost : public SendHost {
public:
    QMap<int, QString> panels;
    QMap<int, QString> editPanels;
    QStringList panel2History;
    QStringList panel1History;
    QStringList panel6History;
    QString statusLabel;
    QStringList breakpoints;
    int steps = 0; // step events still to hand out
    bool shift = false;
    int timer1Starts = 0;
    bool timer2 = false;
    int closes = 0;
    int powerOffs = 0;
    bool logView = false;
    QStringList index;
    bool indexFinished = true;
    int dncStarts = 0;
    QStringList selectionEntries;
    int progressMax = -1, progress = -1;
    bool editing = true;
    bool inhibited = false;
    std::function<void()> onClose;

    void showBreakpoint(const QString& t) override { breakpoints << t; }
    void setTransferPanel(int i, const QString& t) override {
        panels[i] = t;
        if (i == 1)
            panel1History << t;
        if (i == 2)
            panel2History << t;
        if (i == 6)
            panel6History << t;
    }
    void setEditPanel(int i, const QString& t) override { editPanels[i] = t; }
    void setStatusLabel(const QString& t) override { statusLabel = t; }
    void setProgressRange(int m) override { progressMax = m; }
    void setProgress(int p) override { progress = p; }
    void refreshCaption() override {}
    void setTransferMode(bool e) override { editing = e; }
    void showSendDisplay(bool) override {}
    void setStepButtonEnabled(bool) override {}
    void setEditorContextMenuEnabled(bool) override {}
    void setScreenSaverInhibited(bool i) override { inhibited = i; }
    void setCaretUpdatesSuspended(bool) override {}
    void startTimer1() override { ++timer1Starts; }
    void setTimer2(bool on) override { timer2 = on; }
    bool isShiftHeld() override { return shift; }
    bool takeStepEvent() override {
        if (steps <= 0)
            return false;
        --steps;
        return true;
    }
    bool isIndexEmpty() override { return index.isEmpty(); }
    bool isIndexExtractionFinished() override { return indexFinished; }
    void stopIndexExtraction() override { indexFinished = true; }
    void markIndexNotExtracted() override {}
    void addIndexEntry(const QString& e) override { index << e; }
    QStringList indexEntries() override { return index; }
    void openFile() override {}
    bool isLogViewOpen() override { return logView; }
    void startDncRun() override { ++dncStarts; }
    void showSelectionDialog(const QString&, const QStringList& e, const QString&) override {
        selectionEntries = e;
    }
    void closeMainWindow() override {
        ++closes;
        if (onClose)
            onClose();
    }
    bool powerOff() override {
        ++powerOffs;
        return true;
    }
};

} // namespace tornyx::test
