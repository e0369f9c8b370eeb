#include "nc/NcState.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tornyx::nc {

namespace {

// Modal groups the reader follows only far enough to tell the operator
// that something other than the cancel state is in effect.
struct OtherGroup {
    int group;
    int cancel;
    std::array<int, 4> codes;
};
constexpr OtherGroup OtherGroups[] = {
    {11, 500, {500, 510, -1, -1}},   // scaling
    {13, 970, {960, 970, -1, -1}},   // constant surface speed
    {15, 640, {610, 620, 630, 640}}, // exact stop / cutting mode
    {16, 690, {680, 690, -1, -1}},   // coordinate rotation
    {17, 150, {150, 160, -1, -1}},   // polar coordinates
    {22, 501, {501, 511, -1, -1}},   // mirror image
};

bool isCycleCode(int g) {
    return g == 730 || g == 740 || g == 760 || (g >= 810 && g <= 890 && g % 10 == 0);
}

// Cycles that come back out of the hole at feed.
bool retractsAtFeed(int g) {
    return g == 740 || g == 840 || g == 850 || g == 890;
}

double sweep(double a0, double a1, bool clockwise) {
    double s = clockwise ? a0 - a1 : a1 - a0;
    while (s <= 1e-12)
        s += 2 * std::numbers::pi;
    while (s > 2 * std::numbers::pi)
        s -= 2 * std::numbers::pi;
    return s;
}

} // namespace

void ShortText::assign(QByteArrayView v) {
    n = static_cast<unsigned char>(std::min<qsizetype>(v.size(), sizeof(s)));
    std::copy_n(v.data(), n, s);
}

int NcState::cycleWordIndex(char letter) {
    switch (letter) {
    case 'Z':
        return 0;
    case 'R':
        return 1;
    case 'Q':
        return 2;
    case 'P':
        return 3;
    default:
        return -1;
    }
}

QByteArray codeText(char letter, int code) {
    QByteArray out(1, letter);
    if (letter == 'G') {
        out += QByteArray::number(code / 10).rightJustified(2, '0');
        if (code % 10)
            out += '.' + QByteArray::number(code % 10);
    } else {
        out += QByteArray::number(code).rightJustified(2, '0');
    }
    return out;
}

void NcReader::carry(Carried::Kind kind, int code, int line) {
    for (Carried& c : m_state.carried) {
        if (c.kind == kind &&
            (c.kind == Carried::ModalGroup ? c.code / 1000 == code / 1000 : c.code == code)) {
            c.code = code;
            c.line = line;
            return;
        }
    }
    m_state.carried.push_back({kind, code, line});
}

void NcReader::drop(Carried::Kind kind, int code) {
    std::erase_if(m_state.carried, [&](const Carried& c) { return c.kind == kind && c.code == code; });
}

void NcReader::modalGroup(int group, int code, int cancel, int line) {
    // Kept as group * 1000 + code so that one entry stands for the group.
    std::erase_if(m_state.carried,
                  [&](const Carried& c) { return c.kind == Carried::ModalGroup && c.code / 1000 == group; });
    if (code != cancel)
        m_state.carried.push_back({Carried::ModalGroup, group * 1000 + code, line});
}

bool NcReader::value(const Word& w, bool rotary, double& out, Unknown& why) const {
    if (w.macro) {
        why = Unknown::Macro;
        return false;
    }
    if (w.missing) {
        why = Unknown::Unreadable;
        return false;
    }
    if (w.point || m_settings.wholeUnits || w.value == 0) {
        out = w.value;
        return true;
    }
    if (rotary) {
        out = w.value * 0.001;
        return true;
    }
    if (!m_state.units.known()) {
        why = Unknown::Units;
        return false;
    }
    out = w.value * (m_state.units.value == 200 ? 0.0001 : 0.001);
    return true;
}

void NcReader::loseAll(Unknown why, int line) {
    for (auto& a : m_state.axis)
        a.lose(why, line);
}

void NcReader::loseNamed(const Word* const* axes, Unknown why, int line) {
    for (int i = 0; i < AxisCount; ++i)
        if (axes[i])
            m_state.axis[i].lose(why, line);
}

