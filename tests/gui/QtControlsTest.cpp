// SPDX-License-Identifier: BSD-2-Clause
// Behaviour of the Qt controls that the controllers rely on.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>

#include "GuiTestApp.h"
#include "qt/QtAlerts.h"
#include "qt/QtApplication.h"
#include "qt/QtComboBox.h"
#include "qt/QtDrawer.h"
#include "qt/QtMenuItem.h"
#include "qt/QtSpeech.h"
#include "fakes/FakeServices.h"
#include "qt/QtTextField.h"
#include "qt/QtTextView.h"
#include "qt/QtWindow.h"

using platform::Color;
using namespace qtplatform;

namespace {

class HalfFormatter : public platform::Formatter {
public:
    std::optional<std::string> format(std::optional<float> value) const override
    {
        if (!value || *value < 0) return std::nullopt;
        return "v=" + std::to_string(static_cast<int>(*value / 2));
    }
};

QColor colourAt(const QtTextView& view, int position)
{
    const QTextBlock block = view.document()->findBlock(position);
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (fragment.contains(position)) return fragment.charFormat().foreground().color();
    }
    return {};
}

}  // namespace

TEST(QtTextFieldTest, ShowsTextsNumbersThroughTheFormatterAndNothingForNoValue)
{
    guiTestApp();
    QtTextField field;
    HalfFormatter formatter;
    field.setStringValue("<b>12:35:19</b>");
    EXPECT_EQ(field.stringValue(), "<b>12:35:19</b>");
    EXPECT_EQ(field.textFormat(), Qt::PlainText);

    field.setFormatter(&formatter);
    field.setObjectValue(84.0f);
    EXPECT_EQ(field.stringValue(), "v=42");
    field.setObjectValue(std::nullopt);
    EXPECT_EQ(field.stringValue(), "");
    field.setObjectValue(-1.0f);  // the formatter has no text for it
    EXPECT_EQ(field.stringValue(), "");

    field.setFont({platform::FontKind::BoldSystem, 20.0f});
    EXPECT_TRUE(field.font().bold());
    EXPECT_NEAR(QFontMetricsF(field.font(), &field).height(), 23.0, 4.0);
}

TEST(QtComboBoxTest, KeepsNoSelectionUntilOneIsMadeAndIgnoresUnknownIndexes)
{
    guiTestApp();
    QtComboBox box;
    box.addItemWithObjectValue("/dev/ttyUSB0");
    box.addItemWithObjectValue("/dev/ttyUSB1");
    EXPECT_EQ(box.numberOfItems(), 2);
    EXPECT_EQ(box.indexOfSelectedItem(), -1);
    EXPECT_EQ(box.objectValueOfSelectedItem(), std::nullopt);

    box.selectItemAtIndex(1);
    box.selectItemAtIndex(7);
    box.selectItemAtIndex(-1);
    EXPECT_EQ(box.indexOfSelectedItem(), 1);
    EXPECT_EQ(box.objectValueOfSelectedItem(), "/dev/ttyUSB1");
    EXPECT_EQ(box.itemObjectValueAtIndex(2), std::nullopt);

    box.setNumberOfVisibleItems(4);
    EXPECT_EQ(box.maxVisibleItems(), 4);
    box.removeAllItems();
    EXPECT_EQ(box.numberOfItems(), 0);
    EXPECT_EQ(box.indexOfSelectedItem(), -1);
}

TEST(QtTextViewTest, AppendsPlainRunsInTheirColoursAndDropsOldLines)
{
    guiTestApp();
    QtTextView view;
    view.appendText("$GPGGA,1<b>x</b>", Color::Green);
    view.appendText("\n", Color::Green);
    view.appendText("$GPZDA,2", Color::Yellow);
    view.appendText("\n", Color::Yellow);
    view.appendText("#### Open /dev/pts/3 at 4800", Color::Yellow);
    view.appendText("\n", Color::Yellow);
    EXPECT_EQ(view.string(), "$GPGGA,1<b>x</b>\n$GPZDA,2\n#### Open /dev/pts/3 at 4800\n");
    EXPECT_EQ(view.length(), view.string().size());
    EXPECT_EQ(view.lineCount(), 3u);
    EXPECT_EQ(colourAt(view, 0), QColor(0, 255, 0));
    EXPECT_EQ(colourAt(view, 17), QColor(255, 255, 0));

    view.removeFirstLines(1);
    EXPECT_EQ(view.string(), "$GPZDA,2\n#### Open /dev/pts/3 at 4800\n");
    EXPECT_EQ(colourAt(view, 0), QColor(255, 255, 0)) << "the rest keeps its colours";
    EXPECT_EQ(view.lineCount(), 2u);

    view.appendText("tail", Color::Green);  // a last line without a line feed counts
    EXPECT_EQ(view.lineCount(), 3u);
    view.removeFirstLines(10);
    EXPECT_EQ(view.string(), "");
    EXPECT_EQ(view.lineCount(), 0u);
    EXPECT_EQ(view.length(), 0u);
}

