#include "platform/TextCodec.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace tornyx::platform {

namespace {

// One converter per thread and direction; iconv_t carries shift state and is
// not safe to share between threads.
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {
        if (m_cd == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error("iconv cannot convert between CP932 and UTF-16");
    }
    ~Converter() { iconv_close(m_cd); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    iconv_t get() {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        return m_cd;
    }

private:
    iconv_t m_cd;
};

Converter& decoder() {
    thread_local Converter c("UTF-16LE", "CP932");
    return c;
}

Converter& encoder() {
    thread_local Converter c("CP932", "UTF-16LE");
    return c;
}

bool isAscii(const char* p, qsizetype n) {
    for (qsizetype i = 0; i < n; ++i)
        if (static_cast<unsigned char>(p[i]) >= 0x80)
            return false;
    return true;
}

// Invalid bytes kept by fromSjisExact: U+DC80..U+DCFF (only bytes from 0x80
// up are ever invalid in CP932).
constexpr char16_t EscapeBase = 0xDC00;

// Damaged or cut-off sequences become one replacement per byte: U+FFFD, or
// with escape the byte itself as a lone surrogate.
QString decode(QByteArrayView bytes, bool escape) {
    if (isAscii(bytes.data(), bytes.size()))
        return QString::fromLatin1(bytes.data(), bytes.size());

    QString out;
    out.resize(bytes.size()); // CP932 never yields more UTF-16 units than bytes
    iconv_t cd = decoder().get();
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* dst = reinterpret_cast<char*>(out.data());
    size_t dstLeft = out.size() * sizeof(char16_t);
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &dst, &dstLeft) != static_cast<size_t>(-1))
            break;
        if (errno == EILSEQ || errno == EINVAL) {
            const auto b = static_cast<unsigned char>(*in);
            *reinterpret_cast<char16_t*>(dst) = escape ? char16_t(EscapeBase + b) : char16_t(0xFFFD);
            dst += sizeof(char16_t);
            dstLeft -= sizeof(char16_t);
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        } else {
            break; // E2BIG cannot happen with the size above
        }
    }
    out.resize((dst - reinterpret_cast<char*>(out.data())) / sizeof(char16_t));
    return out;
}

} // namespace

QString fromSjis(QByteArrayView bytes) {
    return decode(bytes, false);
}

QString fromSjisExact(QByteArrayView bytes) {
    return decode(bytes, true);
}

std::optional<QByteArray> toSjisExact(QStringView text) {
    QByteArray out;
    qsizetype from = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const bool escaped = i < text.size() && text[i].unicode() >= EscapeBase + 0x80 &&
                             text[i].unicode() <= EscapeBase + 0xFF &&
                             !(i > 0 && QChar::isHighSurrogate(text[i - 1].unicode()));
        if (i < text.size() && !escaped)
            continue;
        qsizetype bad = 0;
        out += toSjis(text.sliced(from, i - from), &bad);
        if (bad > 0)
            return std::nullopt;
        if (i < text.size())
            out += char(text[i].unicode() - EscapeBase);
        from = i + 1;
    }
    return out;
}

QByteArray toSjis(QStringView text, qsizetype* unmappable) {
    qsizetype bad = 0;
    QByteArray out;
    bool ascii = true;
    for (QChar c : text)
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) {
        out = QString::fromRawData(text.data(), text.size()).toLatin1();
    } else {
        out.resize(text.size() * 2 + 4);
        iconv_t cd = encoder().get();
        char* in = reinterpret_cast<char*>(const_cast<QChar*>(text.data()));
        size_t inLeft = text.size() * sizeof(char16_t);
        char* dst = out.data();
        size_t dstLeft = out.size();
        while (inLeft > 0) {
            if (iconv(cd, &in, &inLeft, &dst, &dstLeft) != static_cast<size_t>(-1))
                break;
            if (errno == EILSEQ || errno == EINVAL) {
                // A character CP932 has no code for (or a lone surrogate).
                const char16_t u = *reinterpret_cast<const char16_t*>(in);
                size_t skip = sizeof(char16_t);
                if (u >= 0xD800 && u <= 0xDBFF && inLeft >= 4)
                    skip = 2 * sizeof(char16_t);
                *dst++ = '?';
                --dstLeft;
                in += skip;
                inLeft -= skip;
                ++bad;
                iconv(cd, nullptr, nullptr, nullptr, nullptr);
            } else {
                break;
            }
        }
        out.resize(dst - out.data());
    }
    if (unmappable)
        *unmappable = bad;
    return out;
}

} // namespace tornyx::platform