void NcReader::apply(const Block& b, int line, BlockEffect* effect) {
    BlockEffect local;
    BlockEffect& fx = effect ? *effect : local;
    fx = BlockEffect{};
    NcState& st = m_state;
    if (b.blockDelete)
        carry(Carried::BlockDelete, 0, line);
    if (b.textAfterSemicolon)
        carry(Carried::AfterSemicolon, 0, line);
    if (b.unreadable)
        carry(Carried::UnreadableText, 0, line);
    if (b.macroStatement) {
        carry(Carried::MacroStatement, 0, line);
        fx.kind = BlockEffect::Unknown;
        return;
    }
    if (b.words.empty())
        return;

    const Word* addr[26] = {};
    int gCodes[16];
    int gCount = 0;
    int mCodes[8];
    int mCount = 0;
    bool macroG = false;
    bool macroM = false;
    for (const Word& w : b.words) {
        if (w.letter == 'G') {
            if (w.macro || w.missing)
                macroG = true;
            else if (gCount < 16)
                gCodes[gCount++] = w.code();
        } else if (w.letter == 'M') {
            if (w.macro || w.missing)
                macroM = true;
            else if (mCount < 8)
                mCodes[mCount++] = int(w.value);
        } else {
            addr[w.letter - 'A'] = &w;
        }
    }
    const Word* axes[AxisCount] = {addr['X' - 'A'], addr['Y' - 'A'], addr['Z' - 'A'],
                                   addr['A' - 'A'], addr['B' - 'A'], addr['C' - 'A']};
    if (const Word* n = addr['N' - 'A']; n && !n->macro && !n->missing)
        st.sequence = static_cast<long long>(n->value);

    if (macroG) {
        // A G code the control computes may belong to any group.
        for (Tracked<int>* t : {&st.motion, &st.plane, &st.distance, &st.units, &st.workOffset,
                                &st.lengthComp, &st.cutterComp, &st.feedMode, &st.cycle, &st.retract})
            t->lose(Unknown::Macro, line);
        loseAll(Unknown::Macro, line);
        fx.kind = BlockEffect::Unknown;
        return;
    }
    if (macroM) {
        st.spindle.lose(Unknown::Macro, line);
        st.mist.lose(Unknown::Macro, line);
        st.flood.lose(Unknown::Macro, line);
        st.spindleTool.lose(Unknown::Macro, line);
    }

    GCodeEffect g = applyGCodes(gCodes, gCount, addr, line);
    const bool toolChange = applyMCodes(mCodes, mCount, g.call, line);

    if (g.call) {
        // The called program runs in the machine: what it does is not in
        // this text.
        carry(Carried::MachineCall, 0, line);
        loseAll(Unknown::MachineCall, line);
        fx.kind = BlockEffect::Unknown;
        return;
    }

    applyTool(addr['T' - 'A'], toolChange, line);
    if (g.g10) {
        // Offsets and parameters set by the program: its words are data.
        carry(Carried::DataSetting, 100, line);
        return;
    }
    applyWords(addr, axes, g.dwell, line);
    if (!applyNonMotion(g, addr, axes, line, fx))
        applyMotion(g, addr, axes, line, fx);
}

NcReader::GCodeEffect NcReader::applyGCodes(const int* gCodes, int gCount, const Word* const* addr,
                                            int line) {
    NcState& st = m_state;
    GCodeEffect g;
    for (int k = 0; k < gCount; ++k) {
        const int code = gCodes[k];
        switch (code) {
        case 0:
        case 10:
        case 20:
        case 30:
            g.group01 = code;
            break;
        case 40:
            g.dwell = true;
            break;
        case 90: // exact stop for this block
        case 110:
            break;
        case 100:
            g.g10 = true;
            break;
        case 170:
        case 180:
        case 190:
            st.plane.set(code, line);
            break;
        case 200:
        case 210:
            st.units.set(code, line);
            break;
        case 270:
        case 280:
        case 290:
        case 300:
            g.ref = true;
            break;
        case 310:
            g.skip = true;
            break;
        case 400:
        case 410:
        case 420:
            st.cutterComp.set(code, line);
            break;
        case 430:
        case 440:
        case 490:
            st.lengthComp.set(code, line);
            break;
        case 520:
            g.g52 = true;
            break;
        case 530:
            g.g53 = true;
            break;
        case 540:
        case 550:
        case 560:
        case 570:
        case 580:
        case 590:
            st.workOffset.set(code, line);
            st.workOffsetP = {};
            break;
        case 541: {
            const Word* p = addr['P' - 'A'];
            if (p && !p->macro && !p->missing) {
                st.workOffset.set(code, line);
                st.workOffsetP.assign(p->valueText());
            } else {
                st.workOffset.lose(p && p->macro ? Unknown::Macro : Unknown::Unreadable, line);
            }
            break;
        }
        case 650:
            g.call = m_settings.machineCalls;
            break;
        case 660:
        case 661:
            carry(Carried::ModalCall, 660, line);
            break;
        case 670:
            drop(Carried::ModalCall, 660);
            break;
        case 800:
            g.cycleCancel = true;
            break;
        case 900:
        case 910:
            st.distance.set(code, line);
            break;
        case 920:
            g.g92 = true;
            break;
        case 930:
        case 940:
        case 950:
            st.feedMode.set(code, line);
            break;
        case 980:
        case 990:
            st.retract.set(code, line);
            break;
        default:
            if (isCycleCode(code)) {
                g.cycleCode = code;
                break;
            }
            if (const auto* o = std::find_if(std::begin(OtherGroups), std::end(OtherGroups),
                                             [&](const OtherGroup& og) {
                                                 return std::find(og.codes.begin(), og.codes.end(), code) !=
                                                        og.codes.end();
                                             });
                o != std::end(OtherGroups)) {
                modalGroup(o->group, code, o->cancel, line);
                g.parameters = g.parameters || code == 680 || code == 510 || code == 511;
                break;
            }
            carry(Carried::GCode, code, line);
            g.otherCode = true;
        }
    }

    return g;
}

