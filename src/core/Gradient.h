#pragma once
// Vertical colour gradient of the control window's background.
// gradientTable() gives the N colours from start to end (N clamped to 2..236),
// each channel interpolated with the multiply-divide rounding rule.
// gradientBands() maps the table onto H pixel rows: band i covers rows
// [top(i), top(i + 1)) with top(i) = mulDiv(i, H, N); the result has exactly
// one band per table entry, in order, and a band with no rows is kept with
// top == bottom so that band index and table index stay the same.

#include <vector>

#include "core/Color.h"

namespace scb {

// a * b / c computed in 64 bits and rounded to the nearest integer, halves away
// from zero. c == 0, or a result outside int, gives -1 as the classic
// multiply-divide does.
int mulDiv(int a, int b, int c);

constexpr Color GradientStart = 16744448; // red 0, green 128, blue 255
constexpr Color GradientEnd = 10485760;   // red 0, green 0, blue 160
constexpr int GradientMinCount = 2;
constexpr int GradientMaxCount = 236;

std::vector<Color> gradientTable(Color start, Color end, int count);

struct GradientBand
{
    int top = 0;
    int bottom = 0; // exclusive
    Color color = 0;
    bool operator==(const GradientBand &) const = default;
};

// An empty table or a height of zero or less yields no bands.
std::vector<GradientBand> gradientBands(const std::vector<Color> &table, int height);

} // namespace scb
