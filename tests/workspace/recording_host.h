// A workspace host that records what the model asks of its window, and an engine bound to a
// stand-in image file component, for testing the model without widgets.
#pragma once

#include "engine/image_engine.h"
#include "engine/image_file.h"
#include "engine/image_record.h"
#include "engine/pixel_tools.h"
#include "engine/working_files.h"
#include "workspace/merge_workspace.h"
#include "workspace/workspace_host.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tandemscan::testing {

struct RecordedMessage {
    MessageIcon icon;
    std::string caption;
    std::string text;
};

class RecordingHost : public WorkspaceHost {
  public:
    void invalidate(const Rect& area, bool) override { invalidated.push_back(area); }
    void repaintNow() override { ++repaints; }
    void showMessage(MessageIcon icon, const std::string& caption, const std::string& text) override {
        messages.push_back({icon, caption, text});
    }
    void setCursor(CursorSlot slot) override { cursor = slot; }
    void beginWait() override {
        ++waitDepth;
        ++waits;
    }
    void endWait() override { --waitDepth; }
    void toolState(ToolState code, int argument) override {
        states.emplace_back(static_cast<int>(code), argument);
    }
    void enableClear(Side side, bool enabled) override { clearEnabled[sideCode(side)] = enabled; }
    void enableInput(Side side, bool enabled) override { inputEnabled[sideCode(side)] = enabled; }
    void enableOutput(bool enabled) override { outputEnabled = enabled; }
    void cropTimer(Side side, bool running) override { timerRunning[sideCode(side)] = running; }
    void moveToolEntered() override { ++moveExplanations; }
    void runImageAdjustment(Side side) override { adjustedSides.push_back(sideCode(side)); }

    void clear() {
        invalidated.clear();
        messages.clear();
        states.clear();
    }
    std::string lastMessage() const { return messages.empty() ? std::string() : messages.back().text; }

    std::vector<Rect> invalidated;
    std::vector<RecordedMessage> messages;
    std::vector<std::pair<int, int>> states;
    CursorSlot cursor = CursorSlot::Arrow;
    int repaints = 0;
    int waitDepth = 0;
    int waits = 0;
    std::array<bool, 2> clearEnabled{false, false};
    std::array<bool, 2> inputEnabled{true, true};
    bool outputEnabled = false;
    std::array<bool, 2> timerRunning{false, false};
    int moveExplanations = 0;
    std::vector<int> adjustedSides;
};

// A synthetic picture: a 24-bit image whose pixel (x, y) (top-down) is (x % 256, y % 256, 7),
// or an 8-bit gray ramp, or a 1-bit stripe pattern.
ImageRecord makeImage(int width, int height, int bitCount, std::int32_t pelsPerMeter, bool gray = true);

// An engine bound to the stand-in image file component (whose files are a raw header block and
// pixel block), working in a private folder of its own.
class TestEngine {
  public:
    TestEngine();
    ImageEngine& engine() { return *engine_; }
    std::unique_ptr<ImageEngine> release() { return std::move(engine_); }
    const std::filesystem::path& folder() const { return folder_->path(); }
    // Writes an image as a stand-in file and returns its path.
    std::string write(const std::string& name, const ImageRecord& image) const;

  private:
    std::optional<PrivateFolder> folder_;
    std::unique_ptr<ImageEngine> engine_;
};

// Reads a file the stand-in component wrote.
ImageRecord readImageFile(const std::string& path);

// 60 dpi: the working copy is the original and, when it fits, drawn at one screen pixel per pixel.
inline constexpr std::int32_t ppm60 = 2362;
inline constexpr std::int32_t ppm300 = 11811;

// A workspace on a recording host, with helpers that act as the user would.
struct WorkspaceFixture {
    RecordingHost host;
    TestEngine files;
    MergeWorkspace ws{host, files.engine()};

    // Writes a part and loads it; true when the workspace accepted it.
    bool load(Side side, const ImageRecord& image, const std::string& name = {}) {
        const std::string path =
            files.write(name.empty() ? "part" + std::to_string(sideCode(side)) + ".img" : name, image);
        return ws.loadPart(path, side);
    }
    bool load(Side side, int width, int height, int bits = 24, std::int32_t ppm = ppm60) {
        return load(side, makeImage(width, height, bits, ppm));
    }
    // Drags a side with the move tool by (dx, dy) screen pixels, in strokes that stay inside
    // the pane (the move tool follows the mouse only there).
    void drag(Side side, int dx, int dy, Modifiers m = {}) {
        if (!ws.modeFlags().move) ws.selectTool(ToolMode::Move, true);
        const Rect pane = ws.side(side).paneRect;
        const Point start{(pane.left + pane.right) / 2, (pane.top + pane.bottom) / 2};
        while (dx != 0 || dy != 0) {
            const int sx = std::clamp(dx, -100, 100);
            const int sy = std::clamp(dy, -100, 100);
            ws.mousePress(start, m);
            ws.mouseMove(Point{start.x + sx, start.y + sy}, true, m);
            ws.mouseRelease(Point{start.x + sx, start.y + sy});
            dx -= sx;
            dy -= sy;
        }
    }
    bool sent(int code, int argument) const {
        for (const auto& s : host.states)
            if (s.first == code && s.second == argument) return true;
        return false;
    }
};

// A workspace holding two parts of the given size at 60 dpi, with the host's records cleared.
struct TwoPartsFixture : WorkspaceFixture {
    explicit TwoPartsFixture(int width = 255, int height = 351, int rightWidth = 0, int rightHeight = 0) {
        EXPECT_TRUE(load(Side::Left, width, height));
        EXPECT_TRUE(
            load(Side::Right, rightWidth > 0 ? rightWidth : width, rightHeight > 0 ? rightHeight : height));
        host.clear();
    }
    void click(Point p, Modifiers m = {}) {
        ws.mousePress(p, m);
        ws.mouseRelease(p);
    }
};

} // namespace tandemscan::testing
