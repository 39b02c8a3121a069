// The picture gate against arbitrary bytes under each accepted extension:
// it must decide without reading outside the bytes, and a bitmap it accepts
// must really hold every byte its header promises within the size cap.

#include "core/PictureCheck.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

std::uint64_t le(std::string_view b, std::size_t at, int n)
{
    std::uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b.at(at + static_cast<std::size_t>(i)));
    return v;
}

// Recomputes what an uncompressed info-header bitmap that passed must hold.
void checkAcceptedBitmap(std::string_view b)
{
    if (b.size() < 14 + 40 || le(b, 14, 4) == 12)
        return;
    const auto width = static_cast<std::int32_t>(le(b, 18, 4));
    const auto height = static_cast<std::int32_t>(le(b, 22, 4));
    const std::uint64_t bits = le(b, 28, 2);
    const std::uint64_t compression = le(b, 30, 4);
    if (width <= 0 || height == 0 || bits == 0)
        std::abort();
    const std::uint64_t h = height < 0 ? std::uint64_t(-std::int64_t(height)) : std::uint64_t(height);
    const std::uint64_t w = std::uint64_t(width);
    if (w * h * 4 > scb::maxDecodedPictureBytes)
        std::abort();
    const std::uint64_t offset = le(b, 10, 4);
    if (offset >= b.size())
        std::abort();
    if (compression == 0 || compression == 3) {
        const std::uint64_t stride = (w * bits + 31) / 32 * 4;
        if (stride * h > b.size() - offset)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    static const char *const names[] = {"a.bmp", "b.ICO", "c.emf", "d.Wmf", "e.png", "f", "/x.bmp/g.ico", "h.bmp."};
    const char *name = names[data[0] % (sizeof names / sizeof names[0])];
    const std::string_view bytes(reinterpret_cast<const char *>(data) + 1, size - 1);
    const scb::PictureCheck check = scb::checkPictureBytes(name, bytes);
    if (check.ok && check.kind == scb::PictureKind::Bitmap)
        checkAcceptedBitmap(bytes);
    if (!check.ok && check.reason.empty())
        std::abort();
    // The verdict depends on the bytes and the extension only.
    const scb::PictureCheck again = scb::checkPictureBytes(name, bytes);
    if (again.ok != check.ok || again.reason != check.reason)
        std::abort();
    return 0;
}
