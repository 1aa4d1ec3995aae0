#include "desktop/library/import_record.h"

#include <algorithm>
#include <charconv>
#include <system_error>

namespace quillet {
namespace fs = std::filesystem;
namespace {

constexpr size_t kMaxRecordFile = 16 << 20;

std::string_view state_name(ImportRecord::State s) {
    switch (s) {
        case ImportRecord::State::Pending:
            return "pending";
        case ImportRecord::State::Done:
            return "done";
        case ImportRecord::State::Undoing:
            return "undoing";
        case ImportRecord::State::Undone:
            break;
    }
    return "undone";
}

template <class T>
bool number_from(std::string_view text, T& out) {
    const auto r = std::from_chars(text.data(), text.data() + text.size(), out);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

// A value on one line: line ends and tabs become blanks.
std::string one_line(std::string_view text) {
    std::string out(text);
    std::replace_if(
        out.begin(), out.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    return out;
}

std::string hex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (const unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    return out;
}

std::optional<std::string> unhex(std::string_view text) {
    if (text.size() % 2 != 0)
        return std::nullopt;
    std::string out;
    for (size_t i = 0; i < text.size(); i += 2) {
        unsigned value = 0;
        const auto r = std::from_chars(text.data() + i, text.data() + i + 2, value, 16);
        if (r.ec != std::errc() || r.ptr != text.data() + i + 2)
            return std::nullopt;
        out += static_cast<char>(value);
    }
    return out;
}

std::vector<std::string_view> lines_of(std::string_view text) {
    std::vector<std::string_view> lines;
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::optional<ImportRecord> parse_record(std::string_view text) {
    ImportRecord r;
    bool has_id = false;
    for (const std::string_view line : lines_of(text)) {
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            continue;
        const std::string_view key = line.substr(0, eq);
        const std::string_view value = line.substr(eq + 1);
        if (key == "id") {
            has_id = number_from(value, r.id);
        } else if (key == "time") {
            number_from(value, r.time);
        } else if (key == "file") {
            r.file = value;
        } else if (key == "format") {
            r.format = value;
        } else if (key == "state") {
            r.state = value == "done"      ? ImportRecord::State::Done
                      : value == "undoing" ? ImportRecord::State::Undoing
                      : value == "undone"  ? ImportRecord::State::Undone
                                           : ImportRecord::State::Pending;
        } else if (key == "added") {
            number_from(value, r.added);
        } else if (key == "duplicates") {
            number_from(value, r.duplicates);
        } else if (key == "possible_duplicates") {
            number_from(value, r.possible_duplicates);
        } else if (key == "attachments") {
            number_from(value, r.attachments);
        } else if (key == "contacts") {
            number_from(value, r.contacts);
        } else if (key == "part_of") {
            number_from(value, r.part_of);
        } else if (key == "skip") {
            const size_t tab = value.find('\t');
            size_t n = 0;
            if (tab != std::string_view::npos && number_from(value.substr(0, tab), n))
                r.skipped.emplace_back(std::string(value.substr(tab + 1)), n);
        } else if (key == "problem") {
            r.problems.emplace_back(value);
        }
    }
    if (!has_id)
        return std::nullopt;
    return r;
}

std::string added_line(const AddedMessage& a) {
    return std::to_string(a.box) + '\t' + std::to_string(a.time) + '\t' + hex(a.number) + '\t' +
           std::to_string(a.text_hash);
}

std::string added_text(const std::vector<AddedMessage>& added) {
    std::string out;
    for (const AddedMessage& a : added)
        out += added_line(a) + '\n';
    return out;
}

// One line of .added (four fields) or .targets (five); nothing when damaged.
std::optional<MessageTarget> parse_line(std::string_view line, size_t fields_wanted) {
    std::string_view fields[5];
    size_t start = 0;
    size_t n = 0;
    for (; n < fields_wanted && start <= line.size(); ++n) {
        const size_t end = std::min(line.find('\t', start), line.size());
        fields[n] = line.substr(start, end - start);
        start = end + 1;
    }
    MessageTarget t;
    AddedMessage& a = t.message;
    const std::optional<std::string> number = unhex(fields[2]);
    if (n != fields_wanted || !number || !number_from(fields[0], a.box) ||
        !number_from(fields[1], a.time) || !number_from(fields[3], a.text_hash))
        return std::nullopt;
    if (fields_wanted == 5 && !number_from(fields[4], t.copies))
        return std::nullopt;
    a.number = *number;
    return t;
}

std::vector<AddedMessage> parse_added(std::string_view text) {
    std::vector<AddedMessage> out;
    for (const std::string_view line : lines_of(text)) {
        if (std::optional<MessageTarget> t = parse_line(line, 4))
            out.push_back(std::move(t->message));
    }
    return out;
}

}  // namespace

size_t ImportRecord::skipped_count() const {
    size_t n = 0;
    for (const auto& [why, count] : skipped)
        n += count;
    return n;
}

uint64_t text_hash(std::u16string_view text) {
    uint64_t h = 0xcbf29ce484222325ULL;  // FNV-1a: the same in every run
    for (const char16_t c : text) {
        h = (h ^ (c & 0xFF)) * 0x100000001b3ULL;
        h = (h ^ (c >> 8)) * 0x100000001b3ULL;
    }
    return h;
}

AddedMessage added_message(int box, const SmsMessage& m) {
    return {box, m.time(), std::string(m.number()), text_hash(m.text_view())};
}

ImportFolder::ImportFolder(fs::path data_folder) : folder_(std::move(data_folder) / "imports") {}

fs::path ImportFolder::file(int id, std::string_view suffix) const {
    return folder_ / (std::to_string(id) + std::string(suffix));
}

fs::path ImportFolder::attachments(int id) const {
    return folder_ / std::to_string(id);
}

std::vector<ImportRecord> ImportFolder::records() const {
    std::vector<ImportRecord> out;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder_, ec)) {
        if (entry.path().extension() != ".record")
            continue;
        std::string text;
        if (!read_whole_file(entry.path(), text, kMaxRecordFile))
            continue;
        if (std::optional<ImportRecord> r = parse_record(text))
            out.push_back(std::move(*r));
    }
    std::sort(out.begin(), out.end(),
              [](const ImportRecord& a, const ImportRecord& b) { return a.id < b.id; });
    return out;
}

std::optional<ImportRecord> ImportFolder::record(int id) const {
    std::string text;
    if (!read_whole_file(file(id, ".record"), text, kMaxRecordFile))
        return std::nullopt;
    return parse_record(text);
}

int ImportFolder::next_id() const {
    int last = 0;
    for (const ImportRecord& r : records())
        last = std::max(last, r.id);
    return last + 1;
}

Outcome ImportFolder::save_record(const ImportRecord& r) const {
    std::error_code ec;
    make_folders(folder_, ec);
    std::string text = "id=" + std::to_string(r.id) + "\ntime=" + std::to_string(r.time) +
                       "\nfile=" + one_line(r.file) + "\nformat=" + one_line(r.format) +
                       "\nstate=" + std::string(state_name(r.state)) +
                       "\nadded=" + std::to_string(r.added) +
                       "\nduplicates=" + std::to_string(r.duplicates) +
                       "\npossible_duplicates=" + std::to_string(r.possible_duplicates) +
                       "\nattachments=" + std::to_string(r.attachments) +
                       (r.contacts > 0 ? "\ncontacts=" + std::to_string(r.contacts) : "") +
                       "\nskipped=" + std::to_string(r.skipped_count()) + "\n";
    if (r.part_of != 0)
        text += "part_of=" + std::to_string(r.part_of) + "\n";
    for (const auto& [why, count] : r.skipped)
        text += "skip=" + std::to_string(count) + "\t" + one_line(why) + "\n";
    for (const std::string& p : r.problems)
        text += "problem=" + one_line(p) + "\n";
    return save_file_atomically(file(r.id, ".record"), text);
}

Outcome ImportFolder::save_added(int id, const std::vector<AddedMessage>& added) const {
    std::error_code ec;
    make_folders(folder_, ec);
    return save_file_atomically(file(id, ".added"), added_text(added));
}

Outcome ImportFolder::save_possible(int id, const std::vector<AddedMessage>& possible) const {
    std::error_code ec;
    make_folders(folder_, ec);
    return save_file_atomically(file(id, ".possible"), added_text(possible));
}

Outcome ImportFolder::save_kept(int id, const std::vector<AddedMessage>& kept) const {
    return save_file_atomically(file(id, ".kept"), added_text(kept));
}

Outcome ImportFolder::save_targets(int id, const std::vector<MessageTarget>& targets) const {
    std::error_code ec;
    make_folders(folder_, ec);
    std::string out;
    for (const MessageTarget& t : targets)
        out += added_line(t.message) + '\t' + std::to_string(t.copies) + '\n';
    return save_file_atomically(file(id, ".targets"), out);
}

std::vector<AddedMessage> ImportFolder::added(int id) const {
    std::string text;
    read_whole_file(file(id, ".added"), text, uintmax_t{1} << 30);
    return parse_added(text);
}

std::vector<AddedMessage> ImportFolder::possible(int id) const {
    std::string text;
    read_whole_file(file(id, ".possible"), text, uintmax_t{1} << 30);
    return parse_added(text);
}

Outcome ImportFolder::save_contacts(int id, const std::vector<Contact>& contacts) const {
    std::error_code ec;
    make_folders(folder_, ec);
    std::string text;
    for (const Contact& c : contacts)
        text += hex(text_field(c.name)) + '\t' + hex(text_field(c.number)) + '\n';
    return save_file_atomically(file(id, ".contacts"), text);
}

std::vector<Contact> ImportFolder::contacts(int id) const {
    std::string text;
    read_whole_file(file(id, ".contacts"), text, uintmax_t{1} << 30);
    std::vector<Contact> out;
    for (const std::string_view line : lines_of(text)) {
        const size_t tab = line.find('\t');
        const std::optional<std::string> name = unhex(line.substr(0, tab));
        const std::optional<std::string> number =
            tab == std::string_view::npos ? std::nullopt : unhex(line.substr(tab + 1));
        if (name && number)
            out.push_back(make_contact(*name, *number));
    }
    return out;
}

std::vector<AddedMessage> ImportFolder::kept(int id) const {
    std::string text;
    read_whole_file(file(id, ".kept"), text, uintmax_t{1} << 30);
    return parse_added(text);
}

std::vector<MessageTarget> ImportFolder::targets(int id) const {
    std::string text;
    read_whole_file(file(id, ".targets"), text, uintmax_t{1} << 30);
    std::vector<MessageTarget> out;
    for (const std::string_view line : lines_of(text)) {
        if (std::optional<MessageTarget> t = parse_line(line, 5))
            out.push_back(std::move(*t));
    }
    return out;
}

void ImportFolder::remove(int id) const {
    std::error_code ec;
    for (const char* suffix : {".record", ".added", ".possible", ".contacts", ".targets", ".kept"})
        fs::remove(file(id, suffix), ec);
    fs::remove_all(attachments(id), ec);
}

}  // namespace quillet
