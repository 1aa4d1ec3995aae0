#include "desktop/views/pane_state.h"

#include <new>

namespace quillet {

KeptIndex::KeptIndex(SmsBox& inbox, SmsBox& sent, SmsBox& deleted)
    : boxes_{&inbox, &sent, &deleted}, index_(numbers_) {}

std::array<uint64_t, 3> KeptIndex::revisions() const {
    return {boxes_[0]->revision(), boxes_[1]->revision(), boxes_[2]->revision()};
}

bool KeptIndex::update() {
    const std::array<uint64_t, 3> now = revisions();
    if (indexed_ && now == indexed_revisions_)
        return true;
    if (failed_at_ == now)
        return false;
    try {
        index_.update(*boxes_[0], *boxes_[1], *boxes_[2]);
    } catch (const std::bad_alloc&) {
        // Half made is of no use: its memory goes back, and it is made anew
        // when the boxes change or the user asks for a list again.
        index_.clear();
        indexed_ = false;
        failed_at_ = now;
        return false;
    }
    failed_at_.reset();
    indexed_revisions_ = now;
    indexed_ = true;
    return true;
}

}  // namespace quillet
