// The Windows Phone backup reader on hand-written .msg XML: received and
// sent messages, both kinds of tick, inline attachments; what it skips and
// the hostile files the shared XML path refuses.
#include <gtest/gtest.h>

#include "desktop/formats/windows_phone_import.h"
#include "import_test_support.h"

namespace quillet {
namespace {
using namespace quillet::test;

// 2015-03-04T05:06:07.890 as FILETIME ticks and as .NET ticks.
constexpr const char* kFiletime = "130699191678900000";
constexpr const char* kDotNet = "635610423678900000";
constexpr int64_t kMs = 1'425'445'567'890;

std::string backup(const std::string& messages) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<ArrayOfMessage "
           "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\r\n" +
           messages + "</ArrayOfMessage>\r\n";
}

std::string message(std::string_view fields) {
    return "<Message>" + std::string(fields) + "</Message>\r\n";
}

Read read_wp(std::string_view bytes) {
    TempFolder temp;
    Read r;
    r.read =
        read_windows_phone_backup(written(temp.path() / "b.msg", bytes), r.sink, r.attachments);
    return r;
}

TEST(WindowsPhoneImport, ReadsReceivedAndSentMessages) {
    const struct {
        const char* name;
        std::string fields;
        bool received, read;
        const char* address;
        const char* text;
    } cases[] = {
        {"received, read, FILETIME",
         "<Recepients /><Body>Hi &amp; bye</Body><IsIncoming>true</IsIncoming>"
         "<IsRead>true</IsRead><Sender>+491701111111</Sender><LocalTimestamp>" +
             std::string(kFiletime) + "</LocalTimestamp>",
         true, true, "+491701111111", "Hi & bye"},
        {"received unread, .NET ticks, emoji as UTF-16 halves, CR LF",
         "<Body>Smile &#55357;&#56832;\r\nnext</Body><IsIncoming>true</IsIncoming>"
         "<IsRead>false</IsRead><Sender>Bank</Sender><LocalTimestamp>" +
             std::string(kDotNet) + "</LocalTimestamp>",
         true, false, "Bank", "Smile 😀\nnext"},
        {"sent to two, with a picture",
         "<Recepients><string>+491701111111</string><string>0170 2222222</string></Recepients>"
         "<Body><![CDATA[<see> this]]></Body><IsIncoming>false</IsIncoming><IsRead>true</IsRead>"
         "<Sender /><LocalTimestamp>" +
             std::string(kFiletime) +
             "</LocalTimestamp><Attachments><MessageAttachment>"
             "<AttachmentContentType>image/jpeg</AttachmentContentType>"
             "<AttachmentDataBase64String>SlBF\r\nR0JZVEVT</AttachmentDataBase64String>"
             "</MessageAttachment></Attachments>",
         false, true, "+491701111111;0170 2222222", "<see> this\n[picture: attachment.jpeg]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Read r = read_wp(backup(message(c.fields)));
        expect_one_message(r, {c.received, c.read, c.address, c.text, kMs, true});
        if (HasFatalFailure())
            return;
        if (!r.sink.messages[0].attachments.empty()) {
            EXPECT_EQ(r.attachments.files.at("attachment.jpeg"), "JPEGBYTES");
        }
    }
}

// What is no message is counted; a file cut short keeps what came before;
// entities, another root and a non-XML file are refused.
TEST(WindowsPhoneImport, SkipsRefusesAndKeepsWhatCameBeforeDamage) {
    const std::string kept = message(
        "<Body>Kept</Body><IsIncoming>true</IsIncoming><Sender>+491701111111</Sender>"
        "<LocalTimestamp>" +
        std::string(kFiletime) + "</LocalTimestamp>");
    const std::pair<std::string, const char*> skips[] = {
        {"<Body>x</Body><Sender>1</Sender><LocalTimestamp>1</LocalTimestamp>",
         "a message that does not say whether it was received or sent"},
        {"<Body>x</Body><IsIncoming>true</IsIncoming><Sender>1</Sender>"
         "<LocalTimestamp>soon</LocalTimestamp>",
         "a message without a readable time"},
        {"<Body>x</Body><IsIncoming>false</IsIncoming><LocalTimestamp>1</LocalTimestamp>",
         "a sent message without a recipient"},
    };
    for (const auto& [fields, why] : skips) {
        SCOPED_TRACE(why);
        const Read r = read_wp(backup(message(fields) + kept));
        ASSERT_TRUE(r.read.outcome.ok()) << r.read.outcome.what();
        EXPECT_EQ(r.sink.skips, std::vector<std::string>{why});
        EXPECT_EQ(r.sink.messages.size(), 1u);
    }

    const std::string whole = backup(kept + kept);
    Read r = read_wp(whole.substr(0, whole.size() - 60));
    ASSERT_TRUE(r.read.outcome.ok()) << r.read.outcome.what();
    EXPECT_EQ(r.sink.messages.size(), 1u);
    EXPECT_NE(r.read.damage, "");

    for (const std::string& refused :
         {"<?xml version=\"1.0\"?><!DOCTYPE a [<!ENTITY e \"x\">]><ArrayOfMessage>" + kept +
              "</ArrayOfMessage>",
          std::string("<smses/>"), std::string("not XML")}) {
        SCOPED_TRACE(refused);
        r = read_wp(refused);
        EXPECT_EQ(r.read.outcome.kind(), Outcome::Kind::BadInput);
        EXPECT_TRUE(r.sink.messages.empty());
    }
}

}  // namespace
}  // namespace quillet
