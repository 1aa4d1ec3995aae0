#include "desktop/library/restore_to_phone.h"

#include <algorithm>
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

PhoneRestore::PhoneRestore(const MessageLibrary& library, DeviceOperations& device,
                           RestoreChoice choice)
    : library_(library), device_(device), choice_(std::move(choice)) {}

bool PhoneRestore::supported() {
    constexpr uint32_t kNeeded =
        command_bit(CommandCode::WRITEMESSAGES) | command_bit(CommandCode::WRITECONTACTS);
    return (device_.known_commands() & kNeeded) == kNeeded;
}

std::vector<const SmsMessage*> PhoneRestore::chosen(BoxKind kind) const {
    std::vector<const SmsMessage*> out;
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
        const SmsMessage& m = box.message_ref(i);
        // A message to several people is in each one's conversation.
        if (choice_.conversation &&
            !std::ranges::binary_search(numbers.correspondent_keys(m.number()), key))
            continue;
        out.push_back(&m);
    }
    std::ranges::stable_sort(out, {}, &SmsMessage::time);
    return out;
}

void PhoneRestore::plan_messages(RestorePlan& plan, StatusSink* sink) {
    std::array<std::vector<const SmsMessage*>, 2> wanted;
    for (size_t b = 0; b < kMessageBoxes.size(); ++b)
        wanted[b] = chosen(kMessageBoxes[b]);
    MessageMatcher matcher(home_numbers());
    for (size_t b = 0; b < kMessageBoxes.size(); ++b) {
        if (wanted[b].empty())
            continue;
        std::vector<SmsWireRecord> on_phone;
        device_.fetch_folder(kMessageBoxes[b], on_phone, sink);
        for (size_t i = 0; i < on_phone.size(); ++i) {
            matcher.add(kMessageBoxes[b], SmsMessage::from_wire(std::move(on_phone[i])),
                        {kMessageBoxes[b], i}, false);
        }
    }
    matcher.begin_source();
    for (size_t b = 0; b < kMessageBoxes.size(); ++b) {
        for (const SmsMessage* m : wanted[b]) {
            const MessageMatcher::Result r = matcher.match(
                kMessageBoxes[b], m->number(), m->text_view(), unix_ms(m->time()), false);
            if (r.verdict == MessageMatcher::Verdict::Kept) {
                ++plan.already_on_phone;
                continue;
            }
            plan.messages[b].push_back(record_of(*m));
        }
    }
}

void PhoneRestore::plan_contacts(RestorePlan& plan, StatusSink* sink) {
    if (choice_.contacts.empty())
        return;
    std::vector<Contact> on_phone;
    device_.fetch_contacts(on_phone, sink);
    const MessageMatcher keys(home_numbers());
    std::unordered_set<std::string> there;
    for (const Contact& c : on_phone)
        there.insert(contact_key(keys, c));
    for (const Contact& c : choice_.contacts) {
        if (c.is_blank())
            continue;
        // Inserted as planned too: the list's own doubles go once.
        if (!there.insert(contact_key(keys, c)).second) {
            ++plan.contacts_on_phone;
            continue;
        }
        plan.contacts.push_back(c);
    }
}

RestorePlan PhoneRestore::plan(StatusSink* sink) {
    RestorePlan plan;
    plan_messages(plan, sink);
    plan_contacts(plan, sink);
    return plan;
}

RestoreReport PhoneRestore::write(const RestorePlan& plan, StatusSink* sink,
                                  const std::function<bool(size_t done)>& cancelled) {
    RestoreReport report;
    report.already_on_phone = plan.already_on_phone;
    report.contacts_on_phone = plan.contacts_on_phone;
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
                for (const auto& id : device_.write_messages(kMessageBoxes[b], batch))
                    ++(id ? report.written : report.refused);
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
