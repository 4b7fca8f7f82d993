// Responsiveness of the workspace: from loading an A4 600 dpi JPEG part to the drawn pane, and
// the repaint after a one-pixel move at 100 % and at 800 %. A repaint should take under 16 ms
// (one frame at 60 Hz) at any zoom.
#include "engine/image_engine.h"
#include "engine/image_file.h"
#include "engine/pixel_tools.h"
#include "engine/working_files.h"
#include "workspace/view/workspace_view.h"

#include <QApplication>
#include <QWindow>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <memory>
#include <optional>

namespace tandemscan {
namespace {

struct BenchFiles {
    std::optional<PrivateFolder> folder;
    std::shared_ptr<ImageFileLibrary> library;
    std::string part;
};

// An A4 sheet at 600 dpi (4960 x 7016, 24 bits) with a smooth pattern, written as JPEG once.
BenchFiles& files() {
    static BenchFiles f = [] {
        BenchFiles b;
        b.folder = PrivateFolder::create(temporaryRoot(), "workspace-bench-");
        std::string why;
        b.library = ImageFileLibrary::load(TS_PROGRAM_DIR, &why);
        if (!b.library || !b.folder) return b;
        HeaderBlock h{};
        h.header = ImageHeader{40, 4960, 7016, 1, 24, 0, 0, 23622, 23622, 0, 0};
        h.header.sizeImage = PixelTools::imageDataSize(h.header);
        std::optional<ImageRecord> image = ImageRecord::allocate(h, h.header.sizeImage);
        const std::uint32_t stride = PixelTools::rowStride(4960, 24);
        for (int y = 0; y < 7016; ++y) {
            std::uint8_t* row = image->pixels().data() + static_cast<std::size_t>(y) * stride;
            for (int x = 0; x < 4960; ++x) {
                row[3 * x] = static_cast<std::uint8_t>(x / 20);
                row[3 * x + 1] = static_cast<std::uint8_t>(y / 28);
                row[3 * x + 2] = static_cast<std::uint8_t>((x + y) / 48);
            }
        }
        std::optional<ImageFileInstance> component = b.library->newInstance();
        const std::filesystem::path path = b.folder->path() / "a4_600dpi.jpg";
        if (component && component->writeImage(path, image->headerBlock(), image->pixels().data()))
            b.part = path.string();
        return b;
    }();
    return f;
}

std::unique_ptr<WorkspaceView> makeView() {
    BenchFiles& f = files();
    auto engine = std::make_unique<ImageEngine>(f.library, f.folder->path());
    auto view = std::make_unique<WorkspaceView>(nullptr, std::move(engine));
    view->show();
    // Paints happen only once the window is on the (offscreen) screen.
    for (int i = 0; i < 100 && !(view->windowHandle() && view->windowHandle()->isExposed()); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return view;
}

void loadPartToDrawnPane(benchmark::State& state) {
    if (files().part.empty()) {
        state.SkipWithError("the image file component or the sample part is missing");
        return;
    }
    auto view = makeView();
    for (auto _ : state) {
        if (!view->model().loadPart(files().part, Side::Left)) {
            state.SkipWithError("the part did not load");
            return;
        }
        benchmark::DoNotOptimize(view->renderAll().constBits());
    }
}
BENCHMARK(loadPartToDrawnPane)->Unit(benchmark::kMillisecond)->Iterations(3);

void repaintAfterOnePixelMove(benchmark::State& state) {
    if (files().part.empty()) {
        state.SkipWithError("the image file component or the sample part is missing");
        return;
    }
    auto view = makeView();
    MergeWorkspace& ws = view->model();
    if (!ws.loadPart(files().part, Side::Left)) {
        state.SkipWithError("the part did not load");
        return;
    }
    ws.zoomTo(static_cast<int>(state.range(0)));
    ws.selectTool(ToolMode::Move, true);
    ws.mousePress(Point{100, 100}, {});
    ws.mouseRelease(Point{100, 100});
    view->renderAll();
    bool right = true;
    const int startX = ws.side(Side::Left).view.offsetX;
    ws.arrowKey(ArrowKey::Right);
    if (ws.side(Side::Left).view.offsetX == startX || !view->windowHandle()->isExposed()) {
        state.SkipWithError("the part does not move");
        return;
    }
    for (auto _ : state) {
        // The move repaints the pane at once; alternate so that the clamp never stops it.
        ws.arrowKey(right ? ArrowKey::Right : ArrowKey::Left);
        right = !right;
    }
    state.SetLabel(std::to_string(zoomTable[static_cast<std::size_t>(state.range(0))]) + " %");
}
BENCHMARK(repaintAfterOnePixelMove)->Arg(0)->Arg(13)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tandemscan

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
