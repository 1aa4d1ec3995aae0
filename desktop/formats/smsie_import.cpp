#include "desktop/formats/smsie_import.h"

#include <zip.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "desktop/formats/import_text.h"

namespace quillet {
namespace {

using nlohmann::json;

constexpr size_t kReadPiece = 64 * 1024;
constexpr size_t kMaxLineBytes = 16u << 20;
// Small entries may compress well without harm; the ratio counts above it.
constexpr uint64_t kRatioFloorBytes = 1u << 20;

using Archive = std::unique_ptr<zip_t, decltype(&zip_discard)>;
using Entry = std::unique_ptr<zip_file_t, decltype(&zip_fclose)>;

}  // namespace

std::optional<std::string> zip_entry_refused(zip_t* archive, zip_uint64_t index, uint64_t& size) {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive, index, 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE) ||
        !(st.valid & ZIP_STAT_COMP_SIZE))
        return "a ZIP entry whose size cannot be read";
    size = st.size;
    if (st.size > kMaxZipEntryBytes)
        return "a ZIP entry larger than 4 GB";
    if (st.size > kRatioFloorBytes &&
        st.size / std::max<zip_uint64_t>(st.comp_size, 1) > kMaxZipRatio)
        return "a ZIP entry that expands more than 100 times (a ZIP bomb)";
    return std::nullopt;
}

bool read_zip_entry(zip_t* archive, zip_uint64_t index, uint64_t size,
                    const std::function<bool(std::string_view)>& piece) {
    Entry file(zip_fopen_index(archive, index, 0), &zip_fclose);
    if (!file)
        return false;
    std::string buffer(kReadPiece, '\0');
    uint64_t done = 0;
    for (;;) {
        const zip_int64_t n = zip_fread(file.get(), buffer.data(), buffer.size());
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        done += static_cast<uint64_t>(n);
        if (done > size || !piece(std::string_view(buffer.data(), static_cast<size_t>(n))))
            return false;
    }
}

namespace {

// A value of Android's columns: a string, or a number some writers use.
std::string text_of(const json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end())
        return {};
    if (it->is_string())
        return it->get<std::string>();
    if (it->is_number_integer())
        return std::to_string(it->get<int64_t>());
    return {};
}

class SmsIeReader {
  public:
    SmsIeReader(zip_t* archive, ImportSink& sink, AttachmentSink& attachments)
        : archive_(archive), sink_(sink), attachments_(attachments) {}
    void object(const json& o);
    uint64_t replaced() const { return replaced_; }

  private:
    void sms(const json& o);
    void mms(const json& o);
    void attachment(const json& part, std::string_view content_type, ImportedMessage& m,
                    std::vector<ImportedAttachment>& missing);
    std::optional<int64_t> checked_time(const std::string& value, int64_t scale,
                                        std::string_view what);

    zip_t* archive_;
    ImportSink& sink_;
    AttachmentSink& attachments_;
    import::OwnerGuess owner_;
    uint64_t replaced_ = 0;
};

std::optional<int64_t> SmsIeReader::checked_time(const std::string& value, int64_t scale,
                                                 std::string_view what) {
    const std::optional<int64_t> t = import::parse_int(value);
    if (!t) {
        sink_.skipped(std::string(what) + " without a readable date");
        return std::nullopt;
    }
    const int64_t ms = *t > import::kLatestMs / scale     ? import::kLatestMs + 1
                       : *t < import::kEarliestMs / scale ? import::kEarliestMs - 1
                                                          : *t * scale;
    if (const auto why = import::time_out_of_range(ms)) {
        sink_.skipped(std::string(what) + " with " + std::string(*why));
        return std::nullopt;
    }
    return ms;
}

void SmsIeReader::object(const json& o) {
    if (o.contains("__parts") || o.contains("msg_box"))
        mms(o);
    else
        sms(o);
}

void SmsIeReader::sms(const json& o) {
    const std::string type = text_of(o, "type");
    if (type != "1" && type != "2") {
        sink_.skipped(type == "3" ? "a draft" : "an SMS that is neither received nor sent");
        return;
    }
    const auto ms = checked_time(text_of(o, "date"), 1, "an SMS");
    if (!ms)
        return;
    ImportedMessage m;
    m.received = type == "1";
    m.address = text_of(o, "address");
    m.text = import::utf16_from_utf8(text_of(o, "body"), replaced_);
    m.time_ms = *ms;
    m.read = !m.received || text_of(o, "read") != "0";
    sink_.message(std::move(m));
}

