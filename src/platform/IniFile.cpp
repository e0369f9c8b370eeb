#include "platform/IniFile.h"

#include "platform/AtomicFile.h"
#include "platform/TextCodec.h"

#include <QFile>

#include <limits>

namespace tornyx::platform {

namespace {

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Keys and values cannot hold line breaks; a value that carries one (typed
// into a dialog or pasted) would otherwise split into a junk line.
QString singleLine(const QString& s) {
    QString out = s;
    out.replace('\r', ' ');
    out.replace('\n', ' ');
    return out;
}

// A value Shift-JIS cannot hold, or that the plain form would not give back
// (blanks at an end, enclosing quotes), is stored as this marker followed by
// its UTF-8 bytes, percent-encoded outside printable ASCII.
constexpr QLatin1StringView EscapeMarker("%UTF-8%");

// UTF-8 that also carries a lone surrogate (an invalid Shift-JIS byte that
// fromSjisExact kept) as its own three bytes, so every string comes back.
QByteArray toWtf8(QStringView s) {
    QByteArray out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        char32_t cp = s[i].unicode();
        if (QChar::isHighSurrogate(cp) && i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(s[i], s[i + 1]);
            ++i;
        }
        if (cp < 0x80) {
            out += char(cp);
        } else if (cp < 0x800) {
            out += char(0xC0 | cp >> 6);
            out += char(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += char(0xE0 | cp >> 12);
            out += char(0x80 | (cp >> 6 & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        } else {
            out += char(0xF0 | cp >> 18);
            out += char(0x80 | (cp >> 12 & 0x3F));
            out += char(0x80 | (cp >> 6 & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

// The inverse of toWtf8; a sequence that is not one (a hand-edited value)
// gives U+FFFD for its first byte.
QString fromWtf8(QByteArrayView b) {
    static constexpr char32_t Smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    QString out;
    for (qsizetype i = 0; i < b.size();) {
        const auto c = static_cast<unsigned char>(b[i]);
        const int len = c < 0x80             ? 1
                        : (c & 0xE0) == 0xC0 ? 2
                        : (c & 0xF0) == 0xE0 ? 3
                        : (c & 0xF8) == 0xF0 ? 4
                                             : 0;
        char32_t cp = len == 1 ? c : len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
        bool ok = len > 0 && i + len <= b.size();
        for (int k = 1; ok && k < len; ++k) {
            const auto d = static_cast<unsigned char>(b[i + k]);
            ok = (d & 0xC0) == 0x80;
            cp = cp << 6 | (d & 0x3F);
        }
        if (!ok || cp < Smallest[len] || cp > 0x10FFFF) {
            out += QChar(0xFFFD);
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            out += QChar(QChar::highSurrogate(cp));
            out += QChar(QChar::lowSurrogate(cp));
        } else {
            out += QChar(char16_t(cp));
        }
        i += len;
    }
    return out;
}

QByteArray escaped(QStringView value) {
    const QByteArray utf8 = toWtf8(value);
    QByteArray out = EscapeMarker.toString().toLatin1();
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const bool literal = (c > 0x20 && c < 0x7F && c != '%') || (c == ' ' && i + 1 < utf8.size());
        if (literal)
            out += char(c);
        else
            out += '%' + QByteArray::number(c, 16).toUpper().rightJustified(2, '0');
    }
    return out;
}

int hexDigit(char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                  : -1;
}

// A "%" without two hexadecimal digits (a hand-edited value) stays as it is.
QString unescaped(QByteArrayView body) {
    QByteArray utf8;
    utf8.reserve(body.size());
    for (qsizetype i = 0; i < body.size(); ++i) {
        if (body[i] == '%' && i + 2 < body.size() && hexDigit(body[i + 1]) >= 0 &&
            hexDigit(body[i + 2]) >= 0) {
            utf8 += char(hexDigit(body[i + 1]) << 4 | hexDigit(body[i + 2]));
            i += 2;
        } else {
            utf8 += body[i];
        }
    }
    return fromWtf8(utf8);
}

// The value of the text after "=": blanks around it and one pair of
// enclosing quotes are not part of it, like with the Windows profile
// functions; then the escaped form or Shift-JIS.
QString valueOf(QByteArrayView afterEquals) {
    QByteArrayView v = afterEquals.trimmed();
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.sliced(1, v.size() - 2);
    if (v.startsWith(QByteArrayView(EscapeMarker.data(), EscapeMarker.size())))
        return unescaped(v.sliced(EscapeMarker.size()));
    return fromSjisExact(v);
}

// Shift-JIS whenever that gives the value back exactly, else the escaped form.
QByteArray encodedValue(const QString& value) {
    if (const auto plain = toSjisExact(value); plain && valueOf(*plain) == value)
        return *plain;
    return escaped(value);
}

} // namespace

IniFile::IniFile(QString path) : m_path(std::move(path)) {}

bool IniFile::load() {
    m_sections.clear();
    m_sections.push_back(Section{});
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray all = f.readAll();
    qsizetype pos = 0;
    while (pos < all.size()) {
        qsizetype end = all.indexOf('\n', pos);
        if (end < 0)
            end = all.size();
        QByteArray raw = all.mid(pos, end - pos);
        pos = end + 1;
        if (raw.endsWith('\r'))
            raw.chop(1);

        const QByteArray t = raw.trimmed();
        if (t.startsWith('[')) {
            const qsizetype close = t.indexOf(']');
            if (close > 0) {
                Section s;
                s.name = fromSjis(t.mid(1, close - 1)).trimmed();
                s.hasHeader = true;
                s.rawHeader = raw;
                m_sections.push_back(std::move(s));
                continue;
            }
        }
        Line line;
        line.raw = raw;
        const qsizetype eq = raw.indexOf('=');
        if (eq > 0 && !t.startsWith(';')) {
            line.key = fromSjis(raw.left(eq)).trimmed();
            line.isEntry = !line.key.isEmpty();
        }
        m_sections.back().lines.push_back(std::move(line));
    }
    return true;
}

bool IniFile::save(QString* error) const {
    QByteArray out;
    for (const Section& s : m_sections) {
        if (s.hasHeader) {
            out += s.rawHeader;
            out += "\r\n";
        }
        for (const Line& l : s.lines) {
            out += l.raw;
            out += "\r\n";
        }
    }
    AtomicFile f(m_path);
    if (!f.open() || !f.write(out) || !f.commit()) {
        if (error)
            *error = f.reason();
        return false;
    }
    return true;
}

const IniFile::Section* IniFile::findSection(const QString& name) const {
    const QString n = name.trimmed();
    for (const Section& s : m_sections)
        if (s.hasHeader && sameName(s.name, n))
            return &s;
    return nullptr;
}

IniFile::Section& IniFile::sectionFor(const QString& name) {
    if (m_sections.empty())
        m_sections.push_back(Section{});
    if (const Section* s = findSection(name))
        return const_cast<Section&>(*s);
    Section s;
    s.name = name.trimmed();
    s.hasHeader = true;
    s.rawHeader = "[" + toSjis(singleLine(s.name)) + "]";
    m_sections.push_back(std::move(s));
    return m_sections.back();
}

const IniFile::Line* IniFile::findLine(const Section& s, const QString& key) {
    const QString k = key.trimmed();
    for (const Line& l : s.lines)
        if (l.isEntry && sameName(l.key, k))
            return &l;
    return nullptr;
}

QString IniFile::entryValue(const Line& line) {
    const qsizetype eq = line.raw.indexOf('=');
    return valueOf(QByteArrayView(line.raw).sliced(eq + 1));
}

std::optional<QString> IniFile::value(const QString& section, const QString& key) const {
    const Section* s = findSection(section);
    if (!s)
        return std::nullopt;
    const Line* l = findLine(*s, key);
    if (!l)
        return std::nullopt;
    return entryValue(*l);
}

QString IniFile::readString(const QString& section, const QString& key, const QString& def) const {
    return value(section, key).value_or(def);
}

std::optional<int> IniFile::parseInteger(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 40)
        return std::nullopt;
    bool ok = false;
    qlonglong v = 0;
    if (t.startsWith('$'))
        v = t.mid(1).toLongLong(&ok, 16);
    else if (t.startsWith("0x", Qt::CaseInsensitive))
        v = t.mid(2).toLongLong(&ok, 16);
    else if (t.startsWith("-0x", Qt::CaseInsensitive)) {
        v = -t.mid(3).toLongLong(&ok, 16);
    } else
        v = t.toLongLong(&ok, 10);
    if (!ok || v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(v);
}

int IniFile::readInteger(const QString& section, const QString& key, int def) const {
    const auto v = value(section, key);
    if (!v)
        return def;
    return parseInteger(*v).value_or(def);
}

bool IniFile::readBool(const QString& section, const QString& key, bool def) const {
    return readInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value) {
    Section& s = sectionFor(section);
    const QString v = singleLine(value);
    if (const Line* found = findLine(s, key)) {
        Line& l = const_cast<Line&>(*found);
        if (entryValue(l) == v)
            return; // keep the stored bytes
        const qsizetype eq = l.raw.indexOf('=');
        l.raw = l.raw.left(eq + 1) + encodedValue(v);
        return;
    }
    Line l;
    l.key = singleLine(key.trimmed());
    l.isEntry = true;
    l.raw = toSjis(l.key) + "=" + encodedValue(v);
    // New keys go after the section's last entry, before trailing blank lines.
    auto at = s.lines.end();
    while (at != s.lines.begin() && std::prev(at)->raw.trimmed().isEmpty())
        --at;
    s.lines.insert(at, std::move(l));
}

void IniFile::writeInteger(const QString& section, const QString& key, int value) {
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString& section, const QString& key, bool value) {
    writeString(section, key, value ? "1" : "0");
}

std::vector<QString> IniFile::keys(const QString& section) const {
    std::vector<QString> out;
    if (const Section* s = findSection(section))
        for (const Line& l : s->lines)
            if (l.isEntry)
                out.push_back(l.key);
    return out;
}

} // namespace tornyx::platform
