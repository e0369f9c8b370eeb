// Any bytes as an option file: reading, writing a key and reading the saved
// file back must neither crash nor lose the written value.
#include "platform/IniFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

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
    if (!ini.save())
        return 0;
    tornyx::platform::IniFile again(path);
    again.load();
    if (again.readInteger("Main", "Left", 0) != 123 || again.readString("Setting", "DirPath", "") != "/nc")
        std::abort();
    return 0;
}
