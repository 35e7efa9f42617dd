// Feeds arbitrary bytes to the readers of page text and settings files: the
// link scanners (checked against a slow scan written out here), the page
// search, character set and character reference helpers, URL resolution, and
// the config.bin, config.lis and config.vel decoders, each with the
// properties its header promises.
//
// Input: byte 0 picks the target, byte 1 holds flags, byte 2 a position; the
// rest is split at 0x01 bytes into the target's fields, the last field taking
// everything after the previous separator (0x01 included).
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/download/download_rules.h"
#include "core/download/entry_request.h"
#include "core/foundfiles/found_files_merge.h"
#include "core/html/html_text.h"
#include "core/html/page_charset.h"
#include "core/http/url_resolution.h"
#include "core/http/web_url.h"
#include "core/search/base_url.h"
#include "core/search/file_search.h"
#include "core/search/frame_page.h"
#include "core/search/link_scanner.h"
#include "core/settings/extension_list_file.h"
#include "core/settings/start_page_file.h"
#include "core/settings/text_lines.h"
#include "core/sitelist/site_grid.h"
#include "core/sitelist/site_list_file.h"
#include "core/sitelist/site_record.h"
#include "core/text/code_page.h"
#include "support/scanned_links.h"

namespace {

constexpr std::size_t npos = std::string_view::npos;

void check(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "fuzz_parsers: %s\n", what);
        std::abort();
    }
}

struct Input {
    unsigned flags = 0;
    int position = 0;
    std::vector<std::string_view> fields;
};

Input splitInput(const std::uint8_t* data, std::size_t size, std::size_t fieldCount)
{
    Input input;
    input.flags = size > 1 ? data[1] : 0;
    input.position = size > 2 ? static_cast<int>(data[2]) - 2 : 0;
    std::string_view rest;
    if (size > 3)
        rest = std::string_view(reinterpret_cast<const char*>(data + 3), size - 3);
    for (std::size_t i = 0; i + 1 < fieldCount; ++i) {
        const std::size_t separator = rest.find('\x01');
        input.fields.push_back(rest.substr(0, separator));
        rest = separator == npos ? std::string_view() : rest.substr(separator + 1);
    }
    input.fields.push_back(rest);
    return input;
}

vel::CodePage codePageOf(unsigned bit)
{
    return bit ? vel::CodePage::SingleByte : vel::CodePage::Cp932;
}

// ---- A slow, independent reading of the scanners' rules -------------------

bool leadByte(char c, vel::CodePage codePage)
{
    const auto byte = static_cast<unsigned char>(c);
    return codePage == vel::CodePage::Cp932
        && ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC));
}

// Character starts found by walking the text from its beginning, a lead byte
// taking the byte after it along.
std::vector<bool> walkedStarts(std::string_view text, vel::CodePage codePage)
{
    std::vector<bool> starts(text.size(), false);
    for (std::size_t i = 0; i < text.size(); i += leadByte(text[i], codePage) ? 2 : 1)
        starts[i] = true;
    return starts;
}

// 0-based index of the first occurrence at or after `from` that begins a
// character and ends before the first NUL at or after `from`.
std::size_t slowFind(std::string_view pattern, std::string_view text, std::size_t from,
                     const std::vector<bool>& starts)
{
    if (pattern.empty() || from >= text.size())
        return npos;
    const std::size_t nul = text.find('\0', from);
    const std::string_view visible = text.substr(0, nul == npos ? text.size() : nul);
    for (std::size_t at = visible.find(pattern, from); at != npos;
         at = visible.find(pattern, at + 1)) {
        if (starts[at])
            return at;
    }
    return npos;
}

// posAfter as its header states it.
long long slowPosAfter(std::string_view pattern, std::string_view text, long long after,
                       const std::vector<bool>& starts, vel::CodePage codePage)
{
    if (pattern.empty() || text.empty())
        return 0;
    if (after > 0 && static_cast<std::size_t>(after) >= text.size())
        return 0;
    std::size_t from = 0;
    if (after > 0) {
        const auto at = static_cast<std::size_t>(after - 1);
        from = starts[at] && leadByte(text[at], codePage) ? at + 2 : at + 1;
    }
    const std::size_t found = slowFind(pattern, text, from, starts);
    return found == npos ? 0 : static_cast<long long>(found) + 1;
}

