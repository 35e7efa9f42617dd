#include "core/patrol/patrol_texts.h"

#include <algorithm>
#include <set>

#include "core/download/download_folder.h"
#include "core/search/file_search.h"

namespace vel {

namespace {

// Far below the file system's 255 bytes, so a " (n)" always fits after it.
constexpr std::size_t kMaxSiteFolderBytes = 200;

bool isUtf8Continuation(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

}  // namespace

std::optional<std::string> patrolRowText(const SiteOutcome& outcome)
{
    if (outcome.verdict != PageFetchVerdict::Page) {
        const std::optional<FetchFailureTexts> failure = fetchFailureTexts(outcome.verdict);
        if (!failure)
            return std::nullopt;
        return std::string(failure->rowStatus);
    }
    if (outcome.noFolder)
        return std::string(kDownloadFolderFailedText);
    if (outcome.stopped && outcome.stored == 0 && outcome.failed == 0)
        return std::nullopt;
    // Entries that failed were new too: the count says none of them was saved.
    std::string text = outcome.stored == 0 && outcome.failed == 0
        ? std::string("新しいファイルはありません")
        : "新しいファイル" + std::to_string(outcome.stored) + "個を保存しました";
    if (outcome.failed > 0)
        text += "（" + std::to_string(outcome.failed) + "個失敗）";
    if (outcome.busy > 0)
        text += "（うち" + std::to_string(outcome.busy) + "個はサーバーが混雑中のため次回の巡回で取得）";
    return text;
}

bool siteFailed(const SiteOutcome& outcome)
{
    return (outcome.verdict != PageFetchVerdict::Page
            && outcome.verdict != PageFetchVerdict::Aborted)
        || outcome.noFolder || outcome.failed > 0;
}

std::string patrolProgressText(std::size_t position, std::size_t total, std::string_view siteName)
{
    return "巡回中（" + std::to_string(position) + "/" + std::to_string(total) + "）"
        + std::string(siteName);
}

std::string patrolFinishedText(std::size_t newFiles, std::size_t failures)
{
    std::string parts;
    if (newFiles > 0)
        parts = "新しいファイル" + std::to_string(newFiles) + "個";
    if (failures > 0)
        parts += (parts.empty() ? "" : "、") + ("失敗" + std::to_string(failures) + "個");
    std::string text = "巡回が終了しました";
    if (!parts.empty())
        text += "（" + parts + "）";
    return text;
}

std::string siteFolderName(std::string_view utf8Name)
{
    std::string name;
    for (const char byte : utf8Name) {
        const auto value = static_cast<unsigned char>(byte);
        name += byte == '/' || value < 0x20 || value == 0x7F ? '_' : byte;
    }
    if (name.size() > kMaxSiteFolderBytes) {
        std::size_t end = kMaxSiteFolderBytes;
        while (end > 0 && isUtf8Continuation(name[end]))
            --end;
        name.resize(end);
    }
    if (name.empty() || name == "." || name == "..")
        return std::string(std::max<std::size_t>(name.size(), 1), '_');
    return name;
}

std::vector<std::string> siteFolderNames(const std::vector<std::string>& utf8Names)
{
    std::vector<std::string> folders;
    folders.reserve(utf8Names.size());
    std::set<std::string> reserved;
    for (const std::string& name : utf8Names)
        reserved.insert(siteFolderName(name));
    std::set<std::string> given;
    for (const std::string& name : utf8Names) {
        std::string folder = siteFolderName(name);
        if (given.count(folder) > 0) {
            // A number another site's own name ends in is not taken either.
            std::string numbered;
            for (int n = 2;; ++n) {
                numbered = folder + " (" + std::to_string(n) + ")";
                if (reserved.count(numbered) == 0 && given.count(numbered) == 0)
                    break;
            }
            folder = std::move(numbered);
        }
        given.insert(folder);
        folders.push_back(std::move(folder));
    }
    return folders;
}

}  // namespace vel
