// The sample phone, served whole: every folder, the contacts, a message sent
// and a message deleted, as a desktop sees them.
#include <gtest/gtest.h>

#include "protocol/text_codec.h"
#include "tests/phonelet/agent_harness.h"
#include "tests/phonelet/json_value.h"

namespace quillet::testing {
namespace {

bool is_text_class(const std::string& cls) {
    return cls.starts_with("IPM.SMSText") || cls.starts_with("IPM.Note");
}

// The folder's text messages as the tool lists them, oldest first.
std::vector<JsonValue> text_rows(const std::filesystem::path& root, const std::string& folder) {
    const ToolResult r = run_tool(root, {"list", folder, "--json"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    const auto list = parse_json(r.out);
    std::vector<JsonValue> rows;
    if (!list)
        return rows;
    for (const JsonValue& m : list->array()) {
        if (is_text_class(m["class"].string()))
            rows.push_back(m);
    }
    return rows;
}

TEST(SamplePhoneTest, EveryCommandServesTheSamplePhone) {
    TestDesktop desktop;
    ASSERT_EQ(run_tool(desktop.root(), {"init", "--sample", "--force"}).exit_code, 0);
    ASSERT_TRUE(desktop.start_agent());

    const std::pair<CommandCode, std::string> folders[] = {{CommandCode::READINBOX, "inbox"},
                                                           {CommandCode::READSENT, "sent"},
                                                           {CommandCode::READDELETED, "deleted"}};
    std::vector<uint8_t> first_inbox_record;
    for (const auto& [code, name] : folders) {
        const auto expected = text_rows(desktop.root(), name);
        desktop.send_block(code);
        const auto records = desktop.read_folder_reply();
        ASSERT_EQ(records.size(), expected.size()) << name;
        ASSERT_FALSE(records.empty()) << name;
        for (size_t i = 0; i < records.size(); ++i) {
            const auto decoded = decode_sms_record(records[i]);
            ASSERT_TRUE(decoded.record) << name << " " << i;
            const JsonValue& row = expected[i];
            const std::string text =
                row["subject"].string().empty() ? row["body"].string() : row["subject"].string();
            EXPECT_EQ(decoded.record->text, from_utf8(text)) << name << " " << i;
            EXPECT_EQ(decoded.record->flags != 0, row["read"].boolean()) << name << " " << i;
        }
        if (code == CommandCode::READINBOX)
            first_inbox_record = records.front();
    }

    desktop.send_block(CommandCode::READALLCON);
    const auto contacts = desktop.read_contacts_until_end_marker();
    EXPECT_GE(contacts.size(), 6u);

    SmsWireRecord out;
    set_text_field(out.address, "+491701234567");
    out.text = u"On my way – 10 €";
    const WriteSmsRequest request = encode_write_sms(out);
    desktop.send(request.block);
    desktop.send(request.second_piece);
    EXPECT_EQ(desktop.read(1), std::vector<uint8_t>{'O'});
    const ToolResult outbox = run_tool(desktop.root(), {"outbox", "--json"});
    const auto sent = parse_json(outbox.out);
    ASSERT_TRUE(sent);
    ASSERT_EQ(sent->array().size(), 1u);
    EXPECT_EQ((*sent)[0]["text"].string(), "On my way – 10 €");

    CommandBlock del = CommandBlock::with_code(CommandCode::DELINBOX);
    std::copy_n(first_inbox_record.begin(), kRecordHeadSize, del.payload.begin());
    const size_t before = text_rows(desktop.root(), "inbox").size();
    desktop.send_block(del);
    EXPECT_EQ(desktop.read(1), std::vector<uint8_t>{'O'});
    EXPECT_EQ(text_rows(desktop.root(), "inbox").size(), before - 1);
}

}  // namespace
}  // namespace quillet::testing
