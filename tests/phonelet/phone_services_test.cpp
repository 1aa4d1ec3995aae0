// The emulated phone services and the phone image, called directly.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <thread>

#include "platform/ce/mapi.h"
#include "platform/ce/poom.h"
#include "platform/ce/sim.h"
#include "platform/ce/sms.h"
#include "platform/phone/phone_image.h"
#include "protocol/byte_order.h"
#include "tests/phonelet/agent_harness.h"

namespace quillet::testing {
namespace {

using namespace quillet::ce;

constexpr FileTime kT0 = 133'000'000'000'000'000ULL;

class PhoneServicesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        image = temp.path() / "phone";
        phone::PhoneStore::create(image, false);
        setenv(phone::kPhoneImageEnv, image.c_str(), 1);
    }
    void TearDown() override { unsetenv(phone::kPhoneImageEnv); }

    std::vector<uint8_t> add(const phone::Message& m) {
        phone::PhoneStore store(image);
        return store.add_message(*store.folder(phone::FolderRole::Inbox), m);
    }

    // The Inbox's contents table through the store's own calls.
    std::unique_ptr<IMAPITable> inbox_table(std::unique_ptr<IMAPISession>& session) {
        EXPECT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, session), S_OK);
        std::unique_ptr<IMAPITable> stores;
        EXPECT_EQ(session->GetMsgStoresTable(MAPI_UNICODE, stores), S_OK);
        SRowSet rows;
        EXPECT_EQ(stores->QueryRows(1, 0, rows), S_OK);
        std::unique_ptr<IMsgStore> store;
        EXPECT_EQ(session->OpenMsgStore(0, rows.at(0).at(0).bin, nullptr, 0, store), S_OK);
        SBinary inbox_id;
        EXPECT_EQ(store->GetReceiveFolder(nullptr, 0, inbox_id, nullptr), S_OK);
        std::unique_ptr<IMAPIProp> object;
        ULONG type = 0;
        EXPECT_EQ(session->OpenEntry(inbox_id, nullptr, MAPI_BEST_ACCESS, &type, object), S_OK);
        EXPECT_EQ(type, MAPI_FOLDER);
        auto folder = query_interface<IMAPIFolder>(object);
        std::unique_ptr<IMAPITable> table;
        EXPECT_EQ(folder->GetContentsTable(0, table), S_OK);
        EXPECT_EQ(table->SetColumns({PR_SUBJECT}, 0), S_OK);
        return table;
    }

    static std::vector<std::u16string> subjects(IMAPITable& table) {
        std::vector<std::u16string> out;
        EXPECT_EQ(table.SeekRow(BOOKMARK_BEGINNING, 0, nullptr), S_OK);
        SRowSet rows;
        while (table.QueryRows(1, 0, rows) == S_OK && !rows.empty())
            out.push_back(rows[0][0].lpszW);
        return out;
    }

    TempDir temp;
    std::filesystem::path image;
};

TEST_F(PhoneServicesTest, LogonNeedsInitialisationAndAnImage) {
    std::unique_ptr<IMAPISession> session;
    EXPECT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, session), MAPI_E_NOT_INITIALIZED);
    ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
    setenv(phone::kPhoneImageEnv, (temp.path() / "none").c_str(), 1);
    EXPECT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, session), MAPI_E_LOGON_FAILED);
    MAPIUninitialize();
}

