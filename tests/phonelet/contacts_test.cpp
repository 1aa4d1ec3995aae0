// READALLCON and the indexed contact commands, from the real agent.
#include <gtest/gtest.h>

#include "tests/phonelet/agent_harness.h"

namespace quillet::testing {
namespace {

std::pair<std::string, std::string> fields(const ContactWireRecord& r) {
    return {std::string(text_field(r.name)), std::string(text_field(r.number))};
}

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs all_fields(const std::vector<ContactWireRecord>& records) {
    Pairs out;
    for (const auto& r : records)
        out.push_back(fields(r));
    return out;
}

class ContactsTest : public ::testing::Test {
  protected:
    // A SIM of `slots` slots holding `entries`.
    void fill_sim(int slots, std::initializer_list<phone::SimEntry> entries) {
        auto store = desktop.store();
        store.set_sim_size(slots);
        for (const phone::SimEntry& e : entries)
            store.set_sim_entry(e);
    }
    void add_contacts(std::initializer_list<phone::PhoneContact> contacts) {
        auto store = desktop.store();
        for (const phone::PhoneContact& c : contacts)
            store.add_contact(c);
    }
    // The running agent's READALLCON reply, record by record up to the end
    // marker.
    Pairs all_contacts_read() {
        desktop.send_block(CommandCode::READALLCON);
        return all_fields(desktop.read_contacts_until_end_marker());
    }

    TestDesktop desktop;
};

TEST_F(ContactsTest, NoSimEntriesAndNoContactsGiveTheEndMarkerAlone) {
    ASSERT_TRUE(desktop.start_agent());
    desktop.send_block(CommandCode::READALLCON);
    EXPECT_EQ(desktop.read(64), std::vector<uint8_t>(64, 0));
    EXPECT_TRUE(desktop.silent_for(std::chrono::milliseconds(200)));
}

TEST_F(ContactsTest, SimSlotsThenNumberedContactsThenEndMarker) {
    fill_sim(10, {{5, u"Eve", u"+5"}, {1, u"Ann", u"+1"}, {2, u"Bob", u"+2"}});
    add_contacts({{0, u"Anna", u"Schmidt", u"+491701234567", u""},
                  {0, u"No", u"Number", u"", u"+4930999"},
                  {0, u"Chlo\u00e9", u"Martin", u"+33612345678", u""}});
    ASSERT_TRUE(desktop.start_agent());
    EXPECT_EQ(all_contacts_read(), (Pairs{{"Ann", "+1"},
                                          {"Bob", "+2"},
                                          {"Eve", "+5"},
                                          {"Anna,Schmidt", "+491701234567"},
                                          {"Chlo\xE9,Martin", "+33612345678"}}));
    EXPECT_TRUE(desktop.silent_for(std::chrono::milliseconds(200)));
}

TEST_F(ContactsTest, LastSlotOfAFullSimIsRead) {
    fill_sim(3, {{1, u"A", u"1"}, {2, u"B", u"2"}, {3, u"C", u"3"}});
    ASSERT_TRUE(desktop.start_agent());
    EXPECT_EQ(all_contacts_read(), (Pairs{{"A", "1"}, {"B", "2"}, {"C", "3"}}));
}

TEST_F(ContactsTest, SimEntryWithBothFieldsEmptyIsLeftOutOneEmptyFieldIsSent) {
    fill_sim(10, {{1, u"", u""}, {2, u"", u"+2"}, {3, u"Name only", u""}, {4, u"Dora", u"+4"}});
    ASSERT_TRUE(desktop.start_agent());
    // Read record by record: the list ends only at the 64 zero bytes.
    EXPECT_EQ(all_contacts_read(), (Pairs{{"", "+2"}, {"Name only", ""}, {"Dora", "+4"}}));
    EXPECT_TRUE(desktop.silent_for(std::chrono::milliseconds(200)));
}

TEST_F(ContactsTest, LongNamesAndNumbersAreCutTo31Bytes) {
    {
        auto store = desktop.store();
        store.set_sim_entry({1, u"A name that is far longer than thirty-one",
                             u"+1234567890123456789012345678901234"});
        store.add_contact({0, u"Maximilian-Alexander", u"Schwarzenberger", u"+49", u""});
    }
    ASSERT_TRUE(desktop.start_agent());
    EXPECT_EQ(all_contacts_read(),
              (Pairs{{"A name that is far longer than ", "+123456789012345678901234567890"},
                     {"Maximilian-Alexander,Schwarzenb", "+49"}}));
}

TEST_F(ContactsTest, PhoneWithoutSimStillSendsContacts) {
    {
        auto store = desktop.store();
        store.set_sim_entry({1, u"On the SIM", u"+1"});
        store.set_sim_size(0);
        store.add_contact({0, u"Ben", u"Taylor", u"+44", u""});
    }
    ASSERT_TRUE(desktop.start_agent());
    EXPECT_EQ(all_contacts_read(), (Pairs{{"Ben,Taylor", "+44"}}));
}

TEST_F(ContactsTest, PhoneWithoutImageSendsTheEndMarkerAlone) {
    ASSERT_TRUE(desktop.start_agent(desktop.root() / "missing"));
    desktop.send_block(CommandCode::READALLCON);
    EXPECT_EQ(desktop.read(64), std::vector<uint8_t>(64, 0));
    desktop.send_block(CommandCode::READNCON);
    EXPECT_EQ(desktop.read_int32(), 0);
}

TEST_F(ContactsTest, IndexedContactCommandsCountNumberedContactsOnly) {
    add_contacts({{0, u"A", u"One", u"+1", u""},
                  {0, u"B", u"None", u"", u""},
                  {0, u"C", u"Three", u"+3", u""}});
    ASSERT_TRUE(desktop.start_agent());
    desktop.send_block(CommandCode::READNCON);
    EXPECT_EQ(desktop.read_int32(), 2);
    desktop.send_block(CommandCode::READCON, 1);
    const auto bytes = desktop.read(64);
    EXPECT_EQ(fields(ContactWireRecord::decode(std::span<const uint8_t, 64>(bytes))),
              (std::pair<std::string, std::string>{"C,Three", "+3"}));
    desktop.send_block(CommandCode::READCON, 2);
    EXPECT_EQ(desktop.read(64), std::vector<uint8_t>(64, 0));
    EXPECT_TRUE(desktop.silent_for(std::chrono::milliseconds(200)));
}

}  // namespace
}  // namespace quillet::testing
