// SPDX-License-Identifier: BSD-2-Clause
// The Qt canvas flips the views' y-up geometry onto QPainter's y-down pixels.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "GuiTestApp.h"
#include "qt/QtCanvas.h"
#include "qt/QtViewWidget.h"

using platform::Color;
using qtplatform::QtCanvas;

namespace {

constexpr int kWidth = 120;
constexpr int kHeight = 80;

QImage blankImage()
{
    QImage image(kWidth, kHeight, QImage::Format_ARGB32);
    image.fill(Qt::white);
    return image;
}

bool isWhite(const QImage& image, int x, int y)
{
    return image.pixelColor(x, y) == QColor(Qt::white);
}

// Bounding box of every pixel that is not white, in Qt's pixel coordinates.
QRect inkBox(const QImage& image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (!isWhite(image, x, y)) box = box.united(QRect(x, y, 1, 1));
    return box;
}

// A blank image with everything `draw` puts on a canvas over it.
template <class Draw>
QImage drawn(Draw draw)
{
    guiTestApp();
    QImage image = blankImage();
    {
        QPainter painter(&image);
        QtCanvas canvas(painter, kHeight);
        draw(canvas);
    }
    return image;
}

}  // namespace

TEST(QtCanvasTest, FilledRectangleLandsWhereYUpPutsIt)
{
    const QImage image = drawn([](QtCanvas& canvas) {
        canvas.setColor(Color::Green);
        // 10 above the bottom edge, 30 high: rows 40..69 counted from the top.
        canvas.fillRect({10, 10, 20, 30});
    });
    EXPECT_EQ(inkBox(image), QRect(10, 40, 20, 30));
    EXPECT_EQ(image.pixelColor(20, 55), QColor(0, 255, 0)) << "pure green";
}

TEST(QtCanvasTest, TextSitsOnItsLowerLeftCorner)
{
    platform::Size size;
    const platform::Font font{platform::FontKind::System, 12.0f};
    const QImage image = drawn([&](QtCanvas& canvas) {
        size = canvas.measureText("HgN", font);
        canvas.drawText("HgN", {30, 5}, font, Color::Black);
    });
    ASSERT_GT(size.width, 10.0f);
    // A 12-point font is about 12 units tall in the view's own units.
    EXPECT_NEAR(size.height, 14.0f, 3.0f);
    const QRect ink = inkBox(image);
    ASSERT_FALSE(ink.isEmpty()) << "no text was drawn: is a font installed?";
    // The measured box spans x 30..30+w and, y-up, 5..5+h: rows H-5-h .. H-5 from the top.
    const QRectF box(30, kHeight - 5 - size.height, size.width, size.height);
    EXPECT_TRUE(box.adjusted(-1, -1, 1, 1).contains(QRectF(ink))) << "ink outside the box";
    // The descender of "g" reaches into the lowest part of the box, the capitals its upper half.
    EXPECT_GT(ink.bottom(), kHeight - 5 - size.height * 0.35);
    EXPECT_LT(ink.top(), kHeight - 5 - size.height * 0.6);
}

TEST(QtCanvasTest, ArcsTurnCounterclockwiseAsSeen)
{
    const QImage image = drawn([](QtCanvas& canvas) {
        canvas.setColor(Color::Red);
        // A quarter from 3 o'clock to 12 o'clock, closed by its chord: the upper right.
        canvas.fillArc({60, 40}, 30, 0, 90);
    });
    EXPECT_EQ(image.pixelColor(60 + 20, kHeight - (40 + 20)), QColor(255, 0, 0));
    EXPECT_TRUE(isWhite(image, 60 + 20, kHeight - (40 - 20))) << "lower right must stay empty";
    EXPECT_TRUE(isWhite(image, 60 - 20, kHeight - (40 + 20))) << "upper left must stay empty";
}

TEST(QtCanvasTest, LinesPolygonsAndOvalsFlipToo)
{
    const QImage image = drawn([](QtCanvas& canvas) {
        canvas.setColor(Color::Black);
        // A triangle pointing up from the bottom edge, as the compass mark is drawn.
        canvas.fillPolygon({{10, 0}, {30, 0}, {20, 20}});
        canvas.fillOval({80, 60, 20, 20});  // touches the top edge
    });
    EXPECT_FALSE(isWhite(image, 20, kHeight - 3));
    EXPECT_TRUE(isWhite(image, 20, kHeight - 25));
    EXPECT_FALSE(isWhite(image, 90, 10));
    EXPECT_TRUE(isWhite(image, 90, 30));
}

namespace {

class CornerView : public platform::View {
public:
    int draws = 0;
    platform::Rect lastRect;
    void drawRect(platform::Canvas& canvas, const platform::Rect& rect) override
    {
        ++draws;
        lastRect = rect;
        canvas.setColor(Color::Red);
        canvas.fillRect({0, 0, 10, 10});
    }
};

}  // namespace

TEST(QtCanvasTest, ColouredTextOnTheDarkFaceReads)
{
    guiTestApp();
    // The darkest pixel of a legend drawn in the constellations' colours, against the dark
    // face behind it: the text's own colour is where the glyph is fully inked.
    const QColor face(32, 34, 38);
    for (const Color color : {Color::Blue, Color::Purple, Color::Brown, Color::Red, Color::Orange,
                              Color::Magenta, Color::Cyan, Color::Black}) {
        SCOPED_TRACE(static_cast<int>(color));
        QImage image(kWidth, kHeight, QImage::Format_ARGB32);
        image.fill(face);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::TextAntialiasing, false);
            QtCanvas canvas(painter, kHeight, true);
            canvas.drawText("GPS", platform::Point{4.0f, 4.0f}, platform::Font{platform::FontKind::BoldSystem, 40.0f},
                            color);
        }
        double best = 1.0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                best = std::max(best, QtCanvas::contrast(image.pixelColor(x, y), face));
        EXPECT_GE(best, 4.5);
    }
    // A colour that already reads stays as it is.
    EXPECT_EQ(QtCanvas::legibleOn(QColor(0, 255, 0), face), QColor(0, 255, 0));
    EXPECT_NEAR(QtCanvas::contrast(Qt::black, Qt::white), 21.0, 0.01);
}

TEST(QtViewWidgetTest, PaintsTheViewWithTheWholeBoundsAndOriginBottomLeft)
{
    guiTestApp();
    CornerView view;
    qtplatform::QtViewWidget host;
    host.resize(60, 40);
    host.setView(&view);
    EXPECT_EQ(view.host(), &host);
    const QImage image = host.grab().toImage();
    ASSERT_GE(view.draws, 1);
    EXPECT_EQ(view.lastRect.width, 60.0f);
    EXPECT_EQ(view.lastRect.height, 40.0f);
    const qreal ratio = image.devicePixelRatio();
    EXPECT_EQ(image.pixelColor(2, static_cast<int>(38 * ratio)), QColor(255, 0, 0));
    EXPECT_NE(image.pixelColor(2, 2), QColor(255, 0, 0));
    host.setView(nullptr);
    EXPECT_EQ(view.host(), nullptr) << "a detached view must not keep a dangling host";
}
