#include "core/PictureCheck.h"

#include "core/BoundedCall.h"
#include "core/FileStamp.h"
#include "core/platform/FileRead.h"

#include <algorithm>
#include <utility>

namespace scb {
namespace {

using u64 = std::uint64_t;

// Little-endian reads. Every caller checks the range with has() first; the
// zero returned outside the buffer is a second line of defence, so a gap in
// that logic shows up as a refused picture rather than a wild read.
class Bytes
{
public:
    explicit Bytes(std::string_view bytes) : m_bytes(bytes) {}

    u64 size() const { return m_bytes.size(); }
    bool has(u64 offset, u64 length) const
    {
        return offset <= size() && length <= size() - offset;
    }
    std::uint32_t u8(u64 offset) const
    {
        return has(offset, 1) ? static_cast<unsigned char>(m_bytes[offset]) : 0u;
    }
    std::uint32_t u16(u64 offset) const
    {
        return has(offset, 2) ? u8(offset) | (u8(offset + 1) << 8) : 0u;
    }
    std::uint32_t u32(u64 offset) const
    {
        return has(offset, 4) ? u16(offset) | (u16(offset + 2) << 16) : 0u;
    }
    std::int32_t i32(u64 offset) const { return static_cast<std::int32_t>(u32(offset)); }
    std::uint32_t u16be(u64 offset) const
    {
        return has(offset, 2) ? (u8(offset) << 8) | u8(offset + 1) : 0u;
    }
    std::uint32_t u32be(u64 offset) const
    {
        return has(offset, 4)
            ? (u8(offset) << 24) | (u8(offset + 1) << 16) | (u8(offset + 2) << 8) | u8(offset + 3)
            : 0u;
    }
    bool startsWith(u64 offset, std::string_view text) const
    {
        return has(offset, text.size()) && m_bytes.substr(offset, text.size()) == text;
    }
    Bytes slice(u64 offset, u64 length) const
    {
        return Bytes(has(offset, length) ? m_bytes.substr(offset, length) : std::string_view());
    }

private:
    std::string_view m_bytes;
};

PictureCheck failed(PictureKind kind, std::string reason)
{
    return PictureCheck{false, kind, std::move(reason)};
}

PictureCheck passed(PictureKind kind, u64 decodedBytes = 0)
{
    return PictureCheck{true, kind, {}, decodedBytes};
}

std::string lowerExtension(std::string_view fileName)
{
    const auto separator = fileName.find_last_of("/\\");
    if (separator != std::string_view::npos)
        fileName.remove_prefix(separator + 1);
    const auto dot = fileName.rfind('.');
    if (dot == std::string_view::npos)
        return {};
    std::string extension(fileName.substr(dot + 1));
    for (char &c : extension) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return extension;
}

enum : std::uint32_t { BiRgb = 0, BiRle8 = 1, BiRle4 = 2, BiBitfields = 3 };

constexpr u64 fileHeaderSize = 14;
constexpr u64 coreHeaderSize = 12;
constexpr u64 infoHeaderSize = 40;
constexpr u64 v4HeaderSize = 108;
constexpr u64 v5HeaderSize = 124;

// What the decoder will read after a device-independent bitmap header.
struct DibLayout
{
    u64 headerSize = 0;
    u64 width = 0;
    u64 height = 0; // absolute
    bool topDown = false;
    std::uint32_t bitCount = 0;
    std::uint32_t compression = BiRgb;
    u64 tableBytes = 0; // bit masks after a plain info header, then the palette

