#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace tornyx::platform {

// A sectioned settings file ("[Section]" lines, then key=value lines) in the
// Windows Japanese code page, read and written key by key.
//
// - Section and key names compare without regard to letter case and
//   surrounding blanks; the first of two equal keys is the one that counts.
// - Lines the program does not own (other sections, other keys, comments,
//   junk) are kept as they were, in their order.
// - A value that is written with the text it already has keeps its original
//   bytes, so unchanged values survive a save byte for byte.
// - Values are Shift-JIS wherever that gives them back exactly. A value it
//   cannot hold (a folder named "Müller") is stored as "%UTF-8%" followed by
//   its UTF-8 bytes, percent-encoded outside printable ASCII; so is a value
//   the plain form would change (blanks at an end, enclosing quotes, one
//   that starts with the marker). Bytes of a stored value that are no
//   Shift-JIS are kept (TextCodec's exact form) and written back unchanged.
// - save() goes through AtomicFile: a crash or a full disk never leaves a
//   half-written file.
class IniFile {
public:
    explicit IniFile(QString path);

    // Reads the file. A missing or unreadable file gives an empty store and
    // false; every read then yields its default.
    bool load();
    // Writes the store back. On failure returns false and, when given, puts
    // the reason (without the path) into *error; the values stay in memory.
    bool save(QString* error = nullptr) const;

    const QString& path() const { return m_path; }

    std::optional<QString> value(const QString& section, const QString& key) const;
    bool hasKey(const QString& section, const QString& key) const { return value(section, key).has_value(); }

    QString readString(const QString& section, const QString& key, const QString& def) const;
    // Decimal (or 0x / $ hexadecimal) 32-bit integers; anything else, or a
    // number out of range, yields def.
    int readInteger(const QString& section, const QString& key, int def) const;
    // Stored as an integer: non-zero is true; what does not parse yields def.
    bool readBool(const QString& section, const QString& key, bool def) const;

    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);
    void writeBool(const QString& section, const QString& key, bool value);

    // Keys of a section in file order (used for the port mapping).
    std::vector<QString> keys(const QString& section) const;

    static std::optional<int> parseInteger(const QString& text);

private:
    struct Line {
        QByteArray raw; // the line as read, without its line break
        QString key;    // trimmed key for key=value lines, empty otherwise
        bool isEntry = false;
    };
    struct Section {
        QString name; // empty for the lines before the first header
        bool hasHeader = false;
        QByteArray rawHeader;
        std::vector<Line> lines;
    };

    const Section* findSection(const QString& name) const;
    Section& sectionFor(const QString& name);
    static const Line* findLine(const Section& s, const QString& key);
    static QString entryValue(const Line& line);

    QString m_path;
    std::vector<Section> m_sections;
};

} // namespace tornyx::platform
