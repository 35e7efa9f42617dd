#include "core/html/page_charset.h"

#include <cstddef>
#include <optional>
#include <string>

#include "core/html/html_text.h"
#include "core/text/code_page.h"

namespace vel {

namespace {

constexpr std::size_t kPrescanBytes = 1024;

// The value after "charset=" in an already lower-cased text, unquoted.
std::optional<std::string> charsetParameter(std::string_view text)
{
    const std::size_t at = text.find("charset");
    if (at == std::string_view::npos)
        return std::nullopt;
    std::size_t i = at + 7;
    while (i < text.size() && isHtmlSpace(text[i]))
        ++i;
    if (i >= text.size() || text[i] != '=')
        return std::nullopt;
    ++i;
    while (i < text.size() && isHtmlSpace(text[i]))
        ++i;
    const char quote = i < text.size() && (text[i] == '"' || text[i] == '\'') ? text[i] : '\0';
    if (quote)
        ++i;
    std::string value;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (quote ? c == quote : (isHtmlSpace(c) || c == ';' || c == '"' || c == '\'' || c == '>'))
            break;
        value.push_back(c);
    }
    if (value.empty())
        return std::nullopt;
    return value;
}

PageCharset charsetNamed(std::string_view name)
{
    return name == "utf-8" || name == "utf8" ? PageCharset::Utf8 : PageCharset::CodePage;
}

// A charset declared by a <meta> element near the top of the page.
std::optional<std::string> metaCharset(std::string_view top)
{
    const std::string text = toLowerAscii(top);
    for (std::size_t at = text.find("<meta"); at != std::string::npos;
         at = text.find("<meta", at + 5)) {
        const std::size_t end = text.find('>', at);
        const std::string_view element = std::string_view(text).substr(
            at, end == std::string::npos ? std::string::npos : end - at);
        if (auto value = charsetParameter(element))
            return value;
    }
    return std::nullopt;
}

}  // namespace

PageCharset detectPageCharset(std::string_view contentType, std::string_view pageSource)
{
    if (auto declared = charsetParameter(toLowerAscii(contentType)))
        return charsetNamed(*declared);
    if (auto declared = metaCharset(pageSource.substr(0, kPrescanBytes)))
        return charsetNamed(*declared);
    if (pageSource.substr(0, 3) == "\xEF\xBB\xBF")
        return PageCharset::Utf8;
    return PageCharset::CodePage;
}

CodePage scanningCodePage(PageCharset charset)
{
    return charset == PageCharset::Utf8 ? CodePage::SingleByte : currentCodePage();
}

}  // namespace vel