    u64 rowStride() const { return (width * bitCount + 31) / 32 * 4; }
    bool compressed() const { return compression == BiRle8 || compression == BiRle4; }
};

// bytesPerPixel: what the decoder holds per pixel at its peak.
bool sizeWithinLimits(u64 width, u64 height, std::string &reason, u64 bytesPerPixel = 4)
{
    if (width > static_cast<u64>(maxPictureSide) || height > static_cast<u64>(maxPictureSide)) {
        reason = "picture side too large";
        return false;
    }
    // Sides are capped above, so the product cannot overflow.
    if (width * height > maxDecodedPictureBytes / bytesPerPixel) {
        reason = "decoded picture too large";
        return false;
    }
    return true;
}

// Reads the header at the start of `dib` (a bitmap without its file header).
bool readDibHeader(const Bytes &dib, DibLayout &out, std::string &reason)
{
    if (!dib.has(0, 4)) {
        reason = "info header cut short";
        return false;
    }
    out.headerSize = dib.u32(0);
    const u64 size = out.headerSize;
    if (size != coreHeaderSize && size != infoHeaderSize && size != v4HeaderSize && size != v5HeaderSize) {
        reason = "unknown info header size";
        return false;
    }
    if (!dib.has(0, size)) {
        reason = "info header cut short";
        return false;
    }

    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint32_t planes = 0;
    std::uint32_t colorsUsed = 0;
    u64 paletteEntrySize = 4;
    if (size == coreHeaderSize) {
        width = dib.u16(4);
        height = dib.u16(6);
        planes = dib.u16(8);
        out.bitCount = dib.u16(10);
        out.compression = BiRgb;
        paletteEntrySize = 3;
        if (out.bitCount != 1 && out.bitCount != 4 && out.bitCount != 8 && out.bitCount != 24) {
            reason = "unsupported bit count";
            return false;
        }
        // Decoders read these sides as signed 16-bit numbers.
        if (width > 32767 || height > 32767) {
            reason = "picture side too large";
            return false;
        }
    } else {
        width = dib.i32(4);
        height = dib.i32(8);
        planes = dib.u16(12);
        out.bitCount = dib.u16(14);
        out.compression = dib.u32(16);
        colorsUsed = dib.u32(32);
    }

    if (planes != 1) {
        reason = "plane count is not 1";
        return false;
    }
    const std::uint32_t bits = out.bitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        reason = "unsupported bit count";
        return false;
    }
    const std::uint32_t comp = out.compression;
    const bool compressionFits = comp == BiRgb || (comp == BiRle8 && bits == 8)
        || (comp == BiRle4 && bits == 4) || (comp == BiBitfields && (bits == 16 || bits == 32));
    if (!compressionFits) {
        reason = "unsupported compression";
        return false;
    }
    if (width <= 0 || height == 0) {
        reason = "empty or negative size";
        return false;
    }
    out.topDown = height < 0;
    if (out.topDown && out.compressed()) {
        reason = "compressed bitmap stored top-down";
        return false;
    }
    out.width = static_cast<u64>(width);
    out.height = static_cast<u64>(height < 0 ? -height : height); // 64-bit: INT32_MIN is safe
    if (!sizeWithinLimits(out.width, out.height, reason))
        return false;

