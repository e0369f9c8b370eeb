#pragma once

#include "serial/LineHost.h"

#include <functional>
#include <utility>
#include <vector>

namespace tornyx::test {

// A host with canned answers that records what the line showed.
class FakeLineHost : public LineHost {
public:
    struct Message {
        Kind kind;
        QString text;
        Buttons buttons;
        QString caption;
    };

    Answer showMessage(Kind kind, const QString& text, Buttons buttons, const QString& caption) override {
        messages.push_back({kind, text, buttons, caption});
        return answer;
    }
    void processEvents() override {
        ++pumps;
        if (onPump)
            onPump(pumps);
    }
    void setDsrLamp(bool on) override {
        dsr = on;
        ++lampUpdates;
    }
    void setCtsLamp(bool on) override {
        cts = on;
        ++lampUpdates;
    }
    std::optional<QString> askSwitchNumber() override {
        ++switchAsks;
        return switchNumber;
    }

    std::vector<Message> messages;
    Answer answer = Answer::Ok;
    int pumps = 0;
    std::function<void(int pump)> onPump;
    std::optional<bool> dsr;
    std::optional<bool> cts;
    int lampUpdates = 0;
    std::optional<QString> switchNumber;
    int switchAsks = 0;
};

} // namespace tornyx::test
