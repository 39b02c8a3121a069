#pragma once
// Gatekeeper for the background picture file, run before any image decoder
// sees its bytes. The operator may pick any file (the picker does not insist
// it exists, and the path comes back from the settings file on every start),
// so a truncated or hostile bitmap must be refused here instead of decoding to
// uninitialised pixels or a huge allocation.
//
// Accepted: names ending in .bmp, .png, .jpg, .jpeg, .ico, .emf or .wmf (any
// letter case) whose bytes carry a well-formed header of that kind. Bitmaps
// and icons are checked so that every byte the decoder will read lies inside
// the file; PNG and JPEG pictures, whose decoders check their own data, by
// the size their header gives. Each decoded picture needs at most
// maxDecodedPictureBytes. Metafiles are only recognised by their header: they
// are never decoded, because only bitmaps serve as the source the rows copy
// from.
//
// checkPictureBytes is a pure function of its arguments and reads nothing
// outside `bytes`, whatever they hold.

#include <cstdint>
#include <string>
#include <string_view>

namespace scb {

enum class PictureKind { Bitmap, Png, Jpeg, Icon, Metafile };

struct PictureCheck
{
    bool ok = false;
    PictureKind kind = PictureKind::Bitmap;
    std::string reason; // why it failed, for tests and debugging only
    // What the decoded picture takes at most, from its header (0 for a
    // metafile): the worker that decodes it says so before it starts.
    std::uint64_t decodedBytes = 0;
};

inline constexpr std::uint64_t maxDecodedPictureBytes = 100ull * 1024 * 1024;
inline constexpr std::uint64_t maxPictureFileBytes = 200ull * 1024 * 1024;
inline constexpr std::int64_t maxPictureSide = 65535;

// fileName supplies the extension (the text after the last '.' of the last
// path component); it may be a bare name or a whole path.
PictureCheck checkPictureBytes(std::string_view fileName, std::string_view bytes);

// Reads the file at `path` (bytes as the file system takes them) and checks
// it. Fails without blocking for anything but a regular file, and for files
// larger than maxPictureFileBytes. On success the bytes go to *bytesOut when
// it is given; on failure *bytesOut is left empty.
PictureCheck checkPictureFile(const std::string &path, std::string *bytesOut);

// All that loading the picture asks of the file system, in one call so that
// it can run off the interface thread: whether a file exists at path (an
// empty path or a folder names none) and, when one does, its checked bytes.
struct PictureFile
{
    bool exists = false;
    PictureCheck check;
    std::string bytes; // when check.ok
};
PictureFile readPictureFile(const std::string &path);

} // namespace scb
