#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vel {

// The batch download's small decisions, kept apart from the network and the
// file system so they can be checked one by one.

inline constexpr int kProgressMaximum = 1000;

// Status panel texts and the one message of the batch (UTF-8).
inline constexpr std::string_view kDownloadingText = "ファイルをダウンロードしています";
inline constexpr std::string_view kDownloadFinishedText = "ファイルのダウンロードが終了しました";
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
    Cancelled,  // the caller asked to stop
};

// Whether the entry counts as failed in the batch's closing report: every
// entry that was fetched and not stored. A cancelled entry is not counted.
bool isFailedEntry(EntryOutcome outcome);

// Whether the entry moves the progress bar on: every entry whose answer
// arrived, stored or not. An entry that never got an answer (or no handle)
// leaves the bar where it is, as does a skipped or cancelled one.
bool entryTakesStep(EntryOutcome outcome);

// The status text a batch ends with: the plain text when nothing failed, the
// count of failed entries added otherwise.
std::string downloadFinishedText(std::size_t failedEntries);

// The progress step for a batch of `entryCount` entries: 1000 / N rounded to
// the nearest whole number, a tie going to the even neighbour; 50 for none.
int downloadStep(std::size_t entryCount);

// The bar's position after one step: the sum while it stays within 1000,
// otherwise nothing (the step is refused, not cut, and the bar stays).
std::optional<int> progressAfterStep(int position, int step);

// The date folder's name for a day of the Gregorian calendar: yyyymmdd, the
// year in four digits, month and day in two, whatever the user's locale (a
// short date with its separators taken out is ambiguous, and may hold
// spaces). Empty, so no folder can be named after it, for a year outside 1 to
// 9999, a month outside 1 to 12 or a day outside 1 to 31.
std::string dateFolderName(int year, int month, int day);

// The URL an entry is fetched from, or nothing when the entry is skipped
// (it holds "ftp://" and not "http://").
std::optional<std::string> downloadUrlOfEntry(std::string_view entry, std::string_view baseUrl);

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