bool NcReader::applyMCodes(const int* mCodes, int mCount, bool& call, int line) {
    NcState& st = m_state;
    bool toolChange = false;
    for (int k = 0; k < mCount; ++k) {
        const int m = mCodes[k];
        switch (m) {
        case 0:
        case 1:
        case 2:
        case 30:
        case 99:
            break;
        case 3:
        case 4:
        case 5:
            st.spindle.set(m, line);
            break;
        case 6:
            toolChange = true;
            break;
        case 7:
            st.mist.set(true, line);
            break;
        case 8:
            st.flood.set(true, line);
            break;
        case 9:
            st.mist.set(false, line);
            st.flood.set(false, line);
            break;
        case 98:
        case 198:
            call = call || m_settings.machineCalls;
            break;
        default:
            carry(Carried::MCode, m, line);
        }
    }

    return toolChange;
}

void NcReader::applyTool(const Word* t, bool toolChange, int line) {
    NcState& st = m_state;
    if (t) {
        if (t->macro || t->missing) {
            st.tool.lose(t->macro ? Unknown::Macro : Unknown::Unreadable, line);
        } else {
            ShortText v;
            v.assign(t->valueText());
            st.tool.set(v, line);
        }
        st.toolChangeFollowed = false;
    }
    if (toolChange) {
        if (st.tool.known())
            st.spindleTool.set(st.tool.value, line);
        else
            st.spindleTool.lose(st.tool.why == Unknown::NotGiven ? Unknown::NoTool : st.tool.why, line);
        st.toolChangeFollowed = true;
    }
}

void NcReader::applyWords(const Word* const* addr, const Word* const* axes, bool dwell, int line) {
    NcState& st = m_state;
    const auto text = [&](char letter, Tracked<ShortText>& t, double* number) {
        const Word* w = addr[letter - 'A'];
        if (!w)
            return;
        if (w->macro || w->missing) {
            t.lose(w->macro ? Unknown::Macro : Unknown::Unreadable, line);
            return;
        }
        ShortText v;
        v.assign(w->valueText());
        t.set(v, line);
        if (number)
            *number = w->value;
    };
    text('S', st.s, &st.sValue);
    text('F', st.f, &st.fValue);
    text('H', st.h, nullptr);
    text('D', st.d, nullptr);
    for (char letter : {'U', 'V', 'W'})
        if (addr[letter - 'A'] && !dwell)
            carry(Carried::Letter, letter, line);

    for (int i = 0; i < AxisCount; ++i)
        if (axes[i])
            st.axisNamed[size_t(i)] = true;
}

