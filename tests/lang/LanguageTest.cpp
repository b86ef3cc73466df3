#include "data/PublicStruct.h"
#include "lang/Gbk.h"
#include "lang/Language.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

void SetLanguage(int index)
{
    PublicStruct::Instance().LanguageIndex = index;
}

QByteArray Table(const QString& text)
{
    return ToGbk(text);
}

} // namespace

class LanguageTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        PublicStruct::Install(std::make_unique<PublicStruct>(m_dir.path() + '/'));
    }

    void init() { SetLanguage(1); }

    void tableTextRules()
    {
        const cLanguage table(Table(QStringLiteral(
            "中文||English||Deutsch\r\n"
            "##甲||comment\r\n"
            "\r\n"
            "甲||A||Aa\r\n"
            "乙||||Bb\n"
            "丙||C||\r"
            "丁\r\n"
            "甲||A2||A3\r\n"
            "戊||E||Ee||extra\r\n"
            "|| ||x\r\n"
            "己||F")));
        QVERIFY(table.IsConstructed());
        QCOMPARE(table.Count(), 3);
        QCOMPARE(table.LanguageName(0), QStringLiteral("中文"));
        QCOMPARE(table.LanguageName(2), QStringLiteral("Deutsch"));
        QCOMPARE(table.LanguageName(3), QString());
        QCOMPARE(table.RowCount(), 8);
        const QStringList column1 = { "A", "", "C", "丁", "A2", "E", " ", "F" };
        const QStringList column2 = { "Aa", "Bb", "丙", "丁", "A3", "Ee", "x", "己" };
        for (int row = 0; row < table.RowCount(); ++row) {
            QCOMPARE(table.Text(1, row), column1[row]);
            QCOMPARE(table.Text(2, row), column2[row]);
        }
        QCOMPARE(table.Text(0, 6), QString());
        QCOMPARE(table.Text(3, 0), QString());

        QCOMPARE(table.Translate("甲", 1), QStringLiteral("A")); // the first row wins
        QCOMPARE(table.Translate("甲", 2), QStringLiteral("Aa"));
        QCOMPARE(table.Translate("甲", 0), QStringLiteral("甲"));
        QCOMPARE(table.Translate("乙", 1), QStringLiteral("乙")); // empty translation: the source
        QCOMPARE(table.Translate("乙", 2), QStringLiteral("Bb"));
        QCOMPARE(table.Translate("丁", 1), QStringLiteral("丁"));
        QCOMPARE(table.Translate("戊", 7), QStringLiteral("戊")); // no such column: column 0
        QCOMPARE(table.Translate("戊", -1), QStringLiteral("戊"));
        QCOMPARE(table.Translate("##甲", 1), QStringLiteral("##甲"));
        QCOMPARE(table.Translate("己", 1), QStringLiteral("F"));
        QCOMPARE(table.Translate("", 1), QStringLiteral(" ")); // an empty key is a key too
    }

    void languageLineLimits()
    {
        const cLanguage eleven(Table(QStringLiteral("0||1||2||3||4||5||6||7||8||9||10||\r\nk||v1||v2||v3||v4||v5||v6||v7||v8||v9||v10\r\n")));
        QCOMPARE(eleven.Count(), cLanguage::MaxLanguages);
        QCOMPARE(eleven.LanguageName(9), QStringLiteral("9"));
        QCOMPARE(eleven.Translate("k", 9), QStringLiteral("v9"));

        QCOMPARE(cLanguage(QByteArray()).Count(), 0);
        for (const char* header : { "\r\n", "## names\r\n" }) {
            const cLanguage empty(QByteArray(header) + "中||x\r\n");
            QCOMPARE(empty.Count(), 0);
            QCOMPARE(empty.RowCount(), 0);
            QCOMPARE(empty.Translate("中", 1), QStringLiteral("中"));
        }

        const cLanguage cut(QByteArray("a||b\r\nk||v\r\n\0m||w\r\n", 19));
        QCOMPARE(cut.RowCount(), 1);
        QCOMPARE(cut.Translate("m", 1), QStringLiteral("m"));
    }

    // '|' (0x7C) is a valid second byte of a GBK character: the table is cut into fields after
    // decoding, so such a character stays whole.
    void aGbkCharacterEndingInTheSeparatorByteStaysWhole()
    {
        const QByteArray lead = "\x81\x7C"; // one GBK character whose second byte is '|'
        const QString character = FromGbk(lead);
        QCOMPARE(character.size(), 1);
        const cLanguage table("cn||en\r\n" + lead + "|k||v\r\n");
        QCOMPARE(table.Translate(character + "|k", 1), QStringLiteral("v"));
    }

    void compiledInTable()
    {
        QFile resource(":/Language.txt");
        QVERIFY(resource.open(QIODevice::ReadOnly));
        const QByteArray bytes = resource.readAll();
        QVERIFY(bytes.startsWith(ToGbk(u"简体中文||English") + "\r\n##\r\n"));
        QVERIFY(bytes.endsWith(ToGbk(u"最前||Top") + "\r\n"));
        QCOMPARE(bytes.count("\r\n"), 56);
        QCOMPARE(bytes.count('\n'), 56);
        QCOMPARE(ToGbk(FromGbk(bytes)), bytes);

        const cLanguage table;
        QVERIFY(table.IsConstructed());
        QCOMPARE(table.Count(), 2);
        QCOMPARE(table.LanguageName(0), QStringLiteral("简体中文"));
        QCOMPARE(table.LanguageName(1), QStringLiteral("English"));
        QCOMPARE(table.RowCount(), 51);
        QCOMPARE(table.Text(0, 0), QStringLiteral("系统设置"));
        QCOMPARE(table.Text(1, 50), QStringLiteral("Top"));
        QCOMPARE(table.Text(1, 32), QStringLiteral("The gateway and IP address are not in the same network segment!"));
    }

    void translateTextFollowsTheLanguage()
    {
        cLanguage::Install(nullptr);
        QCOMPARE(TranslateText("确认"), QStringLiteral("确认")); // no table yet

        cLanguage::Install(std::make_unique<cLanguage>());
        QCOMPARE(TranslateText("确认"), QStringLiteral("Confirm"));
        QCOMPARE(TranslateText("添加设备"), QStringLiteral("Add Device"));
        QCOMPARE(TranslateText("修改设备IP"), QStringLiteral("Modify IP"));
        QCOMPARE(TranslateText("版本号："), QStringLiteral("Version number:"));
        QCOMPARE(TranslateText("测试"), QStringLiteral("测试"));
        SetLanguage(0);
        QCOMPARE(TranslateText("确认"), QStringLiteral("确认"));
        QCOMPARE(TranslateText("添加设备"), QStringLiteral("添加设备"));
        QCOMPARE(TranslateText("测试"), QStringLiteral("测试"));
        cLanguage::Install(nullptr);
    }

    void builtinTexts()
    {
        QCOMPARE(BuiltinText(56), QStringLiteral("Tips"));
        QCOMPARE(BuiltinText(0), QStringLiteral("Korvane Tessaro"));
        QCOMPARE(BuiltinText(62), QStringLiteral("HW Version: "));
        QCOMPARE(BuiltinText(82), QStringLiteral("Compatibility Setup"));
        QCOMPARE(QString::asprintf(qPrintable(BuiltinText(39)), 3, 1), QStringLiteral("Cannot Connect Device [3:1]"));
        QCOMPARE(BuiltinText(83), QString());
        QCOMPARE(BuiltinText(1000), QString());
        SetLanguage(0);
        QCOMPARE(BuiltinText(56), QStringLiteral("提示"));
        QCOMPARE(BuiltinText(67), QStringLiteral("是 "));
        QCOMPARE(BuiltinText(62), QStringLiteral("硬件版本: "));
        QCOMPARE(BuiltinText(18), QStringLiteral("&RF历史信息"));
        QCOMPARE(BuiltinText(83), QString());
        for (unsigned n = 0; n < BuiltinTextCount; ++n)
            QVERIFY2(!BuiltinText(n).isEmpty(), qPrintable(QString::number(n)));
        SetLanguage(2);
        QCOMPARE(BuiltinText(56), QString());
        SetLanguage(-1);
        QCOMPARE(BuiltinText(56), QString());
    }
};

QTEST_GUILESS_MAIN(LanguageTest)
#include "LanguageTest.moc"
