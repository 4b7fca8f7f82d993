// A workspace host that records what the model asks of its window, and a store that keeps
// synthetic originals in memory, for testing the model without widgets or files.
#pragma once

#include "engine/image_record.h"
#include "engine/pixel_tools.h"
#include "workspace/part_store.h"
#include "workspace/workspace_host.h"

#include <array>
#include <map>
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

class MemoryStore : public PartStore {
public:
    // Files the store can "read".
    void addFile(const std::string& path, ImageRecord image) { files[path] = std::move(image); }

    std::optional<HeaderBlock> readHeader(const std::string& path) override
    {
        const auto it = files.find(path);
        if (it == files.end())
            return std::nullopt;
        return it->second.headerBlock();
    }
    bool loadOriginal(int side, const std::string& path) override
    {
        const auto it = files.find(path);
        if (it == files.end())
            return false;
        originals[side] = it->second.clone();
        ++loads;
        return true;
    }
    ImageRecord* original(int side) override { return originals[side].empty() ? nullptr : &originals[side]; }
    void swapOriginals() override { originals[0].swap(originals[1]); }

    std::map<std::string, ImageRecord> files;
    std::array<ImageRecord, 2> originals;
    int loads = 0;
};

} // namespace tandemscan::testing