TEST(QtTextViewTest, DroppingTheOldestOfManyLinesStaysCheap)
{
    guiTestApp();
    QtTextView view;
    for (int i = 0; i < 6000; ++i) {
        view.appendText("$GPGSV,3,1,12,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45", Color::Green);
        view.appendText("\n", Color::Green);
    }
    EXPECT_EQ(view.lineCount(), 6000u);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 1000; ++i) {
        view.appendText("$GPRMC", Color::Green);
        view.appendText("\n", Color::Green);
        view.removeFirstLines(view.lineCount() - 5000);
    }
    EXPECT_EQ(view.lineCount(), 5000u);
    EXPECT_LT(timer.elapsed(), 3000) << "append plus trim must not copy the whole text";
}

TEST(QtTextViewTest, ABurstGoesInAsAFewEditsAndCountsBeforeItDoes)
{
    guiTestApp();
    QtTextView view;
    int edits = 0;
    QObject::connect(view.document(), &QTextDocument::contentsChange, [&] { ++edits; });
    std::string expected;
    for (int i = 0; i < 300; ++i) {
        const std::string line = "$GPGGA," + std::to_string(i);
        view.appendText(line, i % 2 ? Color::Green : Color::Yellow);
        view.appendText("\n", Color::Green);
        if (view.lineCount() > 100) view.removeFirstLines(view.lineCount() - 100);
        if (i >= 200) expected += line + "\n";
    }
    EXPECT_EQ(view.lineCount(), 100u) << "waiting lines and removals count at once";
    QApplication::processEvents();
    EXPECT_LT(edits, 20) << "one layout per line made a burst the program's largest cost";
    EXPECT_EQ(view.string(), expected);
    EXPECT_EQ(colourAt(view, 0), QColor(255, 255, 0)) << "line 200 keeps its own colour";
}

TEST(QtTextViewTest, KeepsTheUsersSelectionWhileLinesStreamIn)
{
    guiTestApp();
    QtTextView view;
    view.resize(400, 120);
    view.show();
    auto appendLines = [&](int from, int count) {
        for (int i = from; i < from + count; ++i) {
            view.appendText("$GPGGA," + std::to_string(i), Color::Green);
            view.appendText("\n", Color::Green);
            view.scrollToEnd();
        }
        QApplication::processEvents();  // the deferred scroll runs
    };
    appendLines(0, 40);
    const int bottom = view.verticalScrollBar()->value();
    EXPECT_GT(bottom, 0);

    // The user selects line 30 to copy it.
    QTextCursor selection(view.document()->findBlockByNumber(30));
    selection.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    view.setTextCursor(selection);
    const int shown = view.verticalScrollBar()->value();

    appendLines(40, 20);
    view.removeFirstLines(view.lineCount() - 50);  // the monitor's trim drops ten lines
    QApplication::processEvents();
    EXPECT_EQ(view.textCursor().selectedText(), "$GPGGA,30");
    EXPECT_EQ(view.verticalScrollBar()->value(), shown - 10) << "the selected line stays put";

    // Once the selection is gone the view follows the stream again.
    QTextCursor plain = view.textCursor();
    plain.clearSelection();
    view.setTextCursor(plain);
    appendLines(60, 1);
    EXPECT_GT(view.verticalScrollBar()->value(), shown);
    EXPECT_EQ(view.textCursor().position(), view.document()->characterCount() - 1);
    EXPECT_TRUE(view.viewport()->rect().contains(view.cursorRect())) << "the end is in sight";
}

