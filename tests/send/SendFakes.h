#pragma once

#include "send/SendInterfaces.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QStringList>

#include <deque>
#include <functional>
#include <stdexcept>

namespace tornyx::test {

// The characters the run hands to WriteChar, before any encoding.
class FakePort : public SendPort {
public:
    QByteArray written;
    std::deque<char> input;
    bool openOk = true;
    bool open = false;
    int closes = 0;
    SendCode code = SendCode::Raw;
    // Called before each write with the index of the write; answers
    // "stop" (true) to make WriteChar fail there.
    std::function<bool(qsizetype)> onWrite;
    bool throwOnWrite = false;

    bool openLine() override { return open = openOk; }
    void setCode(SendCode c) override { code = c; }
    bool writeChar(char c) override {
        if (!open)
            return false;
        if (throwOnWrite)
            throw std::runtime_error("device gone");
        if (onWrite && onWrite(written.size()))
            return true;
        written += c;
        return false;
    }
    int queuedInput() override { return int(input.size()); }
    char readChar() override {
        if (input.empty())
            return 0;
        const char c = input.front();
        input.pop_front();
        return c;
    }
    void waitForInput(int) override {}
    void updateLamps() override {}
    void closeLine() override {
        open = false;
        ++closes;
    }
    QString portName() const override { return "COM1"; }
};

class FakeEditor : public SendEditor {
public:
    QList<QByteArray> lines;
    bool modified = false;
    bool readOnly = false;
    int breakpoint = -1;
    QList<int> selections;

    explicit FakeEditor(QList<QByteArray> l = {}) : lines(std::move(l)) {}
    int lineCount() const override { return int(lines.size()); }
    QByteArray line(int i) const override { return lines.at(i); }
    bool isEmpty() const override { return lines.isEmpty() || (lines.size() == 1 && lines[0].isEmpty()); }
    void selectLine(int index, int) override { selections << index; }
    void caretToStart() override {}
    void setFocus() override {}
    void setReadOnly(bool r) override { readOnly = r; }
    bool isModified() const override { return modified; }
    void setModified(bool m) override { modified = m; }
    int breakpointLine() const override { return breakpoint; }
};

class FakeHost : public SendHost {
public:
    QMap<int, QString> panels;
    QMap<int, QString> editPanels;
    QStringList panel2History;
    QString statusLabel;
    QStringList errors, questions, breakpoints;
    QList<bool> answers; // answers to askYesNo, in order; Yes when empty
    int pumps = 0;
    std::function<void(int)> onPump;
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

    void processEvents() override {
        ++pumps;
        if (onPump)
            onPump(pumps);
    }
    void showError(const QString& t) override { errors << t; }
    bool askYesNo(const QString& t) override {
        questions << t;
        return answers.isEmpty() ? true : answers.takeFirst();
    }
    void showBreakpoint(const QString& t) override { breakpoints << t; }
    void setTransferPanel(int i, const QString& t) override {
        panels[i] = t;
        if (i == 2)
            panel2History << t;
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
    void showSelectionDialog(const QString&, const QStringList& e, const QString&) override { selectionEntries = e; }
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

// Time passes only when the run sleeps.
class FakeClock : public SendClock {
public:
    int64_t now = 1000000;
    int64_t slept = 0;
    int64_t nowMs() override { return now; }
    void sleepMs(int ms) override {
        now += ms;
        slept += ms;
    }
    QDateTime currentDateTime() override {
        return QDateTime(QDate(2010, 7, 9), QTime(12, 5, 33)).addMSecs(now - 1000000);
    }
};

} // namespace tornyx::test
