#include "core/download/download_rules.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "core/http/cookie_date.h"

namespace vel {

bool isFailedEntry(EntryOutcome outcome)
{
    switch (outcome) {
    case EntryOutcome::NoHandle:
    case EntryOutcome::NotOpened:
    case EntryOutcome::Failed:
    case EntryOutcome::ServerBusy:
        return true;
    case EntryOutcome::Stored:
    case EntryOutcome::Skipped:
    case EntryOutcome::AlreadyFetched:
    case EntryOutcome::SameContent:
        return false;
    }
    return true;
}

std::optional<std::chrono::seconds> retryAfterDelay(std::string_view value,
                                                    std::chrono::sys_seconds now)
{
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
        value.remove_prefix(1);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
        value.remove_suffix(1);
    if (value.empty())
        return std::nullopt;
    if (value.find_first_not_of("0123456789") == std::string_view::npos) {
        // More digits than any wait VEL accepts all mean "too long".
        std::int64_t seconds = 0;
        for (const char digit : value.substr(0, 12))
            seconds = seconds * 10 + (digit - '0');
        return std::chrono::seconds(seconds);
    }
    const std::optional<std::chrono::sys_seconds> date = parseCookieDate(value);
    if (!date)
        return std::nullopt;
    return std::max(std::chrono::seconds(0), *date - now);
}

std::string downloadFinishedText(std::size_t failedEntries)
{
    std::string text(kDownloadFinishedText);
    if (failedEntries > 0)
        text += "（" + std::to_string(failedEntries) + "個失敗）";
    return text;
}

std::string downloadProgressText(std::size_t done, std::size_t total)
{
    return std::string(kDownloadingText) + "（" + std::to_string(done) + "/" + std::to_string(total)
        + "）";
}

std::string dateFolderName(int year, int month, int day)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31)
        return {};
    const auto digits = [](std::string& out, int value, int width) {
        std::string text = std::to_string(value);
        out.append(static_cast<std::size_t>(width) - text.size(), '0');
        out += text;
    };
    std::string name;
    digits(name, year, 4);
    digits(name, month, 2);
    digits(name, day, 2);
    return name;
}

std::string localFileName(std::string_view url)
{
    const std::size_t slash = url.rfind('/');
    return std::string(slash == std::string_view::npos ? url : url.substr(slash + 1));
}

bool isSafeLocalName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos
        && name.find('\0') == std::string_view::npos;
}

bool hasFetchableScheme(std::string_view url)
{
    auto startsWithNoCase = [url](std::string_view prefix) {
        if (url.size() < prefix.size())
            return false;
        for (std::size_t i = 0; i < prefix.size(); ++i) {
            char c = url[i];
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
            if (c != prefix[i])
                return false;
        }
        return true;
    };
    return startsWithNoCase("http://") || startsWithNoCase("https://");
}

std::string encodeUrlForRequest(std::string_view url)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(url.size());
    for (char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F) {
            encoded.push_back('%');
            encoded.push_back(kHex[byte >> 4]);
            encoded.push_back(kHex[byte & 0x0F]);
        } else {
            encoded.push_back(c);
        }
    }
    return encoded;
}

}  // namespace vel