std::vector<vel::LinkSpan> slowScan(std::string_view source, std::string_view marker,
                                    std::string_view suffix, std::string_view excluded,
                                    vel::CodePage codePage)
{
    std::vector<vel::LinkSpan> links;
    const std::vector<bool> starts = walkedStarts(source, codePage);
    long long resume = 0;
    while (true) {
        const long long m = slowPosAfter(marker, source, resume, starts, codePage);
        if (m == 0)
            break;
        const long long s = slowPosAfter(suffix, source, m, starts, codePage);
        if (s == 0)
            break;
        const auto offset = static_cast<std::size_t>(m - 1);
        const std::size_t length = static_cast<std::size_t>(s - m) + suffix.size();
        // The link is read on its own, up to a NUL inside it.
        std::string_view link = source.substr(offset, length);
        link = link.substr(0, link.find('\0'));
        const std::vector<bool> linkStarts = walkedStarts(link, codePage);
        bool rejected = false;
        for (std::size_t i = 0; i < link.size() && !rejected; ++i)
            rejected = linkStarts[i] && excluded.find(link[i]) != npos;
        if (rejected) {
            resume = m + 5;
            continue;
        }
        links.push_back({offset, length});
        resume = s;
    }
    return links;
}

bool sameSpans(const std::vector<vel::LinkSpan>& a, const std::vector<vel::LinkSpan>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].offset != b[i].offset || a[i].length != b[i].length)
            return false;
    }
    return true;
}

bool sameLinks(std::string_view source, const std::vector<vel::LinkSpan>& spans,
               const std::vector<std::string>& links)
{
    if (spans.size() != links.size())
        return false;
    for (std::size_t i = 0; i < spans.size(); ++i) {
        if (source.substr(spans[i].offset, spans[i].length) != links[i])
            return false;
    }
    return true;
}

// ---- Targets ----------------------------------------------------------------

// Fields: marker, suffix, source. Flag bit 0: the code page of the scan; bit 1:
// the program's code page (for the overloads without one).
void fuzzScanners(const Input& in)
{
    const std::string_view marker = in.fields[0];
    const std::string_view suffix = in.fields[1];
    const std::string_view source = in.fields[2];
    const vel::CodePage codePage = codePageOf(in.flags & 1);
    vel::setCurrentCodePage(codePageOf(in.flags & 2));

    const auto absolute = vel::scanAbsoluteLinkSpans(source, marker, suffix, codePage);
    const auto relative = vel::scanRelativeLinkSpans(source, marker, suffix, codePage);
    check(sameSpans(absolute, slowScan(source, marker, suffix, "\"><", codePage)),
          "absolute scan differs from the slow scan");
    check(sameSpans(relative, slowScan(source, marker, suffix, " ><", codePage)),
          "relative scan differs from the slow scan");
    check(
        sameLinks(source, absolute, vel::test::scanAbsoluteLinks(source, marker, suffix, codePage)),
        "absolute links differ from their spans");
    check(
        sameLinks(source, relative, vel::test::scanRelativeLinks(source, marker, suffix, codePage)),
        "relative links differ from their spans");

    const vel::CodePage current = vel::currentCodePage();
    check(vel::test::scanAbsoluteLinks(source, marker, suffix)
              == vel::test::scanAbsoluteLinks(source, marker, suffix, current),
          "absolute scan ignores the program's code page");
    check(vel::test::scanRelativeLinks(source, marker, suffix)
              == vel::test::scanRelativeLinks(source, marker, suffix, current),
          "relative scan ignores the program's code page");
    vel::setCurrentCodePage(vel::CodePage::Cp932);
}

// Fields: pattern, text. Byte 2 gives `after`; flag bit 0 the program's code
// page, bit 1 an extreme `after` instead.
void fuzzPosAfter(const Input& in)
{
    const std::string_view pattern = in.fields[0];
    const std::string_view text = in.fields[1];
    const vel::CodePage codePage = codePageOf(in.flags & 1);
    vel::setCurrentCodePage(codePage);
    int after = in.position;
    if (in.flags & 2)
        after = in.flags & 4 ? INT_MAX : INT_MIN;
    const std::vector<bool> starts = walkedStarts(text, codePage);
    check(vel::posAfter(pattern, text, after)
              == slowPosAfter(pattern, text, after, starts, codePage),
          "posAfter differs from its stated rule");

    const vel::CharBoundaries boundaries(text, codePage);
    for (std::size_t i = 0; i <= text.size(); ++i)
        check(boundaries.beginsCharacter(i) == (i < text.size() && starts[i]),
              "CharBoundaries differs from a walk over the text");
    const std::size_t from = in.position < 0 ? 0 : static_cast<std::size_t>(in.position);
    check(vel::findCharAligned(pattern, text, from, boundaries)
              == slowFind(pattern, text, from, starts),
          "findCharAligned differs from a plain search");
    vel::setCurrentCodePage(vel::CodePage::Cp932);
}

// A link in a quoted attribute runs on to the closing quote or white space; one in the text
// ends where it was found.
std::string slowWrittenValue(std::string_view page, std::size_t start, std::size_t end)
{
    const char opener = start > 0 ? page[start - 1] : '\0';
    if (opener != '"' && opener != '\'')
        return std::string(page.substr(start, end - start));
    std::size_t stop = page.find(opener, end);
    stop = std::min(stop == npos ? page.size() : stop, page.find_first_of(" \t\r\n\f", end));
    return std::string(page.substr(start, stop - start));
}

