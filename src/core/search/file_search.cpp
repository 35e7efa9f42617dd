#include "core/search/file_search.h"

#include <algorithm>
#include <iterator>

#include "core/foundfiles/found_files_merge.h"
#include "core/html/html_text.h"
#include "core/http/url_resolution.h"
#include "core/search/base_url.h"
#include "core/search/link_scanner.h"

namespace vel {

namespace {

// Where an attribute value that begins at `from` ends: at its closing quote.
// Queries come in non-decreasing order, so each byte is looked at once.
class ValueEnds {
public:
    explicit ValueEnds(std::string_view source)
        : m_source(source)
    {}

    std::size_t closingQuote(std::size_t from, char quote)
    {
        std::size_t& cached = quote == '"' ? m_double : m_single;
        if (cached == kUnknown || from > cached) {
            cached = m_source.find(quote, from);
            if (cached == std::string_view::npos)
                cached = m_source.size();
        }
        return cached;
    }

    // The first space, tab or line break at or after `from` (the end of a
    // candidate in a srcset list, say).
    std::size_t whitespace(std::size_t from)
    {
        if (m_space == kUnknown || from > m_space) {
            m_space = m_source.find_first_of(" \t\r\n\f", from);
            if (m_space == std::string_view::npos)
                m_space = m_source.size();
        }
        return m_space;
    }

private:
    static constexpr std::size_t kUnknown = std::string_view::npos;
    std::string_view m_source;
    std::size_t m_double = kUnknown;
    std::size_t m_single = kUnknown;
    std::size_t m_space = kUnknown;
};

// The value the page wrote for a link found from `start` to `end`: a link in a
// quoted attribute runs on to the closing quote or the first white space (a
// query runs on; a srcset's width or density does not); one in the text ends
// where it was found.
std::string writtenValue(std::string_view source, std::size_t start, std::size_t end,
                         ValueEnds& ends)
{
    const char opener = start > 0 ? source[start - 1] : '\0';
    if (opener != '"' && opener != '\'')
        return std::string(source.substr(start, end - start));
    const std::size_t stop = std::min(ends.closingQuote(end, opener), ends.whitespace(end));
    return std::string(source.substr(start, stop - start));
}

}  // namespace

FileSearchResult searchFetchedPage(std::string_view pageSource, std::string_view extension,
                                   std::string_view rowUrl, std::string_view pageUrl,
                                   std::string_view contentType)
{
    FileSearchResult result = scanFetchedPage(pageSource, extension, pageUrl, contentType);
    result.baseUrl = deriveBaseUrl(rowUrl);
    return result;
}

FileSearchResult scanFetchedPage(std::string_view pageSource, std::string_view extension,
                                 std::string_view pageUrl, std::string_view contentType,
                                 std::size_t maxEntries, const std::function<bool()>& stopped)
{
    // Asked often enough that a stop during a long scan is seen at once.
    constexpr std::size_t kLinksBetweenChecks = 4096;
    const auto isStopped = [&stopped] { return stopped && stopped(); };

    FileSearchResult result;
    result.charset = detectPageCharset(contentType, pageSource);
    const CodePage codePage = scanningCodePage(result.charset);
    const std::string suffix = "." + std::string(extension);

    std::vector<FoundEntry> candidates;
    for (const std::string_view marker : {"http://", "https://"}) {
        // Absolute links come in page order per marker; each marker has its own
        // quote cache.
        ValueEnds ends(pageSource);
        for (const LinkSpan& span : scanAbsoluteLinkSpans(pageSource, marker, suffix, codePage)) {
            if (candidates.size() % kLinksBetweenChecks == 0 && isStopped())
                return {};
            std::string text(pageSource.substr(span.offset, span.length));
            std::string written =
                writtenValue(pageSource, span.offset, span.offset + span.length, ends);
            candidates.push_back({std::move(text), std::move(written)});
        }
        if (isStopped())
            return {};
    }
    ValueEnds ends(pageSource);
    for (const LinkSpan& span : scanRelativeLinkSpans(pageSource, "=\"", suffix, codePage)) {
        if (candidates.size() % kLinksBetweenChecks == 0 && isStopped())
            return {};
        const std::string_view link = pageSource.substr(span.offset, span.length);
        // The value begins after the opener `="`.
        std::string written =
            writtenValue(pageSource, span.offset + 2, span.offset + span.length, ends);
        candidates.push_back({normaliseRelativeLink(link), std::move(written)});
    }
    if (isStopped())
        return {};
    result.entries = mergeFoundEntries(std::move(candidates), maxEntries, result.leftOut);
    if (isStopped())
        return {};
    result.documentBase = std::string(pageUrl);
    if (!pageUrl.empty()) {
        if (const std::optional<std::string> href = findBaseHref(pageSource)) {
            if (auto base =
                    resolveUrlReference(pageUrl, decodeCharacterReferences(*href, result.charset)))
                result.documentBase = withoutFragment(*base);
        }
    }
    return result;
}

std::string foundFilesStatusText(std::size_t count, std::size_t leftOut)
{
    std::string text = std::to_string(count) + "個のファイルが見つかりました";
    if (leftOut > 0)
        text += "（ほか" + std::to_string(leftOut) + "個は表示していません）";
    return text;
}

std::optional<FetchFailureTexts> fetchFailureTexts(PageFetchVerdict verdict)
{
    switch (verdict) {
    case PageFetchVerdict::Page:
    case PageFetchVerdict::Aborted:
        return std::nullopt;
    case PageFetchVerdict::ProtocolError:
        return FetchFailureTexts{"このページはご利用できません", "利用できません"};
    case PageFetchVerdict::CertificateFailure:
        return FetchFailureTexts{"このページの証明書を確認できませんでした",
                                 "証明書を確認できません"};
    case PageFetchVerdict::OtherFailure:
        return FetchFailureTexts{"ページが見つかりません", "ページが見つかりません"};
    case PageFetchVerdict::FramePage:
        return FetchFailureTexts{"このページはフレームページです",
                                 "このページはフレームページです"};
    }
    return std::nullopt;
}

}  // namespace vel
