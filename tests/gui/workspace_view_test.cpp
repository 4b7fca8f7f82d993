// The workspace window offscreen: it draws the parts where the model places them and turns mouse
// events into model calls.
#include "recording_host.h"
#include "workspace/view/workspace_view.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace tandemscan {
namespace {

using testing::makeImage;
using testing::TestEngine;

class WorkspaceViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "workspace_view_tests";
        static char* argv[] = {name, nullptr};
        if (QApplication::instance() == nullptr)
            app_ = new QApplication(argc, argv);
    }
    static QApplication* app_;
};
QApplication* WorkspaceViewTest::app_ = nullptr;

TEST_F(WorkspaceViewTest, DrawsALoadedPartAtItsPlace)
{
    TestEngine files;
    const std::string left = files.write("left.img", makeImage(200, 100, 24, 2362));
    WorkspaceView view(nullptr, files.release());
    QSignalSpy states(&view, &WorkspaceView::toolStateChanged);
    ASSERT_TRUE(view.model().loadPart(left, 0));
    ASSERT_GE(states.count(), 1);
    EXPECT_EQ(states.last().at(0).toInt(), 512);
    view.show();
    QApplication::processEvents();
    view.repaint();
    const QImage& frame = view.snapshot();
    ASSERT_EQ(frame.size(), QSize(511, 361));
    // Pixel (x, y) of the part is (red 7, green y, blue x); the part's left edge is at 55.
    EXPECT_EQ(frame.pixel(55 + 10, 20), qRgb(7, 20, 10));
    EXPECT_EQ(frame.pixel(254, 99), qRgb(7, 99, 199));
}

TEST_F(WorkspaceViewTest, MouseDragMovesThePart)
{
    TestEngine files;
    const std::string left = files.write("left.img", makeImage(200, 100, 24, 2362));
    WorkspaceView view(nullptr, files.release());
    ASSERT_TRUE(view.model().loadPart(left, 0));
    view.show();
    view.model().selectTool(ToolMode::Move, true);
    QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, QPoint(100, 50));
    QMouseEvent move(QEvent::MouseMove, QPointF(120, 53), QPointF(120, 53), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&view, &move);
    QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, QPoint(120, 53));
    EXPECT_EQ(view.model().side(0).view.offsetX, -20);
    EXPECT_EQ(view.model().side(0).view.offsetY, -3);
}

} // namespace
} // namespace tandemscan