bool NcReader::applyNonMotion(const GCodeEffect& g, const Word* const* addr, const Word* const* axes,
                              int line, BlockEffect& fx) {
    NcState& st = m_state;
    if (g.g92 || g.g52) {
        carry(Carried::CoordinateSet, g.g92 ? 920 : 520, line);
        for (int i = 0; i < AxisCount; ++i) {
            if (!axes[i])
                continue;
            double v = 0;
            Unknown why = Unknown::None;
            // G92 makes the present position read as the given value.
            if (g.g92 && value(*axes[i], i >= A, v, why))
                st.axis[size_t(i)].set(v, line);
            else
                st.axis[size_t(i)].lose(g.g52 ? Unknown::CoordShift : why, line);
        }
        return true;
    }
    if (g.dwell) {
        fx.kind = BlockEffect::Dwell;
        double v = 0;
        Unknown why = Unknown::None;
        if (const Word* p = addr['P' - 'A']) {
            if (p->macro || p->missing)
                fx.kind = BlockEffect::Unknown;
            else
                fx.seconds = p->value / 1000.0; // milliseconds
        } else if (const Word* x = addr['X' - 'A'] ? addr['X' - 'A'] : addr['U' - 'A']) {
            // Seconds; without a point in the least increment of a rotary
            // axis, 0.001 s.
            if (value(*x, true, v, why))
                fx.seconds = v;
            else
                fx.kind = BlockEffect::Unknown;
        }
        return true;
    }
    if (g.parameters)
        return true;
    if (g.otherCode) {
        loseNamed(axes, Unknown::OtherCode, line);
        if (std::any_of(axes, axes + AxisCount, [](const Word* w) { return w != nullptr; }))
            fx.kind = BlockEffect::Unknown;
        return true;
    }
    if (g.ref || g.g53 || g.skip) {
        loseNamed(axes, g.ref ? Unknown::RefReturn : g.g53 ? Unknown::MachineCoord : Unknown::Skip, line);
        if (std::any_of(axes, axes + AxisCount, [](const Word* w) { return w != nullptr; }))
            fx.kind = BlockEffect::Unknown;
        return true;
    }

    return false;
}

void NcReader::applyMotion(const GCodeEffect& g, const Word* const* addr, const Word* const* axes, int line,
                           BlockEffect& fx) {
    NcState& st = m_state;
    if (g.group01 >= 0) {
        st.motion.set(g.group01, line);
        if (st.cycleActive())
            st.cycle.set(800, line);
    }
    if (g.cycleCancel) {
        // G80 clears the cycle's data: the next cycle brings its own.
        st.cycle.set(800, line);
        st.cycleWords = {};
        st.cycleNumbers = {};
        st.initialLevel = {};
        st.rLevel = {};
        st.bottom = {};
    }
    if (g.cycleCode >= 0) {
        if (!st.cycleActive())
            st.initialLevel = st.axis[Z];
        st.cycle.set(g.cycleCode, line);
    }
    if (st.cycleActive() && g.group01 < 0) {
        cycleBlock(addr, axes, line, fx);
        return;
    }
    move(addr, axes, line, fx);
}

