#include "gui/common/qt_text.h"

#include <QByteArray>
#include <QStringDecoder>
#include <QStringEncoder>

#include "core/text/code_page.h"

namespace vel {

namespace {

// ICU's name for Microsoft's Shift-JIS (CP932), which also covers the NEC and
// IBM extensions that pages and old settings files use.
constexpr const char* kCp932Name = "windows-31j";

}  // namespace

QString toQString(std::string_view bytes)
{
    if (currentCodePage() == CodePage::SingleByte)
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QStringDecoder decoder(kCp932Name);
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringDecoder::Latin1);
    return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string fromQString(const QString& text)
{
    QByteArray bytes;
    if (currentCodePage() == CodePage::SingleByte) {
        bytes = text.toLatin1();
    } else {
        QStringEncoder encoder(kCp932Name);
        if (!encoder.isValid())
            encoder = QStringEncoder(QStringEncoder::Latin1);
        bytes = encoder.encode(text);
    }
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString toQString(std::string_view bytes, PageCharset charset)
{
    if (charset == PageCharset::Utf8)
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return toQString(bytes);
}

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace vel