void SmsIeReader::mms(const json& o) {
    const std::string box = text_of(o, "msg_box");
    if (box != "1" && box != "2") {
        sink_.skipped(box == "3" ? "a draft" : "an MMS that is neither received nor sent");
        return;
    }
    const auto ms = checked_time(text_of(o, "date"), 1000, "an MMS");
    if (!ms)
        return;
    ImportedMessage m;
    m.received = box == "1";
    m.time_ms = *ms;
    m.read = !m.received || text_of(o, "read") != "0";
    import::MmsParties parties;
    if (const auto sender = o.find("__sender_address"); sender != o.end() && sender->is_object())
        parties.sender = text_of(*sender, "address");
    if (const auto to = o.find("__recipient_addresses"); to != o.end() && to->is_array()) {
        for (const json& r : *to) {
            if (r.is_object())
                parties.recipients.push_back(text_of(r, "address"));
        }
    }
    std::string texts;
    std::vector<ImportedAttachment> missing;
    if (const auto parts = o.find("__parts"); parts != o.end() && parts->is_array()) {
        for (const json& part : *parts) {
            if (!part.is_object())
                continue;
            std::string type = text_of(part, "ct");
            for (char& c : type)
                c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
            if (type == "application/smil")
                continue;
            if (type == "text/plain") {
                const std::string text = text_of(part, "text");
                if (!texts.empty() && !text.empty())
                    texts += '\n';
                texts += text;
                continue;
            }
            attachment(part, type, m, missing);
        }
    }
    if (texts.empty() && m.attachments.empty() && missing.empty()) {
        sink_.skipped("an MMS without any part");
        return;
    }
    m.address = owner_.correspondents(parties, m.received);
    m.text = import::utf16_from_utf8(texts, replaced_);
    for (const ImportedAttachment& a : m.attachments)
        import::append_attachment_line(m.text, a, replaced_);
    for (const ImportedAttachment& a : missing)
        import::append_attachment_line(m.text, a, replaced_, true);
    sink_.message(std::move(m));
}

void SmsIeReader::attachment(const json& part, std::string_view content_type, ImportedMessage& m,
                             std::vector<ImportedAttachment>& missing) {
    std::string file = text_of(part, "_data");
    file.erase(0, file.find_last_of('/') == std::string::npos ? 0 : file.find_last_of('/') + 1);
    const zip_int64_t index =
        file.empty() ? -1 : zip_name_locate(archive_, ("data/" + file).c_str(), 0);
    std::string name = text_of(part, "name");
    if (name.empty() || name == "null")
        name = text_of(part, "cl");
    if (name.empty() || name == "null")
        name = file.empty() ? "attachment" : file;
    if (index < 0) {
        // Named but not in the ZIP: the message keeps a line that says so.
        missing.push_back({std::string(import::attachment_kind(content_type)), name});
        return;
    }
    uint64_t size = 0;
    if (const auto why = zip_entry_refused(archive_, static_cast<zip_uint64_t>(index), size)) {
        sink_.skipped(*why);
        return;
    }
    const std::optional<std::string> saved = attachments_.begin(name);
    const bool written =
        saved && read_zip_entry(archive_, static_cast<zip_uint64_t>(index), size,
                                [&](std::string_view piece) { return attachments_.write(piece); });
    if (!saved || !attachments_.end(written) || !written) {
        sink_.skipped("an attachment that could not be saved");
        return;
    }
    m.attachments.push_back({std::string(import::attachment_kind(content_type)), *saved});
}

int hex_value(std::string_view four) {
    int value = 0;
    for (char c : four) {
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

// A line as a JSON parser takes it: each invalid UTF-8 sequence and each
// "\uXXXX" UTF-16 half without its partner becomes U+FFFD. Returns how many.
uint64_t mend_json_line(std::string& line) {
    uint64_t replaced = 0;
    std::string out;
    out.reserve(line.size());
    for (size_t i = 0; i < line.size();) {
        uint32_t c = 0;
        if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] != 'u') {
            out.append(line, i, 2);
            i += 2;
        } else if (line[i] == '\\') {
            const int unit =
                i + 6 <= line.size() ? hex_value(std::string_view(line).substr(i + 2, 4)) : -1;
            const bool high = unit >= 0xD800 && unit <= 0xDBFF;
            const int next = high && i + 12 <= line.size() && line.compare(i + 6, 2, "\\u") == 0
                                 ? hex_value(std::string_view(line).substr(i + 8, 4))
                                 : -1;
            if (high && next >= 0xDC00 && next <= 0xDFFF) {
                out.append(line, i, 12);
                i += 12;
            } else if (unit >= 0xD800 && unit <= 0xDFFF) {
                out += "\\uFFFD";
                ++replaced;
                i += 6;
            } else {
                out.append(line, i, 2);
                i += 2;
            }
        } else if (const size_t length = import::utf8_sequence(line, i, c); length > 0) {
            out.append(line, i, length);
            i += length;
        } else {
            out += "\xEF\xBF\xBD";
            ++replaced;
            ++i;
        }
    }
    if (replaced > 0)
        line = std::move(out);
    return replaced;
}

