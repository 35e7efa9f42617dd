#include "core/pictures/image_size.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace vel {

namespace {

constexpr std::size_t kSvgTagCap = 4096;  // the root tag's own bytes

std::uint32_t byteAt(std::string_view b, std::size_t i)
{
    return static_cast<unsigned char>(b[i]);
}
std::uint32_t be16(std::string_view b, std::size_t i)
{
    return byteAt(b, i) << 8 | byteAt(b, i + 1);
}
std::uint32_t le16(std::string_view b, std::size_t i)
{
    return byteAt(b, i) | byteAt(b, i + 1) << 8;
}
std::uint32_t le24(std::string_view b, std::size_t i)
{
    return le16(b, i) | byteAt(b, i + 2) << 16;
}
std::uint32_t be32(std::string_view b, std::size_t i)
{
    return be16(b, i) << 16 | be16(b, i + 2);
}
std::uint32_t le32(std::string_view b, std::size_t i)
{
    return le16(b, i) | le16(b, i + 2) << 16;
}

ImageHeader needMore()
{
    return {ImageHeaderStatus::NeedMore};
}
ImageHeader notPicture()
{
    return {};
}
ImageHeader known(PictureFormat format, std::uint32_t width, std::uint32_t height,
                  std::size_t consumed)
{
    if (width == 0 || height == 0)
        return notPicture();
    return {ImageHeaderStatus::Known, format, width, height, consumed};
}

// Whether `bytes` starts with `magic`; nothing when too short to tell.
std::optional<bool> startsWith(std::string_view bytes, std::string_view magic)
{
    const std::size_t n = std::min(bytes.size(), magic.size());
    if (bytes.substr(0, n) != magic.substr(0, n))
        return false;
    if (n < magic.size())
        return std::nullopt;
    return true;
}

ImageHeader readPng(std::string_view b)
{
    if (b.size() < 24)
        return needMore();
    if (b.substr(12, 4) != "IHDR")
        return notPicture();
    return known(PictureFormat::Png, be32(b, 16), be32(b, 20), 24);
}

ImageHeader readGif(std::string_view b)
{
    if (b.size() < 10)
        return needMore();
    return known(PictureFormat::Gif, le16(b, 6), le16(b, 8), 10);
}

bool isFrameHeader(std::uint32_t marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

ImageHeader readJpeg(std::string_view b)
{
    std::size_t at = 2;
    for (;;) {
        if (at >= kMaxImageHeaderBytes)
            return notPicture();
        if (at + 2 > b.size())
            return needMore();
        if (byteAt(b, at) != 0xFF)
            return notPicture();
        const std::uint32_t marker = byteAt(b, at + 1);
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // no length
            at += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA)  // the end or the scan, before any frame
            return notPicture();
        if (at + 4 > b.size())
            return needMore();
        const std::uint32_t length = be16(b, at + 2);
        if (length < 2)
            return notPicture();
        if (isFrameHeader(marker)) {
            if (length < 7)
                return notPicture();
            if (at + 9 > b.size())
                return needMore();
            return known(PictureFormat::Jpeg, be16(b, at + 7), be16(b, at + 5), at + 9);
        }
        at += 2 + length;
    }
}

ImageHeader readWebp(std::string_view b)
{
    if (b.size() < 16)
        return needMore();
    if (b.substr(8, 4) != "WEBP")
        return notPicture();
    const std::string_view chunk = b.substr(12, 4);
    if (chunk == "VP8 ") {
        if (b.size() < 30)
            return needMore();
        if (byteAt(b, 23) != 0x9D || byteAt(b, 24) != 0x01 || byteAt(b, 25) != 0x2A)
            return notPicture();
        return known(PictureFormat::Webp, le16(b, 26) & 0x3FFF, le16(b, 28) & 0x3FFF, 30);
    }
    if (chunk == "VP8L") {
        if (b.size() < 25)
            return needMore();
        if (byteAt(b, 20) != 0x2F)
            return notPicture();
        const std::uint32_t bits = le32(b, 21);
        return known(PictureFormat::Webp, (bits & 0x3FFF) + 1, ((bits >> 14) & 0x3FFF) + 1, 25);
    }
    if (chunk == "VP8X") {
        if (b.size() < 30)
            return needMore();
        return known(PictureFormat::Webp, le24(b, 24) + 1, le24(b, 27) + 1, 30);
    }
    return notPicture();
}

ImageHeader readBmp(std::string_view b)
{
    if (b.size() < 18)
        return needMore();
    const std::uint32_t infoSize = le32(b, 14);
    if (infoSize == 12) {
        if (b.size() < 22)
            return needMore();
        return known(PictureFormat::Bmp, le16(b, 18), le16(b, 20), 22);
    }
    if (infoSize < 40 || infoSize > 1024)
        return notPicture();
    if (b.size() < 26)
        return needMore();
    const auto width = static_cast<std::int32_t>(le32(b, 18));
    const auto height = static_cast<std::int32_t>(le32(b, 22));
    // A negative height is a picture stored top row first.
    const std::int64_t rows = height < 0 ? -static_cast<std::int64_t>(height) : height;
    if (width < 0 || rows > INT32_MAX)
        return notPicture();
    return known(PictureFormat::Bmp, static_cast<std::uint32_t>(width),
                 static_cast<std::uint32_t>(rows), 26);
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A length in pixels: a number, "px" allowed; nothing for other units.
std::optional<double> pixels(std::string_view value)
{
    while (!value.empty() && isSpace(value.front()))
        value.remove_prefix(1);
    while (!value.empty() && isSpace(value.back()))
        value.remove_suffix(1);
    if (value.size() > 2 && value.substr(value.size() - 2) == "px")
        value.remove_suffix(2);
    double number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (error != std::errc() || end != value.data() + value.size() || !(number > 0) || number > 1e9)
        return std::nullopt;
    return number;
}

// The value of attribute `name` in the tag text `tag`; nothing when absent.
std::optional<std::string_view> attribute(std::string_view tag, std::string_view name)
{
    for (std::size_t at = tag.find(name); at != std::string_view::npos;
         at = tag.find(name, at + 1)) {
        if (at == 0 || !isSpace(tag[at - 1]))
            continue;
        std::size_t i = at + name.size();
        while (i < tag.size() && isSpace(tag[i]))
            ++i;
        if (i >= tag.size() || tag[i] != '=')
            continue;
        ++i;
        while (i < tag.size() && isSpace(tag[i]))
            ++i;
        if (i >= tag.size() || (tag[i] != '"' && tag[i] != '\''))
            return std::nullopt;
        const std::size_t close = tag.find(tag[i], i + 1);
        if (close == std::string_view::npos)
            return std::nullopt;
        return tag.substr(i + 1, close - i - 1);
    }
    return std::nullopt;
}

std::uint32_t rounded(double value)
{
    return static_cast<std::uint32_t>(value + 0.5);
}

// The root tag's width and height, else the last two numbers of its viewBox.
ImageHeader svgSize(std::string_view tag, std::size_t consumed)
{
    const auto width = attribute(tag, "width");
    const auto height = attribute(tag, "height");
    const auto w = width ? pixels(*width) : std::nullopt;
    const auto h = height ? pixels(*height) : std::nullopt;
    if (w && h)
        return known(PictureFormat::Svg, rounded(*w), rounded(*h), consumed);
    const auto viewBox = attribute(tag, "viewBox");
    if (!viewBox)
        return notPicture();
    double box[4] = {};
    std::string_view rest = *viewBox;
    for (double& number : box) {
        while (!rest.empty() && (isSpace(rest.front()) || rest.front() == ','))
            rest.remove_prefix(1);
        const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), number);
        if (error != std::errc())
            return notPicture();
        rest.remove_prefix(static_cast<std::size_t>(end - rest.data()));
    }
    if (!(box[2] > 0 && box[3] > 0 && box[2] < 1e9 && box[3] < 1e9))
        return notPicture();
    return known(PictureFormat::Svg, rounded(box[2]), rounded(box[3]), consumed);
}

