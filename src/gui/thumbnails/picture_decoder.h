#pragma once

#include <string>

#include <QImage>
#include <QSize>
#include <QString>

#include "core/pictures/size_filter.h"

namespace vel {

// A fetched file made into a thumbnail: what is known of it, its picture
// scaled down to fit `box` (never up), or why there is none.
struct DecodedPicture {
    PictureFacts facts;
    QImage image;
    QString problem;
};

// The most memory one decode may take, in MiB (QImageReader's allocation limit).
inline constexpr int kDecodeAllocationMiB = 128;

// Decodes `bytes` at reduced size (QImageReader::setScaledSize, so a JPEG is
// decoded at a fraction of its pixels) within kDecodeAllocationMiB. Safe on
// any thread.
DecodedPicture decodePicture(const std::string& bytes, QSize box);

}  // namespace vel
