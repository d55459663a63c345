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

QSize Device(QSize logical)
{
    return QSize(qRound(logical.width() * Factor()), qRound(logical.height() * Factor()));
}

QRect Device(QRect logical)
{
    return {QPoint(qRound(logical.x() * Factor()), qRound(logical.y() * Factor())), Device(logical.size())};
}

// The window drawn at its device resolution, as the screen shows it.
QImage Shot(QWidget *window)
{
    const QPixmap grabbed = window->grab();
    if (!qFuzzyCompare(grabbed.devicePixelRatio(), Factor())) {
        qFatal("grab at %g, not at the scale factor", grabbed.devicePixelRatio());
    }
    return grabbed.toImage().convertToFormat(QImage::Format_RGB32);
}

// The window drawn at 1x (one device pixel per logical pixel) and scaled up
// smoothly to the device size: what a blurry high-DPI screen would show.
QImage ScaledUpShot(QWidget *window)
{
    QImage plain(window->size(), QImage::Format_RGB32);
    plain.setDevicePixelRatio(1);
    window->render(&plain);
    return plain.scaled(Device(window->size()), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

int Grey(QRgb p)
{
    return qGray(p);
}

// Mean absolute difference per channel over `area`, 0..255.
double Difference(const QImage &a, const QImage &b, QRect area)
{
    double sum = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (3.0 * area.width() * area.height());
}

// Neighbouring device pixels in `area` whose greys differ by more than two
// thirds of black to white: the steps of a sharp edge. Smooth scaling spreads
// every such step over two or more pixels.
int SharpSteps(const QImage &image, QRect area)
{
    int steps = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x < area.right(); ++x) {
            if (std::abs(Grey(image.pixel(x, y)) - Grey(image.pixel(x + 1, y))) > 170) {
                ++steps;
            }
        }
    }
    return steps;
}

QRect Where(QWidget *window, const QString &element)
{
    return Device(Find(window, element)->geometry());
}

} // namespace

class HighDpiTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(Factor() > 1, "run with QT_SCALE_FACTOR above 1");
        SetUpApplication();
    }

    void everyWindowKeepsItsLogicalLayoutAndGrabsAtFullResolution()
    {
        Game game;
        QWidget *selection = game.Selection();
        QVERIFY(QTest::qWaitForWindowExposed(selection));
        QCOMPARE(selection->devicePixelRatioF(), Factor());
        QCOMPARE(selection->size(), QSize(Px(expected::Selection.width), Px(expected::Selection.height)));
        CheckPlaces(selection, expected::Selection);
        QCOMPARE(Shot(selection).size(), Device(selection->size()));

        game.Begin();
        Form1 *board = game.Board();
        QCOMPARE(board->size(), QSize(Px(expected::Board.width), Px(expected::Board.height)));
        CheckPlaces(board, expected::Board);
        QCOMPARE(Shot(board).size(), Device(board->size()));

        QWidget *winner = game.PlayRoundWonBy(2);
        QVERIFY(winner);
        QVERIFY(QTest::qWaitForWindowExposed(winner));
        QCOMPARE(winner->size(), QSize(Px(expected::Winner.width), Px(expected::Winner.height)));
        CheckPlaces(winner, expected::Winner);
        QCOMPARE(Shot(winner).size(), Device(winner->size()));
    }

    void pictureIsDrawnFromItsVectorsNotFromAScaledUpBitmap()
    {
        Game game;
        game.Begin();
        Form1 *board = game.Board();
        // Player 1's face on the white panel; the picture fills its rectangle.
        QWidget *face = Find(board, QStringLiteral("Image2(0)"));
        const QRect area = Where(board, QStringLiteral("Image2(0)"));
        const QImage shot = Shot(board);

        // The reference: the board under the face, then the face's vectors
        // rendered straight into device pixels.
        face->hide();
        QImage reference = Shot(board);
        face->show();
        reference.setDevicePixelRatio(1);
        {
            QPainter painter(&reference);
            painter.setRenderHint(QPainter::Antialiasing);
            PictureRenderer(QStringLiteral("face1.svg"))->render(&painter, QRectF(area));
        }
        const QImage blurred = ScaledUpShot(board);

        const double fromVectors = Difference(shot, reference, area);
        const double fromBitmap = Difference(blurred, reference, area);
        qInfo("face at %g: %.2f from its vectors, a scaled-up 1x bitmap %.2f", Factor(), fromVectors, fromBitmap);
        QVERIFY2(fromVectors < 1.5, qPrintable(QString::number(fromVectors)));
        QVERIFY2(fromBitmap > 4 * fromVectors + 2, qPrintable(QString::number(fromBitmap)));
    }

    void theFieldsBorderHasCrispEdgesAndScaledThickness()
    {
        Game game;
        game.Begin();
        const QImage shot = Shot(game.Board());
        // A row across the left border of the peach field, between two squares.
        const int y = qRound(185 * Factor());
        const QColor orange(255, 128, 0), black(Qt::black), peach(255, 224, 192);
        int blacks = 0;
        for (int x = 0; x < qRound(40 * Factor()); ++x) {
            const QColor c = shot.pixelColor(x, y);
            QVERIFY2(c == orange || c == black || c == peach,
                     qPrintable(QStringLiteral("x %1: %2").arg(x).arg(c.name())));
            blacks += c == black;
        }
        // 8 logical pixels thick; each edge falls on a device pixel boundary.
        QVERIFY2(std::abs(blacks - 8 * Factor()) <= 1, qPrintable(QString::number(blacks)));
    }

    void textIsRenderedAtDeviceResolution()
    {
        Game game;
        game.Begin();
        Form1 *board = game.Board();
        // The names in the four panels, in bold gothic.
        const QImage shot = Shot(board);
        const QImage blurred = ScaledUpShot(board);
        int sharp = 0, sharpWhenScaled = 0;
        for (int i = 0; i < MaxPlayers; ++i) {
            const QRect name = Where(board, QStringLiteral("Label2(%1)").arg(i)).adjusted(2, 2, -2, -2);
            sharp += SharpSteps(shot, name);
            sharpWhenScaled += SharpSteps(blurred, name);
        }
        // The measure sees sharp text when there is some: the names drawn at
        // 1x have sharp steps of their own.
        QImage plain(board->size(), QImage::Format_RGB32);
        plain.setDevicePixelRatio(1);
        board->render(&plain);
        int sharpAtOne = 0;
        for (int i = 0; i < MaxPlayers; ++i) {
            const QRect name = Find(board, QStringLiteral("Label2(%1)").arg(i))->geometry().adjusted(1, 1, -1, -1);
            sharpAtOne += SharpSteps(plain, name);
        }
        qInfo("sharp steps in the names at %g: %d; at 1x %d, scaled up %d", Factor(), sharp, sharpAtOne,
              sharpWhenScaled);
        QVERIFY2(sharpAtOne > 100, qPrintable(QString::number(sharpAtOne)));
        QVERIFY2(sharp > sharpAtOne, qPrintable(QString::number(sharp)));
        QVERIFY2(sharp > 3 * sharpWhenScaled, qPrintable(QString::number(sharpWhenScaled)));
    }
};

QTEST_MAIN(HighDpiTest)
#include "test_high_dpi.moc"
