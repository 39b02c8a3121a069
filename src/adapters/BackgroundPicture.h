#pragma once
// The scoreboard's background picture, loaded for the rows to copy from.
// The file's bytes pass scb::checkPictureBytes before any decoder sees them,
// so a truncated or oversized bitmap is refused instead of painting
// uninitialised memory or exhausting it.

#include "core/PictureCheck.h"

#include <QImage>
#include <QString>

#include "core/DisplayState.h"

#include <optional>

struct LoadedPicture
{
    // RGB32, or ARGB32_Premultiplied when the picture has transparency.
    // Null for a metafile: it is recognised but never drawn, because only
    // bitmaps serve as the source the rows copy from.
    QImage image;
    scb::PictureKind kind = scb::PictureKind::Bitmap;
};

// A picture file read, checked and decoded, all of it off the interface
// thread (a QImage may be made on any thread): whether a file exists at path
// and, when one does, its picture, empty when it does not decode.
struct PictureLoad
{
    bool exists = false;
    std::optional<LoadedPicture> picture;
};
PictureLoad loadPictureFile(const std::string &path);

// The same for a file already read: empty unless the check passed and the
// bytes decode.
std::optional<LoadedPicture> decodeBackgroundPicture(const scb::PictureCheck &check, const std::string &bytes);

// The text of the message box shown when loading fails.
QString backgroundLoadErrorText(const QString &path);

// Takes a loaded picture into the state and the picture the cells copy
// from. No picture chosen forgets the held one, so a removed picture cannot
// come back; a file that does not decode keeps the previous picture and
// forgets the path, so the next start-up does not try it again. Returns the
// message for the operator when it failed.
std::optional<QString> takePictureFile(scb::DisplayState &state, QImage &picture, const std::string &path,
                                       PictureLoad &&load);
