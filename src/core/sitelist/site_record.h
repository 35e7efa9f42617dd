#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vel {

// One site row as config.bin stores it: 236 bytes, no gaps.
//   offset   0, 4 bytes: number, signed 32-bit little-endian (column 0)
//   offset   4, 31 bytes: site name (column 1)
//   offset  35, 201 bytes: URL (column 2)
// A text shorter than its field is followed by a NUL and zeros; a longer one is
// cut to the field's width in bytes with no NUL (a double-byte character at the
// edge is cut in half, as files written elsewhere have it). Reading takes a
// field's bytes up to the first NUL, or all of them.
struct SiteRecord {
    std::int32_t number = 0;
    std::string name;
    std::string url;
    friend bool operator==(const SiteRecord&, const SiteRecord&) = default;
};

inline constexpr std::size_t kSiteRecordSize = 236;
inline constexpr std::size_t kSiteNameFieldSize = 31;
inline constexpr std::size_t kSiteUrlFieldSize = 201;

// A real site list holds a few dozen sites; a file with more records than this
// is garbage, and only its first records are loaded (about 11.8 MB of file).
inline constexpr std::size_t kMaxSiteRecords = 50000;

// Appends the record's 236 bytes to out.
void appendSiteRecord(const SiteRecord& record, std::string& out);
std::string encodeSiteRecord(const SiteRecord& record);

// The record in the first 236 bytes; nothing when fewer bytes are given.
std::optional<SiteRecord> decodeSiteRecord(std::string_view bytes);

// The records back to back; an empty list gives no bytes.
std::string encodeSiteRecords(const std::vector<SiteRecord>& records);

// The whole records of a file's bytes, at most kMaxSiteRecords; bytes after the
// last whole record are ignored.
std::vector<SiteRecord> decodeSiteRecords(std::string_view bytes);

}  // namespace vel
