#include "core/Gradient.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace scb {

int mulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    const std::int64_t num = static_cast<std::int64_t>(a) * b;
    const bool negative = (num < 0) != (c < 0);
    const std::uint64_t n = num < 0 ? static_cast<std::uint64_t>(-num) : static_cast<std::uint64_t>(num);
    const std::uint64_t d = c < 0 ? static_cast<std::uint64_t>(-static_cast<std::int64_t>(c))
                                  : static_cast<std::uint64_t>(c);
    // Rounding the magnitudes: a remainder of exactly half goes up, i.e. away from zero.
    const std::uint64_t rounded = (2 * (n % d) >= d) ? n / d + 1 : n / d;
    const auto r = static_cast<std::int64_t>(rounded);
    const std::int64_t result = negative ? -r : r;
    if (result > std::numeric_limits<int>::max() || result < std::numeric_limits<int>::min())
        return -1;
    return static_cast<int>(result);
}

std::vector<Color> gradientTable(Color start, Color end, int count)
{
    const int n = std::clamp(count, GradientMinCount, GradientMaxCount);
    std::vector<Color> table;
    table.reserve(static_cast<std::size_t>(n));
    const int r0 = colorRed(start), g0 = colorGreen(start), b0 = colorBlue(start);
    const int dr = colorRed(end) - r0, dg = colorGreen(end) - g0, db = colorBlue(end) - b0;
    for (int i = 0; i < n; ++i) {
        // makeColor keeps each channel to 8 bits.
        table.push_back(makeColor(r0 + mulDiv(i, dr, n - 1), g0 + mulDiv(i, dg, n - 1),
                                  b0 + mulDiv(i, db, n - 1)));
    }
    return table;
}

std::vector<GradientBand> gradientBands(const std::vector<Color> &table, int height)
{
    std::vector<GradientBand> bands;
    if (table.empty() || height <= 0)
        return bands;
    const int n = static_cast<int>(table.size());
    bands.reserve(table.size());
    for (int i = 0; i < n; ++i)
        bands.push_back({mulDiv(i, height, n), mulDiv(i + 1, height, n), table[static_cast<std::size_t>(i)]});
    return bands;
}

} // namespace scb
