#include "platform/IniFile.h"

#include "platform/TextCodec.h"

#include <QFile>
#include <QSaveFile>

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
    QSaveFile f(m_path);
    if (!f.open(QIODevice::WriteOnly) || f.write(out) != out.size() || !f.commit()) {
        if (error)
            *error = f.errorString();
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
    QByteArray v = line.raw.mid(eq + 1).trimmed();
    // Like the Windows profile functions: one pair of enclosing quotes is
    // not part of the value.
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    return fromSjis(v);
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
        l.raw = l.raw.left(eq + 1) + toSjis(v);
        return;
    }
    Line l;
    l.key = singleLine(key.trimmed());
    l.isEntry = true;
    l.raw = toSjis(l.key) + "=" + toSjis(v);
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
