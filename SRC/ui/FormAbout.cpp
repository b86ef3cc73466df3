#include "FormAbout.h"

#include "AppVersion.h"
#include "Pictures.h"
#include "PublicFont.h"
#include "data/PublicStruct.h"
#include "lang/Language.h"
#include "ui/Discovery.h"

#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QTextLayout>
#include <QTimer>

namespace {

constexpr QSize WindowSize(480, 300);
constexpr int TextMargin = 8; // room between the scroll area's frame and its text
const QString ProductName = QStringLiteral("Korvane wireless microphone management software");

// Lines the text takes when wrapped at 'width', a final empty line after the last line end not
// counted.
int WrappedLineCount(const QString& text, const QFont& font, int width)
{
    QStringList paragraphs = text.split(QLatin1Char('\n'));
    if (!paragraphs.isEmpty() && paragraphs.last().isEmpty())
        paragraphs.removeLast();
    int lines = 0;
    for (const QString& paragraph : paragraphs) {
        QTextLayout layout(paragraph, font);
        QTextOption option;
        option.setWrapMode(QTextOption::WordWrap);
        layout.setTextOption(option);
        layout.beginLayout();
        int inParagraph = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            ++inParagraph;
        }
        layout.endLayout();
        lines += qMax(1, inParagraph);
    }
    return lines;
}

} // namespace

TFrmAbout::TFrmAbout(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("FrmAbout"));
    setFont(PublicWindowFont());
    setWindowTitle(TranslateText(QStringLiteral("无线麦克风管理软件")));
    setFixedSize(WindowSize);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(20, 20, 112, 112);
    Image1->setPixmap(LoadPixmap(QStringLiteral(":/about_logo.png")));
    Image1->setScaledContents(true);

    lbName = new QLabel(ProductName, this);
    lbName->setObjectName(QStringLiteral("lbName"));
    lbName->setGeometry(150, 34, 310, 48);
    lbName->setWordWrap(true);
    QFont nameFont = font();
    nameFont.setBold(true);
    lbName->setFont(nameFont);

    lbVersion = new QLabel(TranslateText(QStringLiteral("版本号：")) + FileVersionText(), this);
    lbVersion->setObjectName(QStringLiteral("lbVersion"));
    lbVersion->setGeometry(150, 92, 310, 24);

    // Which Config.ini is in use is not obvious once copies and installed builds coexist.
    lbSettingsFolder = new QLabel(this);
    lbSettingsFolder->setObjectName(QStringLiteral("lbSettingsFolder"));
    lbSettingsFolder->setGeometry(150, 116, 310, 34);
    lbSettingsFolder->setWordWrap(true);
    lbSettingsFolder->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ShowSettingsFolder();

    Image3 = new QLabel(this);
    Image3->setObjectName(QStringLiteral("Image3"));
    Image3->setGeometry(20, 152, 440, 128);
    Image3->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);

    for (QWidget* part : { static_cast<QWidget*>(Image1), static_cast<QWidget*>(lbName),
             static_cast<QWidget*>(lbVersion), static_cast<QWidget*>(lbSettingsFolder), static_cast<QWidget*>(Image3) })
        part->installEventFilter(this);

    PrepareScrollText();
    DrawScrollText();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &TFrmAbout::Timer1Timer);
    Timer1->start();
}

// Two lines at most: the folder may break after any '/', and what is still too long loses its
// middle. The tool tip holds the whole path.
void TFrmAbout::ShowSettingsFolder()
{
    const QString folder = PublicStruct::Instance().SettingsFolder();
    const QString caption = LanguageText("设置文件夹：", "Settings folder: ");
    const QFontMetrics metrics = lbSettingsFolder->fontMetrics();
    const int room = 2 * lbSettingsFolder->width() - metrics.horizontalAdvance(caption) - 4 * metrics.averageCharWidth();
    QString shown = metrics.elidedText(folder, Qt::ElideMiddle, room);
    lbSettingsFolder->setText(caption + shown.replace(QLatin1Char('/'), QStringLiteral("/\u200B")));
    lbSettingsFolder->setToolTip(folder);
}

void TFrmAbout::PrepareScrollText()
{
    m_scrollText = ProductName + QLatin1Char('\n') + TranslateText(QStringLiteral("版本号：")) + FileVersionText()
        + QStringLiteral("\n\n\n");
    const QSize area = Image3->contentsRect().size();
    const int lines = WrappedLineCount(m_scrollText, font(), area.width() - 2 * TextMargin);
    m_restartLimit = -lines * QFontMetrics(font()).height();
    m_textTop = area.height();
    m_scrollImage = QImage(area, QImage::Format_RGB32);
}

void TFrmAbout::DrawScrollText()
{
    m_scrollImage.fill(palette().color(QPalette::Window));
    QPainter painter(&m_scrollImage);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    const QRect area(TextMargin, m_textTop, m_scrollImage.width() - 2 * TextMargin, m_scrollImage.height() - m_textTop);
    painter.drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, m_scrollText);
    painter.end();
    Image3->setPixmap(QPixmap::fromImage(m_scrollImage));
}

void TFrmAbout::Timer1Timer()
{
    --m_textTop;
    if (m_textTop < m_restartLimit)
        m_textTop = m_scrollImage.height();
    DrawScrollText();
}

void TFrmAbout::FormClick()
{
    close();
}

bool TFrmAbout::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        FormClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TFrmAbout::mouseReleaseEvent(QMouseEvent*)
{
    FormClick();
}
