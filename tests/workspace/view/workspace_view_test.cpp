// The workspace window offscreen: it draws the parts where the model places them, with the
// crosshairs, flags and crop frames over them, and turns mouse events into model calls.
#include "dialogs/save_formats.h"
#include "recording_host.h"
#include "workspace/view/cursor_set.h"
#include "workspace/view/preview_window.h"
#include "workspace/view/tool_palette.h"
#include "workspace/view/workspace_view.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <map>
#include <vector>

namespace tandemscan {
namespace {

using testing::makeImage;
using testing::ppm60;
using testing::TestEngine;

class WorkspaceViewTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "workspace_view_tests";
        static char* argv[] = {name, nullptr};
        if (QApplication::instance() == nullptr) new QApplication(argc, argv);
    }

    // A view holding a 200 x 100 part on the left whose pixel (x, y) is (red 7, green y, blue x).
    std::unique_ptr<WorkspaceView> viewWithPart(int width = 200, int height = 100) {
        const std::string left = files.write("left.img", makeImage(width, height, 24, ppm60));
        auto view = std::make_unique<WorkspaceView>(nullptr, files.release());
        EXPECT_TRUE(view->model().loadPart(left, Side::Left));
        return view;
    }

    TestEngine files;
};

TEST_F(WorkspaceViewTest, DrawsALoadedPartAtItsPlace) {
    const std::string left = files.write("left.img", makeImage(200, 100, 24, ppm60));
    WorkspaceView view(nullptr, files.release());
    QSignalSpy states(&view, &WorkspaceView::toolStateChanged);
    QSignalSpy clear(&view, &WorkspaceView::clearEnabledChanged);
    ASSERT_TRUE(view.model().loadPart(left, Side::Left));
    ASSERT_EQ(states.count(), 1);
    EXPECT_EQ(states.last().at(0).toInt(), 512);
    ASSERT_EQ(clear.count(), 1);
    EXPECT_EQ(clear.last().at(0).toInt(), 0);
    EXPECT_TRUE(clear.last().at(1).toBool());
    const QImage& frame = view.renderAll();
    ASSERT_EQ(frame.size(), QSize(511, 361));
    // The part's left edge is at 255 - 200 = 55; the right pane is empty.
    EXPECT_EQ(frame.pixel(55 + 10, 20), qRgb(7, 20, 10));
    EXPECT_EQ(frame.pixel(254, 99), qRgb(7, 99, 199));
    EXPECT_NE(frame.pixel(54, 20), qRgb(7, 20, 0));
    EXPECT_EQ(frame.pixel(300, 20), view.palette().color(QPalette::Base).rgb());
}

TEST_F(WorkspaceViewTest, MessagesAreTranslatedAndGoToTheHandler) {
    auto view = viewWithPart();
    view->setTranslator([](const QString& english) {
        return english == QStringLiteral("Lock!") ? QStringLiteral("Gesperrt!") : english.toUpper();
    });
    std::vector<std::pair<QString, QString>> shown;
    view->setMessageHandler([&shown](MessageIcon, const QString& caption, const QString& text) {
        shown.emplace_back(caption, text);
    });
    view->model().toggleLock(Side::Left);
    view->model().selectTool(ToolMode::Move, true);
    QTest::mouseClick(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 50));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].first, QStringLiteral("Gesperrt!"));
    EXPECT_EQ(shown[0].second, QStringLiteral("THIS IMAGE HAS BEEN LOCKED!"));
}

TEST_F(WorkspaceViewTest, ZoomedPartIsDrawnEnlarged) {
    auto view = viewWithPart();
    view->model().zoomTo(4); // 200 %
    const QImage& frame = view->renderAll();
    // 400 wide, its right edge at the seam: screen x 254 shows part column 199, x 252 column 198.
    EXPECT_EQ(frame.pixel(254, 1), qRgb(7, 0, 199));
    EXPECT_EQ(frame.pixel(252, 3), qRgb(7, 1, 198));
}