ReadReport refused(std::string why) {
    return {.outcome = Outcome::bad_input(std::move(why))};
}

}  // namespace

zip_t* open_zip(const std::filesystem::path& path, Outcome& why) {
    UniqueFd fd = open_regular_file(path, why);
    if (!fd.valid())
        return nullptr;
    int error = 0;
    zip_t* archive = zip_fdopen(fd.get(), 0, &error);
    if (archive == nullptr) {
        why = Outcome::bad_input("not a readable ZIP file");
        return nullptr;
    }
    fd.release();  // the archive closes it
    return archive;
}

ReadReport read_smsie_zip(const std::filesystem::path& path, ImportSink& sink,
                          AttachmentSink& attachments) {
    Outcome unopened;
    Archive archive(open_zip(path, unopened), &zip_discard);
    if (!archive)
        return {.outcome = unopened};
    const zip_int64_t index = zip_name_locate(archive.get(), "messages.ndjson", 0);
    if (index < 0) {
        return refused(zip_name_locate(archive.get(), "messages.json", 0) >= 0
                           ? "an sms-ie export of the older kind (one JSON document), which is "
                             "not read: export again with a current sms-ie"
                           : "a ZIP without messages.ndjson: not an sms-ie export");
    }
    uint64_t size = 0;
    if (const auto why = zip_entry_refused(archive.get(), static_cast<zip_uint64_t>(index), size))
        return refused("messages.ndjson refused: " + *why);

    ReadReport outcome;
    bool cancelled = false;
    SmsIeReader reader(archive.get(), sink, attachments);
    std::string line;
    bool first = true;
    bool line_cut = false;
    uint64_t done = 0;
    uint64_t mended = 0;
    const auto take_line = [&]() {
        const size_t start = line.find_first_not_of(" \t\r");
        if (start == std::string::npos || line_cut) {
            if (line_cut)
                sink.skipped("a line longer than 16 MB");
            return true;
        }
        mended += mend_json_line(line);
        json o = json::parse(line, nullptr, false);
        if (o.is_discarded() || !o.is_object()) {
            if (first) {
                outcome = refused(line[start] == '[' || line[start] == '{'
                                      ? "an sms-ie export of the older kind (one JSON "
                                        "document), which is not read: export again with a "
                                        "current sms-ie"
                                      : "messages.ndjson does not hold JSON objects");
                return false;
            }
            sink.skipped("a line that is not a JSON object");
            return true;
        }
        first = false;
        reader.object(o);
        return true;
    };
    const bool read = read_zip_entry(archive.get(), static_cast<zip_uint64_t>(index), size,
                                     [&](std::string_view piece) {
                                         done += piece.size();
                                         if (!sink.progress(done, size)) {
                                             cancelled = true;
                                             return false;
                                         }
                                         while (!piece.empty()) {
                                             const size_t nl = piece.find('\n');
                                             const std::string_view part = piece.substr(0, nl);
                                             if (line.size() + part.size() > kMaxLineBytes)
                                                 line_cut = true;
                                             else if (!line_cut)
                                                 line.append(part);
                                             if (nl == std::string_view::npos)
                                                 break;
                                             piece.remove_prefix(nl + 1);
                                             const bool go_on = take_line();
                                             line.clear();
                                             line_cut = false;
                                             if (!go_on)
                                                 return false;
                                         }
                                         return true;
                                     });
    if (cancelled) {
        outcome.outcome = Outcome::cancelled();
    } else if (outcome.outcome && !read) {
        outcome = refused("messages.ndjson could not be read from the ZIP");
    } else if (outcome.outcome) {
        take_line();
    }
    outcome.replaced += reader.replaced() + mended;
    return outcome;
}

}  // namespace quillet
