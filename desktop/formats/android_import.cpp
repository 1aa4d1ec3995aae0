#include "desktop/formats/android_import.h"

#include <fcntl.h>
#include <libxml/xmlreader.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/formats/filtered_xml.h"
#include "desktop/formats/import_text.h"
#include "desktop/formats/xml_input_filter.h"

namespace quillet {
namespace {

using import::FilteredInput;
using import::ParseError;
using import::PartSpool;
using import::XmlInputFilter;

constexpr uint64_t kMaxTextPartBytes = import::XmlInputFilter::kMaxValueBytes;

// The attributes of the reader's current element. One object is loaded
// again for each element, so that its strings keep their capacity.
class Attributes {
  public:
    void load(xmlTextReader* reader) {
        count_ = 0;
        while (xmlTextReaderMoveToNextAttribute(reader) == 1) {
            const auto* name = reinterpret_cast<const char*>(xmlTextReaderConstLocalName(reader));
            const auto* value = reinterpret_cast<const char*>(xmlTextReaderConstValue(reader));
            if (count_ == pairs_.size())
                pairs_.emplace_back();
            pairs_[count_].first.assign(name ? name : "");
            pairs_[count_].second.assign(value ? value : "");
            ++count_;
        }
        xmlTextReaderMoveToElement(reader);
    }
    std::string_view get(std::string_view name) const {
        for (size_t i = 0; i < count_; ++i) {
            if (pairs_[i].first == name)
                return pairs_[i].second;
        }
        return {};
    }
    bool has(std::string_view name) const {
        for (size_t i = 0; i < count_; ++i) {
            if (pairs_[i].first == name)
                return true;
        }
        return false;
    }

  private:
    std::vector<std::pair<std::string, std::string>> pairs_;
    size_t count_ = 0;
};

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    return out;
}

bool absent(std::string_view value) {
    return value.empty() || value == "null";
}

// Where the filter put a part's data: "OFFSET LENGTH BAD".
struct SpoolRange {
    uint64_t offset = 0;
    uint64_t length = 0;
    bool bad = false;
};

std::optional<SpoolRange> spool_range(std::string_view marker) {
    const size_t a = marker.find(' ');
    const size_t b = marker.rfind(' ');
    if (a == std::string_view::npos || b == a)
        return std::nullopt;
    const auto offset = import::parse_int(marker.substr(0, a));
    const auto length = import::parse_int(marker.substr(a + 1, b - a - 1));
    if (!offset || !length || *offset < 0 || *length < 0)
        return std::nullopt;
    return SpoolRange{static_cast<uint64_t>(*offset), static_cast<uint64_t>(*length),
                      marker.substr(b + 1) == "1"};
}

class AndroidReader {
  public:
    AndroidReader(ImportSink& sink, AttachmentSink& attachments, PartSpool& spool)
        : sink_(sink), attachments_(attachments), spool_(spool) {}

    // False when the file is not a message backup (error()).
    bool element(xmlTextReader* reader, std::string_view name);
    void end_element(std::string_view name);
    bool started() const { return started_; }
    // <sms> elements and whole <mms> elements met, taken or skipped.
    uint64_t messages() const { return messages_; }
    const std::string& error() const { return error_; }
    std::optional<uint64_t> announced() const { return announced_; }
    uint64_t replaced() const { return replaced_; }

  private:
    bool root(const Attributes& a, std::string_view name);
    void sms(const Attributes& a);
    void begin_mms(const Attributes& a);
    void part(const Attributes& a);
    void addr(const Attributes& a);
    void end_mms();
    void save_attachment(const Attributes& a, std::string_view content_type,
                         const std::optional<SpoolRange>& range);
    std::optional<int64_t> checked_time(std::string_view date, std::string_view what);

    ImportSink& sink_;
    AttachmentSink& attachments_;
    PartSpool& spool_;
    import::OwnerGuess owner_;
    Attributes attributes_;
    bool started_ = false;
    uint64_t messages_ = 0;
    std::optional<uint64_t> announced_;
    std::string error_;
    uint64_t replaced_ = 0;

