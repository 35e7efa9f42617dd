#include "core/http/cookie_date.h"

#include <array>
#include <vector>

namespace vel {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool allDigits(std::string_view text)
{
    if (text.empty())
        return false;
    for (const char c : text) {
        if (!isDigit(c))
            return false;
    }
    return true;
}

int toNumber(std::string_view digits)
{
    int value = 0;
    for (const char c : digits)
        value = value * 10 + (c - '0');
    return value;
}

// 1..12 for an English month name or its first three letters, any case; else 0.
int monthNumber(std::string_view token)
{
    static constexpr std::array<std::string_view, 12> kMonths = {
        "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    if (token.size() < 3)
        return 0;
    char lower[3];
    for (int i = 0; i < 3; ++i) {
        const char c = token[static_cast<std::size_t>(i)];
        lower[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    for (std::size_t m = 0; m < kMonths.size(); ++m) {
        if (std::string_view(lower, 3) == kMonths[m])
            return static_cast<int>(m) + 1;
    }
    return 0;
}

// "HH:MM:SS" or "HH:MM" to seconds of the day; -1 otherwise.
int parseTime(std::string_view token)
{
    int parts[3] = {0, 0, 0};
    int count = 0;
    while (count < 3) {
        const std::size_t colon = token.find(':');
        const std::string_view part = token.substr(0, colon);
        if (part.size() > 2 || !allDigits(part))
            return -1;
        parts[count++] = toNumber(part);
        if (colon == std::string_view::npos)
            break;
        token.remove_prefix(colon + 1);
    }
    if (count < 2 || parts[0] > 23 || parts[1] > 59 || parts[2] > 60)
        return -1;
    return parts[0] * 3600 + parts[1] * 60 + parts[2];
}

}  // namespace

std::optional<std::chrono::sys_seconds> parseCookieDate(std::string_view text)
{
    std::vector<std::string_view> tokens;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == ' ' || text[i] == ',' || text[i] == '-'
            || text[i] == '\t') {
            if (i > start)
                tokens.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }

    int day = 0;
    int month = 0;
    int year = -1;
    int seconds = -1;
    for (const std::string_view token : tokens) {
        if (seconds < 0 && token.find(':') != std::string_view::npos) {
            seconds = parseTime(token);
            if (seconds < 0)
                return std::nullopt;
        } else if (allDigits(token)) {
            // The first short number is the day, the next number the year;
            // later numbers (a numeric zone) do not matter.
            if (day == 0 && token.size() <= 2)
                day = toNumber(token);
            else if (year < 0 && token.size() <= 4)
                year = toNumber(token);
        } else if (month == 0 && monthNumber(token) != 0) {
            month = monthNumber(token);
        }
    }
    if (year >= 0 && year < 100)
        year += year < 70 ? 2000 : 1900;
    if (day == 0 || month == 0 || year < 1601)
        return std::nullopt;

    using namespace std::chrono;
    const year_month_day date{std::chrono::year{year},
                              std::chrono::month{static_cast<unsigned>(month)},
                              std::chrono::day{static_cast<unsigned>(day)}};
    if (!date.ok())
        return std::nullopt;
    return sys_seconds{sys_days{date}} + std::chrono::seconds{seconds < 0 ? 0 : seconds};
}

}  // namespace vel
