// The sms-ie reader on ZIPs built here with libzip: SMS and MMS lines, the
// parts' files from data/, the older single-document export, a ZIP bomb and
// entries named to escape the folder.
#include <gtest/gtest.h>

#include "desktop/formats/smsie_import.h"
#include "import_test_support.h"

namespace quillet {
namespace {
using namespace quillet::test;

Read read_zip(const Entries& entries) {
    // The ZIP one folder down in a folder of the test's own, so that an
    // entry "../x" written anywhere would land where the test looks.
    TempFolder temp;
    std::filesystem::create_directories(temp.path() / "zip");
    Read r;
    r.read = read_smsie_zip(make_zip(temp.path() / "zip" / "export.zip", entries), r.sink,
                            r.attachments);
    EXPECT_FALSE(std::filesystem::exists(temp.path() / "x"));
    return r;
}

const std::string kMms =
    R"({"_id":"7","date":"1700000000","msg_box":"1","read":"0","m_id":"abc",)"
    R"("__sender_address":{"address":"+49 151 1111111","type":"137"},)"
    R"("__recipient_addresses":[{"address":"+491701234567","type":"151"},)"
    R"({"address":"+49 152 2222222","type":"151"}],"__parts":[)"
    R"({"seq":"-1","ct":"application/smil","text":"<smil/>"},)"
    R"({"seq":"0","ct":"text/plain","chset":"106","text":"Look \ud83d\ude00"},)"
    R"({"seq":"1","ct":"image/jpeg","name":"IMG_1.jpg","_data":"/data/user/0/x/app_parts/PART_9"}]})";

TEST(SmsIeImport, ReadsSmsAndMmsLines) {
    const Read r =
        read_zip({{"messages.ndjson",
                   R"({"address":"+49 170 1234567","date":"1700000000123","type":"1","read":"1",)"
                   R"("body":"Hi\r\nthere","__display_name":"Ann"})"
                   "\n"
                   R"({"address":"0170 1234567","date":1700000000999,"type":2,"body":"Yes"})"
                   "\n" +
                       kMms + "\n"},
                  {"data/PART_9", "JPEGBYTES"}});
    ASSERT_TRUE(r.read.outcome.ok()) << r.read.outcome.what();
    ASSERT_EQ(r.sink.messages.size(), 3u);
    const struct {
        bool received, read;
        const char* address;
        const char* text;
        int64_t time_ms;
    } expected[] = {
        {true, true, "+49 170 1234567", "Hi\r\nthere", 1700000000123},
        {false, true, "0170 1234567", "Yes", 1700000000999},
        {true, false, "+49 151 1111111;+491701234567;+49 152 2222222",
         "Look \xF0\x9F\x98\x80\n[picture: IMG_1.jpg]", 1700000000000},
    };
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(r.sink.messages[i].received, expected[i].received);
        EXPECT_EQ(r.sink.messages[i].read, expected[i].read);
        EXPECT_EQ(r.sink.messages[i].address, expected[i].address);
        EXPECT_EQ(r.sink.text(i), expected[i].text);
        EXPECT_EQ(r.sink.messages[i].time_ms, expected[i].time_ms);
    }
    EXPECT_EQ(r.attachments.files.at("IMG_1.jpg"), "JPEGBYTES");
    EXPECT_TRUE(r.sink.skips.empty());
}

TEST(SmsIeImport, SkipsAndRefusesWithAReason) {
    const std::string bomb(20u << 20, '\0');  // compresses far more than 100 times
    const std::string sms = R"({"address":"1","date":"1","type":"1","body":"kept"})";
    const struct {
        const char* name;
        Entries entries;
        const char* error;  // nullptr: read, with `skip` counted
        const char* skip;
    } cases[] = {
        {"older single document", {{"messages.json", "[\n {}\n]"}}, "older kind", nullptr},
        {"older document under the new name",
         {{"messages.ndjson", "{\n  \"sms\": []\n}"}},
         "older kind",
         nullptr},
        {"no messages", {{"readme.txt", "hi"}}, "without messages.ndjson", nullptr},
        {"ZIP bomb as the messages", {{"messages.ndjson", bomb}}, "ZIP bomb", nullptr},
        {"ZIP bomb as a part",
         {{"messages.ndjson", sms + "\n" + kMms}, {"data/PART_9", bomb}},
         nullptr,
         "a ZIP entry that expands more than 100 times (a ZIP bomb)"},
        {"a draft",
         {{"messages.ndjson", R"({"date":"1","type":"3"})"
                              "\n" +
                                  sms}},
         nullptr,
         "a draft"},
        {"a date after 30828 (seconds)",
         {{"messages.ndjson", sms + "\n" + R"({"msg_box":"1","date":"910692730086"})"}},
         nullptr,
         "an MMS with a date after 30828"},
        {"a broken line",
         {{"messages.ndjson", sms + "\n{\"date\":"}},
         nullptr,
         "a line that is not a JSON object"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Read r = read_zip(c.entries);
        if (c.error) {
            EXPECT_FALSE(r.read.outcome.ok());
            EXPECT_NE(r.read.outcome.what().find(c.error), std::string::npos)
                << r.read.outcome.what();
            continue;
        }
        ASSERT_TRUE(r.read.outcome.ok()) << r.read.outcome.what();
        EXPECT_EQ(r.sink.skips, std::vector<std::string>{c.skip});
        EXPECT_EQ(r.sink.text(0), "kept");
        for (const std::string& name : r.attachments.suggested)
            EXPECT_EQ(name.find('/'), std::string::npos) << name;
    }
}

// A part named in the line but not in data/ (here named to escape the
// folder): nothing is written outside, and the message keeps a line that
// names what it had.
TEST(SmsIeImport, APartNotInTheZipIsNamedInItsMessage) {
    const Read r = read_zip(
        {{"messages.ndjson", std::string(kMms).replace(kMms.find("/data/user"), 31, "../x")},
         {"../x", "escaped"},
         {"/x", "absolute"}});
    ASSERT_TRUE(r.read.outcome.ok()) << r.read.outcome.what();
    EXPECT_TRUE(r.sink.skips.empty());
    ASSERT_EQ(r.sink.messages.size(), 1u);
    EXPECT_EQ(r.sink.text(0), "Look \xF0\x9F\x98\x80\n[picture: IMG_1.jpg, not in the backup]");
    EXPECT_TRUE(r.attachments.files.empty());
}

}  // namespace
}  // namespace quillet
