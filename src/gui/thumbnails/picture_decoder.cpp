#include "gui/thumbnails/picture_decoder.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include "core/pictures/image_size.h"

namespace vel {

DecodedPicture decodePicture(const std::string& bytes, QSize box)
{
    DecodedPicture decoded;
    decoded.facts.bytes = bytes.size();
    const ImageHeader header = readImageHeader(bytes);
    QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAllocationLimit(kDecodeAllocationMiB);
    QSize size;
    if (header.status == ImageHeaderStatus::Known)
        size = QSize(static_cast<int>(std::min<std::uint32_t>(header.width, INT32_MAX)),
                     static_cast<int>(std::min<std::uint32_t>(header.height, INT32_MAX)));
    else if (reader.canRead())
        size = reader.size();
    else {
        decoded.problem = QStringLiteral("画像ではありません（エラーページなど）");
        return decoded;
    }
    if (size.isValid()) {
        decoded.facts.width = static_cast<std::uint32_t>(size.width());
        decoded.facts.height = static_cast<std::uint32_t>(size.height());
        reader.setScaledSize(size.width() > box.width() || size.height() > box.height()
                                 ? size.scaled(box, Qt::KeepAspectRatio).expandedTo({1, 1})
                                 : size);
    }
    decoded.image = reader.read();
    if (decoded.image.isNull()) {
        const double pixels = double(size.width()) * size.height();
        decoded.problem = pixels * 4 > double(kDecodeAllocationMiB) * 1024 * 1024
            ? QStringLiteral("画像が大きすぎて縮小表示できません")
            : QStringLiteral("画像が壊れているか、途中で切れています");
    }
    return decoded;
}

}  // namespace vel