TEST_F(PhoneServicesTest, ContentsTableIsASnapshotSortedBothWays) {
    add(phone::Message{0, {}, u"IPM.SMSText", u"b", kT0 + 1, u"", 0, {}, {}});
    add(phone::Message{0, {}, u"IPM.SMSText", u"tie-1", kT0 + 2, u"", 0, {}, {}});
    add(phone::Message{0, {}, u"IPM.SMSText", u"a", kT0, u"", 0, {}, {}});
    add(phone::Message{0, {}, u"IPM.SMSText", u"tie-2", kT0 + 2, u"", 0, {}, {}});
    ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
    std::unique_ptr<IMAPISession> session;
    auto table = inbox_table(session);
    ASSERT_EQ(table->SortTable({{PR_MESSAGE_DELIVERY_TIME, TABLE_SORT_DESCEND}}, 0), S_OK);
    const std::vector<std::u16string> newest_first = {u"tie-2", u"tie-1", u"b", u"a"};
    EXPECT_EQ(subjects(*table), newest_first);
    // A message that arrives now is not in this table, only in the next.
    add(phone::Message{0, {}, u"IPM.SMSText", u"late", kT0 + 9, u"", 0, {}, {}});
    EXPECT_EQ(subjects(*table), newest_first);
    ASSERT_EQ(table->SortTable({{PR_MESSAGE_DELIVERY_TIME, TABLE_SORT_ASCEND}}, 0), S_OK);
    EXPECT_EQ(subjects(*table), (std::vector<std::u16string>{u"a", u"b", u"tie-1", u"tie-2"}));
    std::unique_ptr<IMAPISession> second;
    EXPECT_EQ(subjects(*inbox_table(second)).size(), 5u);
    MAPIUninitialize();
}

// The services keep their connection to the image between sessions. What
// another process writes meanwhile, a replaced image and another image
// named must each be seen by the next session, never the connection's old
// view.
TEST_F(PhoneServicesTest, EachSessionSeesTheImageAsItIsNow) {
    add(phone::Message{0, {}, u"IPM.SMSText", u"first", kT0, u"", 0, {}, {}});
    ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
    const auto session_subjects = [&] {
        std::unique_ptr<IMAPISession> session;
        auto table = inbox_table(session);
        return table ? subjects(*table) : std::vector<std::u16string>{};
    };
    EXPECT_EQ(session_subjects(), std::vector<std::u16string>{u"first"});

    add(phone::Message{0, {}, u"IPM.SMSText", u"second", kT0 + 1, u"", 0, {}, {}});
    EXPECT_EQ(session_subjects(), (std::vector<std::u16string>{u"first", u"second"}));

    // The tool makes a new image in place of the old: a new file of the
    // same name, which a connection kept open would never see.
    phone::PhoneStore::create(image, true);
    add(phone::Message{0, {}, u"IPM.SMSText", u"new image", kT0, u"", 0, {}, {}});
    EXPECT_EQ(session_subjects(), std::vector<std::u16string>{u"new image"});

    const auto other = temp.path() / "other";
    phone::PhoneStore::create(other, false);
    setenv(phone::kPhoneImageEnv, other.c_str(), 1);
    EXPECT_TRUE(session_subjects().empty());

    // The contacts and the SIM go through the same connection.
    phone::PhoneStore(other).add_contact({0, u"Ada", u"Lovelace", u"+1", u""});
    std::unique_ptr<IPOutlookApp> app;
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    ASSERT_EQ(
        CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER, IID_IPOutlookApp, app),
        S_OK);
    ASSERT_EQ(app->Logon(0), S_OK);
    std::unique_ptr<IFolder> folder;
    ASSERT_EQ(app->GetDefaultFolder(olFolderContacts, folder), S_OK);
    std::unique_ptr<IPOutlookItemCollection> items;
    ASSERT_EQ(folder->get_Items(items), S_OK);
    int count = 0;
    ASSERT_EQ(items->get_Count(&count), S_OK);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(app->Logoff(), S_OK);
    MAPIUninitialize();
}

