// Running out of memory part-way, at every allocation in turn: a merge into
// a box leaves the box and its queue exactly as they were, and a save keeps
// the file in place whole.
#include <gtest/gtest.h>

#include <new>

#include "desktop/store/message_merge.h"
#include "desktop/store/safe_file.h"
#include "failing_new.h"
#include "store_test_support.h"

namespace quillet {
namespace {
using namespace quillet::test;

const FileTime kNoon = filetime_from_unix(1'780'000'000);
constexpr FileTime kSecond = kTicksPerSecond;

SmsWireRecord wire(std::u16string_view text, std::string_view address, FileTime time, uint8_t id) {
    SmsWireRecord w;
    w.text = text;
    set_text_field(w.address, address);
    w.time = time;
    w.entry_id.fill(id);
    return w;
}

SmsMessage kept(std::u16string_view text, std::string_view number, FileTime time,
                uint8_t on_phone) {
    SmsMessage m;
    m.set_text(text);
    m.set_number_raw(number);
    m.set_time(time);
    m.set_on_phone(on_phone);
    return m;
}

bool same_fields(const SmsMessage& a, const SmsMessage& b) {
    return a.text() == b.text() && a.number_field() == b.number_field() && a.time() == b.time() &&
           a.message_class() == b.message_class() && a.entry_id() == b.entry_id() &&
           a.read() == b.read() && a.on_phone() == b.on_phone();
}

bool same_lists(const std::vector<SmsMessage>& a, const std::vector<SmsMessage>& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), same_fields);
}

TEST(OutOfMemoryMergeTest, AMergeThatRunsOutLeavesTheBoxAsItWas) {
    const std::u16string long_text(80, u'x');  // on the heap, unlike the short ones
    const struct {
        const char* name;
        std::vector<SmsMessage> box;
        std::vector<SmsWireRecord> fetched;
    } scenes[] = {
        {"new ones after known ones",
         {kept(u"a", "+491", kNoon, 1), kept(u"b", "+492", kNoon, 0)},
         {wire(u"a", "+491", kNoon, 1), wire(long_text, "+493", kNoon, 3),
          wire(u"c", "+494", kNoon + kSecond, 4)}},
        {"known ones take the phone's fields",
         {kept(u"a", "+491", kNoon, 0), kept(long_text, "+492", kNoon, 1)},
         {wire(u"a", "+491", kNoon, 7), wire(long_text, "+492", kNoon, 8)}},
        {"a sender name taken in place",
         {kept(u"code 1", "", kNoon, 0), kept(u"code 1", "", kNoon + kSecond, 0)},
         {wire(u"code 1", "Bank", kNoon, 1), wire(u"code 1", "Bank", kNoon + 2 * kSecond, 2)}},
        {"into an empty box", {}, {wire(u"a", "+491", kNoon, 1), wire(long_text, "", kNoon, 2)}},
    };
    for (const auto& scene : scenes) {
        for (const bool owned : {false, true}) {
            std::vector<SmsMessage> whole = scene.box;
            std::vector<SmsMessage> whole_queue;
            const size_t appended = merge_fetched(whole, whole_queue, scene.fetched);
            long failures = 0;
            for (long nth = 1;; ++nth) {
                std::vector<SmsMessage> box = scene.box;
                std::vector<SmsMessage> queue = {kept(u"queued before", "+499", kNoon, 1)};
                const std::vector<SmsMessage> queue_before = queue;
                std::vector<SmsWireRecord> fetched = scene.fetched;
                size_t got = 0;
                fail_allocation(nth);
                try {
                    got = owned ? merge_fetched_owned(box, queue, std::move(fetched))
                                : merge_fetched(box, queue, fetched);
                } catch (const std::bad_alloc&) {
                    ASSERT_TRUE(allocation_failed_and_disarm());
                    EXPECT_TRUE(same_lists(box, scene.box)) << scene.name << ", allocation " << nth;
                    EXPECT_TRUE(same_lists(queue, queue_before))
                        << scene.name << ", allocation " << nth;
                    ++failures;
                    continue;
                }
                // Whole: past its last allocation, or it did with less room.
                const bool failed = allocation_failed_and_disarm();
                EXPECT_EQ(got, appended) << scene.name;
                EXPECT_TRUE(same_lists(box, whole)) << scene.name;
                ASSERT_EQ(queue.size(), 1 + whole_queue.size()) << scene.name;
                if (!failed)
                    break;
            }
            EXPECT_GE(failures, 5) << scene.name << ": fewer allocations than a merge makes";
        }
    }
}

// A save whose contents run out of memory while they are made: the file in
// place stays whole, no temporary file is left, and the failure says why.
TEST(OutOfMemorySaveTest, ASaveThatRunsOutKeepsTheFileInPlace) {
    TempFolder dir;
    const fs::path file = dir.path() / "inbox1.sms";
    write_file(file, "the old contents");
    const Outcome saved = save_file_atomically(file, [](const ChunkWriter& write) {
        const std::string half = "half of the new";
        write(std::span(reinterpret_cast<const uint8_t*>(half.data()), half.size()));
        throw std::bad_alloc();
        return true;
    });
    EXPECT_FALSE(saved);
    EXPECT_NE(saved.what().find("memory"), std::string::npos) << saved.what();
    EXPECT_EQ(file_contents(file), "the old contents");
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 1u);
}

}  // namespace
}  // namespace quillet
