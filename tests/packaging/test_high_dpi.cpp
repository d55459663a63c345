// The windows on a high-resolution screen (QT_SCALE_FACTOR, set by CTest):
// the same layout in logical pixels, and pictures, borders and text drawn at
// the full device resolution rather than a 1x bitmap scaled up.
#include "gamefixture.h"
#include "windowlook.h"

#include <QPainter>
#include <QSvgRenderer>

#include <cmath>

using namespace kiramoku;
using namespace kiramoku::test;

namespace {

double Factor()
{
    return qEnvironmentVariable("QT_SCALE_FACTOR").toDouble();
}
QRect Device(QRect logical)
{
    return QTransform::fromScale(Factor(), Factor()).mapRect(logical);
}

// The window as the screen shows it, and drawn at 1x and scaled up smoothly:
// what a blurry high-resolution screen would show.
QImage Shot(QWidget *window)
{
    return window->grab().toImage().convertToFormat(QImage::Format_RGB32);
}
QImage ScaledUpShot(QWidget *window)
{
    QImage plain(window->size(), QImage::Format_RGB32);
    window->render(&plain);
    return plain.scaled(Device(window->rect()).size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// Mean absolute difference per channel over `area`, 0..255.
double Difference(const QImage &a, const QImage &b, QRect area)
{
    double sum = 0;
    EachPixel(area, [&](int x, int y) {
        const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
        sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
    });
    return sum / (3.0 * area.width() * area.height());
}

// Neighbouring device pixels in `area` whose greys differ by more than two
// thirds of black to white: the steps of a sharp edge. Smooth scaling spreads
// every such step over two or more pixels.
int SharpSteps(const QImage &image, QRect area)
{
    int steps = 0;
    EachPixel(area.adjusted(0, 0, -1, 0), [&](int x, int y) { steps += std::abs(qGray(image.pixel(x, y)) - qGray(image.pixel(x + 1, y))) > 170; });
    return steps;
}

}  // namespace

class HighDpiTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(Factor() > 1, "run with QT_SCALE_FACTOR above 1");
        SetUpApplication();
    }

    void everyWindowKeepsItsLogicalLayout()
    {
        const auto check = [](QWidget *window, const expected::Window &want) {
            QVERIFY(window && QTest::qWaitForWindowExposed(window));
            QCOMPARE(window->size(), QSize(Px(want.width), Px(want.height)));
            CheckPlaces(window, want);
        };
        Game game;
        check(game.Selection(), expected::Selection);
        game.Begin();
        check(game.Board(), expected::Board);
        check(game.PlayRoundWonBy(2), expected::Winner);
    }

    void pictureIsDrawnFromItsVectorsNotFromAScaledUpBitmap()
    {
        Game game(0);
        Form1 *board = game.Board();
        // Player 1's face on the white panel; the picture fills its rectangle.
        QWidget *face = Find(board, QStringLiteral("Image2(0)"));
        const QRect area = Device(face->geometry());
        const QImage shot = Shot(board);
        // The reference: the board under the face, then the face's vectors
        // rendered straight into device pixels.
        face->hide();
        QImage reference = Shot(board);
        face->show();
        reference.setDevicePixelRatio(1);
        QPainter painter(&reference);
        painter.setRenderHint(QPainter::Antialiasing);
        PictureRenderer(QStringLiteral("face1.svg"))->render(&painter, QRectF(area));
        painter.end();
        const double fromVectors = Difference(shot, reference, area);
        const double fromBitmap = Difference(ScaledUpShot(board), reference, area);
        qInfo("face at %g: %.2f from its vectors, a scaled-up 1x bitmap %.2f", Factor(), fromVectors, fromBitmap);
        QVERIFY2(fromVectors < 1.5, qPrintable(QString::number(fromVectors)));
        QVERIFY2(fromBitmap > 4 * fromVectors + 2, qPrintable(QString::number(fromBitmap)));
    }

    void theFieldsBorderHasCrispEdgesAndScaledThickness()
    {
        Game game(0);
        const QImage shot = Shot(game.Board());
        // A row across the left border of the peach field, between two squares.
        const int y = qRound(185 * Factor());
        const QColor orange(255, 128, 0), black(Qt::black), peach(255, 224, 192);
        int blacks = 0;
        for (int x = 0; x < qRound(40 * Factor()); ++x) {
            const QColor c = shot.pixelColor(x, y);
            QVERIFY2(c == orange || c == black || c == peach, qPrintable(QStringLiteral("x %1: %2").arg(x).arg(c.name())));
            blacks += c == black;
        }
        // 8 logical pixels thick; each edge falls on a device pixel boundary.
        QVERIFY2(std::abs(blacks - 8 * Factor()) <= 1, qPrintable(QString::number(blacks)));
    }

    void textIsRenderedAtDeviceResolution()
    {
        Game game(0);
        Form1 *board = game.Board();
        // The names in the four panels, in bold gothic.
        const QImage shot = Shot(board), blurred = ScaledUpShot(board);
        int sharp = 0, sharpWhenScaled = 0;
        for (int i = 0; i < MaxPlayers; ++i) {
            const QRect name = Device(Find(board, QStringLiteral("Label2(%1)").arg(i))->geometry()).adjusted(2, 2, -2, -2);
            sharp += SharpSteps(shot, name);
            sharpWhenScaled += SharpSteps(blurred, name);
        }
        qInfo("sharp steps in the names at %g: %d, scaled up from 1x %d", Factor(), sharp, sharpWhenScaled);
        QVERIFY2(sharp > 100, qPrintable(QString::number(sharp)));
        QVERIFY2(sharp > 3 * sharpWhenScaled, qPrintable(QString::number(sharpWhenScaled)));
    }
};

QTEST_MAIN(HighDpiTest)
#include "test_high_dpi.moc"
