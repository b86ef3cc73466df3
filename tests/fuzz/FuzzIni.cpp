// The INI parser: an unchanged file serialises byte for byte; every key read and written back
// keeps its stored bytes (GBK edge bytes included: a lead byte without a valid trail, GB18030
// four-byte sequences, lone 0x80 and 0xFF); a save
// and a new load give the same file and the same values; a killed writer's temporary file is
// removed and a save leaves none.
#include "FuzzCheck.h"
#include "data/IniFile.h"
#include "lang/Gbk.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <utility>
#include <vector>

namespace
{

using Key = std::pair<QString, QString>;

// Up to 16 (section, key) names as a plain reading of the lines finds them.
std::vector<Key> KeysOf(const QByteArray& bytes)
{
    std::vector<Key> keys;
    QByteArray section;
    bool inSection = false;
    for (QByteArray line : bytes.split('\n')) {
        line = line.trimmed();
        if (line.startsWith('[') && line.contains(']')) {
            section = line.mid(1, line.indexOf(']') - 1).trimmed();
            inSection = true;
        } else if (inSection && line.contains('=') && keys.size() < 16) {
            keys.emplace_back(FromGbk(section), FromGbk(line.left(line.indexOf('=')).trimmed()));
        }
    }
    return keys;
}

// Every stored value is written back as it was, but for a NUL, written as a blank on purpose (a
// value ends at a NUL for other readers).
bool KeptAsStored(const QByteArray& raw)
{
    return !raw.contains('\0');
}

QString FilePath()
{
    static QTemporaryDir dir(QDir("/dev/shm").exists() ? "/dev/shm/fuzz_ini-XXXXXX" : QString());
    return dir.path() + QStringLiteral("/Config.ini");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString path = FilePath();
    {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size());
    }
    IniFile ini(path);
    FUZZ_CHECK(ini.Load());
    FUZZ_CHECK(ini.Serialize() == bytes);

    const std::vector<Key> keys = KeysOf(bytes);
    std::vector<QByteArray> before;
    for (const auto& [section, key] : keys)
        before.push_back(ini.ReadRaw(section, key));
    for (size_t i = 0; i < keys.size(); ++i) {
        if (before[i].isNull() || !KeptAsStored(before[i]))
            continue;
        ini.WriteString(keys[i].first, keys[i].second, ini.ReadString(keys[i].first, keys[i].second, QString()));
        FUZZ_CHECK(ini.ReadRaw(keys[i].first, keys[i].second) == before[i]);
    }
    ini.WriteString(QStringLiteral("Fuzz"), QStringLiteral("Key"), FromGbk(bytes.left(40)));
    const QByteArray written = ini.ReadRaw(QStringLiteral("Fuzz"), QStringLiteral("Key"));
    // What a writer killed before its rename leaves is removed; a save leaves nothing behind.
    {
        QFile stale(QFileInfo(path).dir().filePath(QStringLiteral(".Config.ini.Killed")));
        FUZZ_CHECK(stale.open(QIODevice::WriteOnly) && stale.write(bytes) == bytes.size());
    }
    FUZZ_CHECK(RemoveStaleTemporaryFiles(path) == 1);
    FUZZ_CHECK(ini.Save());
    FUZZ_CHECK(QFileInfo(path).dir().entryList(QDir::Files | QDir::Hidden) == QStringList { "Config.ini" });

    IniFile again(path);
    FUZZ_CHECK(again.Load());
    FUZZ_CHECK(again.Serialize() == ini.Serialize());
    FUZZ_CHECK(again.ReadRaw(QStringLiteral("Fuzz"), QStringLiteral("Key")) == written);
    for (size_t i = 0; i < keys.size(); ++i)
        FUZZ_CHECK(again.ReadRaw(keys[i].first, keys[i].second) == ini.ReadRaw(keys[i].first, keys[i].second));
    return 0;
}
