// Merging fetched records into a box: the rules of the import, and proof on
// random data that the indexed merge gives exactly what a plain scan by its
// rule gives.
#include <gtest/gtest.h>

#include <optional>
#include <random>

#include "desktop/store/message_merge.h"
#include "store_test_support.h"

namespace quillet {
namespace {
using namespace quillet::test;

constexpr FileTime kSecond = kTicksPerSecond;
const FileTime kNoon = filetime_from_unix(1'780'000'000);

SmsWireRecord wire(std::u16string_view text, std::string_view address, FileTime time,
                   uint32_t flags = 0, uint8_t id = 0) {
    SmsWireRecord w;
    w.text = text;
    set_text_field(w.address, address);
    w.time = time;
    w.flags = flags;
    w.entry_id.fill(id);
    return w;
}

// The import's rule as a plain scan: for each record, of the messages that
// are the same message and stand for no record yet, the one with its entry
// id, else the first without one.
size_t merge_by_scan(std::vector<SmsMessage>& messages, std::vector<SmsMessage>& queue,
                     std::span<const SmsWireRecord> fetched) {
    for (SmsMessage& m : messages)
        m.set_on_phone(0);
    std::vector<bool> taken(messages.size());
    size_t appended = 0;
    for (const SmsWireRecord& w : fetched) {
        SmsMessage m = SmsMessage::from_wire(w);
        std::optional<size_t> found;
        for (size_t i = 0; i < messages.size(); ++i) {
            const SmsMessage& e = messages[i];
            if (taken[i] || !m.same_message(e))
                continue;
            if (m.entry_id() != EntryId{} && e.entry_id() == m.entry_id()) {
                found = i;
                break;
            }
            if (!found && e.entry_id() == EntryId{})
                found = i;
        }
        if (found) {
            SmsMessage& e = messages[*found];
            const uint8_t read_here = e.read();
            e = m;
            if (read_here != 0)
                e.set_read(1);
            e.set_on_phone(1);
            taken[*found] = true;
            continue;
        }
        m.set_on_phone(1);
        messages.push_back(m);
        taken.push_back(true);
        queue.push_back(m);
        ++appended;
    }
    return appended;
}

bool same_fields(const SmsMessage& a, const SmsMessage& b) {
    return a.text() == b.text() && a.number_field() == b.number_field() && a.time() == b.time() &&
           a.message_class() == b.message_class() && a.entry_id() == b.entry_id() &&
           a.read() == b.read() && a.on_phone() == b.on_phone();
}

void expect_same_lists(const std::vector<SmsMessage>& a, const std::vector<SmsMessage>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i)
        EXPECT_TRUE(same_fields(a[i], b[i])) << "at " << i;
}

TEST(MergeTest, SameFolderTwiceAppendsNothingTheSecondTime) {
    const std::vector<SmsWireRecord> folder = {wire(u"a", "1", kNoon), wire(u"b", "2", kNoon)};
    std::vector<SmsMessage> box, queue;
    EXPECT_EQ(merge_fetched(box, queue, folder), 2u);
    EXPECT_EQ(merge_fetched(box, queue, folder), 0u);
    ASSERT_EQ(box.size(), 2u);
    EXPECT_EQ(queue.size(), 2u);
    for (const SmsMessage& m : box)
        EXPECT_EQ(m.on_phone(), 1);
}

// Nothing new, nothing gone, nothing read: no change, so nothing to save.
// Each kind of change is one.
TEST(MergeTest, TellsWhetherTheBoxChanged) {
    const std::vector<SmsWireRecord> folder = {wire(u"a", "1", kNoon, 0, 1),
                                               wire(u"b", "2", kNoon, 0, 2)};
    std::vector<SmsMessage> box, queue;
    bool changed = false;
    merge_fetched(box, queue, folder, &changed);
    EXPECT_TRUE(changed);  // appended
    merge_fetched(box, queue, folder, &changed);
    EXPECT_FALSE(changed);

    merge_fetched(box, queue, std::vector{folder[0]}, &changed);
    EXPECT_TRUE(changed);  // "b" left the phone
    merge_fetched(box, queue, folder, &changed);
    EXPECT_TRUE(changed);  // ... and is back on it
    merge_fetched(box, queue, std::vector{wire(u"a", "1", kNoon, 1, 1), folder[1]}, &changed);
    EXPECT_TRUE(changed);  // read on the phone
    merge_fetched(box, queue, std::vector{wire(u"a", "1", kNoon, 1, 7), folder[1]}, &changed);
    EXPECT_TRUE(changed);  // another entry id
    merge_fetched(box, queue, std::vector{wire(u"a", "1", kNoon + 5, 1, 7), folder[1]}, &changed);
    EXPECT_TRUE(changed);  // the same second, another tick
    merge_fetched(box, queue, std::vector{wire(u"a", "1", kNoon + 5, 0, 7), folder[1]}, &changed);
    EXPECT_FALSE(changed);  // unread on the phone, still read here
}

TEST(MergeTest, MessageGoneFromThePhoneKeepsItsPlaceWithOnPhoneCleared) {
    std::vector<SmsMessage> box, queue;
    merge_fetched(box, queue, std::vector{wire(u"a", "1", kNoon), wire(u"b", "2", kNoon)});
    merge_fetched(box, queue, std::vector{wire(u"b", "2", kNoon)});
    ASSERT_EQ(box.size(), 2u);
    EXPECT_EQ(box[0].text_view(), u"a");
    EXPECT_EQ(box[0].on_phone(), 0);
    EXPECT_EQ(box[1].on_phone(), 1);
}

TEST(MergeTest, EmptyFolderClearsEveryOnPhoneFlag) {
    std::vector<SmsMessage> box = {message(u"a", "1", kNoon)};
    box[0].set_on_phone(1);
    std::vector<SmsMessage> queue;
    EXPECT_EQ(merge_fetched(box, queue, {}), 0u);
    EXPECT_EQ(box[0].on_phone(), 0);
}

// Each kept message stands for one phone message: twins in one second stay
// two, and a kept message with another entry id (moved off the phone) never
// takes on its twin, which one without an entry id (imported) does.
TEST(MergeTest, TwoEqualPhoneMessagesInOneSecondStayTwo) {
    std::vector<SmsMessage> box, queue;
    const size_t n = merge_fetched(
        box, queue,
        std::vector{wire(u"hi", "1", kNoon + 1000, 0, 1), wire(u"hi", "1", kNoon + 9000, 1, 2)});
    EXPECT_EQ(n, 2u);
    ASSERT_EQ(box.size(), 2u);
    EXPECT_EQ(box[0].entry_id()[0], 1);
    EXPECT_EQ(box[1].entry_id()[0], 2);
    EXPECT_EQ(queue.size(), 2u);

    box[1].set_on_phone(0);
    box.push_back(message(u"hi", "1", kNoon));
    merge_fetched(box, queue, std::vector{wire(u"hi", "1", kNoon, 0, 3)});
    ASSERT_EQ(box.size(), 3u);
    EXPECT_EQ(box[1].entry_id()[0], 2);
    EXPECT_EQ(box[2].entry_id()[0], 3);
}

TEST(MergeTest, OnlyTheFirstOfTwoEqualStoredMessagesIsRefreshed) {
    std::vector<SmsMessage> box = {message(u"x", "5", kNoon), message(u"x", "5", kNoon)};
    std::vector<SmsMessage> queue;
    merge_fetched(box, queue, std::vector{wire(u"x", "5", kNoon, 1, 9)});
    EXPECT_EQ(box[0].on_phone(), 1);
    EXPECT_EQ(box[0].entry_id()[0], 9);
    EXPECT_EQ(box[1].on_phone(), 0);
    EXPECT_EQ(box[1].entry_id()[0], 0);
}

TEST(MergeTest, KnownMessagesTakeEntryIdFromThePhoneAndStayReadWhereverRead) {
    // Read here, unread on the phone: stays read.
    std::vector<SmsMessage> box = {message(u"x", "5", kNoon), message(u"y", "5", kNoon),
                                   message(u"z", "5", kNoon)};
    box[0].set_read(1);
    std::vector<SmsMessage> queue;
    merge_fetched(box, queue,
                  std::vector{wire(u"x", "5", kNoon, 0, 4), wire(u"y", "5", kNoon, 1, 5),
                              wire(u"z", "5", kNoon, 0, 6)});
    EXPECT_EQ(box[0].read(), 1);
    EXPECT_EQ(box[0].entry_id()[5], 4);
    // Read on the phone only: read here too.
    EXPECT_EQ(box[1].read(), 1);
    // Read nowhere: unread.
    EXPECT_EQ(box[2].read(), 0);
    EXPECT_TRUE(queue.empty());
}

TEST(MergeTest, NumbersThatDifferOnlyInSpacesAndDashesMatch) {
    std::vector<SmsMessage> box = {message(u"x", "+49 151-12 34", kNoon)};
    std::vector<SmsMessage> queue;
    EXPECT_EQ(merge_fetched(box, queue, std::vector{wire(u"x", "+4915112-34", kNoon)}), 0u);
    EXPECT_EQ(box.size(), 1u);
}

// Messages stored while a sender name became its digits (mostly none) take
// the name in place at the next import: nothing is doubled, the box changed.
TEST(MergeTest, MessageStoredWithoutItsSenderNameTakesItInPlace) {
    const struct {
        std::string_view stored_as, sender;
    } cases[] = {{"", "Bank"}, {"", "DHL Express"}, {"24", "info24@example.com"}};
    for (const auto& c : cases) {
        std::vector<SmsMessage> box = {message(u"code 1", c.stored_as, kNoon),
                                       message(u"code 1", c.stored_as, kNoon + kSecond),
                                       message(u"other", c.stored_as, kNoon)};
        box[0].set_number_raw(c.stored_as);
        box[1].set_number_raw(c.stored_as);
        box[2].set_number_raw(c.stored_as);
        std::vector<SmsMessage> queue;
        bool changed = false;
        const std::vector fetched{wire(u"code 1", c.sender, kNoon),
                                  wire(u"code 1", c.sender, kNoon + kSecond),
                                  wire(u"code 1", c.sender, kNoon + 2 * kSecond)};
        EXPECT_EQ(merge_fetched(box, queue, fetched, &changed), 1u) << c.sender;
        EXPECT_TRUE(changed);
        ASSERT_EQ(box.size(), 4u);
        EXPECT_EQ(box[0].number(), c.sender);
        EXPECT_EQ(box[1].number(), c.sender);
        EXPECT_EQ(box[2].number(), c.stored_as);  // another text: not that sender's
        EXPECT_EQ(box[3].number(), c.sender);
        // Once upgraded, the next import finds them as they are.
        EXPECT_EQ(merge_fetched(box, queue, fetched, &changed), 0u);
        EXPECT_FALSE(changed);
    }
}

TEST(MergeTest, DifferentSecondsAndLetterCaseAreDifferentMessages) {
    std::vector<SmsMessage> box = {message(u"x", "5", kNoon + 9 * kSecond / 10)};
    std::vector<SmsMessage> queue;
    EXPECT_EQ(merge_fetched(box, queue,
                            std::vector{wire(u"x", "5", kNoon + kSecond), wire(u"X", "5", kNoon)}),
              2u);
}

// Random boxes and folders with many duplicates (few texts, few numbers,
// times in few seconds, across a clock change): the indexed merge and the
// scan give the same box and the same queue.
TEST(MergeTest, IndexedMergeEqualsTheScanOnRandomData) {
    ScopedTimeZone tz("CET-1CEST,M3.5.0,M10.5.0/3");
    std::mt19937 rng(20260101);
    const FileTime base = filetime_from_unix(1'792'889'400);
    // Few letters make many duplicates; more letters leave stored messages
    // that no fetched one shares, which the merge passes over.
    unsigned letters = 3;
    const auto random_wire = [&] {
        // Short texts sit inside their string, long ones on the heap: taking
        // a record's text over treats the two differently.
        std::u16string text(1 + rng() % 3, static_cast<char16_t>(u'a' + rng() % letters));
        if (rng() % 4 == 0)
            text += u" and a text longer than a string holds in place";
        const std::string number = std::string(rng() % 2 ? "+49 " : "0") + char('1' + rng() % 3);
        // Seconds spread over both copies of the repeated hour.
        const FileTime t = base + (rng() % 3) * 3600 * kSecond + (rng() % 4) * kSecond / 2;
        return wire(text, number, t, rng() % 2, static_cast<uint8_t>(rng()));
    };
    for (int round = 0; round < 800; ++round) {
        letters = round % 2 == 0 ? 3 : 20;
        std::vector<SmsMessage> box;
        const size_t stored_count = rng() % 40;
        for (size_t i = 0; i < stored_count; ++i) {
            SmsMessage m = SmsMessage::from_wire(random_wire());
            m.set_on_phone(static_cast<uint8_t>(rng() % 2));
            box.push_back(m);
        }
        std::vector<SmsWireRecord> fetched;
        const size_t fetched_count = rng() % 40;
        for (size_t i = 0; i < fetched_count; ++i)
            fetched.push_back(random_wire());

        std::vector<SmsMessage> scan_box = box, scan_queue;
        std::vector<SmsMessage> fast_box = box, fast_queue;
        const size_t scan_n = merge_by_scan(scan_box, scan_queue, fetched);
        // Every other round takes the records' texts over, as an import does.
        bool changed = false;
        const size_t fast_n = round % 4 < 2 ? merge_fetched(fast_box, fast_queue, fetched, &changed)
                                            : merge_fetched_owned(fast_box, fast_queue,
                                                                  std::vector(fetched), &changed);
        ASSERT_EQ(scan_n, fast_n) << "round " << round;
        expect_same_lists(fast_box, scan_box);
        expect_same_lists(fast_queue, scan_queue);
        // "Changed" is exactly whether the box differs from before the merge.
        bool differs = box.size() != fast_box.size();
        for (size_t i = 0; !differs && i < box.size(); ++i)
            differs = !same_fields(box[i], fast_box[i]);
        EXPECT_EQ(changed, differs) << "round " << round;
        if (HasFailure())
            return;
    }
}

}  // namespace
}  // namespace quillet
