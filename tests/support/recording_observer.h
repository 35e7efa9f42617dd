#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/download/download_all.h"

namespace vel::test {

// Records every report of a batch; cancels it when cancelWhen says so.
class RecordingObserver final : public DownloadObserver {
public:
    void setStatusText(std::string_view text) override { statuses.emplace_back(text); }
    void setProgressRange(int minimum, int maximum) override
    {
        ranges.emplace_back(minimum, maximum);
    }
    void setProgress(int position) override
    {
        positions.push_back(position);
        if (onProgress)
            onProgress(position);
    }
    void showMessage(std::string_view text) override { messages.emplace_back(text); }
    void entryFailed(std::size_t index) override { failed.push_back(index); }
    void entryEnded(std::size_t index, EntryOutcome outcome) override
    {
        ended.emplace(index, outcome);
    }
    bool cancelled() override { return cancelWhen && cancelWhen(); }

    std::function<bool()> cancelWhen;
    // Runs on the batch's thread each time the bar moves.
    std::function<void(int)> onProgress;
    std::vector<std::string> statuses;
    std::vector<std::pair<int, int>> ranges;
    std::vector<int> positions;
    std::vector<std::string> messages;
    std::vector<std::size_t> failed;
    std::multimap<std::size_t, EntryOutcome> ended;
};

}  // namespace vel::test
