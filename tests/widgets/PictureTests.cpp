#include "WidgetTests.h"

#include "ui/AppVersion.h"
#include "ui/Pictures.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <png.h>

namespace {

struct ExpectedPicture {
    const char* name;
    QSize size;
};

const ExpectedPicture Expected[] = {
    { "logo.png", { 296, 100 } },
    { "tb_add.png", { 65, 65 } },
    { "tb_connect.png", { 65, 65 } },
    { "tb_disconnect.png", { 65, 65 } },
    { "tb_rfhistory.png", { 65, 65 } },
    { "tb_scanrf.png", { 65, 65 } },
    { "tb_singleset.png", { 65, 65 } },
    { "tb_compsetup.png", { 65, 65 } },
    { "tb_about.png", { 65, 65 } },
    { "tile_background.png", { 135, 152 } },
    { "tile_close.png", { 21, 18 } },
    { "battery_0.png", { 44, 20 } },
    { "battery_1.png", { 44, 20 } },
    { "battery_2.png", { 44, 20 } },
    { "battery_3.png", { 44, 20 } },
    { "msg_info.png", { 64, 64 } },
    { "msg_question.png", { 64, 64 } },
    { "msg_warning.png", { 64, 64 } },
    { "msg_error.png", { 64, 64 } },
    { "msg_title_left.png", { 40, 52 } },
    { "msg_title_middle.png", { 8, 52 } },
    { "msg_title_right.png", { 40, 52 } },
    { "msg_button_ok.png", { 123, 51 } },
    { "msg_button_cancel.png", { 123, 51 } },
    { "msg_close.png", { 29, 29 } },
    { "about_logo.png", { 112, 112 } },
    { "debug_clear.png", { 32, 32 } },
    { "debug_frozen.png", { 32, 32 } },
    { "debug_stop.png", { 32, 32 } },
    { "debug_save.png", { 32, 32 } },
    { "debug_top.png", { 32, 32 } },
};

int OpaquePixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(image.pixel(x, y)) > 128;
    return count;
}

// Writes a PNG with libpng in plain RGBA byte order, independent of the reader under test.
bool WriteRgbaPng(const QString& path, int width, int height, const std::vector<uint8_t>& rgba)
{
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(width);
    png.height = static_cast<png_uint_32>(height);
    png.format = PNG_FORMAT_RGBA;
    return png_image_write_to_file(&png, QFile::encodeName(path).constData(), 0, rgba.data(), 0, nullptr) != 0;
}

} // namespace

class PictureTests : public QObject {
    Q_OBJECT
private slots:
    void everyPictureDecodesAtItsSize_data();
    void everyPictureDecodesAtItsSize();
    void everyCompiledPictureIsKnown();
    void coloursAndAlphaKeepTheirPlaces();
    void missingOrCorruptPicturesGiveNullImages();
    void versionTexts();
};

void PictureTests::everyPictureDecodesAtItsSize_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    for (const ExpectedPicture& picture : Expected)
        QTest::newRow(picture.name) << QStringLiteral(":/") + QLatin1String(picture.name) << picture.size;
}

void PictureTests::everyPictureDecodesAtItsSize()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    const QImage image = LoadPicture(path);
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), size);
    QCOMPARE(image.format(), QImage::Format_ARGB32);
    // A drawing, not an empty canvas.
    QVERIFY(OpaquePixels(image) > size.width() * size.height() / 20);
}

void PictureTests::everyCompiledPictureIsKnown()
{
    QStringList known;
    for (const ExpectedPicture& picture : Expected)
        known << QLatin1String(picture.name);
    const QStringList compiled = QDir(QStringLiteral(":/")).entryList({ QStringLiteral("*.png") }, QDir::Files);
    for (const QString& name : compiled)
        QVERIFY2(known.contains(name), qPrintable(name));
    QCOMPARE(compiled.size(), known.size());
}

void PictureTests::coloursAndAlphaKeepTheirPlaces()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pixels.png"));
    // Red, green, blue at half alpha, transparent white.
    QVERIFY(WriteRgbaPng(path, 4, 1, { 255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 128, 255, 255, 255, 0 }));
    const QImage image = LoadPicture(path);
    QCOMPARE(image.size(), QSize(4, 1));
    QCOMPARE(image.pixel(0, 0), qRgba(255, 0, 0, 255));
    QCOMPARE(image.pixel(1, 0), qRgba(0, 255, 0, 255));
    QCOMPARE(image.pixel(2, 0), qRgba(0, 0, 255, 128));
    QCOMPARE(qAlpha(image.pixel(3, 0)), 0);
}

void PictureTests::missingOrCorruptPicturesGiveNullImages()
{
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("missing")));
    QVERIFY(LoadPicture(QStringLiteral(":/no_such_picture.png")).isNull());

    QTemporaryDir dir;
    QFile real(QStringLiteral(":/tb_add.png"));
    QVERIFY(real.open(QIODevice::ReadOnly));
    const QByteArray data = real.readAll();

    const QString truncated = dir.filePath(QStringLiteral("truncated.png"));
    QFile cut(truncated);
    QVERIFY(cut.open(QIODevice::WriteOnly));
    cut.write(data.left(data.size() / 2));
    cut.close();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("corrupt")));
    QVERIFY(LoadPicture(truncated).isNull());

    const QString garbage = dir.filePath(QStringLiteral("garbage.png"));
    QFile noise(garbage);
    QVERIFY(noise.open(QIODevice::WriteOnly));
    noise.write(QByteArray(200, 'x'));
    noise.close();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("not a readable PNG")));
    QVERIFY(LoadPicture(garbage).isNull());
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("not a readable PNG")));
    QVERIFY(LoadPixmap(garbage).isNull());
}

void PictureTests::versionTexts()
{
    QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+\\.\\d+$")).match(FileVersionText()).hasMatch());
    QCOMPARE(CaptionVersionText(2, 3, 0, 3), QStringLiteral("V2.3.0.3"));
    QCOMPARE(CaptionVersionText(1, 12, 34, 56), QStringLiteral("V1.12.34.56"));
    // The packed number carries a part of 100 or more into the next place.
    QCOMPARE(CaptionVersionText(1, 0, 0, 123), QStringLiteral("V1.0.1.23"));
    QCOMPARE(CaptionVersionText(), QStringLiteral("V") + FileVersionText());
}

int RunPictureTests(int argc, char** argv)
{
    PictureTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "PictureTests.moc"
