#pragma once

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

} // namespace tornyx::test
