#include "desktop/library/restore_to_phone.h"

#include <algorithm>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include "desktop/library/message_matcher.h"
#include "desktop/store/log_file.h"
#include "desktop/store/orx_exception.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace {

// Messages per write: small enough that Cancel and the progress bar answer
// within a moment, large enough that the link's round trips do not count.
constexpr size_t kBatch = 250;

constexpr std::array<BoxKind, 2> kMessageBoxes{BoxKind::Inbox, BoxKind::SentItems};

const PhoneNumbers& home_numbers() {
    static const PhoneNumbers numbers;
    return numbers;
}

// The record that puts a kept message back: its correspondent, time, read
// state and text; the phone gives it a new entry id.
SmsWireRecord record_of(const SmsMessage& m) {
    SmsWireRecord r;
    r.address = m.number_field();
    r.time = m.time();
    r.flags = m.read() != 0 ? 1 : 0;
    r.text = m.text_view();
    return r;
}

// A contact is on the phone when an entry there has its number (compared as
// the conversations compare numbers), or, without digits, its name.
std::string contact_key(const MessageMatcher& matcher, const Contact& c) {
    std::string key = matcher.correspondent_key(text_field(c.number));
    if (!key.empty())
        return "#" + key;
    std::string name(text_field(c.name));
    std::ranges::transform(name, name.begin(), [](char ch) {
        return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch + 32) : ch;
    });
    return "@" + name;
}

// How full a stored name ("first,last") is: both parts first, then the
// letters it holds. The SIM keeps a short name beside the phone's contact.
std::pair<bool, size_t> fullness(const Contact& c) {
    const std::string_view name = text_field(c.name);
    const size_t comma = name.find(',');
    const auto filled = [](std::string_view part) {
        return part.find_first_not_of(' ') != std::string_view::npos;
    };
    const bool both = comma != std::string_view::npos && filled(name.substr(0, comma)) &&
                      filled(name.substr(comma + 1));
    return {both,
            static_cast<size_t>(std::ranges::count_if(name, [](char ch) { return ch != ' '; }))};
}

// A SIM entry has one name: "first last".
Contact as_sim_entry(Contact c) {
    std::string name(text_field(c.name));
    if (const size_t comma = name.find(','); comma != std::string::npos) {
        std::string first = name.substr(0, comma);
        std::string last = name.substr(comma + 1);
        name = first.empty() || last.empty() ? first + last : first + " " + last;
    }
    set_text_field(c.name, name);
    return c;
}

class Progress {
  public:
    Progress(StatusSink* sink, size_t total) : sink_(sink), total_(std::max<size_t>(total, 1)) {}
    ~Progress() {
        if (sink_)
            sink_->set_progress(-1);
    }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    size_t done() const { return done_; }
    void done(size_t n) {
        done_ += n;
        if (!sink_)
            return;
        const auto percent = static_cast<int>(std::min<size_t>(99, done_ * 100 / total_));
        sink_->report({EngineStatus::What::RestoreProgress, BoxKind::Inbox, percent, {}});
        sink_->set_progress(percent);
    }

  private:
    StatusSink* sink_;
    size_t total_;
    size_t done_ = 0;
};

}  // namespace

PhoneRestore::PhoneRestore(MessageLibrary& library, DeviceOperations& device, RestoreChoice choice)
    : library_(library), device_(device), choice_(std::move(choice)) {}

bool PhoneRestore::supported() {
    constexpr uint32_t kNeeded =
        command_bit(CommandCode::WRITEMESSAGES) | command_bit(CommandCode::WRITECONTACTS);
    return (device_.known_commands() & kNeeded) == kNeeded;
}

