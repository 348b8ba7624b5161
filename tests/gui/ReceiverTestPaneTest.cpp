#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QPushButton>

#include "GuiTestApp.h"
#include "app/ReceiverTestController.h"
#include "platform/qt/ReceiverTestPane.h"

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