// Fields: extension, row URL, page URL, Content-Type, page.
void fuzzPageSearch(const Input& in)
{
    const std::string_view extension = in.fields[0];
    const std::string_view rowUrl = in.fields[1];
    const std::string_view pageUrl = in.fields[2];
    const std::string_view contentType = in.fields[3];
    const std::string_view page = in.fields[4];

    const vel::FileSearchResult result =
        vel::searchFetchedPage(page, extension, rowUrl, pageUrl, contentType);
    check(result.charset == vel::detectPageCharset(contentType, page),
          "search reads the page in another character set");
    check(result.baseUrl == vel::deriveBaseUrl(rowUrl), "search's base URL is not the row's");
    if (pageUrl.empty())
        check(result.documentBase.empty(), "document base without a page URL");

    // The same list from the string scanners and the older merge.
    const vel::CodePage codePage = vel::scanningCodePage(result.charset);
    const std::string suffix = "." + std::string(extension);
    std::vector<std::string> absolute =
        vel::test::scanAbsoluteLinks(page, "http://", suffix, codePage);
    for (std::string& link : vel::test::scanAbsoluteLinks(page, "https://", suffix, codePage))
        absolute.push_back(std::move(link));
    const std::vector<std::string> texts = vel::test::mergeFoundFiles(
        absolute, vel::test::scanRelativeLinks(page, "=\"", suffix, codePage));
    check(texts.size() == result.entries.size(), "entry count differs from the scans");

    // The written values, each found with a fresh search for its closing quote.
    std::vector<vel::FoundEntry> candidates;
    for (const std::string_view marker : {"http://", "https://"}) {
        for (const vel::LinkSpan& span : vel::scanAbsoluteLinkSpans(page, marker, suffix, codePage))
            candidates.push_back({std::string(page.substr(span.offset, span.length)),
                                  slowWrittenValue(page, span.offset, span.offset + span.length)});
    }
    for (const vel::LinkSpan& span : vel::scanRelativeLinkSpans(page, "=\"", suffix, codePage))
        candidates.push_back({vel::normaliseRelativeLink(page.substr(span.offset, span.length)),
                              slowWrittenValue(page, span.offset + 2, span.offset + span.length)});
    std::vector<vel::FoundEntry> expected;
    for (vel::FoundEntry& candidate : candidates) {
        bool seen = false;
        for (const vel::FoundEntry& kept : expected)
            seen = seen || kept.text == candidate.text;
        if (!seen)
            expected.push_back(std::move(candidate));
    }
    check(expected == result.entries, "entries differ from the scans and their written values");

    const vel::EntrySource source{result.baseUrl, result.documentBase, result.charset};
    for (std::size_t i = 0; i < result.entries.size(); ++i) {
        const vel::FoundEntry& entry = result.entries[i];
        check(entry.text == texts[i], "entry differs from the string scans and their merge");
        (void)vel::entryRequest(entry, source);
        (void)vel::fullUrlOfEntry(entry.text, result.baseUrl);
    }
}

// Fields: Content-Type, page. Flag bit 0: the charset for reference decoding.
void fuzzPageText(const Input& in)
{
    const std::string_view contentType = in.fields[0];
    const std::string_view page = in.fields[1];

    const vel::PageCharset charset = vel::detectPageCharset(contentType, page);
    check(charset == vel::detectPageCharset(contentType, page.substr(0, 1024)),
          "character set depends on more than the page's first 1024 bytes");
    (void)vel::scanningCodePage(charset);
    (void)vel::isFramePage(page);

    const vel::PageCharset decodeAs =
        in.flags & 1 ? vel::PageCharset::Utf8 : vel::PageCharset::CodePage;
    const std::string decoded = vel::decodeCharacterReferences(page, decodeAs);
    check(decoded.size() <= page.size(), "decoding references made the text longer");
    if (page.find('&') == npos)
        check(decoded == page, "decoding changed a text without references");

    if (const std::optional<std::string> href = vel::findBaseHref(page))
        check(page.find(*href) != npos, "base href is not from the page");
}