TEST_F(PhoneServicesTest, ContentsTableSeeksCountsAndRefusesOtherSorts) {
    for (int i = 0; i < 5; ++i) {
        add(phone::Message{
            0, {}, u"IPM.SMSText", std::u16string(1, char16_t(u'a' + i)), kT0 + i, u"", 0, {}, {}});
    }
    ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
    std::unique_ptr<IMAPISession> session;
    auto table = inbox_table(session);
    EXPECT_EQ(table->SortTable({{PR_SUBJECT, TABLE_SORT_ASCEND}}, 0), MAPI_E_TOO_COMPLEX);
    ASSERT_EQ(table->SortTable({{PR_MESSAGE_DELIVERY_TIME, TABLE_SORT_ASCEND}}, 0), S_OK);
    ULONG count = 0;
    ASSERT_EQ(table->GetRowCount(0, &count), S_OK);
    EXPECT_EQ(count, 5u);
    LONG sought = 0;
    ASSERT_EQ(table->SeekRow(BOOKMARK_END, -2, &sought), S_OK);
    EXPECT_EQ(sought, -2);
    SRowSet rows;
    ASSERT_EQ(table->QueryRows(10, 0, rows), S_OK);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0].lpszW, u"d");
    EXPECT_EQ(rows[1][0].lpszW, u"e");
    ASSERT_EQ(table->QueryRows(1, 0, rows), S_OK);
    EXPECT_TRUE(rows.empty());
    ASSERT_EQ(table->SeekRow(BOOKMARK_CURRENT, -4, &sought), S_OK);
    EXPECT_EQ(sought, -4);
    ASSERT_EQ(table->QueryRows(1, 0, rows), S_OK);
    EXPECT_EQ(rows.at(0)[0].lpszW, u"b");
    // A column no row has comes back as an error value.
    ASSERT_EQ(table->SetColumns({PR_BODY, PR_SUBJECT}, 0), S_OK);
    ASSERT_EQ(table->QueryRows(1, 0, rows), S_OK);
    EXPECT_EQ(rows.at(0)[0].ulPropTag, CHANGE_PROP_TYPE(PR_BODY, PT_ERROR));
    EXPECT_EQ(rows.at(0)[0].err, MAPI_E_NOT_FOUND);
    EXPECT_EQ(rows.at(0)[1].lpszW, u"c");
    MAPIUninitialize();
}

TEST_F(PhoneServicesTest, EntriesAndDeletesReportAsTheStoreDoes) {
    phone::Message m{0, {}, u"IPM.SMSText", u"", kT0, u"", 0, std::u16string(300, u'x'), {}};
    const auto id = add(m);
    ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
    std::unique_ptr<IMAPISession> session;
    ASSERT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, session), S_OK);
    std::unique_ptr<IMAPIProp> object;
    EXPECT_EQ(session->OpenEntry(SBinary(15, 0), nullptr, 0, nullptr, object),
              MAPI_E_INVALID_ENTRYID);
    EXPECT_EQ(session->OpenEntry(SBinary(16, 7), nullptr, 0, nullptr, object), MAPI_E_NOT_FOUND);
    ASSERT_EQ(session->OpenEntry(id, nullptr, 0, nullptr, object), S_OK);
    auto message = query_interface<IMessage>(object);
    ASSERT_TRUE(message);
    std::unique_ptr<IStream> stream;
    EXPECT_EQ(message->OpenProperty(PR_BODY, nullptr, 0, 0, stream),
              MAPI_E_INTERFACE_NOT_SUPPORTED);
    ASSERT_EQ(message->OpenProperty(PR_BODY, &IID_IStream, STGM_READ, 0, stream), S_OK);
    std::array<uint8_t, 255> chunk{};
    std::vector<ULONG> sizes;
    ULONG read = 0;
    do {
        ASSERT_EQ(stream->Read(chunk, &read), S_OK);
        sizes.push_back(read);
    } while (read == chunk.size());
    EXPECT_EQ(sizes, (std::vector<ULONG>{255, 255, 90}));

    phone::PhoneStore store(image);
    IMAPIFolder inbox(std::make_shared<phone::PhoneStore>(image),
                      store.folder(phone::FolderRole::Inbox)->id, {}, u"Inbox");
    EXPECT_EQ(inbox.DeleteMessages({SBinary(16, 7)}, 0, nullptr, 0), MAPI_W_PARTIAL_COMPLETION);
    EXPECT_EQ(inbox.DeleteMessages({id}, 0, nullptr, 0), S_OK);
    EXPECT_FALSE(store.message(id));
    MAPIUninitialize();
}