void NcReader::move(const Word* const* addr, const Word* const* axes, int line, BlockEffect& fx) {
    NcState& st = m_state;
    double delta[AxisCount] = {};
    bool deltaKnown = true;
    bool any = false;
    const bool incremental = st.distance.known() && st.distance.value == 910;
    for (int i = 0; i < AxisCount; ++i) {
        if (!axes[i])
            continue;
        any = true;
        auto& a = st.axis[size_t(i)];
        double v = 0;
        Unknown why = Unknown::None;
        if (!value(*axes[i], i >= A, v, why)) {
            a.lose(why, line);
            deltaKnown = false;
            continue;
        }
        if (!st.distance.known()) {
            a.lose(Unknown::DistanceMode, line);
            deltaKnown = false;
        } else if (incremental) {
            delta[i] = v;
            if (a.known())
                a.set(a.value + v, line); // an increment of an unknown position stays unknown
        } else {
            if (a.known())
                delta[i] = v - a.value;
            else
                deltaKnown = false;
            a.set(v, line);
        }
    }
    if (!any)
        return;
    if (!deltaKnown || !st.motion.known()) {
        fx.kind = BlockEffect::Unknown;
        return;
    }
    const int m = st.motion.value;
    double length = 0;
    if (m == 20 || m == 30) {
        // The arc in the working plane, with the third axis as a helix.
        const int plane = st.plane.known() ? st.plane.value : 170;
        int p1 = X, p2 = Y, p3 = Z;
        char c1 = 'I', c2 = 'J';
        if (plane == 180) {
            p1 = Z, p2 = X, p3 = Y, c1 = 'K', c2 = 'I';
        } else if (plane == 190) {
            p1 = Y, p2 = Z, p3 = X, c1 = 'J', c2 = 'K';
        }
        const double e1 = delta[p1], e2 = delta[p2];
        const Word* r = addr['R' - 'A'];
        double arc = 0;
        Unknown why = Unknown::None;
        if (r && !addr[c1 - 'A'] && !addr[c2 - 'A']) {
            double radius = 0;
            if (!value(*r, false, radius, why) || radius == 0) {
                fx.kind = BlockEffect::Unknown;
                return;
            }
            const double chord = std::hypot(e1, e2);
            const double half = std::min(1.0, chord / (2 * std::abs(radius)));
            double angle = 2 * std::asin(half);
            if (radius < 0)
                angle = 2 * std::numbers::pi - angle;
            arc = std::abs(radius) * angle;
        } else if (!addr[c1 - 'A'] && !addr[c2 - 'A']) {
            fx.kind = BlockEffect::Unknown; // an arc without centre or radius
            return;
        } else {
            double i1 = 0, i2 = 0;
            if ((addr[c1 - 'A'] && !value(*addr[c1 - 'A'], false, i1, why)) ||
                (addr[c2 - 'A'] && !value(*addr[c2 - 'A'], false, i2, why))) {
                fx.kind = BlockEffect::Unknown;
                return;
            }
            const double radius = std::hypot(i1, i2);
            const double a0 = std::atan2(-i2, -i1);
            const double a1 = std::atan2(e2 - i2, e1 - i1);
            const bool closed = std::abs(e1) < 1e-9 && std::abs(e2) < 1e-9;
            arc = radius * (closed ? 2 * std::numbers::pi : sweep(a0, a1, m == 20));
        }
        double rest = delta[p3] * delta[p3];
        for (int i = A; i < AxisCount; ++i)
            rest += delta[i] * delta[i];
        length = std::sqrt(arc * arc + rest);
    } else {
        double sum = 0;
        for (double d : delta)
            sum += d * d;
        length = std::sqrt(sum);
    }
    fx.length = length;
    const bool inch = st.units.known() && st.units.value == 200;
    if (m == 0) {
        fx.kind = BlockEffect::Rapid;
        if (m_settings.rapidRate <= 0) {
            fx.kind = BlockEffect::Unknown;
            return;
        }
        fx.feed = inch ? m_settings.rapidRate / 25.4 : m_settings.rapidRate;
        fx.seconds = length / fx.feed * 60;
        return;
    }
    if (!st.f.known() || st.fValue <= 0) {
        fx.kind = BlockEffect::Unknown;
        return;
    }
    fx.kind = BlockEffect::Feed;
    // Per minute unless the program said otherwise; the estimate needs a
    // mode, and G94 is what a milling control starts in.
    const int mode = st.feedMode.known() ? st.feedMode.value : 940;
    if (mode == 930) {
        fx.seconds = 60 / st.fValue;
        fx.feed = length / fx.seconds * 60;
    } else if (mode == 950) {
        if (!st.s.known() || st.sValue <= 0) {
            fx.kind = BlockEffect::Unknown;
            return;
        }
        fx.feed = st.fValue * st.sValue;
        fx.seconds = length / fx.feed * 60;
    } else {
        fx.feed = st.fValue;
        fx.seconds = length / fx.feed * 60;
    }
}

