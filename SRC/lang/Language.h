#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

// The translation table read from the resource RC_LANGUAGE (res/Language.txt, GBK, CR LF),
// converted to UTF-8 on loading. Column 0 holds the Chinese source texts.
class cLanguage {
public:
    static constexpr int MaxLanguages = 10;
    static constexpr quint32 ConstructedMarker = 0x83257758;

    cLanguage();                                 // parses the compiled-in resource
    explicit cLanguage(const QByteArray& gbkText); // parses the given table text
    ~cLanguage();

    int Count() const;
    QString LanguageName(int column) const;
    int RowCount() const;
    QString Text(int column, int row) const;
    // The lookup of TranslateText for the given language index.
    QString Translate(const QString& source, int languageIndex) const;
    bool IsConstructed() const { return m_marker == ConstructedMarker; }

    static cLanguage* Instance(); // nullptr until installed
    static void Install(std::unique_ptr<cLanguage> instance);

private:
    void Parse(const QByteArray& gbkText);

    QStringList m_names;
    QList<QStringList> m_columns;
    quint32 m_marker = 0;
};

// The current-language text of a Chinese source text; the source itself when the table is not
// built, the text is not in it or its translation is empty.
QString TranslateText(const QString& source);

// Row n (0..82) of the built-in bilingual table in the current language; empty outside it.
QString BuiltinText(unsigned n);
constexpr unsigned BuiltinTextCount = 83;

// The current language's text of a message that the translation table has no row for.
QString LanguageText(const char* chinese, const char* english);