TEST_F(PhoneServicesTest, EntryIdsAreNeverHandedOutTwice) {
    const auto first = add(phone::Message{0, {}, u"IPM.SMSText", u"a", kT0, u"", 0, {}, {}});
    phone::PhoneStore store(image);
    ASSERT_TRUE(store.delete_message(*store.folder(phone::FolderRole::Inbox), first));
    const auto second = add(phone::Message{0, {}, u"IPM.SMSText", u"b", kT0, u"", 0, {}, {}});
    EXPECT_NE(first, second);
    EXPECT_EQ(second.size(), phone::kEntryIdBytes);
}

TEST_F(PhoneServicesTest, AWriterWaitsForAnotherInsteadOfFailing) {
    phone::PhoneStore holder(image);
    std::thread other;
    {
        phone::Transaction t(holder.db());
        holder.set_sim_size(7);
        other = std::thread([&] {
            phone::PhoneStore tool(image);
            tool.add_contact({0, u"A", u"B", u"+1", u""});
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        t.commit();
    }
    other.join();
    EXPECT_EQ(holder.contacts().size(), 1u);
    EXPECT_EQ(holder.sim_size(), 7);
}

TEST_F(PhoneServicesTest, DamagedOrNewerImagesAreRefusedClearly) {
    const auto damaged = temp.path() / "damaged";
    std::filesystem::create_directories(damaged);
    std::ofstream(damaged / "phone.db") << "this is not a database, just text of some length....";
    EXPECT_THROW(phone::PhoneStore{damaged}, phone::PhoneDbError);
    EXPECT_FALSE(phone::is_plugged(damaged));

    phone::PhoneStore(image).db().exec("PRAGMA user_version = 99");
    try {
        phone::PhoneStore newer(image);
        ADD_FAILURE() << "opened an image of a newer schema";
    } catch (const phone::PhoneDbError& e) {
        EXPECT_NE(std::string(e.what()).find("newer"), std::string::npos) << e.what();
    }
    EXPECT_THROW(phone::PhoneStore::create(image, false), phone::PhoneDbError);
}

TEST_F(PhoneServicesTest, SimFunctionsCheckIndexAndEntrySize) {
    phone::PhoneStore(image).set_sim_size(3);
    phone::PhoneStore(image).set_sim_entry({2, u"Bo", u"+2"});
    HSIM sim = 0;
    ASSERT_EQ(SimInitialize(0, nullptr, 0, &sim), S_OK);
    DWORD used = 0;
    DWORD total = 0;
    ASSERT_EQ(SimGetPhonebookStatus(sim, SIM_PBSTORAGE_SIM, &used, &total), S_OK);
    EXPECT_EQ(used, 1u);
    EXPECT_EQ(total, 3u);
    SIMPHONEBOOKENTRY entry{};
    EXPECT_EQ(SimReadPhonebookEntry(sim, SIM_PBSTORAGE_SIM, 2, entry), E_INVALIDARG);
    put_u32le(entry, 0, sim_entry::kSize);
    EXPECT_EQ(SimReadPhonebookEntry(sim, SIM_PBSTORAGE_SIM, 0, entry), SIM_E_INVALIDINDEX);
    EXPECT_EQ(SimReadPhonebookEntry(sim, SIM_PBSTORAGE_SIM, 1, entry), SIM_E_NOTFOUND);
    EXPECT_EQ(SimReadPhonebookEntry(sim, SIM_PBSTORAGE_SIM, 4, entry), SIM_E_INVALIDINDEX);
    ASSERT_EQ(SimReadPhonebookEntry(sim, SIM_PBSTORAGE_SIM, 2, entry), S_OK);
    EXPECT_EQ(get_u16le(entry, sim_entry::kName), u'B');
    EXPECT_EQ(get_u16le(entry, sim_entry::kName + 4), 0);
    EXPECT_EQ(get_u16le(entry, sim_entry::kNumber + 2), u'2');
    EXPECT_EQ(SimDeinitialize(sim), S_OK);
    phone::PhoneStore(image).set_sim_size(0);
    EXPECT_EQ(SimInitialize(0, nullptr, 0, &sim), SIM_E_NOSIM);
}

TEST_F(PhoneServicesTest, SmsServiceChecksWhatItIsGiven) {
    SMS_HANDLE sms = 0;
    HANDLE event = 0;
    EXPECT_EQ(SmsOpen(u"Some Other Protocol", SMS_MODE_SEND, &sms, &event), SMS_E_INVALIDPROTOCOL);
    ASSERT_EQ(SmsOpen(SMS_MSGTYPE_TEXT, SMS_MODE_SEND, &sms, &event), S_OK);
    SMS_ADDRESS to{SMSAT_INTERNATIONAL, u"+1"};
    const auto psd = text_provider_data(0, PS_MESSAGE_CLASS2, 0);
    const std::array<uint8_t, 3> odd{1, 2, 3};
    const std::array<uint8_t, 4> hi{'h', 0, 'i', 0};
    EXPECT_EQ(SmsSendMessage(sms, nullptr, &to, nullptr, odd, psd, SMSDE_OPTIMAL, 0, nullptr),
              SMS_E_INVALIDDATA);
    EXPECT_EQ(SmsSendMessage(sms, nullptr, &to, nullptr, hi, std::span(psd).first(8), SMSDE_OPTIMAL,
                             0, nullptr),
              SMS_E_PROVIDERSPECIFICBUFFERWRONGSIZE);
    EXPECT_EQ(SmsSendMessage(sms, nullptr, &to, nullptr, hi, psd, SMSDE_OPTIMAL, 0, nullptr), S_OK);
    EXPECT_EQ(SmsClose(sms), S_OK);
    EXPECT_EQ(SmsSendMessage(sms, nullptr, &to, nullptr, hi, psd, SMSDE_OPTIMAL, 0, nullptr),
              E_INVALIDARG);
    const auto sent = phone::PhoneStore(image).submissions();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].text, u"hi");
    EXPECT_EQ(sent[0].message_class, 2);
}

