#include "adapters/BackgroundPicture.h"
#include "adapters/QtConvert.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImageReader>

namespace {

QImage decode(const std::string &bytes, const char *format)
{
    QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&buffer, format);
    // The check vouched for this format only; never let content sniffing
    // hand the bytes to some other decoder.
    reader.setAutoDetectImageFormat(false);

    // Run-length bitmaps may skip pixels (delta codes, short lines). The
    // decoder writes into an image of the right size and format when given
    // one, so a zero-filled image leaves skipped pixels at palette index 0
    // instead of whatever the allocator handed out.
    QImage image;
    const QSize size = reader.size();
    const QImage::Format imageFormat = reader.imageFormat();
    if (size.isValid() && imageFormat != QImage::Format_Invalid) {
        image = QImage(size, imageFormat);
        if (!image.isNull())
            image.fill(0);
    }
    if (!reader.read(&image))
        return {};
    return image;
}

const char *decoderFormat(scb::PictureKind kind)
{
    switch (kind) {
    case scb::PictureKind::Png:
        return "PNG";
    case scb::PictureKind::Jpeg:
        return "JPEG";
    case scb::PictureKind::Icon:
        return "ICO";
    case scb::PictureKind::Bitmap:
    case scb::PictureKind::Metafile:
        break;
    }
    return "BMP";
}

} // namespace

PictureLoad loadPictureFile(const std::string &path)
{
    const scb::PictureFile file = scb::readPictureFile(path);
    return PictureLoad{file.exists, decodeBackgroundPicture(file.check, file.bytes)};
}

std::optional<LoadedPicture> decodeBackgroundPicture(const scb::PictureCheck &check, const std::string &bytes)
{
    if (!check.ok)
        return std::nullopt;
    if (check.kind == scb::PictureKind::Metafile)
        return LoadedPicture{QImage(), check.kind};

    QImage image = decode(bytes, decoderFormat(check.kind));
    if (image.isNull())
        return std::nullopt;
    const QImage::Format paintable =
        image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    image = image.convertToFormat(paintable);
    if (image.isNull())
        return std::nullopt;
    return LoadedPicture{image, check.kind};
}

QString backgroundLoadErrorText(const QString &path)
{
    return QStringLiteral("Could not load background bitmap image") + QLatin1Char('\n') + path
        + QStringLiteral("\n\nPictures can be Windows bitmaps (.bmp), PNG (.png), JPEG (.jpg, .jpeg), "
                         "icons (.ico) or metafiles (.emf, .wmf).");
}

std::optional<QString> takePictureFile(scb::DisplayState &state, QImage &picture, const std::string &path,
                                       PictureLoad &&load)
{
    state.BackgroundLoaded = load.exists;
    if (!load.exists) {
        if (path.empty())
            picture = QImage();
        return std::nullopt;
    }
    // A metafile loads but gives no bitmap: the rows keep the plain colour.
    if (load.picture) {
        picture = std::move(load.picture->image);
        return std::nullopt;
    }
    if (state.Choices.Look.BackgroundImagePath == path)
        state.Choices.Look.BackgroundImagePath.clear();
    return backgroundLoadErrorText(fromBytes(path));
}
