#include "core/sitelist/site_record.h"

#include <algorithm>

namespace vel {

namespace {

void appendField(std::string_view text, std::size_t width, std::string& out)
{
    const std::size_t kept = std::min(text.size(), width);
    out.append(text.substr(0, kept));
    out.append(width - kept, '\0');
}

std::string readField(std::string_view field)
{
    return std::string(field.substr(0, field.find('\0')));
}

}  // namespace

void appendSiteRecord(const SiteRecord& record, std::string& out)
{
    const auto number = static_cast<std::uint32_t>(record.number);
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>((number >> shift) & 0xFF));
    appendField(record.name, kSiteNameFieldSize, out);
    appendField(record.url, kSiteUrlFieldSize, out);
}

std::string encodeSiteRecord(const SiteRecord& record)
{
    std::string out;
    out.reserve(kSiteRecordSize);
    appendSiteRecord(record, out);
    return out;
}

std::optional<SiteRecord> decodeSiteRecord(std::string_view bytes)
{
    if (bytes.size() < kSiteRecordSize)
        return std::nullopt;
    std::uint32_t number = 0;
    for (int i = 3; i >= 0; --i)
        number = (number << 8) | static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
    SiteRecord record;
    record.number = static_cast<std::int32_t>(number);
    record.name = readField(bytes.substr(4, kSiteNameFieldSize));
    record.url = readField(bytes.substr(4 + kSiteNameFieldSize, kSiteUrlFieldSize));
    return record;
}

std::string encodeSiteRecords(const std::vector<SiteRecord>& records)
{
    std::string out;
    out.reserve(records.size() * kSiteRecordSize);
    for (const SiteRecord& record : records)
        appendSiteRecord(record, out);
    return out;
}

std::vector<SiteRecord> decodeSiteRecords(std::string_view bytes)
{
    const std::size_t count = std::min(bytes.size() / kSiteRecordSize, kMaxSiteRecords);
    std::vector<SiteRecord> records;
    records.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        records.push_back(*decodeSiteRecord(bytes.substr(i * kSiteRecordSize)));
    return records;
}

}  // namespace vel