TEST_F(PhoneServicesTest, ContactsNeedComOnTheCallingThread) {
    std::thread([] {
        std::unique_ptr<IPOutlookApp> app;
        EXPECT_EQ(CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IPOutlookApp, app),
                  CO_E_NOTINITIALIZED);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
        EXPECT_EQ(CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER,
                                   CLSID_Application, app),
                  E_NOINTERFACE);
        ASSERT_EQ(CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IPOutlookApp, app),
                  S_OK);
        std::unique_ptr<IFolder> folder;
        EXPECT_EQ(app->GetDefaultFolder(olFolderContacts, folder), E_FAIL);  // before logon
        ASSERT_EQ(app->Logon(0), S_OK);
        EXPECT_EQ(app->GetDefaultFolder(9, folder), E_INVALIDARG);
        ASSERT_EQ(app->GetDefaultFolder(olFolderContacts, folder), S_OK);
        std::unique_ptr<IPOutlookItemCollection> items;
        ASSERT_EQ(folder->get_Items(items), S_OK);
        std::unique_ptr<IContact> contact;
        EXPECT_EQ(items->Item(0, contact), E_INVALIDARG);
        EXPECT_EQ(items->Item(1, contact), E_INVALIDARG);
    }).join();
}

}  // namespace
}  // namespace quillet::testing
