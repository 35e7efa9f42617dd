#pragma once

#include <string>

#include "core/history/download_history.h"

namespace vel {

// What the status bar says once about the history's opening (UTF-8): that a
// damaged file was kept under its new name and a new history started, or that
// VEL goes on without a history; empty when it opened as it should.
std::string historyOpeningText(const DownloadHistory::Opening& opening);

}  // namespace vel