    u64 paletteEntries = 0;
    if (bits <= 8) {
        const u64 fullPalette = u64{1} << bits;
        if (colorsUsed > fullPalette) {
            reason = "palette larger than the bit count allows";
            return false;
        }
        paletteEntries = colorsUsed != 0 ? colorsUsed : fullPalette;
    }
    const u64 maskBytes = (comp == BiBitfields && size == infoHeaderSize) ? 12 : 0;
    out.tableBytes = maskBytes + paletteEntries * paletteEntrySize;
    return true;
}

// Walks a run-length stream without expanding it: every opcode and literal
// run must lie inside the data and the stream must close with end-of-bitmap,
// otherwise the picture was cut short.
bool runLengthStreamComplete(const Bytes &data, bool fourBit)
{
    u64 pos = 0;
    while (data.has(pos, 2)) {
        const std::uint32_t count = data.u8(pos);
        const std::uint32_t code = data.u8(pos + 1);
        pos += 2;
        if (count != 0 || code == 0)
            continue; // repeated run or end of line
        if (code == 1)
            return true; // end of bitmap
        if (code == 2) {
            if (!data.has(pos, 2))
                return false;
            pos += 2;
            continue;
        }
        u64 literalBytes = fourBit ? (u64{code} + 1) / 2 : code;
        literalBytes += literalBytes & 1; // literal runs end on a 16-bit boundary
        if (!data.has(pos, literalBytes))
            return false;
        pos += literalBytes;
    }
    return false;
}

PictureCheck checkBitmap(const Bytes &file)
{
    const PictureKind kind = PictureKind::Bitmap;
    if (!file.startsWith(0, "BM"))
        return failed(kind, "does not begin with BM");
    if (!file.has(0, fileHeaderSize))
        return failed(kind, "file header cut short");
    const u64 pixelOffset = file.u32(10);

    DibLayout dib;
    std::string reason;
    if (!readDibHeader(file.slice(fileHeaderSize, file.size() - fileHeaderSize), dib, reason))
        return failed(kind, reason);

    const u64 tablesEnd = fileHeaderSize + dib.headerSize + dib.tableBytes;
    if (!file.has(0, tablesEnd))
        return failed(kind, "palette cut short");
    if (pixelOffset < tablesEnd)
        return failed(kind, "pixel data overlaps the headers");
    if (pixelOffset >= file.size())
        return failed(kind, "pixel data lies past the end");

    if (dib.compressed()) {
        const Bytes data = file.slice(pixelOffset, file.size() - pixelOffset);
        if (!runLengthStreamComplete(data, dib.compression == BiRle4))
            return failed(kind, "compressed pixel data cut short");
    } else if (!file.has(pixelOffset, dib.rowStride() * dib.height)) {
        return failed(kind, "pixel data cut short");
    }
    return passed(kind, dib.width * dib.height * 4);
}

constexpr std::string_view pngSignature("\x89PNG\r\n\x1a\n", 8);

// The header chunk must come first and hold a size and a pixel format the
// decoder knows; the rest of the chunks the decoder checks itself.
bool pngHeaderSound(const Bytes &png, std::string &reason, u64 &decodedBytes)
{
    if (!png.has(0, 33) || png.u32be(8) != 13 || !png.startsWith(12, "IHDR")) {
        reason = "PNG header broken";
        return false;
    }
    const u64 width = png.u32be(16);
    const u64 height = png.u32be(20);
    const std::uint32_t depth = png.u8(24);
    const std::uint32_t colour = png.u8(25);
    const bool formatKnown = (colour == 0 && (depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16))
        || (colour == 3 && (depth == 1 || depth == 2 || depth == 4 || depth == 8))
        || ((colour == 2 || colour == 4 || colour == 6) && (depth == 8 || depth == 16));
    if (!formatKnown) {
        reason = "unknown PNG pixel format";
        return false;
    }
    if (width == 0 || height == 0) {
        reason = "empty PNG picture";
        return false;
    }
    // Sixteen bits a channel decode to eight bytes a pixel.
    const u64 bytesPerPixel = depth == 16 ? 8 : 4;
    decodedBytes = width * height * bytesPerPixel; // sides are 32-bit: no overflow
    return sizeWithinLimits(width, height, reason, bytesPerPixel);
}

bool iconImageSound(const Bytes &image, std::string &reason, u64 &decodedBytes)
{
    if (image.startsWith(0, pngSignature))
        return pngHeaderSound(image, reason, decodedBytes);

    DibLayout dib;
    if (!readDibHeader(image, dib, reason))
        return false;
    // Icon images are plain bottom-up colour bits followed by a 1-bit mask,
    // and their header counts both halves in the height.
    if (dib.headerSize != infoHeaderSize || dib.compression != BiRgb || dib.topDown || dib.height < 2) {
        reason = "unsupported icon image layout";
        return false;
    }
    const u64 height = dib.height / 2;
    const u64 maskStride = (dib.width + 31) / 32 * 4;
    const u64 needed = dib.headerSize + dib.tableBytes + (dib.rowStride() + maskStride) * height;
    if (!image.has(0, needed)) {
        reason = "icon image cut short";
        return false;
    }
    decodedBytes = dib.width * height * 4;
    return true;
}

PictureCheck checkIcon(const Bytes &file)
{
    const PictureKind kind = PictureKind::Icon;
    constexpr u64 directoryHeader = 6;
    constexpr u64 entrySize = 16;
    if (!file.has(0, directoryHeader))
        return failed(kind, "icon header cut short");
    if (file.u16(0) != 0 || file.u16(2) != 1)
        return failed(kind, "not an icon file");
    const u64 count = file.u16(4);
    if (count == 0)
        return failed(kind, "icon holds no images");
    const u64 directoryEnd = directoryHeader + count * entrySize;
    if (!file.has(0, directoryEnd))
        return failed(kind, "icon directory cut short");

    u64 decodedBytes = 0;
    for (u64 i = 0; i < count; ++i) {
        const u64 entry = directoryHeader + i * entrySize;
        const u64 imageSize = file.u32(entry + 8);
        const u64 imageOffset = file.u32(entry + 12);
        if (imageSize == 0 || imageOffset < directoryEnd || !file.has(imageOffset, imageSize))
            return failed(kind, "icon image lies outside the file");
        std::string reason;
        u64 imageBytes = 0;
        if (!iconImageSound(file.slice(imageOffset, imageSize), reason, imageBytes))
            return failed(kind, reason);
        decodedBytes = std::max(decodedBytes, imageBytes);
    }
    return passed(kind, decodedBytes);
}

PictureCheck checkPng(const Bytes &file)
{
    const PictureKind kind = PictureKind::Png;
    if (!file.startsWith(0, pngSignature))
        return failed(kind, "does not begin with the PNG signature");
    std::string reason;
    u64 decodedBytes = 0;
    if (!pngHeaderSound(file, reason, decodedBytes))
        return failed(kind, reason);
    return passed(kind, decodedBytes);
}

// Walks the markers up to the first frame header, which gives the size.
PictureCheck checkJpeg(const Bytes &file)
{
    const PictureKind kind = PictureKind::Jpeg;
    if (file.u8(0) != 0xFF || file.u8(1) != 0xD8)
        return failed(kind, "does not begin with a JPEG start marker");
    u64 pos = 2;
    for (;;) {
        if (!file.has(pos, 2) || file.u8(pos) != 0xFF)
            return failed(kind, "JPEG markers broken before the frame header");
        while (file.has(pos + 1, 1) && file.u8(pos + 1) == 0xFF)
            ++pos; // fill bytes
        const std::uint32_t marker = file.u8(pos + 1);
        pos += 2;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue; // no length follows
        if (marker == 0xD9 || marker == 0xDA)
            return failed(kind, "JPEG has no frame header before its data");
        const u64 length = file.u16be(pos);
        if (length < 2 || !file.has(pos, length))
            return failed(kind, "JPEG segment cut short");
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (!frame) {
            pos += length;
            continue;
        }
        if (length < 8)
            return failed(kind, "JPEG frame header cut short");
        const u64 height = file.u16be(pos + 3);
        const u64 width = file.u16be(pos + 5);
        const u64 components = file.u8(pos + 7);
        if (width == 0 || height == 0)
            return failed(kind, "empty or negative size");
        if (components != 1 && components != 3 && components != 4)
            return failed(kind, "unsupported JPEG component count");
        // A progressive picture keeps two bytes a sample of coefficients
        // besides the decoded picture.
        const bool progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
        std::string reason;
        const u64 bytesPerPixel = progressive ? 4 + 2 * components : 4;
        if (!sizeWithinLimits(width, height, reason, bytesPerPixel))
            return failed(kind, reason);
        return passed(kind, width * height * bytesPerPixel);
    }
}

PictureCheck checkMetafile(const Bytes &file, bool enhanced)
{
    const PictureKind kind = PictureKind::Metafile;
    if (enhanced) {
        constexpr u64 minimumHeader = 88;
        constexpr std::uint32_t headerRecord = 1;
        constexpr std::uint32_t signature = 0x464D4520; // " EMF"
        if (!file.has(0, minimumHeader) || file.u32(0) != headerRecord || file.u32(40) != signature)
            return failed(kind, "not an enhanced metafile");
        const u64 headerSize = file.u32(4);
        if (headerSize < minimumHeader || !file.has(0, headerSize))
            return failed(kind, "metafile header cut short");
        return passed(kind);
    }

    constexpr std::uint32_t placeableKey = 0x9AC6CDD7;
    constexpr u64 placeableHeader = 22;
    constexpr u64 metaHeader = 18;
    const u64 start = file.u32(0) == placeableKey ? placeableHeader : 0;
    if (!file.has(start, metaHeader))
        return failed(kind, "metafile header cut short");
    const std::uint32_t type = file.u16(start);
    const std::uint32_t headerWords = file.u16(start + 2);
    const std::uint32_t version = file.u16(start + 4);
    if ((type != 1 && type != 2) || headerWords != 9 || (version != 0x0100 && version != 0x0300))
        return failed(kind, "not a metafile");
    return passed(kind);
}

} // namespace

