#pragma once

#include "dnc/DncRun.h"

#include "send/SendFakes.h"

namespace tornyx::test {

// The DNC set-up dialog: answers with `answer` and counts how often it was
// shown.
class FakeDncHost : public DncHost {
public:
    SetUp answer{true, 1};
    int shows = 0;
    SetUp showDncForm() override {
        ++shows;
        return answer;
    }
};

// The main window's seams: the send button's DNC branch starts the run, and
// the send set-up step asks the run for its dialog.
class DncSendHost : public FakeSendHost {
public:
    DncRun* run = nullptr;
    DncOptions options;
    void startDncRun() override { run->RunDnc(options); }
    int dncSetUp() override { return run->dncSetUp(); }
};

} // namespace tornyx::test