std::vector<size_t> PhoneRestore::chosen(BoxKind kind) const {
    std::vector<size_t> out;
    if (!choice_.messages || !choice_.boxes[static_cast<size_t>(kind)])
        return out;
    const SmsBox& box = library_.box(kind);
    std::vector<bool> selected;
    if (!choice_.selection.empty()) {
        selected.assign(box.count(), false);
        for (const MessageRef& ref : choice_.selection) {
            if (ref.box == kind && ref.index < box.count())
                selected[ref.index] = true;
        }
    }
    const PhoneNumbers& numbers = home_numbers();
    const std::string key =
        choice_.conversation ? numbers.group_key(*choice_.conversation) : std::string();
    for (size_t i = 0; i < box.count(); ++i) {
        if (!selected.empty() && !selected[i])
            continue;
        // A message to several people is in each one's conversation.
        if (choice_.conversation &&
            !std::ranges::binary_search(numbers.correspondent_keys(box.message_ref(i).number()),
                                        key))
            continue;
        out.push_back(i);
    }
    std::ranges::stable_sort(out, {}, [&](size_t i) { return box.message_ref(i).time(); });
    return out;
}

void PhoneRestore::plan_messages(RestorePlan& plan, StatusSink* sink) {
    std::array<std::vector<size_t>, 2> wanted;
    for (size_t b = 0; b < kMessageBoxes.size(); ++b)
        wanted[b] = chosen(kMessageBoxes[b]);
    // What the phone holds: first by entry id (a kept message that stands for
    // a phone message is that one), the rest for the matcher.
    MessageMatcher matcher(home_numbers());
    std::array<std::vector<bool>, 2> by_entry;  // per wanted message
    for (size_t b = 0; b < kMessageBoxes.size(); ++b) {
        if (wanted[b].empty())
            continue;
        const SmsBox& box = library_.box(kMessageBoxes[b]);
        std::vector<SmsWireRecord> on_phone;
        device_.fetch_folder(kMessageBoxes[b], on_phone, sink);
        std::map<EntryId, size_t> entries;
        for (size_t i = 0; i < on_phone.size(); ++i)
            entries.emplace(on_phone[i].entry_id, i);
        std::vector<bool> taken(on_phone.size());
        by_entry[b].resize(wanted[b].size());
        for (size_t w = 0; w < wanted[b].size(); ++w) {
            const EntryId& id = box.message_ref(wanted[b][w]).entry_id();
            const auto found = id == EntryId{} ? entries.end() : entries.find(id);
            if (found == entries.end() || taken[found->second])
                continue;
            taken[found->second] = true;
            by_entry[b][w] = true;
        }
        for (size_t i = 0; i < on_phone.size(); ++i) {
            if (!taken[i])
                matcher.add(kMessageBoxes[b], SmsMessage::from_wire(std::move(on_phone[i])),
                            {kMessageBoxes[b], i}, false);
        }
    }
    matcher.begin_source();
    for (size_t b = 0; b < kMessageBoxes.size(); ++b) {
        const BoxKind kind = kMessageBoxes[b];
        for (size_t w = 0; w < wanted[b].size(); ++w) {
            const SmsMessage& m = library_.box(kind).message_ref(wanted[b][w]);
            const MessageRef ref{kind, wanted[b][w]};
            if (by_entry[b][w] ||
                matcher.match(kind, m.number(), m.text_view(), unix_ms(m.time()), false).verdict ==
                    MessageMatcher::Verdict::Kept) {
                ++plan.already_on_phone;
            } else if (m.text_view().size() > kMaxSmsTextUnits) {
                plan.too_long.push_back(ref);
            } else {
                plan.messages[b].push_back(record_of(m));
                plan.kept[b].push_back(ref);
            }
        }
    }
}

void PhoneRestore::plan_contacts(RestorePlan& plan, StatusSink* sink) {
    if (choice_.contacts.empty())
        return;
    const MessageMatcher keys(home_numbers());
    // The list's doubles (a SIM entry beside the phone's contact) are one
    // person: the fullest name goes, once.
    std::vector<std::pair<std::string, Contact>> people;
    std::unordered_map<std::string, size_t> person_of;
    for (const Contact& c : choice_.contacts) {
        if (c.is_blank())
            continue;
        std::string key = contact_key(keys, c);
        const auto [at, added] = person_of.try_emplace(key, people.size());
        if (added)
            people.emplace_back(std::move(key), c);
        else if (fullness(c) > fullness(people[at->second].second))
            people[at->second].second = c;
    }
    std::vector<Contact> on_phone;
    device_.fetch_contacts(on_phone, sink);
    std::unordered_set<std::string> there;
    for (const Contact& c : on_phone)
        there.insert(contact_key(keys, c));
    for (auto& [key, c] : people) {
        if (there.contains(key))
            ++plan.contacts_on_phone;
        else
            plan.contacts.push_back(choice_.sim ? as_sim_entry(c) : c);
    }
}