namespace {

class RecordingDrawerDelegate : public platform::DrawerDelegate {
public:
    int closes = 0;
    void drawerDidClose() override { ++closes; }
};

class ProportionalDelegate : public platform::WindowDelegate {
public:
    platform::Window* window = nullptr;
    int willClose = 0;
    int didResize = 0;
    platform::Size windowWillResize(const platform::Size& proposed) override
    {
        const platform::Size minimum = window->minSize();
        return {proposed.width, proposed.width / (minimum.width / minimum.height)};
    }
    void windowWillClose() override { ++willClose; }
    void windowDidResize() override { ++didResize; }
};

}  // namespace

TEST(QtWindowTest, TakesTheDelegatesSizeAndTellsOfTheCloseOnce)
{
    guiTestApp();
    QtWindow window;
    window.widget()->setMinimumSize(400, 200);
    window.widget()->resize(400, 200);
    ProportionalDelegate delegate;
    delegate.window = &window;
    window.setDelegate(&delegate);
    window.show();
    window.widget()->resize(600, 220);  // the user drags wider
    EXPECT_EQ(window.size().width, 600.0f);
    EXPECT_EQ(window.size().height, 300.0f) << "1.5 times as wide, 1.5 times as high";
    EXPECT_GE(delegate.didResize, 1);
    window.close();
    window.close();
    EXPECT_EQ(delegate.willClose, 1);
    window.setDelegate(nullptr);
}

TEST(QtDrawerTest, IsAPaneOfTheWindowThatMakesRoomAndReportsEveryClose)
{
    guiTestApp();
    QtWindow window;
    window.widget()->setCentralWidget(new QWidget);
    window.widget()->centralWidget()->setMinimumSize(300, 200);
    QtDrawer right(window.widget(), QtDrawer::Edge::Right);
    QtDrawer bottom(window.widget(), QtDrawer::Edge::Bottom);
    right.contentView()->setMinimumSize(200, 100);
    bottom.contentView()->setMinimumSize(100, 80);
    RecordingDrawerDelegate delegate;
    right.setDelegate(&delegate);
    right.open();
    bottom.open();
    window.widget()->resize(window.widget()->minimumSizeHint());
    window.show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(right.panel()->isVisible()) << "open before the window shows, visible after";
    EXPECT_FALSE(right.panel()->isWindow()) << "a pane is no window of its own";
    const QRect central = window.widget()->centralWidget()->geometry();
    EXPECT_GE(right.panel()->geometry().left(), central.right());
    EXPECT_GE(bottom.panel()->geometry().top(), central.bottom());

    // Closing gives the pane's room back and opening takes it again; the content keeps its size.
    const QSize contentBefore = window.widget()->centralWidget()->size();
    const int widthBefore = window.widget()->width();
    const int paneWidth = right.panel()->width();
    EXPECT_GE(paneWidth, 72) << "a pane keeps room for its scroll bar and a glimpse of its content";
    right.toggle();
    QCoreApplication::processEvents();
    EXPECT_FALSE(right.isOpen());
    EXPECT_FALSE(right.panel()->isVisible());
    EXPECT_LE(window.widget()->width(), widthBefore - paneWidth);
    EXPECT_EQ(window.widget()->centralWidget()->size(), contentBefore);
    right.close();  // already closed: no second notice
    EXPECT_EQ(delegate.closes, 1);
    right.toggle();
    QCoreApplication::processEvents();
    EXPECT_TRUE(right.isOpen());
    EXPECT_EQ(window.widget()->width(), widthBefore);

    // The pane's own close button ends in the same notice.
    right.panel()->close();
    EXPECT_FALSE(right.isOpen());
    EXPECT_EQ(delegate.closes, 2);
    right.setDelegate(nullptr);
}

TEST(QtAlertsTest, SheetReturnsAtOnceAndShowsTextLiterally)
{
    guiTestApp();
    QtWindow window;
    window.show();
    QtAlerts alerts;
    int ended = 0;
    alerts.beginSheet(&window, "100% <b>lost</b>", std::string("/dev/<i>tty</i>"), "OK",
                      [&] { ++ended; });
    EXPECT_EQ(ended, 0) << "a sheet returns before it is answered";
    auto* box = window.widget()->findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    EXPECT_EQ(box->text(), QStringLiteral("100% <b>lost</b>"));
    auto* informative = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
    ASSERT_NE(informative, nullptr);
    EXPECT_EQ(informative->textFormat(), Qt::PlainText);
    box->buttons().front()->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(ended, 1);
}

