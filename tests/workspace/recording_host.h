// A workspace host that records what the model asks of its window, and an engine bound to a
// stand-in image file component, for testing the model without widgets.
#pragma once

#include "engine/image_record.h"
#include "engine/image_file.h"
#include "engine/pixel_tools.h"
#include "engine/image_engine.h"
#include "engine/working_files.h"
#include "workspace/workspace_host.h"

#include <array>
#include <filesystem>
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
    void showMessage(MessageIcon icon, const std::string& caption, const std::string& text) override
    {
        messages.push_back({icon, caption, text});
    }
    void setCursor(CursorSlot slot) override { cursor = slot; }
    void beginWait() override { ++waitDepth; ++waits; }
    void endWait() override { --waitDepth; }
    void toolState(ToolState code, int argument) override
    {
        states.emplace_back(static_cast<int>(code), argument);
    }
    void enableClear(int side, bool enabled) override { clearEnabled[side] = enabled; }
    void enableInput(int side, bool enabled) override { inputEnabled[side] = enabled; }
    void enableOutput(bool enabled) override { outputEnabled = enabled; }
    void cropTimer(int side, bool running) override { timerRunning[side] = running; }
    void moveToolEntered() override { ++moveExplanations; }
    void runImageAdjustment(int side) override { adjustedSides.push_back(side); }

    void clear()
    {
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

} // namespace tandemscan::testing
