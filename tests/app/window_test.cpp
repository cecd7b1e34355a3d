#include "installedprogram.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The loading picture's background and the test page's background.
const QColor kLoadingColour(0x1f, 0x2a, 0x44);
const QColor kPageColour(0x3c, 0xb3, 0x71);

bool near(QRgb pixel, const QColor &colour)
{
    return qAbs(qRed(pixel) - colour.red()) <= 4 && qAbs(qGreen(pixel) - colour.green()) <= 4 &&
           qAbs(qBlue(pixel) - colour.blue()) <= 4;
}

// The bounding box of the pixels of one colour, and how many there are.
struct Region
{
    QRect box;
    int pixels = 0;
};

Region regionOf(const QImage &image, const QColor &colour)
{
    Region region;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (near(line[x], colour)) {
                region.box |= QRect(x, y, 1, 1);
                ++region.pixels;
            }
        }
    }
    return region;
}

// A private X server; -displayfd reports the display it found free once it accepts clients.
class XServer
{
public:
    XServer()
    {
        m_process.start("Xvfb",
                        {"-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp"});
        if (m_process.waitForReadyRead(30000))
            m_display = ":" + QString::fromLatin1(m_process.readLine()).trimmed();
    }
    ~XServer()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
    }
    QString display() const { return m_display; }

    QImage screenshot(const QString &path)
    {
        QProcess import;
        import.start("import", {"-display", m_display, "-window", "root", path});
        import.waitForFinished(20000);
        return QImage(path).convertToFormat(QImage::Format_RGB32);
    }

private:
    QProcess m_process;
    QString m_display;
};

} // namespace

// The frameless 960 x 520 window shows the loading picture until the page reports ready, then the
// page. The last screenshot of each kind is kept in the build folder for a look by eye.
TEST(Window, ShowsTheLoadingPictureThenThePageAfterPageReady)
{
    ASSERT_TRUE(InstalledProgram::portsUsable());
    XServer x;
    ASSERT_FALSE(x.display().isEmpty());
    InstalledProgram program;
    QProcessEnvironment environment;
    environment.insert("DISPLAY", x.display());
    environment.insert("QT_QPA_PLATFORM", "xcb");
    program.start(environment);

    const QString shots = QDir::currentPath();
    bool sawLoading = false;
    bool sawPage = false;
    QRect pageBox;
    QElapsedTimer clock;
    clock.start();
    while (!sawPage && clock.elapsed() < 90000) {
        const QImage shot = x.screenshot(shots + "/window-latest.png");
        const Region loading = regionOf(shot, kLoadingColour);
        const Region page = regionOf(shot, kPageColour);
        if (loading.pixels > 960 * 520 / 2 && !sawPage) {
            EXPECT_EQ(loading.box.size(), QSize(960, 520));
            sawLoading = true;
            shot.save(shots + "/window-loading.png");
        }
        if (page.pixels > 960 * 520 * 9 / 10) {
            sawPage = true;
            pageBox = page.box;
            shot.save(shots + "/window-page.png");
        }
        QTest::qWait(200);
    }
    EXPECT_TRUE(sawLoading);
    ASSERT_TRUE(sawPage) << qPrintable(program.log());
    EXPECT_EQ(pageBox.size(), QSize(960, 520));
    EXPECT_TRUE(program.log().contains("[DEBUG] QWebEngineView load url:  true"));
}
