#include "desktop/formats/windows_phone_import.h"

#include <algorithm>
#include <string>
#include <vector>

#include "desktop/formats/filtered_xml.h"
#include "desktop/formats/import_text.h"

namespace quillet {
namespace {

using import::XmlInputFilter;

// A value this long may have been cut by the filter: not trusted.
constexpr size_t kMaxValue = XmlInputFilter::kMaxValueBytes;
constexpr size_t kMaxAttachments = 20;
// FILETIME counts 100 ns from 1601; .NET's DateTime ticks count from year
// 1 and are above this for every date after 1585.
constexpr int64_t kDotNetTicksFrom = 500'000'000'000'000'000;
constexpr int64_t kFiletimeToUnixMs = 11'644'473'600'000;
constexpr int64_t kDotNetToUnixMs = 62'135'596'800'000;

struct InlineAttachment {
    std::string content_type, name, base64;
};

// One <Message> as its elements come.
struct Message {
    std::vector<std::string> recipients;
    std::string body, incoming, read, sender, timestamp;
    std::vector<InlineAttachment> attachments;
    uint64_t attachments_cut = 0;
};

class WindowsPhoneReader {
  public:
    WindowsPhoneReader(ImportSink& sink, AttachmentSink& attachments)
        : sink_(sink), attachments_(attachments) {}

    void start(std::string_view name, bool empty);
    void text(std::string_view value);
    void end(std::string_view name);
    bool started() const { return started_; }
    uint64_t messages() const { return messages_; }
    uint64_t replaced() const { return replaced_; }

  private:
    void message_done();
    void save(const InlineAttachment& a, ImportedMessage& m);