    struct Mms {
        bool open = false;
        std::string skip;  // why it is not taken, when it is not
        ImportedMessage message;
        std::string texts;
        std::string address;  // the "~"-joined fallback
        import::MmsParties parties;
        bool any_addr = false;
        std::vector<ImportedAttachment> missing;  // parts named without content
    } mms_;
};

std::optional<int64_t> AndroidReader::checked_time(std::string_view date, std::string_view what) {
    const std::optional<int64_t> ms = import::parse_int(date);
    if (!ms) {
        sink_.skipped(std::string(what) + " without a readable date");
        return std::nullopt;
    }
    if (const auto why = import::time_out_of_range(*ms)) {
        sink_.skipped(std::string(what) + " with " + std::string(*why));
        return std::nullopt;
    }
    return ms;
}

bool AndroidReader::root(const Attributes& a, std::string_view name) {
    started_ = true;
    if (name == "calls") {
        error_ = "an Android call log: it holds calls, not messages";
        return false;
    }
    if (name != "smses" && name != "allsms") {
        error_ = "not an Android message backup (its root is <" + std::string(name) + ">)";
        return false;
    }
    if (const auto count = import::parse_int(a.get("count")); count && *count >= 0)
        announced_ = static_cast<uint64_t>(*count);
    return true;
}

bool AndroidReader::element(xmlTextReader* reader, std::string_view name) {
    attributes_.load(reader);
    const Attributes& a = attributes_;
    if (!started_)
        return root(a, name);
    if (name == "sms") {
        sms(a);
    } else if (name == "mms") {
        begin_mms(a);
        if (xmlTextReaderIsEmptyElement(reader) == 1)
            end_mms();
    } else if (name == "part" && mms_.open) {
        part(a);
    } else if (name == "addr" && mms_.open) {
        addr(a);
    } else if (name == "part") {
        // A part outside any MMS: its spooled data is let go.
        if (const auto range = spool_range(a.get("quillet-spool")))
            spool_.consumed(range->offset + range->length);
    }
    return true;
}

void AndroidReader::end_element(std::string_view name) {
    if (name == "mms" && mms_.open)
        end_mms();
}

void AndroidReader::sms(const Attributes& a) {
    ++messages_;
    if (a.has("quillet-cut")) {
        sink_.skipped("an SMS with a value longer than 8 MB");
        return;
    }
    const std::string_view type = a.get("type");
    static constexpr std::string_view kNotMessages[] = {"a draft", "a message in the outbox",
                                                        "a message that failed to send",
                                                        "a message queued to be sent"};
    if (type.size() == 1 && type[0] >= '3' && type[0] <= '6') {
        sink_.skipped(kNotMessages[type[0] - '3']);
        return;
    }
    if (type != "1" && type != "2") {
        sink_.skipped("an SMS of unknown type");
        return;
    }
    const std::optional<int64_t> ms = checked_time(a.get("date"), "an SMS");
    if (!ms)
        return;
    ImportedMessage m;
    m.received = type == "1";
    // Several recipients come "~"-joined; a message hands them on ";"-joined.
    m.address = std::string(a.get("address"));
    std::replace(m.address.begin(), m.address.end(), '~', ';');
    m.text = import::utf16_from_utf8(a.get("body"), replaced_);
    m.time_ms = *ms;
    m.read = !m.received || a.get("read") != "0";
    sink_.message(std::move(m));
}

void AndroidReader::begin_mms(const Attributes& a) {
    mms_ = Mms();
    mms_.open = true;
    const std::string_view box = a.get("msg_box");
    if (a.has("quillet-cut")) {
        mms_.skip = "an MMS with a value longer than 8 MB";
    } else if (box == "3") {
        mms_.skip = "a draft";
    } else if (box == "4") {
        mms_.skip = "a message in the outbox";
    } else if (box != "1" && box != "2") {
        mms_.skip = "an MMS of unknown box";
    } else if (const auto ms = import::parse_int(a.get("date")); !ms) {
        mms_.skip = "an MMS without a readable date";
    } else if (const auto why = import::time_out_of_range(*ms)) {
        mms_.skip = "an MMS with " + std::string(*why);
    } else {
        mms_.message.time_ms = *ms;
    }
    mms_.message.received = box == "1";
    mms_.message.read = box != "1" || a.get("read") != "0";
    mms_.address = std::string(a.get("address"));
}

void AndroidReader::part(const Attributes& a) {
    const std::optional<SpoolRange> range = spool_range(a.get("quillet-spool"));
    if (mms_.skip.empty()) {
        const std::string type = lower(a.get("ct"));
        if (a.has("quillet-cut")) {
            sink_.skipped("an MMS part with a value longer than 8 MB");
        } else if (type == "application/smil") {
            // The layout of the slides: not part of the message.
        } else if (type == "text/plain") {
            std::string text(a.get("text"));
            if (absent(text) && range && range->length <= kMaxTextPartBytes && !range->bad) {
                text.clear();
                spool_.read(range->offset, range->length, [&](std::string_view piece) {
                    text.append(piece);
                    return true;
                });
            }
            if (!absent(text)) {
                if (!mms_.texts.empty())
                    mms_.texts += '\n';
                mms_.texts += text;
            }
        } else {
            save_attachment(a, type, range);
        }
    }
    if (range)
        spool_.consumed(range->offset + range->length);
}

void AndroidReader::save_attachment(const Attributes& a, std::string_view content_type,
                                    const std::optional<SpoolRange>& range) {
    const std::string_view inline_text = a.get("text");
    std::string_view name = a.get("name");
    if (absent(name))
        name = a.get("cl");
    if (absent(name))
        name = "attachment";
    if ((!range || range->length == 0) && absent(inline_text)) {
        // Named but not held (backup apps leave large parts out): the
        // message keeps a line that says so.
        mms_.missing.push_back(
            {std::string(import::attachment_kind(content_type)), std::string(name)});
        return;
    }
    if (range && range->bad) {
        sink_.skipped("an MMS part whose data is damaged");
        return;
    }
    const std::optional<std::string> saved = attachments_.begin(name);
    if (!saved) {
        sink_.skipped("an attachment that could not be saved");
        return;
    }
    bool written = false;
    if (range && range->length > 0) {
        written = spool_.read(range->offset, range->length,
                              [&](std::string_view piece) { return attachments_.write(piece); });
    } else {
        written = attachments_.write(inline_text);
    }
    if (!attachments_.end(written) || !written) {
        sink_.skipped("an attachment that could not be saved");
        return;
    }
    mms_.message.attachments.push_back(
        {std::string(import::attachment_kind(content_type)), *saved});
}

void AndroidReader::addr(const Attributes& a) {
    mms_.any_addr = true;
    const std::string_view type = a.get("type");
    const std::string_view address = a.get("address");
    if (type == "137") {
        mms_.parties.sender = std::string(address);
    } else if (type == "151" || type == "130" || type == "129") {
        mms_.parties.recipients.emplace_back(address);
    }
}

void AndroidReader::end_mms() {
    mms_.open = false;
    ++messages_;
    if (!mms_.skip.empty()) {
        sink_.skipped(mms_.skip);
        return;
    }
    ImportedMessage& m = mms_.message;
    if (mms_.texts.empty() && m.attachments.empty() && mms_.missing.empty()) {
        sink_.skipped("an MMS without any part");
        return;
    }
    if (!mms_.any_addr) {
        // No <addrs>: the "~"-joined address stands for the others.
        std::string_view rest = mms_.address;
        while (!rest.empty()) {
            const size_t tilde = rest.find('~');
            const std::string_view one = rest.substr(0, tilde);
            if (m.received && mms_.parties.sender.empty()) {
                mms_.parties.sender = std::string(one);
            } else {
                mms_.parties.recipients.emplace_back(one);
            }
            rest = tilde == std::string_view::npos ? std::string_view() : rest.substr(tilde + 1);
        }
    }
    m.address = owner_.correspondents(mms_.parties, m.received);
    m.text = import::utf16_from_utf8(mms_.texts, replaced_);
    for (const ImportedAttachment& attachment : m.attachments)
        import::append_attachment_line(m.text, attachment, replaced_);
    for (const ImportedAttachment& attachment : mms_.missing)
        import::append_attachment_line(m.text, attachment, replaced_, true);
    sink_.message(std::move(m));
}

}  // namespace

