// Any bytes as an option file: reading, writing a key and reading the saved
// file back must neither crash nor lose the written value. The same bytes,
// taken as UTF-16 (lone surrogates and characters Shift-JIS cannot hold
// included), as a value must come back exactly too.
#include "platform/IniFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const QString path = dir.filePath("F.INI");
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    tornyx::platform::IniFile ini(path);
    ini.load();
    (void)ini.readInteger("Main", "Left", 10);
    (void)ini.readString("Setting", "DirPath", "C:");
    (void)ini.readBool("Options", "op11", false);
    ini.writeInteger("Main", "Left", 123);
    ini.writeString("Setting", "DirPath", "/nc");
    QString value(static_cast<qsizetype>(size / 2), QChar());
    std::memcpy(value.data(), data, (size / 2) * sizeof(QChar));
    value.replace('\r', ' ').replace('\n', ' '); // a value is one line
    ini.writeString("Fuzz", "Value", value);
    if (!ini.save())
        return 0;
    tornyx::platform::IniFile again(path);
    again.load();
    if (again.readInteger("Main", "Left", 0) != 123 || again.readString("Setting", "DirPath", "") != "/nc")
        std::abort();
    if (again.readString("Fuzz", "Value", "<missing>") != value)
        std::abort();
    return 0;
}
