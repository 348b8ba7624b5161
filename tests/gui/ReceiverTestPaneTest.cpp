// SPDX-License-Identifier: BSD-2-Clause
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QPushButton>

#include <QImage>
#include <QPainter>

#include "GuiTestApp.h"
#include "app/ReceiverTestController.h"
#include "receiver/LocalTangentPlane.h"
#include "quality/ReceiverTest.h"
#include "instruments/ReceiverTestView.h"
#include "fakes/FakeControls.h"
#include "platform/Services.h"
#include "posix/StringsBundle.h"
#include "qt/QtCanvas.h"
#include "qt/ReceiverTestPane.h"

using qtplatform::ReceiverTestPane;

TEST(ReceiverTestPaneTest, RestartButtonsSayWhyTheyAreOffAndCopyFillsTheClipboard)
{
    guiTestApp();
    ReceiverTestController controller;
    std::vector<RestartDepth> sent;
    controller.setRestartSender([&sent](RestartDepth depth) {
        sent.push_back(depth);
        return true;
    });
    ReceiverTestPane pane(controller);
    for (const RestartDepth depth : {RestartDepth::Hot, RestartDepth::Warm, RestartDepth::Cold}) {
        QPushButton* button = pane.restartButton(depth);
        ASSERT_NE(button, nullptr);
        EXPECT_FALSE(button->isEnabled());
        EXPECT_FALSE(button->toolTip().isEmpty());
    }

    controller.connected(1.0);
    pane.refresh();
    ASSERT_TRUE(pane.restartButton(RestartDepth::Cold)->isEnabled());
    EXPECT_TRUE(pane.restartButton(RestartDepth::Cold)->toolTip().isEmpty());
    pane.restartButton(RestartDepth::Cold)->click();
    EXPECT_EQ(sent, std::vector{RestartDepth::Cold});

    pane.copyButton()->click();
    const QStringList lines = QGuiApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines.size(), 3);  // header, the connect run, the cold start
}

namespace {

// Draws like the pane's canvas and keeps the right edge of every text.
class EdgeCanvas : public qtplatform::QtCanvas {
public:
    using QtCanvas::QtCanvas;
    std::vector<std::pair<std::string, float>> rightEdges;
    void drawText(const std::string& text, const platform::Point& lowerLeft, const platform::Font& font,
                  platform::Color color) override
    {
        rightEdges.emplace_back(text, lowerLeft.x + measureText(text, font).width);
        QtCanvas::drawText(text, lowerLeft, font, color);
    }
};

}  // namespace

// The pane's smallest view (760 x 560) holds every text in full, in English and German,
// with the longest of them shown: a moving receiver's note and the circles' legends.
TEST(ReceiverTestPaneTest, EveryTextFitsTheSmallestViewInEveryLanguage)
{
    guiTestApp();
    const GeodeticPosition origin{48.1173, 11.5167, 520.0};
    ReceiverTest test;
    for (int i = 0; i < 30; ++i) {
        FixSample fix;
        fix.position = LocalTangentPlane(origin).toGeodetic({i * 3.0, i * -2.0, 0.0});
        fix.hdop = 1.2f;
        fix.speedKnots = i < 20 ? 0.0f : 4.0f;
        test.position(1.0 + i, 3, fix);
    }
    for (const char* language : {"en", "de"}) {
        SCOPED_TRACE(language);
        platform::posix::StringsBundle bundle(GPSDESK_RESOURCE_DIR, {language});
        platform::services().bundle = &bundle;
        fakes::FakeViewHost host;
        host.frame = {0, 0, 760, 560};
        ReceiverTestView view;
        view.setHost(&host);
        view.setReceiverTest(&test);
        view.setNow(40.0);
        QImage image(760, 560, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        EdgeCanvas canvas(painter, 560);
        view.drawRect(canvas, host.bounds());
        painter.end();
        ASSERT_GT(canvas.rightEdges.size(), 20u);
        for (const auto& [text, right] : canvas.rightEdges) EXPECT_LE(right, 760.0f) << text;
        platform::services().bundle = nullptr;
    }
}
