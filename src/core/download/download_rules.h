#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vel {

// The batch download's small decisions, kept apart from the network and the
// file system so they can be checked one by one.

// Status panel texts and the one message of the batch (UTF-8).
inline constexpr std::string_view kDownloadingText = "ファイルをダウンロードしています";
inline constexpr std::string_view kDownloadFinishedText = "ファイルのダウンロードが終了しました";
inline constexpr std::string_view kDownloadStoppedText = "ファイルのダウンロードを中止しました";
inline constexpr std::string_view kNoInternetText = "インターネットに接続できる環境がありません";

// How one download entry ended.
enum class EntryOutcome {
    NoHandle,  // the library gave no handle: nothing was opened
    NotOpened,  // no answer arrived (lookup, refusal, malformed URL, time-out,
                // a scheme other than http or https, too many redirects)
    Stored,  // the whole body of a final answer below 400 is in the file
    Failed,  // an answer arrived but was not stored: a status of 400 or more, a
             // transfer that broke or was cut short, a file that could not be
             // created, written or put in place
    ServerBusy,  // the server answered 429 or 503 (come back later), also when
                 // asked once more; nothing stored
    Skipped,  // nothing requested: no URL to fetch, or its local name was taken
              // (skip existing files)
    AlreadyFetched,  // nothing requested: the download history holds its URL
    SameContent,  // complete, but its bytes are those of a file the history
                  // holds that is still on disk: recorded against that file,
                  // not stored again
};

// How long a Retry-After header's value asks to wait from `now`: whole
// seconds, or an HTTP date (one already past: no wait). Nothing when it is
// neither.
std::optional<std::chrono::seconds> retryAfterDelay(std::string_view value,
                                                    std::chrono::sys_seconds now);

// Whether the entry counts as failed in the batch's closing report: every
// entry that was fetched and not stored.
bool isFailedEntry(EntryOutcome outcome);

// The status text a batch ends with: the plain text when nothing failed, the
// count of failed entries added otherwise.
std::string downloadFinishedText(std::size_t failedEntries);

// The status text while a batch runs: how many of its entries are done (in
// whatever way they ended), out of all of them.
std::string downloadProgressText(std::size_t done, std::size_t total);

// The date folder's name for a day of the Gregorian calendar: yyyymmdd, the
// year in four digits, month and day in two, whatever the user's locale (a
// short date with its separators taken out is ambiguous, and may hold
// spaces). Empty, so no folder can be named after it, for a year outside 1 to
// 9999, a month outside 1 to 12 or a day outside 1 to 31.
std::string dateFolderName(int year, int month, int day);

// Everything after the URL's last "/", unchanged (a query or a %-escape stays);
// empty when the URL ends in "/".
std::string localFileName(std::string_view url);

// True when a name may be created in the target folder: not empty, not "." or
// "..", and holding neither "/" nor NUL, so it cannot reach outside the folder.
bool isSafeLocalName(std::string_view name);

// True when the URL names http or https explicitly (either case); anything
// else, a URL without a scheme included, cannot be opened.
bool hasFetchableScheme(std::string_view url);

// The URL as it goes on the wire: spaces, control bytes (CR and LF included),
// DEL and bytes above 0x7F percent-encoded; every other byte, "%" included,
// unchanged.
std::string encodeUrlForRequest(std::string_view url);

}  // namespace vel
