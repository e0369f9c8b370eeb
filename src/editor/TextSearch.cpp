#include "editor/TextSearch.h"

#include <QChar>

#include <algorithm>
#include <array>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace tornyx {

namespace {

using Byte = unsigned char;

constexpr bool isAsciiLetter(Byte c) {
    return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}
constexpr Byte asciiLower(Byte c) {
    return c >= 'A' && c <= 'Z' ? c | 0x20 : c;
}

// One UTF-8 character; a byte that starts no valid sequence counts as one
// character of its own.
struct Decoded {
    char32_t c = 0;
    int length = 0;
};

Decoded decode(const Byte* p, qsizetype n) {
    if (n <= 0)
        return {};
    const Byte b = p[0];
    if (b < 0x80)
        return {b, 1};
    const int len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 0;
    if (len == 0 || len > n)
        return {0xFFFD, 1};
    char32_t c = b & (0x7F >> len);
    for (int i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return {0xFFFD, 1};
        c = (c << 6) | (p[i] & 0x3F);
    }
    return {c, len};
}

// Reads single bytes of a text given as pieces.
class PieceReader {
public:
    explicit PieceReader(const std::vector<IndexedText::Piece>& pieces) : m_pieces(pieces) {}
    // The byte at a global offset; -1 outside the pieces.
    int at(qsizetype offset) {
        if (m_pieces.empty())
            return -1;
        const auto inside = [offset](const IndexedText::Piece& p) {
            return offset >= p.offset && offset < p.offset + p.bytes.size();
        };
        if (!inside(m_pieces[m_current])) {
            const auto it = std::find_if(m_pieces.begin(), m_pieces.end(), inside);
            if (it == m_pieces.end())
                return -1;
            m_current = static_cast<size_t>(it - m_pieces.begin());
        }
        const auto& p = m_pieces[m_current];
        return static_cast<Byte>(p.bytes[offset - p.offset]);
    }

private:
    const std::vector<IndexedText::Piece>& m_pieces;
    size_t m_current = 0;
};

// The bytes at which an occurrence can start. Upper and lower case of an
// ASCII letter, and the lead bytes of characters whose case folding can
// start with a Latin letter (ß folds to "ss", the Kelvin sign to "k"); a
// Japanese character has no case, so only its own lead byte can start it.
class Candidates {
public:
    explicit Candidates(QByteArrayView needle) {
        const auto* n = reinterpret_cast<const Byte*>(needle.data());
        const Byte first = n[0];
        if (first < 0x80) {
            m_a = asciiLower(first);
            m_b = first >= 'a' && first <= 'z' ? first & ~0x20 : first;
            m_kind = isAsciiLetter(first) ? Kind::Letter : Kind::One;
            m_table[m_a] = m_table[m_b] = true;
            if (m_kind == Kind::Letter) {
                for (int c = 0xC2; c <= 0xE2; ++c)
                    m_table[c] = true;
                m_table[0xEF] = true;
            }
            return;
        }
        const char32_t c = decode(n, needle.size()).c;
        if ((c >= 0x3000 && c < 0xA000) || (c >= 0xFF00 && c < 0xFFF0)) {
            m_kind = Kind::One;
            m_a = m_b = first;
            m_table[first] = true;
            return;
        }
        m_kind = Kind::Table;
        for (int b = 0; b < 256; ++b)
            m_table[b] = isAsciiLetter(static_cast<Byte>(b)) || b >= 0xC2;
    }

    // Index of the first candidate in p[0, n); -1 when none.
    qsizetype first(const Byte* p, qsizetype n) const {
        if (m_kind == Kind::One && m_a == m_b) {
            const void* hit = std::memchr(p, m_a, static_cast<size_t>(n));
            return hit ? static_cast<const Byte*>(hit) - p : -1;
        }
        qsizetype i = 0;
#ifdef __SSE2__
        if (m_kind != Kind::Table) {
            for (; i + 16 <= n; i += 16)
                if (const int mask = blockMask(p + i))
                    return i + __builtin_ctz(static_cast<unsigned>(mask));
        }
#endif
        for (; i < n; ++i)
            if (m_table[p[i]])
                return i;
        return -1;
    }

    // Index of the last candidate in p[0, n); -1 when none.
    qsizetype last(const Byte* p, qsizetype n) const {
        if (m_kind == Kind::One && m_a == m_b) {
            const void* hit = memrchr(p, m_a, static_cast<size_t>(n));
            return hit ? static_cast<const Byte*>(hit) - p : -1;
        }
        qsizetype i = n;
#ifdef __SSE2__
        if (m_kind != Kind::Table) {
            for (; i >= 16; i -= 16)
                if (const int mask = blockMask(p + i - 16))
                    return i - 16 + (31 - __builtin_clz(static_cast<unsigned>(mask)));
        }
#endif
        while (i > 0)
            if (m_table[p[--i]])
                return i;
        return -1;
    }