TEST(QtAlertsTest, PanelWaitsAndAnswersWhichButton)
{
    guiTestApp();
    QtAlerts alerts;
    for (const int pressed : {0, 1}) {
        SCOPED_TRACE(pressed);
        QString shownText;
        QTimer::singleShot(50, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            shownText = box->text();
            box->buttons().at(pressed)->click();
        });
        const int answer = alerts.runPanel("GPS Desk", "Save %@?", "Yes", std::string("No"));
        EXPECT_EQ(answer, pressed);
        EXPECT_EQ(shownText, QStringLiteral("Save %@?"));
    }
}

namespace {

class CountingDelegate : public platform::ApplicationDelegate {
public:
    int notices = 0;
    void applicationWillTerminate() override { ++notices; }
};

}  // namespace

TEST(QtApplicationTest, TerminateTellsTheDelegateOnceThenRunsTheQuitHooks)
{
    guiTestApp();
    QtApplication application;
    CountingDelegate delegate;
    std::vector<std::string> order;
    application.setDelegate(&delegate);
    application.addQuitHook([&] { order.push_back(delegate.notices == 1 ? "hook after notice" : "hook early"); });
    int fired = 0;
    auto timer = application.scheduledTimer(0.01, [&] { ++fired; });
    QTimer::singleShot(100, [&] { application.terminate(); });
    QCoreApplication::exec();
    EXPECT_GE(fired, 3) << "the timer repeats";
    application.terminate();
    EXPECT_EQ(delegate.notices, 1);
    EXPECT_EQ(order, std::vector<std::string>{"hook after notice"});
    timer->invalidate();
}

TEST(QtMenuItemTest, AsksItsValidatorBeforeShowingAndBeforeRunning)
{
    guiTestApp();
    QtMenuItem item(QStringLiteral("Connect"));
    bool valid = false;
    int asked = 0;
    int ran = 0;
    item.setValidator([&](platform::MenuItem* asking) {
        EXPECT_EQ(asking, &item);
        ++asked;
        return valid;
    });
    item.setAction([&] { ++ran; });
    item.validate();
    EXPECT_FALSE(item.isEnabled());
    // A shortcut or a stale menu must not run a command that is not valid now.
    item.QAction::setEnabled(true);
    item.trigger();
    EXPECT_EQ(ran, 0);
    valid = true;
    item.validate();
    EXPECT_TRUE(item.isEnabled());
    item.trigger();
    EXPECT_EQ(ran, 1);
    EXPECT_GE(asked, 3);
}

TEST(QtTextFieldTest, ShrinksALongTextToFitAndKeepsTheSetFontForShortOnes)
{
    guiTestApp();
    QtTextField field;
    field.resize(120, 30);
    field.show();
    field.setFont({platform::FontKind::BoldSystem, 22.0f});
    const qreal setSize = field.font().pointSizeF();
    field.setShrinkToFit(true);
    field.setStringValue("DGPS-Automatisch-3D");
    EXPECT_LT(field.font().pointSizeF(), setSize);
    EXPECT_LE(QFontMetricsF(field.font(), &field).horizontalAdvance(field.text()),
              field.contentsRect().width());
    field.setStringValue("3D");
    EXPECT_EQ(field.font().pointSizeF(), setSize);
    field.setStringValue("DGPS-Automatisch-3D");
    field.resize(600, 30);  // room enough again
    EXPECT_EQ(field.font().pointSizeF(), setSize);
}

TEST(QtSpeechTest, WithoutAnEngineTheFallbackSpeaksAndWithoutEitherNothingFails)
{
    guiTestApp();
    fakes::FakeSpeech fallback;
    QtSpeech speech(&fallback);
    if (speech.hasEngine()) GTEST_SKIP() << "a Qt speech engine is installed here";
    EXPECT_TRUE(speech.startSpeaking("No position data"));
    EXPECT_EQ(fallback.spoken, std::vector<std::string>{"No position data"});
    fallback.available = false;
    EXPECT_FALSE(speech.startSpeaking("again"));
    QtSpeech silent(nullptr);
    EXPECT_FALSE(silent.startSpeaking("nobody hears this"));
}