ReadReport read_android_backup(const std::filesystem::path& path, ImportSink& sink,
                               AttachmentSink& attachments) {
    ReadReport report;
    import::FilteredXmlFile xml(path, sink, attachments, report.outcome);
    xmlTextReader* const reader = xml.reader();
    if (!reader)
        return report;
    FilteredInput& input = xml.input();
    const XmlInputFilter& filter = xml.filter();
    const ParseError& parse_error = xml.parse_error();

    AndroidReader android(sink, attachments, xml.spool());
    int status = 0;
    while ((status = xmlTextReaderRead(reader)) == 1) {
        const int type = xmlTextReaderNodeType(reader);
        if (type != XML_READER_TYPE_ELEMENT && type != XML_READER_TYPE_END_ELEMENT)
            continue;
        const auto* name = reinterpret_cast<const char*>(xmlTextReaderConstLocalName(reader));
        const std::string_view element = name ? name : "";
        if (type == XML_READER_TYPE_END_ELEMENT) {
            android.end_element(element);
        } else if (!android.element(reader, element)) {
            status = -1;
            break;
        }
    }
    report.announced = android.announced();
    if (input.cancelled) {
        report.outcome = Outcome::cancelled();
    } else if (!android.error().empty() || !filter.error().empty()) {
        report.outcome =
            Outcome::bad_input(!android.error().empty() ? android.error() : filter.error());
    } else if (status != 0 && input.read_failed) {
        report.outcome = Outcome::unreadable("the file could not be read");
    } else if (status != 0 && android.messages() > 0) {
        // Damage after messages (a file cut short, a copy interrupted): keep
        // what came before it and count what follows.
        import::drain(input);
        report.damage =
            parse_error.text.empty() ? "the file is not well-formed XML" : parse_error.text;
        // Damage at the file's end is where a file cut short stops, whatever
        // the parser calls it ("extra content", "premature end"): told at
        // the last line that holds anything.
        const auto line = static_cast<uint64_t>(std::max(parse_error.line, 0));
        if (line > 0 && line >= filter.last_content_line() && line <= filter.lines() &&
            !parse_error.mapped)
            report.damage = "the file is damaged at line " +
                            std::to_string(filter.last_content_line()) +
                            ": it ends in the middle of a message (the file was cut short)";
        report.held = filter.messages();
        for (uint64_t n = android.messages(); n < filter.messages(); ++n)
            sink.skipped("a message at or after the damage, which could not be read");
    } else if (status != 0 || !android.started()) {
        report.outcome =
            Outcome::bad_input(filter.elements() == 0      ? "the file holds no XML element"
                               : !parse_error.text.empty() ? parse_error.text
                                                           : "the file is not well-formed XML");
    } else {
        report.held = filter.messages();
    }
    report.replaced = filter.replaced() + android.replaced();
    return report;
}

}  // namespace quillet