// Fields: base, reference.
void fuzzUrls(const Input& in)
{
    const std::string_view base = in.fields[0];
    const std::string_view reference = in.fields[1];

    for (const std::string_view text : {base, reference}) {
        const vel::UrlParts parts = vel::splitUrlReference(text);
        // Joined again, only the scheme's letter case may differ.
        std::string expected(text);
        if (parts.scheme)
            expected.replace(0, parts.scheme->size(), *parts.scheme);
        check(vel::joinUrlParts(parts) == expected, "split and join do not give the text back");

        const std::string path = vel::removeDotSegments(parts.path);
        check(path.size() <= parts.path.size(), "removing dot segments made the path longer");
        check(vel::removeDotSegments(path) == path, "dot segments left after their removal");
    }

    const std::optional<std::string> target = vel::resolveUrlReference(base, reference);
    if (target) {
        const vel::UrlParts parts = vel::splitUrlReference(*target);
        check(parts.scheme.has_value(), "resolved URL without a scheme");
        check(vel::withoutFragment(*target).find('#') == npos, "fragment left in the URL");
    }
    (void)vel::deriveBaseUrl(base);

    // What a browser requests reads back as itself.
    for (const vel::PageCharset charset : {vel::PageCharset::Utf8, vel::PageCharset::CodePage}) {
        const std::optional<std::string> web = vel::resolveWebUrl(base, reference, charset);
        if (web && vel::hasFetchableScheme(*web))
            check(vel::resolveWebUrl(*web, "", charset) == web, "a browser's URL reads otherwise");
    }
}

// The whole rest: config.bin's bytes.
void fuzzSiteList(const Input& in)
{
    const std::string_view bytes = in.fields[0];
    const std::vector<vel::SiteRecord> records = vel::decodeSiteRecords(bytes);
    check(records.size() == std::min(bytes.size() / vel::kSiteRecordSize, vel::kMaxSiteRecords),
          "not one record per whole 236 bytes");
    check(vel::decodeSiteRecord(bytes).has_value() == (bytes.size() >= vel::kSiteRecordSize),
          "single record decoded from too few bytes, or not from enough");

    // Written back, each record is its bytes with each text field cleared
    // after its first NUL.
    const std::string encoded = vel::encodeSiteRecords(records);
    check(encoded.size() == records.size() * vel::kSiteRecordSize, "record size changed");
    for (std::size_t i = 0; i < records.size(); ++i) {
        std::string expected(bytes.substr(i * vel::kSiteRecordSize, vel::kSiteRecordSize));
        for (const auto& [at, width] :
             {std::pair<std::size_t, std::size_t>{4, vel::kSiteNameFieldSize},
              std::pair<std::size_t, std::size_t>{4 + vel::kSiteNameFieldSize,
                                                  vel::kSiteUrlFieldSize}}) {
            const std::size_t nul = expected.find('\0', at);
            for (std::size_t j = nul; j < at + width; ++j)
                expected[j] = '\0';
        }
        check(encoded.compare(i * vel::kSiteRecordSize, vel::kSiteRecordSize, expected) == 0,
              "record not written back as it was read");
        check(vel::decodeSiteRecord(vel::encodeSiteRecord(records[i])) == records[i],
              "record changed on a round trip");
    }

    // Through the grid and back, as start-up and the save at exit do.
    vel::SiteGrid grid;
    vel::putSiteRecords(grid, records);
    const std::optional<std::vector<vel::SiteRecord>> back = vel::siteRecordsFromGrid(grid);
    check(back && *back == records, "records changed on their way through the grid");
}

// The whole rest: config.lis's bytes.
void fuzzExtensionList(const Input& in)
{
    const std::string_view bytes = in.fields[0];
    const std::vector<std::string> entries = vel::parseExtensionList(bytes);
    check(entries == vel::splitTextLines(bytes), "extension list is not the file's lines");
    for (const std::string& entry : entries)
        check(entry.find('\n') == npos, "line break inside an entry");
    check(vel::parseExtensionList(vel::formatExtensionList(entries)) == entries,
          "extension list changed on a round trip");
    const vel::ChooserContents chooser = vel::chooserContents(entries);
    check(chooser.selectedIndex == (entries.empty() ? -1 : 0), "chooser selects the wrong item");
}

// The whole rest: config.vel's bytes.
void fuzzStartPage(const Input& in)
{
    const std::string_view bytes = in.fields[0];
    const std::string url = vel::parseStartPage(bytes);
    check(url == vel::firstTextLine(bytes), "start page is not the first line");
    check(url.find('\n') == npos, "line break inside the start page");
    check(bytes.substr(0, url.size()) == url, "start page is not where the file begins");
    const std::vector<std::string> lines = vel::splitTextLines(bytes);
    check(lines.empty() ? url.empty() : lines.front() == url, "first line read two ways");
}

struct Target {
    void (*run)(const Input&);
    std::size_t fields;
};

constexpr Target kTargets[] = {
    {fuzzScanners, 3}, {fuzzPosAfter, 2}, {fuzzPageSearch, 5},    {fuzzPageText, 2},
    {fuzzUrls, 2},     {fuzzSiteList, 1}, {fuzzExtensionList, 1}, {fuzzStartPage, 1},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const Target& target = kTargets[data[0] % std::size(kTargets)];
    target.run(splitInput(data, size, target.fields));
    return 0;
}
