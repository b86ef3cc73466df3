#pragma once
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <unordered_map>
#include <vector>

// Config.ini in the Windows INI form: sections and key names compared without regard to case,
// GBK text values, CR LF line ends; every write keeps all other sections, keys, comments and
// unparsable lines and replaces the file whole (temporary file, flush, rename, flush directory).
// Writes return false, leave the old file as it was and log the cause when they fail.
QString IniReadString(const QString& path, const QString& section, const QString& key, const QString& def);
int IniReadInt(const QString& path, const QString& section, const QString& key, int def);
double IniReadDouble(const QString& path, const QString& section, const QString& key, double def);
bool IniWriteString(const QString& path, const QString& section, const QString& key, const QString& value);
bool IniWriteInt(const QString& path, const QString& section, const QString& key, int value);
bool IniWriteDouble(const QString& path, const QString& section, const QString& key, double value);

// Removes the temporary files ".<name>.XXXXXX" that writers killed before their rename left
// beside path; a file a running writer still holds stays. Returns how many were removed.
int RemoveStaleTemporaryFiles(const QString& path);

// The number forms of the file: integers are decimal with an optional minus; floating-point
// values are written in the shortest form of up to 15 significant digits and read from any
// decimal text. Anything else is not a number and the reader takes its default.
bool ParseIniInt(const QByteArray& text, int& value);
bool ParseIniDouble(const QByteArray& text, double& value);
QByteArray FormatIniDouble(double value);

// One INI file held in memory: load once, read and change many keys, save once. Every line of
// the file is kept with its own line end; only the lines of changed keys are rewritten, new keys
// go at the end of their section and a missing section is appended at the end of the file.
class IniFile {
public:
    explicit IniFile(QString path);

    // A missing file is an empty one. False when the file exists but cannot be read; Save then
    // refuses, so that a file that was not read is never overwritten.
    bool Load();
    // Replaces the file whole; false (logged, old file untouched) when that fails.
    bool Save();

    const QString& Path() const { return m_path; }
    // Why the last Load or Save failed; empty after success.
    const QString& ErrorString() const { return m_error; }

    bool Contains(const QString& section, const QString& key) const;
    // The trimmed value's bytes, or a null QByteArray when the key is missing.
    QByteArray ReadRaw(const QString& section, const QString& key) const;
    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    int ReadInt(const QString& section, const QString& key, int def) const;
    double ReadDouble(const QString& section, const QString& key, double def) const;

    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInt(const QString& section, const QString& key, int value);
    void WriteDouble(const QString& section, const QString& key, double value);

    // The file as Save would write it.
    QByteArray Serialize() const;

private:
    // Names are short: a plain FNV-1a hash beats Qt's seeded one by far on a 10,000-key file.
    struct NameHash {
        size_t operator()(const QByteArray& name) const noexcept;
    };
    using NameIndex = std::unordered_map<QByteArray, int, NameHash>;

    struct Line {
        QByteArray text; // without its line end
        QByteArray eol; // "\r\n", "\n", "\r", or empty for a last line that has none
        qsizetype equals = -1; // where '=' is in a key line of a section; -1 for other lines
    };
    struct Section {
        std::vector<Line> lines; // the header first, except for the lines before any header
        NameIndex keys; // folded key name -> line of its first occurrence
        int lastKeyLine = 0; // where new keys go after: the last key line or the header
    };

    void Parse(const QByteArray& bytes);
    void AddLine(Line line);
    const Line* FindKeyLine(const QString& section, const QString& key) const;
    void WriteRaw(const QString& section, const QString& key, const QByteArray& value);
    bool Fail(const QString& what, const QString& reason);

    QString m_path;
    QString m_error;
    bool m_readFailed = false;
    std::vector<Section> m_sections;            // [0] holds the lines before the first header
    NameIndex m_sectionIndex;                   // folded section name -> its first section
};
