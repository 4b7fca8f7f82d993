// The number handling behind the value dialogs (custom resolution, descreen, original size),
// kept apart from the widgets so that it can be tested on its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tandemscan {

// The scroll bar + edit pair of the custom resolution and descreen dialogs.
class SliderValue {
  public:
    SliderValue(int minimum, int maximum, int start);

    static SliderValue customResolution() { return {75, 1200, 100}; }
    static SliderValue descreen() { return {50, 200, 85}; }

    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    int start() const { return start_; }
    int position() const { return position_; }
    bool valid() const { return valid_; }
    // The edit's text limit: the number of characters of the maximum.
    int textLimit() const;

    // Scroll bar: lines move by 1, pages by 10, a track sets the position; the result is clamped.
    // Returns the text the edit now shows.
    std::string lineBy(int lines) { return moveTo(position_ + lines); }
    std::string pageBy(int pages) { return moveTo(position_ + 10 * pages); }
    std::string moveTo(int position);
    // The edit's text changed: inside the range the bar follows, outside the value turns invalid.
    void editChanged(const std::string& text);
    // OK: the result, or nothing when the dialog must complain and start over at the start value.
    std::optional<uint16_t> accept(const std::string& text);

  private:
    int minimum_, maximum_, start_, position_;
    bool valid_ = true;
};

// The original document size, in tenths of a millimetre.
struct OriginalSizeRule {
    static constexpr int minimumWidth = 2300, maximumWidth = 4220;
    static constexpr int minimumHeight = 200, maximumHeight = 2980;
    static bool widthOk(int width) { return width >= minimumWidth && width <= maximumWidth; }
    static bool heightOk(int height) { return height >= minimumHeight && height <= maximumHeight; }
};

// Decimal text read the forgiving way an edit control's number is read: leading blanks and sign,
// digits up to the first other character, 0 when there are none; saturated to the int range.
int readDecimal(const std::string& text);

} // namespace tandemscan