TEST_F(WorkspaceViewTest, CrosshairInvertsThePicture) {
    auto view = viewWithPart(255, 351);
    view->model().selectTool(ToolMode::Grid, true);
    const QImage& frame = view->renderAll();
    // Each line inverts the part's pixel (x, y) = (7, y, x); at the crossing point (127, 175)
    // both lines pass, so it shows the picture itself.
    EXPECT_EQ(frame.pixel(127, 175), qRgb(7, 175, 127));
    EXPECT_EQ(frame.pixel(127, 174), qRgb(255 - 7, 255 - 174, 255 - 127));
    EXPECT_EQ(frame.pixel(10, 175), qRgb(255 - 7, 255 - 175, 255 - 10));
    EXPECT_EQ(frame.pixel(127, 10), qRgb(255 - 7, 255 - 10, 255 - 127));
    EXPECT_EQ(frame.pixel(10, 10), qRgb(7, 10, 10));
}

TEST_F(WorkspaceViewTest, SnapshotFollowsTheGrid) {
    auto view = viewWithPart(255, 351);
    view->show();
    QApplication::processEvents();
    QSignalSpy painted(view.get(), &WorkspaceView::snapshotUpdated);
    view->model().selectTool(ToolMode::Grid, true);
    QApplication::processEvents();
    ASSERT_GE(painted.count(), 1);
    EXPECT_EQ(view->snapshot().pixel(127, 100), qRgb(255 - 7, 255 - 100, 255 - 127));
}

TEST_F(WorkspaceViewTest, FlagIsDrawnWithItsTipAtTheClick) {
    auto view = viewWithPart(255, 351);
    view->model().selectTool(ToolMode::Flags, true);
    QTest::mouseClick(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(200, 120));
    const QImage& frame = view->renderAll();
    // The left flag's cloth hangs left of its pole, which stands at the tip's column.
    int changed = 0;
    for (int x = 170; x < 200; ++x)
        for (int y = 121; y < 134; ++y)
            changed += frame.pixel(x, y) != qRgb(7, y, x) ? 1 : 0;
    EXPECT_GT(changed, 100);
    EXPECT_EQ(frame.pixel(150, 125), qRgb(7, 125, 150));
    EXPECT_EQ(frame.pixel(190, 140), qRgb(7, 140, 190)); // nothing below the flag's rectangle
}

TEST_F(WorkspaceViewTest, CropFrameShadesWhatIsCutAway) {
    auto view = viewWithPart(255, 351);
    view->model().selectTool(ToolMode::Crop, true);
    const QImage& frame = view->renderAll();
    // Outside the frame every other pixel is shaded black; inside the picture stays clear.
    const bool first = frame.pixel(2, 2) == qRgb(0, 0, 0);
    const bool second = frame.pixel(3, 2) == qRgb(0, 0, 0);
    EXPECT_NE(first, second);
    EXPECT_EQ(frame.pixel(60, 60), qRgb(7, 60, 60));
    EXPECT_EQ(frame.pixel(61, 60), qRgb(7, 60, 61));
}

TEST_F(WorkspaceViewTest, MouseDragMovesThePart) {
    auto view = viewWithPart();
    view->show();
    view->model().selectTool(ToolMode::Move, true);
    QTest::mousePress(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 50));
    QMouseEvent move(QEvent::MouseMove, QPointF(120, 53), QPointF(120, 53), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(view.get(), &move);
    QTest::mouseRelease(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(120, 53));
    EXPECT_EQ(view->model().side(Side::Left).view.offsetX, -20);
    EXPECT_EQ(view->model().side(Side::Left).view.offsetY, -3);
    // The arrow keys then move it a pixel at a time.
    QTest::keyClick(view.get(), Qt::Key_Left);
    EXPECT_EQ(view->model().side(Side::Left).view.offsetX, -19);
}