RestorePlan PhoneRestore::plan(StatusSink* sink) {
    RestorePlan plan;
    plan_messages(plan, sink);
    plan_contacts(plan, sink);
    return plan;
}

bool PhoneRestore::forget_entries(const RestorePlan& plan, RestoreReport& report) {
    for (size_t b = 0; b < kMessageBoxes.size(); ++b) {
        SmsBox& box = library_.box(kMessageBoxes[b]);
        for (const MessageRef& ref : plan.kept[b])
            box.set_phone_entry(ref.index, std::nullopt);
    }
    const Outcome saved = library_.save_changed().outcome();
    if (!saved)
        report.outcome = saved.about("the boxes could not be saved, nothing was written");
    return saved.ok();
}

void PhoneRestore::take_entry(BoxKind kind, const SmsWireRecord& record, MessageRef ref,
                              const std::optional<EntryId>& id) {
    SmsBox& box = library_.box(kind);
    if (!id || ref.index >= box.count())
        return;
    const SmsMessage& m = box.message_ref(ref.index);
    if (m.time() == record.time && m.text_view() == record.text)
        box.set_phone_entry(ref.index, id);
}

RestoreReport PhoneRestore::write(const RestorePlan& plan, StatusSink* sink,
                                  const std::function<bool(size_t done)>& cancelled) {
    RestoreReport report;
    report.already_on_phone = plan.already_on_phone;
    report.too_long = plan.too_long;
    report.contacts_on_phone = plan.contacts_on_phone;
    if (plan.message_count() > 0 && !forget_entries(plan, report))
        return report;
    Progress progress(sink, plan.message_count() + plan.contacts.size());
    const auto stop = [&] {
        if (!cancelled || !cancelled(progress.done()))
            return false;
        report.outcome = Outcome::cancelled();
        return true;
    };
    try {
        for (size_t b = 0; b < kMessageBoxes.size(); ++b) {
            const std::span<const SmsWireRecord> records(plan.messages[b]);
            for (size_t from = 0; from < records.size(); from += kBatch) {
                if (stop())
                    return report;
                const auto batch = records.subspan(from, std::min(kBatch, records.size() - from));
                const std::vector<std::optional<EntryId>> ids =
                    device_.write_messages(kMessageBoxes[b], batch);
                for (size_t i = 0; i < ids.size() && i < batch.size(); ++i) {
                    take_entry(kMessageBoxes[b], batch[i], plan.kept[b][from + i], ids[i]);
                    ++(ids[i] ? report.written : report.refused);
                }
                progress.done(batch.size());
            }
        }
        const std::span<const Contact> contacts(plan.contacts);
        const ContactTarget target =
            choice_.sim ? ContactTarget::Sim : ContactTarget::PhoneContacts;
        for (size_t from = 0; from < contacts.size(); from += kBatch) {
            if (stop())
                return report;
            const auto batch = contacts.subspan(from, std::min(kBatch, contacts.size() - from));
            for (const bool added : device_.write_contacts(target, batch))
                ++(added ? report.contacts_written : report.contacts_refused);
            progress.done(batch.size());
        }
    } catch (const ORX_Exception& e) {
        report.outcome = Outcome::unreachable(e.what());
    }
    program_log().log_line("restore: " + std::to_string(report.written) + " messages and " +
                           std::to_string(report.contacts_written) + " contacts written");
    return report;
}

RestoreReport PhoneRestore::run(StatusSink* sink) {
    RestoreReport report;
    try {
        if (!supported()) {
            report.outcome = Outcome::refused("this phone's agent cannot restore");
            return report;
        }
        const RestorePlan p = plan(sink);
        return write(p, sink);
    } catch (const ORX_Exception& e) {
        report.outcome = Outcome::unreachable(e.what());
    }
    return report;
}

}  // namespace quillet
