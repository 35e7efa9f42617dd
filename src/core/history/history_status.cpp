#include "core/history/history_status.h"

namespace vel {

std::string historyOpeningText(const DownloadHistory::Opening& opening)
{
    switch (opening.state) {
    case HistoryOpenState::Opened:
    case HistoryOpenState::Created:
        return {};
    case HistoryOpenState::SetAside:
        return "ダウンロード履歴が壊れていたため " + opening.setAsideAs.filename().string()
            + " として残し、新しい履歴を始めました";
    case HistoryOpenState::Unavailable:
        break;
    }
    return "ダウンロード履歴を開けないため、履歴なしで続けます";
}

}  // namespace vel