TEST_F(WorkspaceViewTest, PreviewWindowCentresTheImageAndClosesOnAKey) {
    std::optional<ImageRecord> joined = ImageRecord::allocate(makeImage(1000, 500, 24, 11811).headerBlock(),
                                                              PixelTools::rowStride(1000, 24) * 500);
    PreviewWindow window(*joined, 1.0, QStringLiteral("Image Size : 1000 * 500 pixel"));
    window.resize(1024, 768);
    EXPECT_EQ(window.imageRect(), QRect(12, 134, 1000, 500));
    window.resize(800, 600);
    EXPECT_EQ(window.imageRect(), QRect(0, 100, 800, 400));
    window.show();
    QTest::keyClick(&window, Qt::Key_Space);
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(WorkspaceViewTest, EveryCursorSlotHasACursor) {
    const CursorSet cursors;
    const int programSlots[] = {1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 16, 17, 18, 19, 20, 21, 22, 23};
    for (int slot : programSlots) {
        EXPECT_EQ(cursors.cursorAt(slot).shape(), Qt::BitmapCursor) << slot;
        EXPECT_EQ(cursors.cursorAt(slot).pixmap().size(), QSize(32, 32)) << slot;
    }
    EXPECT_EQ(cursors.cursorAt(0).shape(), Qt::ArrowCursor);
    EXPECT_EQ(cursors.cursorAt(8).shape(), Qt::SizeAllCursor);
    EXPECT_EQ(cursors.cursorAt(12).shape(), Qt::SizeHorCursor);
    EXPECT_EQ(cursors.cursorAt(15).shape(), Qt::SizeFDiagCursor);
    // The left flag's tip is its top-right corner, the right flag's its top-left corner.
    const QImage left = cursors.flagIcon(Side::Left).toImage();
    const QImage right = cursors.flagIcon(Side::Right).toImage();
    EXPECT_GT(qAlpha(left.pixel(31, 1)), 0);
    EXPECT_EQ(qAlpha(left.pixel(2, 7)), 0);
    EXPECT_GT(qAlpha(right.pixel(0, 1)), 0);
    EXPECT_EQ(qAlpha(right.pixel(29, 7)), 0);
}

} // namespace
} // namespace tandemscan

namespace tandemscan {
namespace {

using testing::makeImage;
using testing::ppm60;
using testing::TestEngine;

// A palette wired to a workspace the way the main window wires them.
struct PaletteAndWorkspace {
    explicit PaletteAndWorkspace(TestEngine& files) {
        const std::string left = files.write("left.img", makeImage(255, 351, 24, ppm60));
        const std::string right = files.write("right.img", makeImage(255, 351, 24, ppm60));
        view = std::make_unique<WorkspaceView>(nullptr, files.release());
        QObject::connect(&palette, &ToolPalette::toolCommand, view.get(), &WorkspaceView::toolCommand);
        QObject::connect(view.get(), &WorkspaceView::toolStateChanged, &palette,
                         &ToolPalette::applyToolState);
        EXPECT_TRUE(view->model().loadPart(left, Side::Left));
        EXPECT_TRUE(view->model().loadPart(right, Side::Right));
    }
    ToolPalette palette;
    std::unique_ptr<WorkspaceView> view;
};

TEST_F(WorkspaceViewTest, PaletteButtonsReachTheWorkspace) {
    PaletteAndWorkspace w(files);
    EXPECT_TRUE(w.palette.action(ButtonMove)->isEnabled());
    EXPECT_FALSE(w.palette.action(ButtonAutoMerge)->isEnabled()); // too narrow for automatic merge
    w.palette.action(ButtonMove)->trigger();
    EXPECT_TRUE(w.view->model().modeFlags().move);
    EXPECT_TRUE(w.palette.action(ButtonMove)->isChecked());
    w.palette.action(ButtonMove)->trigger();
    EXPECT_FALSE(w.view->model().modeFlags().move);
    w.palette.action(ButtonGrid)->trigger();
    w.palette.action(ButtonFlags)->trigger();
    EXPECT_TRUE(w.view->model().modeFlags().grid);
    EXPECT_TRUE(w.view->model().modeFlags().flags);
    w.palette.action(ButtonGrid)->trigger();
    EXPECT_FALSE(w.view->model().modeFlags().grid);
    EXPECT_TRUE(w.view->model().modeFlags().flags);
    // Both flags were placed from the crosshairs, so Unite is on offer; using it turns flags off.
    ASSERT_TRUE(w.palette.action(ButtonUnite)->isEnabled());
    w.palette.action(ButtonUnite)->trigger();
    EXPECT_FALSE(w.palette.action(ButtonFlags)->isChecked());
    EXPECT_FALSE(w.palette.action(ButtonUnite)->isEnabled());
    EXPECT_EQ(w.palette.state().pressed(), 16);
}

TEST_F(WorkspaceViewTest, PaletteAcceleratorsSkipDisabledButtons) {
    PaletteAndWorkspace w(files);
    w.palette.show();
    QApplication::setActiveWindow(&w.palette);
    QSignalSpy commands(&w.palette, &ToolPalette::toolCommand);
    QSignalSpy mainCommands(&w.palette, &ToolPalette::mainWindowCommand);
    QTest::keyClick(&w.palette, Qt::Key_H, Qt::ControlModifier);
    ASSERT_EQ(commands.count(), 1);
    EXPECT_EQ(commands.last().at(0).toInt(), 2);
    EXPECT_TRUE(commands.last().at(1).toBool());
    EXPECT_TRUE(w.view->model().modeFlags().move);
    QTest::keyClick(&w.palette, Qt::Key_U, Qt::ControlModifier); // Unite is disabled
    EXPECT_EQ(commands.count(), 1);
    QTest::keyClick(&w.palette, Qt::Key_Z, Qt::ControlModifier);
    ASSERT_EQ(mainCommands.count(), 1);
    EXPECT_EQ(mainCommands.last().at(0).toInt(), 32785);
    QTest::keyClick(&w.palette, Qt::Key_F1);
    EXPECT_EQ(mainCommands.last().at(0).toInt(), 1012);
}

TEST_F(WorkspaceViewTest, PaletteFollowsItsWindow) {
    QWidget window;
    window.move(100, 100);
    window.show();
    ToolPalette palette(&window);
    palette.move(40, 120);
    palette.show();
    QApplication::processEvents();
    window.move(130, 90);
    QApplication::processEvents();
    EXPECT_EQ(palette.pos(), QPoint(70, 110));
    EXPECT_EQ(palette.size(), QSize(48, 455));
}

TEST_F(WorkspaceViewTest, SavingOnePartOffersItsDepthsFormatsWithTheirSuffixes) {
    auto view = viewWithPart();
    QStringList filters;
    QStringList suffixes;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            if (dialog == nullptr || dialog->objectName() != QStringLiteral("saveSolelyDialog")) continue;
            filters = dialog->nameFilters();
            suffixes << dialog->defaultSuffix();
            for (const QString& filter : filters) {
                emit dialog->filterSelected(filter);
                suffixes << dialog->defaultSuffix();
            }
            dialog->reject();
        }
    });
    view->saveSideAlone(Side::Left);
    EXPECT_EQ(filters.join(QLatin1Char('|')).toStdString(), std::string(saveFormatList(24)));
    EXPECT_EQ(suffixes, (QStringList{"bmp", "bmp", "tif", "pcx", "tga", "png"}));
}

