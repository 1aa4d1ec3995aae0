#include "desktop/views/pane_state.h"

#include <cstdint>
#include <new>

namespace quillet {

KeptIndex::KeptIndex(SmsBox& inbox, SmsBox& sent, SmsBox& deleted)
    : boxes_{&inbox, &sent, &deleted}, index_(numbers_) {}

std::array<uint64_t, 3> KeptIndex::revisions() const {
    return {boxes_[0]->revision(), boxes_[1]->revision(), boxes_[2]->revision()};
}

bool KeptIndex::update() {
    return update_some(SIZE_MAX) == Progress::Done;
}

KeptIndex::Progress KeptIndex::update_some(size_t most) {
    const std::array<uint64_t, 3> now = revisions();
    if (indexed_ && now == indexed_revisions_)
        return Progress::Done;
    if (failed_at_ == now)
        return Progress::DidNotFit;
    indexed_ = false;
    try {
        if (!index_.update_some(*boxes_[0], *boxes_[1], *boxes_[2], most))
            return Progress::Pending;
    } catch (const std::bad_alloc&) {
        // Half made is of no use: its memory goes back, and it is made anew
        // when the boxes change or the user asks for a list again.
        index_.clear();
        failed_at_ = now;
        return Progress::DidNotFit;
    }
    failed_at_.reset();
    indexed_revisions_ = now;
    indexed_ = true;
    return Progress::Done;
}

}  // namespace quillet