    ImportSink& sink_;
    AttachmentSink& attachments_;
    std::vector<std::string> path_;  // the open elements, names lowered
    std::string text_;
    std::optional<Message> message_;
    bool started_ = false;
    uint64_t messages_ = 0;
    uint64_t replaced_ = 0;
};

void WindowsPhoneReader::start(std::string_view name, bool empty) {
    const std::string low = import::lowered(name);
    if (path_.empty())
        started_ = low == "arrayofmessage";
    if (low == "message" && path_.size() == 1)
        message_.emplace();
    // A child of <Attachments> is one attachment.
    if (message_ && path_.size() == 3 && path_[2] == "attachments") {
        if (message_->attachments.size() < kMaxAttachments)
            message_->attachments.emplace_back();
        else
            ++message_->attachments_cut;
    }
    path_.push_back(low);
    text_.clear();
    if (empty)
        end(name);
}

void WindowsPhoneReader::text(std::string_view value) {
    if (message_ && text_.size() < kMaxValue)
        text_.append(value.substr(0, kMaxValue - text_.size()));
}

void WindowsPhoneReader::end(std::string_view) {
    if (path_.empty())
        return;
    const std::string name = path_.back();
    path_.pop_back();
    if (!message_)
        return;
    Message& m = *message_;
    if (path_.size() == 1 && name == "message") {
        message_done();
        message_.reset();
    } else if (path_.size() == 2) {
        if (name == "body")
            m.body = text_;
        else if (name == "isincoming")
            m.incoming = import::lowered(import::trim(text_));
        else if (name == "isread")
            m.read = import::lowered(import::trim(text_));
        else if (name == "sender")
            m.sender = import::trim(text_);
        else if (name == "localtimestamp")
            m.timestamp = import::trim(text_);
    } else if (path_.size() == 3 && (path_[2] == "recepients" || path_[2] == "recipients")) {
        if (!import::trim(text_).empty())
            m.recipients.emplace_back(import::trim(text_));
    } else if (path_.size() == 4 && path_[2] == "attachments" && !m.attachments.empty() &&
               m.attachments_cut == 0) {
        InlineAttachment& a = m.attachments.back();
        if (name.find("contenttype") != std::string::npos)
            a.content_type = import::trim(text_);
        else if (name.find("base64") != std::string::npos || name == "data")
            a.base64 = text_;
        else if (name.find("name") != std::string::npos)
            a.name = import::trim(text_);
    }
    text_.clear();
}

void WindowsPhoneReader::save(const InlineAttachment& a, ImportedMessage& m) {
    const std::string_view kind = import::attachment_kind(a.content_type);
    std::string name = a.name;
    if (name.empty()) {
        const size_t slash = a.content_type.find('/');
        name = "attachment" + (slash == std::string::npos
                                   ? ""
                                   : "." + import::lowered(a.content_type.substr(slash + 1)));
    }
    if (a.base64.size() >= kMaxValue) {
        sink_.skipped("an attachment over 6 MB written into the file, which is not read");
        return;
    }
    import::Base64Decoder decoder;
    std::string bytes;
    decoder.feed(a.base64, bytes);
    const std::optional<std::string> saved = attachments_.begin(name);
    const bool written = saved && !decoder.bad() && attachments_.write(bytes);
    if (!saved || !attachments_.end(written) || !written) {
        sink_.skipped(decoder.bad() ? "an attachment whose base64 is damaged"
                                    : "an attachment that could not be saved");
        return;
    }
    m.attachments.push_back({std::string(kind), *saved});
}

void WindowsPhoneReader::message_done() {
    ++messages_;
    const Message& w = *message_;
    if (w.incoming != "true" && w.incoming != "false") {
        sink_.skipped("a message that does not say whether it was received or sent");
        return;
    }
    const std::optional<int64_t> ticks = import::parse_int(w.timestamp);
    if (!ticks || *ticks < 0) {
        sink_.skipped("a message without a readable time");
        return;
    }
    const int64_t ms = *ticks >= kDotNetTicksFrom ? *ticks / 10'000 - kDotNetToUnixMs
                                                  : *ticks / 10'000 - kFiletimeToUnixMs;
    if (const auto why = import::time_out_of_range(ms)) {
        sink_.skipped("a message with " + std::string(*why));
        return;
    }
    if (w.body.size() >= kMaxValue) {
        sink_.skipped("a message whose text is over 8 MB");
        return;
    }
    ImportedMessage m;
    m.received = w.incoming == "true";
    m.time_ms = ms;
    m.zoneless = true;
    m.read = !m.received || w.read != "false";
    if (m.received) {
        m.address = w.sender;
    } else {
        for (const std::string& r : w.recipients)
            m.address += (m.address.empty() ? "" : ";") + r;
    }
    if (m.address.empty()) {
        sink_.skipped(m.received ? "a received message without a sender"
                                 : "a sent message without a recipient");
        return;
    }
    for (const InlineAttachment& a : w.attachments)
        save(a, m);
    for (uint64_t n = 0; n < w.attachments_cut; ++n)
        sink_.skipped("an attachment beyond the 20th of one message");
    std::string body = w.body;
    std::erase(body, '\r');
    m.text = import::utf16_from_utf8(body, replaced_);
    for (const ImportedAttachment& a : m.attachments)
        import::append_attachment_line(m.text, a, replaced_);
    if (m.text.empty()) {
        sink_.skipped("a message without text or attachment");
        return;
    }
    sink_.message(std::move(m));
}

}  // namespace

ReadReport read_windows_phone_backup(const std::filesystem::path& path, ImportSink& sink,
                                     AttachmentSink& attachments) {
    ReadReport report;
    import::FilteredXmlFile xml(path, sink, attachments, report.outcome);
    xmlTextReader* const reader = xml.reader();
    if (!reader)
        return report;
    import::FilteredInput& input = xml.input();
    const XmlInputFilter& filter = xml.filter();
    const import::ParseError& parse_error = xml.parse_error();
    WindowsPhoneReader phone(sink, attachments);
    int status = 0;
    while ((status = xmlTextReaderRead(reader)) == 1) {
        const int type = xmlTextReaderNodeType(reader);
        if (type == XML_READER_TYPE_ELEMENT || type == XML_READER_TYPE_END_ELEMENT) {
            const auto* name = reinterpret_cast<const char*>(xmlTextReaderConstLocalName(reader));
            if (type == XML_READER_TYPE_END_ELEMENT)
                phone.end(name ? name : "");
            else
                phone.start(name ? name : "", xmlTextReaderIsEmptyElement(reader) == 1);
            if (type == XML_READER_TYPE_ELEMENT && !phone.started()) {
                status = -1;
                break;
            }
        } else if (type == XML_READER_TYPE_TEXT || type == XML_READER_TYPE_CDATA ||
                   type == XML_READER_TYPE_SIGNIFICANT_WHITESPACE) {
            const auto* value = reinterpret_cast<const char*>(xmlTextReaderConstValue(reader));
            phone.text(value ? value : "");
        }
    }
    if (input.cancelled) {
        report.outcome = Outcome::cancelled();
    } else if (!filter.error().empty()) {
        report.outcome = Outcome::bad_input(filter.error());
    } else if (!phone.started()) {
        report.outcome =
            Outcome::bad_input("not a Windows Phone message backup (<ArrayOfMessage>)");
    } else if (status != 0 && input.read_failed) {
        report.outcome = Outcome::unreadable("the file could not be read");
    } else if (status != 0 && phone.messages() > 0) {
        import::drain(input);
        report.damage =
            parse_error.text.empty() ? "the file is not well-formed XML" : parse_error.text;
    } else if (status != 0) {
        report.outcome = Outcome::bad_input(
            parse_error.text.empty() ? "the file is not well-formed XML" : parse_error.text);
    }
    report.replaced = filter.replaced() + phone.replaced();
    return report;
}

}  // namespace quillet