    // True when the needle's first character is an ASCII letter, whose
    // non-ASCII candidates are mostly rejected without asking the text.
    bool isLetter() const {
        return m_kind == Kind::Letter;
    }

private:
    enum class Kind { One, Letter, Table };

#ifdef __SSE2__
    int blockMask(const Byte* p) const {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        __m128i m = _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(m_a))),
                                 _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(m_b))));
        if (m_kind == Kind::Letter) {
            // Signed bytes: 0xC2..0xE2 are -62..-30; ASCII is positive.
            const __m128i lead =
                _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(-63)), _mm_cmplt_epi8(v, _mm_set1_epi8(-29)));
            m = _mm_or_si128(m,
                             _mm_or_si128(lead, _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(0xEF)))));
        }
        return _mm_movemask_epi8(m);
    }
#endif

    Kind m_kind = Kind::One;
    Byte m_a = 0;
    Byte m_b = 0;
    std::array<bool, 256> m_table{};
};

bool isAscii(QByteArrayView b) {
    return std::all_of(b.begin(), b.end(), [](char c) { return static_cast<Byte>(c) < 0x80; });
}

// The end of an occurrence that starts at offset q, or -1.
class Matcher {
public:
    Matcher(const IndexedText& text, QByteArrayView needle, const std::vector<IndexedText::Piece>& pieces,
            const Candidates& candidates)
        : m_text(text), m_needle(needle), m_reader(pieces), m_asciiNeedle(isAscii(needle)),
          m_letter(candidates.isLetter()) {}

    qsizetype endAt(qsizetype q) {
        const int first = m_reader.at(q);
        if (first >= 0x80 && m_letter) {
            // Only the Latin ligatures (EF AC ..) and the letterlike symbols
            // (E2 84 ..) among these lead bytes can fold to a Latin letter.
            const int second = m_reader.at(q + 1);
            if ((first == 0xEF && second != 0xAC) || (first == 0xE2 && second != 0x84))
                return -1;
        }
        if (!m_asciiNeedle)
            return m_text.foldedMatchEnd(q, m_needle);
        const auto* n = reinterpret_cast<const Byte*>(m_needle.data());
        for (qsizetype i = 0; i < m_needle.size(); ++i) {
            const int c = m_reader.at(q + i);
            if (c < 0)
                return -1;
            if (c >= 0x80)
                return m_text.foldedMatchEnd(q, m_needle);
            if (asciiLower(static_cast<Byte>(c)) != asciiLower(n[i]))
                return -1;
        }
        return q + m_needle.size();
    }

private:
    const IndexedText& m_text;
    QByteArrayView m_needle;
    PieceReader m_reader;
    bool m_asciiNeedle;
    bool m_letter;
};

} // namespace

qsizetype IndexedText::foldedMatchEnd(qsizetype offset, QByteArrayView needle) const {
    // Every character of the needle may stand for up to four bytes of text.
    const qsizetype want = needle.size() * 4 + 4;
    QByteArray span;
    for (const auto& p : pieces(offset)) {
        span.append(p.bytes.first(std::min(p.bytes.size(), want - span.size())));
        if (span.size() >= want)
            break;
    }
    const auto* n = reinterpret_cast<const Byte*>(needle.data());
    const auto* s = reinterpret_cast<const Byte*>(span.constData());
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < needle.size()) {
        if (j >= span.size())
            return -1;
        const Decoded a = decode(n + i, needle.size() - i);
        const Decoded b = decode(s + j, span.size() - j);
        if (QChar::toCaseFolded(a.c) != QChar::toCaseFolded(b.c))
            return -1;
        i += a.length;
        j += b.length;
    }
    return offset + j;
}

TextMatch findForward(const IndexedText& text, QByteArrayView needle, qsizetype from) {
    from = std::max<qsizetype>(from, 0);
    if (needle.isEmpty() || from >= text.length())
        return {};
    const Candidates candidates(needle);
    const auto pieces = text.pieces(from);
    Matcher matcher(text, needle, pieces, candidates);
    for (const auto& p : pieces) {
        const auto* base = reinterpret_cast<const Byte*>(p.bytes.data());
        for (qsizetype i = 0; i < p.bytes.size();) {
            const qsizetype k = candidates.first(base + i, p.bytes.size() - i);
            if (k < 0)
                break;
            const qsizetype q = p.offset + i + k;
            if (const qsizetype end = matcher.endAt(q); end >= 0)
                return {q, end};
            i += k + 1;
        }
    }
    return {};
}

qsizetype matchEndAt(const IndexedText& text, QByteArrayView needle, qsizetype at) {
    if (needle.isEmpty() || at < 0 || at >= text.length())
        return -1;
    const Candidates candidates(needle);
    const auto pieces = text.pieces(at);
    return Matcher(text, needle, pieces, candidates).endAt(at);
}

TextMatch findBackward(const IndexedText& text, QByteArrayView needle, qsizetype before) {
    before = std::min(before, text.length());
    if (needle.isEmpty() || before <= 0)
        return {};
    const Candidates candidates(needle);
    const auto pieces = text.pieces(0);
    Matcher matcher(text, needle, pieces, candidates);
    for (auto p = pieces.rbegin(); p != pieces.rend(); ++p) {
        const auto* base = reinterpret_cast<const Byte*>(p->bytes.data());
        qsizetype n = std::min(p->bytes.size(), before - p->offset);
        while (n > 0) {
            const qsizetype k = candidates.last(base, n);
            if (k < 0)
                break;
            const qsizetype q = p->offset + k;
            if (const qsizetype end = matcher.endAt(q); end >= 0)
                return {q, end};
            n = k;
        }
    }
    return {};
}

} // namespace tornyx