// An SVG document: a prolog of XML declaration, comments and doctype, then
// the <svg> root tag.
ImageHeader readSvg(std::string_view b)
{
    std::size_t at = 0;
    if (b.substr(0, 3) == "\xEF\xBB\xBF")
        at = 3;
    for (;;) {
        while (at < b.size() && isSpace(b[at]))
            ++at;
        if (at >= kMaxImageHeaderBytes)
            return notPicture();
        const std::string_view rest = b.substr(std::min(at, b.size()));
        std::string_view close;
        for (const auto& [open, end] : {std::pair<std::string_view, std::string_view>{"<?", "?>"},
                                        {"<!--", "-->"},
                                        {"<!DOCTYPE", ">"}}) {
            const auto starts = startsWith(rest, open);
            if (!starts)
                return needMore();
            if (*starts)
                close = end;
        }
        if (close.empty())
            break;
        const std::size_t found = b.find(close, at + 2);
        if (found == std::string_view::npos)
            return b.size() >= kMaxImageHeaderBytes ? notPicture() : needMore();
        at = found + close.size();
    }
    const std::string_view rest = b.substr(at);
    if (rest.size() < 5)
        return startsWith(rest, "<svg").value_or(true) ? needMore() : notPicture();
    if (rest.substr(0, 4) != "<svg" || !(isSpace(rest[4]) || rest[4] == '>' || rest[4] == '/'))
        return notPicture();
    const std::string_view tag = rest.substr(0, std::min(rest.size(), kSvgTagCap));
    const std::size_t end = tag.find('>');
    if (end == std::string_view::npos)
        return tag.size() >= kSvgTagCap || at + tag.size() >= kMaxImageHeaderBytes ? notPicture()
                                                                                   : needMore();
    return svgSize(tag.substr(0, end), at + end + 1);
}

ImageHeader readCapped(std::string_view bytes)
{
    if (bytes.empty())
        return needMore();
    struct Reader {
        std::string_view magic;
        ImageHeader (*read)(std::string_view);
    };
    const Reader readers[] = {
        {"\x89PNG\r\n\x1A\n", readPng}, {"GIF87a", readGif}, {"GIF89a", readGif},
        {"\xFF\xD8", readJpeg},         {"RIFF", readWebp},  {"BM", readBmp},
    };
    bool undecided = false;
    for (const Reader& reader : readers) {
        const auto starts = startsWith(bytes, reader.magic);
        if (!starts)
            undecided = true;
        else if (*starts)
            return reader.read(bytes);
    }
    // Markup: an SVG document, perhaps after a byte order mark.
    const auto bom = startsWith(bytes, "\xEF\xBB\xBF");
    if (!bom)
        return needMore();
    const std::size_t start = *bom ? 3 : 0;
    if (bytes.size() <= start)
        return needMore();
    if (bytes[start] == '<' || isSpace(bytes[start]))
        return readSvg(bytes);
    return undecided ? needMore() : notPicture();
}

}  // namespace

ImageHeader readImageHeader(std::string_view bytes)
{
    // Past the cap, bytes that still ask for more hold no size to be read.
    const bool capped = bytes.size() >= kMaxImageHeaderBytes;
    const ImageHeader header = readCapped(bytes.substr(0, kMaxImageHeaderBytes));
    return capped && header.status == ImageHeaderStatus::NeedMore ? notPicture() : header;
}

}  // namespace vel