PictureCheck checkPictureBytes(std::string_view fileName, std::string_view bytes)
{
    const std::string extension = lowerExtension(fileName);
    const Bytes file(bytes);
    if (extension == "bmp")
        return checkBitmap(file);
    if (extension == "png")
        return checkPng(file);
    if (extension == "jpg" || extension == "jpeg")
        return checkJpeg(file);
    if (extension == "ico")
        return checkIcon(file);
    if (extension == "emf")
        return checkMetafile(file, true);
    if (extension == "wmf")
        return checkMetafile(file, false);
    return failed(PictureKind::Bitmap, "unknown picture extension");
}

PictureCheck checkPictureFile(const std::string &path, std::string *bytesOut)
{
    if (bytesOut)
        bytesOut->clear();

    // Non-blocking so that a FIFO under a picture's name cannot hang the
    // window. The cap holds for what is actually read, not only for the size
    // the file claimed: it may grow while it is read.
    FileRead file = readWholeFile(path, maxPictureFileBytes, OverLimit::Refuse);
    switch (file.status) {
    case FileReadStatus::Ok:
        break;
    case FileReadStatus::CannotOpen:
        return failed(PictureKind::Bitmap, "cannot open file");
    case FileReadStatus::NotRegularFile:
        return failed(PictureKind::Bitmap, "not a regular file");
    case FileReadStatus::TooLarge:
        return failed(PictureKind::Bitmap, "file too large");
    case FileReadStatus::ReadFailed:
        return failed(PictureKind::Bitmap, "cannot read file");
    }

    PictureCheck check = checkPictureBytes(path, file.bytes);
    if (check.ok && bytesOut)
        *bytesOut = std::move(file.bytes);
    return check;
}

PictureFile readPictureFile(const std::string &path)
{
    PictureFile file;
    if (path.empty())
        return file;
    const FileStampPair stamp = stampAndFingerprint(path);
    if (stamp.age == -1)
        return file;
    workAhead(stamp.print.size);
    file.exists = true;
    file.check = checkPictureFile(path, &file.bytes);
    // Decoding follows on this worker: a large picture is not waited for.
    workAhead(static_cast<std::int64_t>(file.check.decodedBytes));
    return file;
}

} // namespace scb
