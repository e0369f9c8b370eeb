#pragma once

#include "app/TransferDesk.h"

#include "nc/NcTestText.h"
#include "support/EmulatedDesk.h"

namespace tornyx::test {

// The transfer desk over the emulated line on the fake clock: ASCII, so
// the bytes the machine gets are the text; the operator confirms the start;
// end code LF + "%".
struct DeskRig : EmulatedDesk {
    SendContext ctx;

    explicit DeskRig(bool dnc, int speed = 5) {
        ctx.profile = defaultProfile(1);
        ctx.profile.send.signal = 1;
        ctx.profile.send.code = 2;
        ctx.profile.send.speed = speed;
        ctx.profile.send.dncSend = dnc ? 1 : 0;
        ctx.options.noLineCheck = true;
        ctx.documentPath = "/work/progs/PART.nc";
    }
    // The editor's lines, the program list built from them, the context.
    void load(const QList<QByteArray>& lines) {
        win.lines = lines;
        desk.programs().setEntries(entriesOf(lines));
        applyContext(desk, ctx);
    }
};

} // namespace tornyx::test