// Opens the workspace's pop-up menu at p and reads its items' enabled states.
std::map<QString, bool> popupItems(WorkspaceView& view, QPoint p) {
    std::map<QString, bool> items;
    QTimer::singleShot(0, [&items] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr) return;
        for (QAction* a : menu->actions())
            if (!a->isSeparator()) items[a->text()] = a->isEnabled();
        menu->close();
    });
    QTest::mousePress(&view, Qt::RightButton, Qt::NoModifier, p);
    QTest::mouseRelease(&view, Qt::RightButton, Qt::NoModifier, p);
    return items;
}

TEST_F(WorkspaceViewTest, PopupMenuItemsFollowThePaneAndTheHistory) {
    const std::string left = files.write("left.img", makeImage(200, 100, 24, ppm60));
    WorkspaceView view(nullptr, files.release());
    ASSERT_TRUE(view.model().loadPart(left, Side::Left));
    view.show();
    auto items = popupItems(view, QPoint(100, 50));
    ASSERT_EQ(items.size(), 6u);
    EXPECT_FALSE(items["&Undo"]);
    EXPECT_FALSE(items["&Redo"]);
    EXPECT_TRUE(items["Re&load"]);
    EXPECT_TRUE(items["&Zoom"]);
    EXPECT_TRUE(items["Save Image Solely(&G)"]);
    EXPECT_TRUE(items["Lock(&F)"]);
    items = popupItems(view, QPoint(400, 50)); // over the empty right pane
    EXPECT_FALSE(items["Re&load"]);
    EXPECT_FALSE(items["Save Image Solely(&G)"]);
    EXPECT_FALSE(items["Lock(&F)"]);
    view.model().zoomTo(2);
    items = popupItems(view, QPoint(100, 50));
    EXPECT_TRUE(items["&Undo"]);
    EXPECT_FALSE(items["&Redo"]);
    // The menu took the tools away while it was open; they stay away until the next press.
    EXPECT_TRUE(view.model().modesSuspended());
}

} // namespace
} // namespace tandemscan
