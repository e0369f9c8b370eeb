#include "search/FileMask.h"

namespace tornyx {

namespace {
QChar folded(QChar c) {
    return c.toUpper();
}
} // namespace

std::optional<FileMask> FileMask::parse(const QString& mask) {
    FileMask m;
    for (qsizetype i = 0; i < mask.size(); ++i) {
        Token t;
        const QChar c = mask[i];
        if (c == u'*') {
            // A run of stars is one star.
            if (!m.m_tokens.empty() && m.m_tokens.back().kind == Token::AnyRun)
                continue;
            t.kind = Token::AnyRun;
        } else if (c == u'?') {
            t.kind = Token::AnyOne;
        } else if (c == u'[') {
            t.kind = Token::Set;
            qsizetype j = i + 1;
            if (j < mask.size() && mask[j] == u'!') {
                t.negated = true;
                ++j;
            }
            for (; j < mask.size() && mask[j] != u']'; ++j) {
                QChar lo = folded(mask[j]);
                QChar hi = lo;
                if (j + 2 < mask.size() && mask[j + 1] == u'-' && mask[j + 2] != u']') {
                    hi = folded(mask[j + 2]);
                    j += 2;
                }
                t.ranges.emplace_back(lo, hi);
            }
            if (j >= mask.size())
                return std::nullopt; // the set is never closed
            i = j;
        } else {
            t.c = folded(c);
        }
        m.m_tokens.push_back(std::move(t));
    }
    return m;
}

bool FileMask::Token::accepts(QChar x) const {
    switch (kind) {
    case Literal:
        return folded(x) == c;
    case AnyOne:
        return true;
    case AnyRun:
        return false;
    case Set: {
        const QChar f = folded(x);
        bool in = false;
        for (const auto& [lo, hi] : ranges)
            in = in || (f >= lo && f <= hi);
        return in != negated;
    }
    }
    return false;
}

bool FileMask::matches(QStringView name) const {
    // Greedy matching that returns to the last star on a mismatch; every
    // token but the star stands for exactly one character.
    const qsizetype tokens = static_cast<qsizetype>(m_tokens.size());
    qsizetype t = 0;
    qsizetype s = 0;
    qsizetype starToken = -1;
    qsizetype starName = 0;
    while (s < name.size()) {
        if (t < tokens && m_tokens[t].kind == Token::AnyRun) {
            starToken = t++;
            starName = s;
        } else if (t < tokens && m_tokens[t].accepts(name[s])) {
            ++t;
            ++s;
        } else if (starToken >= 0) {
            t = starToken + 1;
            s = ++starName;
        } else {
            return false;
        }
    }
    while (t < tokens && m_tokens[t].kind == Token::AnyRun)
        ++t;
    return t == tokens;
}

} // namespace tornyx
