#include "data/IniFile.h"

#include "data/DebugPrint.h"
#include "lang/Gbk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtGlobal>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray CrLf = QByteArrayLiteral("\r\n");

// Names compare without regard to ASCII case only: folding other bytes would make different GBK
// characters equal.
QByteArray Fold(const QByteArray& name)
{
    QByteArray folded = name;
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

// The callers' names are ASCII: folded in one pass, without a GBK conversion.
QByteArray FoldedName(const QString& name)
{
    const QString trimmed = name.trimmed();
    QByteArray folded(trimmed.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < trimmed.size(); ++i) {
        const char16_t c = trimmed[i].unicode();
        if (c >= 0x80)
            return Fold(ToGbk(trimmed));
        folded[i] = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return folded;
}

// "[Name]" with anything after the last ']' ignored, as Windows reads it; false for other lines.
bool ParseSectionHeader(const QByteArray& text, QByteArray& name)
{
    const QByteArray line = text.trimmed();
    if (!line.startsWith('['))
        return false;
    const qsizetype close = line.lastIndexOf(']');
    if (close < 0)
        return false;
    name = line.mid(1, close - 1).trimmed();
    return true;
}

// "Key=Value" inside a section; ';' starts a comment. Returns the position of '=' or -1.
qsizetype KeySeparator(const QByteArray& text, QByteArray* name)
{
    const QByteArray line = text.trimmed();
    if (line.isEmpty() || line.startsWith(';') || line.startsWith('['))
        return -1;
    const qsizetype equals = text.indexOf('=');
    if (equals < 0)
        return -1;
    const QByteArray key = text.left(equals).trimmed();
    if (key.isEmpty())
        return -1;
    *name = key;
    return equals;
}

// A value is one line: line ends or NUL bytes in it (a name sent by a device, say) would cut the
// file into lines of the sender's choosing.
QByteArray OneLine(QByteArray value)
{
    for (char& c : value) {
        if (c == '\r' || c == '\n' || c == '\0')
            c = ' ';
    }
    return value;
}

QString SystemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool WriteAll(int fd, const QByteArray& data)
{
    const char* p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, p, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += written;
        left -= written;
    }
    return true;
}

mode_t CreationMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

bool ParseIniInt(const QByteArray& text, int& value)
{
    const char* first = text.constData();
    const char* last = first + text.size();
    if (first == last || *first == '+')
        return false;
    int parsed = 0;
    const auto [end, error] = std::from_chars(first, last, parsed, 10);
    if (error != std::errc() || end != last)
        return false;
    value = parsed;
    return true;
}

bool ParseIniDouble(const QByteArray& text, double& value)
{
    const char* first = text.constData();
    const char* last = first + text.size();
    if (first != last && *first == '+') {
        ++first;
        if (first != last && *first == '-')
            return false;
    }
    double parsed = 0.0;
    const auto [end, error] = std::from_chars(first, last, parsed, std::chars_format::general);
    if (error != std::errc() || end != last || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

QByteArray FormatIniDouble(double value)
{
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    Q_ASSERT(error == std::errc());
    return QByteArray(buffer, static_cast<qsizetype>(end - buffer));
}

size_t IniFile::NameHash::operator()(const QByteArray& name) const noexcept
{
    uint64_t hash = 14695981039346656037ull;
    for (const char c : name) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return static_cast<size_t>(hash);
}

namespace {
template <typename Index> int Lookup(const Index& index, const QByteArray& name)
{
    const auto found = index.find(name);
    return found == index.end() ? -1 : found->second;
}
} // namespace

IniFile::IniFile(QString path)
    : m_path(std::move(path))
{
    Parse(QByteArray());
}

bool IniFile::Load()
{
    m_error.clear();
    m_readFailed = false;
    QFile file(m_path);
    if (!file.exists()) {
        Parse(QByteArray());
        return true;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        Parse(QByteArray());
        m_readFailed = true;
        return Fail(QStringLiteral("cannot read"), file.errorString());
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        Parse(QByteArray());
        m_readFailed = true;
        return Fail(QStringLiteral("cannot read"), file.errorString());
    }
    Parse(bytes);
    return true;
}

void IniFile::Parse(const QByteArray& bytes)
{
    m_sections.clear();
    m_sections.emplace_back();
    m_sectionIndex.clear();
    const char* p = bytes.constData();
    const char* end = p + bytes.size();
    while (p < end) {
        const char* stop = p;
        while (stop < end && *stop != '\r' && *stop != '\n')
            ++stop;
        Line line { QByteArray(p, stop - p), QByteArray() };
        if (stop < end) {
            const bool crLf = *stop == '\r' && stop + 1 < end && stop[1] == '\n';
            line.eol = QByteArray(stop, crLf ? 2 : 1);
            stop += line.eol.size();
        }
        AddLine(std::move(line));
        p = stop;
    }
}

void IniFile::AddLine(Line line)
{
    QByteArray name;
    if (ParseSectionHeader(line.text, name)) {
        // A repeated section is kept but, as on Windows, only the first of that name is used.
        m_sectionIndex.emplace(Fold(name), static_cast<int>(m_sections.size()));
        m_sections.emplace_back();
        m_sections.back().lines.push_back(std::move(line));
        return;
    }
    Section& section = m_sections.back();
    section.lines.push_back(std::move(line));
    // Windows ignores keys before the first section header.
    Line& added = section.lines.back();
    if (m_sections.size() > 1 && (added.equals = KeySeparator(added.text, &name)) >= 0) {
        const int index = static_cast<int>(section.lines.size()) - 1;
        section.keys.emplace(Fold(name), index);
        section.lastKeyLine = index;
    }
}

const IniFile::Line* IniFile::FindKeyLine(const QString& section, const QString& key) const
{
    const int s = Lookup(m_sectionIndex, FoldedName(section));
    if (s < 0)
        return nullptr;
    const Section& found = m_sections[static_cast<size_t>(s)];
    const int k = Lookup(found.keys, FoldedName(key));
    return k < 0 ? nullptr : &found.lines[static_cast<size_t>(k)];
}

bool IniFile::Contains(const QString& section, const QString& key) const
{
    return FindKeyLine(section, key) != nullptr;
}

QByteArray IniFile::ReadRaw(const QString& section, const QString& key) const
{
    const Line* line = FindKeyLine(section, key);
    if (!line)
        return QByteArray();
    const QByteArray value = line->text.mid(line->equals + 1).trimmed();
    return value.isNull() ? QByteArray("") : value;
}

QString IniFile::ReadString(const QString& section, const QString& key, const QString& def) const
{
    const QByteArray raw = ReadRaw(section, key);
    return raw.isNull() ? def : FromGbk(raw);
}

int IniFile::ReadInt(const QString& section, const QString& key, int def) const
{
    int value = def;
    return ParseIniInt(ReadRaw(section, key), value) ? value : def;
}

double IniFile::ReadDouble(const QString& section, const QString& key, double def) const
{
    double value = def;
    return ParseIniDouble(ReadRaw(section, key), value) ? value : def;
}

void IniFile::WriteRaw(const QString& section, const QString& key, const QByteArray& value)
{
    const QByteArray clean = OneLine(value);
    const QByteArray sectionName = ToGbk(section).trimmed();
    const QByteArray keyName = ToGbk(key).trimmed();
    int s = Lookup(m_sectionIndex, Fold(sectionName));
    if (s < 0) {
        s = static_cast<int>(m_sections.size());
        m_sectionIndex.emplace(Fold(sectionName), s);
        m_sections.emplace_back();
        m_sections.back().lines.push_back(Line { '[' + sectionName + ']', CrLf });
    }
    Section& target = m_sections[static_cast<size_t>(s)];
    const QByteArray foldedKey = Fold(keyName);
    const int k = Lookup(target.keys, foldedKey);
    if (k >= 0) {
        Line& line = target.lines[static_cast<size_t>(k)];
        line.text = line.text.left(line.equals + 1) + clean;
        return;
    }
    // Only lines that are no keys follow the last key line, so no indexed key line moves.
    const int at = target.lastKeyLine + 1;
    target.lines.insert(target.lines.begin() + at, Line { keyName + '=' + clean, CrLf, keyName.size() });
    target.keys.emplace(foldedKey, at);
    target.lastKeyLine = at;
}

void IniFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    WriteRaw(section, key, ToGbk(value));
}

void IniFile::WriteInt(const QString& section, const QString& key, int value)
{
    WriteRaw(section, key, QByteArray::number(value));
}

void IniFile::WriteDouble(const QString& section, const QString& key, double value)
{
    WriteRaw(section, key, FormatIniDouble(value));
}

QByteArray IniFile::Serialize() const
{
    QByteArray out;
    const Line* last = nullptr;
    for (const Section& section : m_sections) {
        for (const Line& line : section.lines) {
            // A last line without a line end gets one as soon as anything follows it.
            if (last && last->eol.isEmpty())
                out += CrLf;
            out += line.text;
            out += line.eol;
            last = &line;
        }
    }
    return out;
}

bool IniFile::Fail(const QString& what, const QString& reason)
{
    m_error = QStringLiteral("Config file %1: %2: %3").arg(what, m_path, reason);
    qWarning("%s", qUtf8Printable(m_error));
    DebugPrint("%s", qUtf8Printable(m_error));
    return false;
}

bool IniFile::Save()
{
    m_error.clear();
    if (m_readFailed)
        return Fail(QStringLiteral("not written"), QStringLiteral("the file could not be read before"));

    // Write through a symbolic link to the file it names instead of replacing the link.
    QString target = m_path;
    const QFileInfo info(m_path);
    if (info.isSymLink() && !info.canonicalFilePath().isEmpty())
        target = info.canonicalFilePath();
    const QByteArray nativeTarget = QFile::encodeName(target);

    struct stat old { };
    const bool exists = ::stat(nativeTarget.constData(), &old) == 0;
    // A file without write permission bits is read-only even to a privileged user, as the
    // read-only attribute is on Windows.
    if (exists && ((old.st_mode & 0222) == 0 || ::access(nativeTarget.constData(), W_OK) != 0))
        return Fail(QStringLiteral("not written"), SystemError(EACCES));

    const QFileInfo targetInfo(target);
    const QByteArray directory = QFile::encodeName(targetInfo.absolutePath());
    QByteArray temporary = directory + "/." + QFile::encodeName(targetInfo.fileName()) + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return Fail(QStringLiteral("not written"), SystemError(errno));
    // Held until the file has its final name: a temporary file nobody holds is a killed writer's.
    ::flock(fd, LOCK_EX);

    const QByteArray data = Serialize();
    bool written = WriteAll(fd, data) && ::fsync(fd) == 0;
    int error = errno;
    if (written) {
        ::fchmod(fd, exists ? (old.st_mode & 07777) : CreationMode());
        // A file edited by a privileged user keeps its owner; others cannot give it away anyway.
        const bool foreignOwner = exists && (old.st_uid != ::geteuid() || old.st_gid != ::getegid());
        if (foreignOwner && ::fchown(fd, old.st_uid, old.st_gid) != 0)
            qWarning("Config file %s: owner not kept: %s", qUtf8Printable(target), std::strerror(errno));
    }
    if (written && ::rename(temporary.constData(), nativeTarget.constData()) != 0) {
        written = false;
        error = errno;
    }
    // The data is on disk already (fsync); closing only releases the lock.
    ::close(fd);
    if (!written) {
        ::unlink(temporary.constData());
        return Fail(QStringLiteral("not written"), SystemError(error));
    }

    // The rename is durable only once the directory is on disk too. The new file is in place
    // whatever happens here, so a failure is logged, not returned.
    const int dirFd = ::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0 || ::fsync(dirFd) != 0) {
        const QString warning = QStringLiteral("Config file directory not flushed: %1: %2")
                                    .arg(QFile::decodeName(directory), SystemError(errno));
        qWarning("%s", qUtf8Printable(warning));
        DebugPrint("%s", qUtf8Printable(warning));
    }
    if (dirFd >= 0)
        ::close(dirFd);
    return true;
}

int RemoveStaleTemporaryFiles(const QString& path)
{
    const QFileInfo info(path);
    const QRegularExpression ownName(
        QStringLiteral("^\\.%1\\.[A-Za-z0-9]{6}$").arg(QRegularExpression::escape(info.fileName())));
    const QDir directory = info.absoluteDir();
    int removed = 0;
    for (const QString& name : directory.entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks)) {
        if (!ownName.match(name).hasMatch())
            continue;
        const QByteArray native = QFile::encodeName(directory.filePath(name));
        const int fd = ::open(native.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat status { };
        // A writer still at work holds its lock; a file of another user is not ours to remove.
        if (::fstat(fd, &status) == 0 && status.st_uid == ::geteuid() && ::flock(fd, LOCK_EX | LOCK_NB) == 0
            && ::unlink(native.constData()) == 0)
            ++removed;
        ::close(fd);
    }
    if (removed > 0)
        DebugPrint("Config file: %d stale temporary files removed beside %s", removed, qUtf8Printable(path));
    return removed;
}

QString IniReadString(const QString& path, const QString& section, const QString& key, const QString& def)
{
    IniFile file(path);
    file.Load();
    return file.ReadString(section, key, def);
}

int IniReadInt(const QString& path, const QString& section, const QString& key, int def)
{
    IniFile file(path);
    file.Load();
    return file.ReadInt(section, key, def);
}

double IniReadDouble(const QString& path, const QString& section, const QString& key, double def)
{
    IniFile file(path);
    file.Load();
    return file.ReadDouble(section, key, def);
}

namespace {
template <typename Change> bool WriteOne(const QString& path, Change change)
{
    IniFile file(path);
    if (!file.Load())
        return false;
    change(file);
    return file.Save();
}
} // namespace

bool IniWriteString(const QString& path, const QString& section, const QString& key, const QString& value)
{
    return WriteOne(path, [&](IniFile& file) { file.WriteString(section, key, value); });
}

bool IniWriteInt(const QString& path, const QString& section, const QString& key, int value)
{
    return WriteOne(path, [&](IniFile& file) { file.WriteInt(section, key, value); });
}

bool IniWriteDouble(const QString& path, const QString& section, const QString& key, double value)
{
    return WriteOne(path, [&](IniFile& file) { file.WriteDouble(section, key, value); });
}
