// The two sides of a document: the left part and the right part, and arrays of one thing per side.
#pragma once

#include <array>
#include <cstddef>

namespace tandemscan {

enum class Side : unsigned char { Left = 0, Right = 1 };

inline constexpr std::array<Side, 2> bothSides{Side::Left, Side::Right};

constexpr Side other(Side s) {
    return s == Side::Left ? Side::Right : Side::Left;
}

// Settings, signals to the window and the scan request keep a side as an int: 0 left, 1 right.
// Only the lowest bit counts, as it always did where such a code was read.
constexpr int sideCode(Side s) {
    return static_cast<int>(s);
}
constexpr Side sideOfCode(int code) {
    return (code & 1) != 0 ? Side::Right : Side::Left;
}

// One T per side, the left one first.
template <class T> struct SidePair {
    std::array<T, 2> items;

    constexpr T& operator[](Side s) { return items[static_cast<std::size_t>(s)]; }
    constexpr const T& operator[](Side s) const { return items[static_cast<std::size_t>(s)]; }
    constexpr auto begin() { return items.begin(); }
    constexpr auto end() { return items.end(); }
    constexpr auto begin() const { return items.begin(); }
    constexpr auto end() const { return items.end(); }
};

} // namespace tandemscan