void NcReader::cycleBlock(const Word* const* addr, const Word* const* axes, int line, BlockEffect& fx) {
    NcState& st = m_state;
    const bool incremental = st.distance.known() && st.distance.value == 910;
    // The cycle's data stays until G80: depth, R level, peck, dwell.
    for (char letter : {'Z', 'R', 'Q', 'P'}) {
        const Word* w = addr[letter - 'A'];
        if (!w)
            continue;
        auto& slot = st.cycleWords[size_t(NcState::cycleWordIndex(letter))];
        if (w->macro || w->missing) {
            slot.lose(w->macro ? Unknown::Macro : Unknown::Unreadable, line);
            continue;
        }
        ShortText t;
        t.assign(w->valueText());
        slot.set(t, line);
        const size_t i = size_t(NcState::cycleWordIndex(letter));
        Unknown why = Unknown::None;
        if (letter == 'P')
            st.cycleNumbers[i] = w->value;
        else if (!value(*w, false, st.cycleNumbers[i], why))
            slot.lose(why, line);
    }
    const Word* k = addr['K' - 'A'] ? addr['K' - 'A'] : addr['L' - 'A'];
    int holes = 1;
    if (k) {
        if (k->macro || k->missing) {
            fx.kind = BlockEffect::Unknown;
            loseAll(Unknown::Macro, line);
            return;
        }
        holes = int(k->value);
    }
    const bool drills =
        addr['R' - 'A'] || std::any_of(axes, axes + AxisCount, [](const Word* w) { return w; });
    Unknown why = Unknown::None;
    double v = 0;
    if (const Word* r = addr['R' - 'A']) {
        if (!value(*r, false, v, why))
            st.rLevel.lose(why, line);
        else if (!incremental)
            st.rLevel.set(v, line);
        else if (st.initialLevel.known())
            st.rLevel.set(st.initialLevel.value + v, line);
        else
            st.rLevel.lose(st.initialLevel.why, line);
    }
    if (const Word* z = axes[Z]) {
        if (!value(*z, false, v, why))
            st.bottom.lose(why, line);
        else if (!incremental)
            st.bottom.set(v, line);
        else if (st.rLevel.known())
            st.bottom.set(st.rLevel.value + v, line);
        else
            st.bottom.lose(st.rLevel.why, line);
    }
    if (!drills || holes <= 0)
        return;

    double rapidDistance = 0;
    bool known = true;
    for (int i = 0; i < AxisCount; ++i) {
        if (i == Z || !axes[i])
            continue;
        auto& a = st.axis[size_t(i)];
        if (!value(*axes[i], i >= A, v, why)) {
            a.lose(why, line);
            known = false;
            continue;
        }
        if (incremental) {
            rapidDistance += std::abs(v) * holes;
            if (a.known())
                a.set(a.value + v * holes, line);
        } else {
            if (a.known())
                rapidDistance += std::abs(v - a.value);
            else
                known = false;
            a.set(v, line);
        }
    }
    // Out of the hole to the initial level (G98) or to the R level (G99).
    auto& z = st.axis[Z];
    if (!st.retract.known())
        z.lose(Unknown::RetractMode, line);
    else if (st.retract.value == 980)
        st.initialLevel.known() ? z.set(st.initialLevel.value, line) : z.lose(st.initialLevel.why, line);
    else
        st.rLevel.known() ? z.set(st.rLevel.value, line) : z.lose(st.rLevel.why, line);

    if (!known || !st.initialLevel.known() || !st.rLevel.known() || !st.bottom.known() || !st.f.known() ||
        st.fValue <= 0 || m_settings.rapidRate <= 0 || (st.feedMode.known() && st.feedMode.value != 940)) {
        fx.kind = BlockEffect::Unknown;
        return;
    }
    const bool inch = st.units.known() && st.units.value == 200;
    const double rapid = inch ? m_settings.rapidRate / 25.4 : m_settings.rapidRate;
    const double depth = std::abs(st.rLevel.value - st.bottom.value);
    const double approach = std::abs(st.initialLevel.value - st.rLevel.value);
    const double up = st.retract.known() && st.retract.value == 990 ? 0 : approach;
    double rapidPerHole = approach + up;
    double feedPerHole = depth;
    if (retractsAtFeed(st.cycle.value))
        feedPerHole += depth;
    else
        rapidPerHole += depth;
    double dwellSeconds = 0;
    const auto& p = st.cycleWords[3];
    if (p.known() && (st.cycle.value == 820 || st.cycle.value == 890 || st.cycle.value == 880))
        dwellSeconds = st.cycleNumbers[3] / 1000.0;
    const auto& q = st.cycleWords[2];
    if (q.known() && (st.cycle.value == 830 || st.cycle.value == 730)) {
        const double peck = std::abs(st.cycleNumbers[2]);
        if (peck > 0) {
            const double pecks = std::ceil(depth / peck);
            // G83 goes back to the R level after every peck.
            if (st.cycle.value == 830)
                rapidPerHole += pecks * (pecks - 1) * peck;
        }
    }
    fx.kind = BlockEffect::Cycle;
    fx.length = rapidDistance + holes * (rapidPerHole + feedPerHole);
    fx.feed = st.fValue;
    fx.seconds = (rapidDistance + holes * rapidPerHole) / rapid * 60 + holes * feedPerHole / st.fValue * 60 +
                 holes * dwellSeconds;
}

} // namespace tornyx::nc
