#include "recording_host.h"

namespace pc::testing {

void RecordingHost::setBranchCounts(std::int32_t found, std::int32_t deleted) {
    branches.front().counts = "(" + std::to_string(found) + ")(" + std::to_string(found - deleted) +
                              ")(" + std::to_string(deleted) + ")";
}

void RecordingHost::pageReached(std::uint32_t page) {
    pages.push_back(page);
    if (onPage) onPage(page);
}

}  // namespace pc::testing
