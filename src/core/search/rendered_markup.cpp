#include "core/search/rendered_markup.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "core/html/html_text.h"
#include "core/html/page_charset.h"
#include "core/http/header_text.h"
#include "core/text/code_page.h"

namespace vel {

namespace {

constexpr std::string_view::size_type npos = std::string_view::npos;

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isOneOf(std::string_view name, std::initializer_list<std::string_view> names)
{
    for (const std::string_view one : names) {
        if (name == one)
            return true;
    }
    return false;
}

// Elements whose content the serialization writes as raw text, not markup.
bool isRawTextElement(std::string_view tag)
{
    return isOneOf(tag, {"script", "style", "xmp", "iframe", "noembed", "noframes", "noscript"});
}

struct Attribute {
    std::string name;  // lower case
    std::string value;  // character references decoded
};

struct StartTag {
    std::vector<Attribute> attributes;
    bool selfClosed = false;  // "<script/>" as an XML serialization writes it
};

// Whether reportAttributes reads an attribute of this name (any case).
bool mayNameResource(std::string_view name)
{
    for (const std::string_view one :
         {"src", "href", "poster", "background", "data", "lowsrc", "xlink:href", "srcset",
          "imagesrcset", "style", "content", "property", "name", "itemprop"}) {
        if (equalsIgnoringCase(name, one))
            return true;
    }
    return name.size() > 5 && equalsIgnoringCase(name.substr(0, 5), "data-");
}

// The attributes of the start tag whose name ends at `i` that may name a
// resource; leaves `i` after
// the tag's ">". A name runs to a space, "/", ">" or "=" (quotes are part of
// it, as the browser keeps them); the serialization quotes every value.
StartTag readStartTag(std::string_view markup, std::size_t& i)
{
    StartTag tag;
    const std::size_t n = markup.size();
    while (i < n) {
        while (i < n && (isHtmlSpace(markup[i]) || markup[i] == '/'))
            ++i;
        if (i >= n)
            break;
        if (markup[i] == '>') {
            tag.selfClosed = markup[i - 1] == '/';
            ++i;
            break;
        }
        const std::size_t nameStart = i;
        while (i < n && !isHtmlSpace(markup[i]) && markup[i] != '>' && markup[i] != '/'
               && markup[i] != '=')
            ++i;
        if (i == nameStart) {
            ++i;  // a stray "="
            continue;
        }
        const std::string_view name = markup.substr(nameStart, i - nameStart);
        std::string_view value;
        if (i < n && markup[i] == '=') {
            ++i;
            std::size_t end;
            if (i < n && (markup[i] == '"' || markup[i] == '\'')) {
                const char quote = markup[i++];
                end = markup.find(quote, i);
                if (end == npos)
                    end = n;
                value = markup.substr(i, end - i);
                i = end < n ? end + 1 : n;
            } else {
                end = i;
                while (end < n && !isHtmlSpace(markup[end]) && markup[end] != '>')
                    ++end;
                value = markup.substr(i, end - i);
                i = end;
            }
        }
        if (tag.attributes.size() < RenderedMarkupReader::kMaxKeptAttributes
            && mayNameResource(name)) {
            tag.attributes.push_back(
                {toLowerAscii(name), decodeCharacterReferences(value, PageCharset::Utf8)});
        }
    }
    return tag;
}

const std::string* valueOf(const std::vector<Attribute>& attributes, std::string_view name)
{
    for (const Attribute& attribute : attributes) {
        if (attribute.name == name)
            return &attribute.value;
    }
    return nullptr;
}

void reportAttributes(std::string_view tag, const std::vector<Attribute>& attributes,
                      const ReferenceSink& onReference)
{
    // What a <meta> names: its first non-empty property, name or itemprop.
    std::string_view metaKind;
    if (tag == "meta") {
        for (const std::string_view kindName : {"property", "name", "itemprop"}) {
            const std::string* value = valueOf(attributes, kindName);
            if (value && !value->empty()) {
                metaKind = *value;
                break;
            }
        }
    }
    for (const Attribute& attribute : attributes) {
        const std::string_view name = attribute.name;
        if (isOneOf(name,
                    {"src", "href", "poster", "background", "data", "lowsrc", "xlink:href"})) {
            onReference(attribute.value);
        } else if (name == "srcset" || name == "imagesrcset") {
            forEachSrcsetCandidate(attribute.value, onReference);
        } else if (name == "style") {
            forEachCssUrl(attribute.value, onReference);
        } else if (name.substr(0, 5) == "data-") {
            forEachDataAttributeUrl(name, attribute.value, onReference);
        } else if (name == "content" && tag == "meta" && isMediaMetaKind(metaKind)) {
            onReference(attribute.value);
        }
    }
}

// Where the raw text of a `tag` element that starts at `from` ends: at its
// end tag, "</" and the name in any case followed by a space, "/" or ">" (a
// script's text may hold "</scripts" or "</script'").
std::size_t rawTextEnd(std::string_view markup, std::string_view tag, std::size_t from)
{
    for (std::size_t at = markup.find("</", from); at != npos; at = markup.find("</", at + 2)) {
        const std::size_t after = at + 2 + tag.size();
        if (after > markup.size() || !equalsIgnoringCase(markup.substr(at + 2, tag.size()), tag))
            continue;
        if (after == markup.size() || isHtmlSpace(markup[after]) || markup[after] == '/'
            || markup[after] == '>')
            return at;
    }
    return markup.size();
}

// Where the markup goes on after `from` when `what` is not found.
std::size_t after(std::string_view markup, std::string_view what, std::size_t from)
{
    const std::size_t at = markup.find(what, from);
    return at == npos ? markup.size() : at + what.size();
}

}  // namespace

void scanRenderedMarkup(std::string_view markup, const ReferenceSink& onReference,
                        const std::function<void()>& onFrame)
{
    RenderedMarkupReader reader(markup);
    while (reader.readToNextFrame(onReference))
        onFrame();
}

bool RenderedMarkupReader::readToNextFrame(const ReferenceSink& onReference)
{
    const std::string_view markup = m_markup;
    const std::size_t n = markup.size();
    std::size_t& i = m_at;
    while (i < n) {
        if (m_stop && m_stop->load(std::memory_order_relaxed))
            break;
        const std::size_t open = markup.find('<', i);
        if (open == npos || open + 1 >= n)
            break;
        const char next = markup[open + 1];
        if (markup.substr(open, 4) == "<!--") {
            i = after(markup, "-->", open + 4);
            continue;
        }
        if (markup.substr(open, 9) == "<![CDATA[") {
            i = after(markup, "]]>", open + 9);
            continue;
        }
        if (next == '!' || next == '?') {
            i = after(markup, ">", open + 2);
            continue;
        }
        if (next == '/') {
            std::size_t end = open + 2;
            while (end < n && !isHtmlSpace(markup[end]) && markup[end] != '>')
                ++end;
            if (m_templates > 0
                && equalsIgnoringCase(markup.substr(open + 2, end - open - 2), "template"))
                --m_templates;
            i = after(markup, ">", end);
            continue;
        }
        if (!isAsciiLetter(next)) {
            i = open + 1;
            continue;
        }
        std::size_t end = open + 1;
        while (end < n && !isHtmlSpace(markup[end]) && markup[end] != '/' && markup[end] != '>')
            ++end;
        const std::string tag = toLowerAscii(markup.substr(open + 1, end - open - 1));
        i = end;
        const StartTag startTag = readStartTag(markup, i);
        // A template's content is not part of the page shown (but its raw
        // text is raw text still).
        const bool shown = tag != "template" && m_templates == 0;
        if (tag == "template" && !startTag.selfClosed)
            ++m_templates;
        if (shown)
            reportAttributes(tag, startTag.attributes, onReference);
        if (startTag.selfClosed) {
            // An empty element of an XML serialization: no text follows.
        } else if (isRawTextElement(tag)) {
            i = rawTextEnd(markup, tag, i);
        } else if (tag == "plaintext") {
            i = n;
        }
        if (shown && (tag == "iframe" || tag == "frame"))
            return true;
    }
    i = n;
    return false;
}

}  // namespace vel
