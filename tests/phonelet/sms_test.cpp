// WRITESMS against the real agent and the phone's SMS service.
#include <gtest/gtest.h>

#include "protocol/byte_order.h"
#include "tests/phonelet/agent_harness.h"

namespace quillet::testing {
namespace {

SmsWireRecord outgoing(std::string_view to, std::u16string text, uint8_t cls = 0) {
    SmsWireRecord r;
    set_text_field(r.address, to);
    r.text = std::move(text);
    r.message_class = cls;
    r.time = 133'000'000'000'000'000ULL;
    return r;
}

class SmsTest : public ::testing::Test {
  protected:
    void send_sms(const SmsWireRecord& r) {
        const WriteSmsRequest request = encode_write_sms(r);
        desktop.send(request.block);
        desktop.send(request.second_piece);
    }
    std::vector<phone::SmsSubmission> outbox() { return desktop.store().submissions(); }

    TestDesktop desktop;
};

TEST_F(SmsTest, AcceptedMessageIsSubmittedWhole) {
    ASSERT_TRUE(desktop.start_agent());
    send_sms(outgoing("+491701234567", u"Grüße, 25 €", 0));
    EXPECT_EQ(desktop.read(1), std::vector<uint8_t>{'O'});
    const auto sent = outbox();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].address, u"+491701234567");
    EXPECT_EQ(sent[0].address_type, 1);
    EXPECT_EQ(sent[0].message_class, 0);
    EXPECT_EQ(sent[0].text, u"Grüße, 25 €");
    EXPECT_EQ(sent[0].data_size, 22u);
}

TEST_F(SmsTest, ClassByteAndAddressTypeFollowTheRecord) {
    ASSERT_TRUE(desktop.start_agent());
    const std::pair<uint8_t, int> classes[] = {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {7, 1}, {200, 1}};
    for (auto [byte, cls] : classes) {
        send_sms(outgoing(byte % 2 ? "0301234567" : "+4930", u"x", byte));
        EXPECT_EQ(desktop.read(1), std::vector<uint8_t>{'O'});
    }
    const auto sent = outbox();
    ASSERT_EQ(sent.size(), std::size(classes));
    for (size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].message_class, classes[i].second)
            << "class byte " << int{classes[i].first};
        EXPECT_EQ(sent[i].address_type, classes[i].first % 2 ? 0 : 1);
    }
}

TEST_F(SmsTest, EmptyTextIsSubmittedWithDataSizeZero) {
    ASSERT_TRUE(desktop.start_agent());
    send_sms(outgoing("+1", u""));
    EXPECT_EQ(desktop.read(1), std::vector<uint8_t>{'O'});
    const auto sent = outbox();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].text, u"");
    EXPECT_EQ(sent[0].data_size, 0u);
}

TEST_F(SmsTest, RefusedMessageAnswersFAndTheLinkGoesOn) {
    desktop.store().set_sms_refusing(true);
    ASSERT_TRUE(desktop.start_agent());
    send_sms(outgoing("+1", u"refused"));
    EXPECT_EQ(desktop.read(1), std::vector<uint8_t>{'F'});
    EXPECT_TRUE(outbox().empty());
    desktop.store().set_sms_refusing(false);
    send_sms(outgoing("+1", u"accepted"));
    EXPECT_EQ(desktop.read(1), std::vector<uint8_t>{'O'});
    ASSERT_EQ(outbox().size(), 1u);
    EXPECT_EQ(outbox()[0].text, u"accepted");
}

TEST_F(SmsTest, PhoneWithoutImageAnswersF) {
    ASSERT_TRUE(desktop.start_agent(desktop.root() / "missing"));
    send_sms(outgoing("+1", u"nowhere"));
    EXPECT_EQ(desktop.read(1), std::vector<uint8_t>{'F'});
}

TEST_F(SmsTest, RecordWithoutTerminatorIsReadOnlyToItsEnd) {
    ASSERT_TRUE(desktop.start_agent());
    auto request = encode_write_sms(outgoing("+1", u"abc"));
    // Overwrite the terminator: the text must stop at the record's end.
    request.second_piece[request.second_piece.size() - 2] = 'd';
    desktop.send(request.block);
    desktop.send(request.second_piece);
    EXPECT_EQ(desktop.read(1), std::vector<uint8_t>{'O'});
    ASSERT_EQ(outbox().size(), 1u);
    EXPECT_EQ(outbox()[0].text, u"abcd");
}

class BadWriteSizeTest : public SmsTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(BadWriteSizeTest, EndsTheConnectionWithoutSending) {
    ASSERT_TRUE(desktop.start_agent());
    auto request = encode_write_sms(outgoing("+1", u"hello"));
    put_u32le(request.block, 12, GetParam());
    desktop.send(request.block);
    desktop.send(request.second_piece);
    EXPECT_TRUE(desktop.connection_closed());
    EXPECT_EQ(desktop.agent_exit(std::chrono::seconds(5)), 0);
    EXPECT_TRUE(outbox().empty());
}

INSTANTIATE_TEST_SUITE_P(Sizes, BadWriteSizeTest,
                         ::testing::Values(0u, 69u, 71u, 75u, (1u << 20) + 2, 0xFFFFFFFFu));

TEST_F(SmsTest, SecondPieceCutOffEndsTheAgentWithoutSending) {
    ASSERT_TRUE(desktop.start_agent());
    const auto request = encode_write_sms(outgoing("+1", u"never sent"));
    desktop.send(request.block);
    desktop.send(std::span(request.second_piece).first(20));
    desktop.close_connection();
    EXPECT_EQ(desktop.agent_exit(std::chrono::seconds(5)), 0);
    EXPECT_TRUE(outbox().empty());
}

}  // namespace
}  // namespace quillet::testing
