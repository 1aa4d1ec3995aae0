// The SMS Backup+ mail reader on hand-written mails: SMS and MMS by their
// X-smssync fields, quoted-printable and base64 bodies, the millisecond and
// second dates, RFC 2231 file names, nested multiparts; an mbox with
// ">From " lines, a Maildir, and mails that are no messages or are hostile.
#include <gtest/gtest.h>

#include "desktop/formats/mail_import.h"
#include "import_test_support.h"

namespace quillet {
namespace {
namespace fs = std::filesystem;
using namespace quillet::test;

constexpr int64_t kMs = 1'700'000'000'123;

Read read_mail(const fs::path& path) {
    Read r;
    r.read = read_smssync_mail(path, r.sink, r.attachments);
    return r;
}

std::string smssync(std::string_view type, std::string_view direction, std::string_view date,
                    std::string_view extra = "", std::string_view read = "1") {
    return "From: Ann <+491701111111@unknown.email>\r\nTo: Me <me@example.org>\r\n"
           "Subject: SMS with Ann\r\nX-smssync-datatype: " +
           std::string(type) +
           "\r\nX-smssync-address: +491701111111\r\nX-smssync-type: " + std::string(direction) +
           "\r\nX-smssync-date: " + std::string(date) + "\r\nX-smssync-read: " + std::string(read) +
           "\r\n" + std::string(extra);
}

const std::string kMmsBody =
    "Content-Type: multipart/mixed;\r\n boundary=\"outer\"\r\n\r\nThis is a preamble.\r\n"
    "--outer\r\nContent-Type: application/smil\r\n\r\n<smil/>\r\n"
    "--outer\r\nContent-Type: multipart/related; boundary=inner\r\n\r\n"
    "--inner\r\nContent-Type: text/plain; charset=utf-8\r\n"
    "Content-Transfer-Encoding: quoted-printable\r\n\r\nLook =F0=9F=91=80\r\n"
    "--inner--\r\n"
    "--outer\r\nContent-Type: image/jpeg\r\nContent-Transfer-Encoding: base64\r\n"
    "Content-Disposition: attachment;\r\n filename*0*=UTF-8''%E2%82%AC%20;\r\n"
    " filename*1*=photo.jpg\r\n\r\nSlBF\r\nR0JZ\r\nVEVT\r\n--outer--\r\nepilogue\r\n";

TEST(SmsBackupMail, ReadsTheSmsAndMmsMails) {
    TempFolder temp;
    const struct {
        const char* name;
        std::string mail;
        bool received, read;
        const char* address;
        const char* text;
    } cases[] = {
        {"received SMS, quoted-printable, unread",
         smssync("SMS", "1", std::to_string(kMs), "", "0") +
             "Content-Type: text/plain; charset=utf-8\r\n"
             "Content-Transfer-Encoding: quoted-printable\r\n\r\nCaf=C3=A9 and a long =\r\n"
             "line=0D=0A  second =3D line \r\n",
         true, false, "+491701111111", "Café and a long line\n  second = line"},
        {"sent SMS, base64, LF lines",
         smssync("SMS", "2", std::to_string(kMs)) +
             "Content-Type: text/plain; charset=\"UTF-8\"\nContent-Transfer-Encoding: "
             "base64\n\nSGVsbG8g\n8J+Ygg==\n",
         false, true, "+491701111111", "Hello 😂"},
        {"latin-1 8bit SMS",
         smssync("sms", "1", std::to_string(kMs)) +
             "Content-Type: text/plain; charset=ISO-8859-1\r\n\r\nGr\xFC\xDF"
             "e\r\n",
         true, true, "+491701111111", "Grüße"},
        {"received MMS, seconds, a group by To",
         smssync("MMS", "132", std::to_string(kMs / 1000),
                 "Cc: +491702222222@unknown.email, \"+49 170 1111111\" "
                 "<+491701111111@unknown.email>\r\n") +
             kMmsBody,
         true, true, "+491701111111;+491702222222", "Look 👀\n[picture: € photo.jpg]"},
        {"sent MMS, its date in milliseconds all the same",
         smssync("MMS", "128", std::to_string(kMs / 1000 * 1000)) + kMmsBody, false, true,
         "+491701111111", "Look 👀\n[picture: € photo.jpg]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Read r = read_mail(written(temp.path() / "one.eml", c.mail));
        const bool mms = std::string_view(c.name).find("MMS") != std::string_view::npos;
        expect_one_message(
            r, {c.received, c.read, c.address, c.text, mms ? kMs / 1000 * 1000 : kMs, false});
        if (HasFatalFailure())
            return;
        if (const ImportedMessage& m = r.sink.messages[0]; !m.attachments.empty()) {
            EXPECT_EQ(r.attachments.files.at("€ photo.jpg"), "JPEGBYTES");
            EXPECT_EQ(m.attachments[0].kind, "picture");
        }
    }
}

// An mbox: mails split at "From " lines, ">From " in a body unescaped;
// call logs, drafts, other mails and broken dates counted. A Maildir gives
// cur/ then new/.
TEST(SmsBackupMail, ReadsAnMboxAndAMaildirCountingWhatIsNoMessage) {
    TempFolder temp;
    const std::string sms = smssync("SMS", "1", std::to_string(kMs)) + "\n";
    const std::string mbox =
        "From 1234@xxx Mon Jan 01 00:00:00 2024\n" + sms + "Hi\n>From here\n>>From there\n\n" +
        "From 1235@xxx Mon Jan 01 00:00:00 2024\n" + smssync("CALLLOG", "1", std::to_string(kMs)) +
        "\n123\n\n" +
        "From 1236@xxx Mon Jan 01 00:00:00 2024\nFrom: a@b.example\nSubject: hello\n\nNo\n\n" +
        "From 1237@xxx Mon Jan 01 00:00:00 2024\n" + smssync("SMS", "3", std::to_string(kMs)) +
        "\nDraft\n" + "From 1238@xxx Mon Jan 01 00:00:00 2024\n" +
        smssync("SMS", "1", "yesterday") + "\nx\n" + "From 1239@xxx Mon Jan 01 00:00:00 2024\n" +
        smssync("MMS", "132", "1700000000") + "\n";
    Read r = read_mail(written(temp.path() / "takeout.mbox", mbox));
    ASSERT_TRUE(r.read.outcome.ok()) << r.read.outcome.what();
    ASSERT_EQ(r.sink.messages.size(), 1u);
    EXPECT_EQ(r.sink.text(0), "Hi\nFrom here\n>From there");
    EXPECT_EQ(r.sink.skips,
              (std::vector<std::string>{
                  "a call log entry, not a message",
                  "a mail that SMS Backup+ did not write (no X-smssync-datatype)", "a draft",
                  "an SMS without a readable date", "an MMS without any part"}));
    EXPECT_GT(r.sink.progress_calls, 0u);

    const fs::path maildir = temp.path() / "SMS";
    fs::create_directories(maildir / "cur");
    fs::create_directories(maildir / "new");
    fs::create_directories(maildir / "tmp");
    written(maildir / "new" / "1.mail", sms + "second\n");
    written(maildir / "cur" / "2.mail:2,S", sms + "first\n");
    written(maildir / "tmp" / "3.mail", sms + "being written\n");
    r = read_mail(maildir);
    ASSERT_TRUE(r.read.outcome.ok());
    ASSERT_EQ(r.sink.messages.size(), 2u);
    EXPECT_EQ(r.sink.text(0), "first");
    EXPECT_EQ(r.sink.text(1), "second");
}

// A line of 100 MB costs no memory and skips its mail only; Cancel stops.
TEST(SmsBackupMail, AHugeLineSkipsItsMailInBoundedMemory) {
    TempFolder temp;
    const fs::path path = temp.path() / "huge.mbox";
    {
        std::ofstream out(path, std::ios::binary);
        out << "From x\n" << smssync("MMS", "132", "1700000000") << kMmsBody.substr(0, 200);
        const std::string piece(1 << 20, 'A');
        for (int i = 0; i < 100; ++i)
            out << piece;
        out << "\n--outer--\nFrom y\n" << smssync("SMS", "1", std::to_string(kMs)) << "\nAfter\n";
    }
    const long before = peak_kb();
    Read r = read_mail(path);
    EXPECT_LT(peak_kb() - before, 64 * 1024);
    ASSERT_TRUE(r.read.outcome.ok());
    EXPECT_EQ(r.sink.skips, std::vector<std::string>{"a mail with a line longer than 1 MB"});
    ASSERT_EQ(r.sink.messages.size(), 1u);
    EXPECT_EQ(r.sink.text(0), "After");

    r.sink.cancel_after = 0;
    EXPECT_EQ(read_smssync_mail(path, r.sink, r.attachments).outcome.kind(),
              Outcome::Kind::Cancelled);
}

}  // namespace
}  // namespace quillet
