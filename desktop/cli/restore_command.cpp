#include "desktop/cli/restore_command.h"

#include "desktop/cli/listing.h"
#include "desktop/cli/phone_session.h"
#include "desktop/library/restore_to_phone.h"
#include "desktop/link/smartphone_sms_connect.h"
#include "desktop/store/contact_list.h"

namespace quillet::cli {
namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kBadUsage = 2;

std::optional<RestoreChoice> choice_of(const Arguments& args, const MessageLibrary& library,
                                       std::ostream& err) {
    RestoreChoice choice;
    if (args.box)
        choice.boxes = {*args.box == BoxKind::Inbox, *args.box == BoxKind::SentItems};
    choice.conversation = args.conversation;
    // --contacts alone restores the contacts only.
    choice.messages = !args.contacts || !args.box_word.empty() || args.conversation;
    choice.sim = args.sim;
    if (!args.contacts)
        return choice;
    ContactList contacts;
    const LoadContactsResult loaded =
        contacts.load_contacts_file(library.folder() / std::u16string(kContactsFileName));
    if (loaded.status == LoadContactsResult::Status::Unreadable) {
        err << "quillet-cli: the contacts could not be read: " << loaded.outcome.what()
            << "; nothing was written\n";
        return std::nullopt;
    }
    choice.contacts = contacts.contacts();
    return choice;
}

void print_plan(std::ostream& out, const RestorePlan& plan) {
    out << "would write " << plan.message_count() << " messages to the phone: inbox "
        << plan.messages[0].size() << ", sent " << plan.messages[1].size() << "; "
        << plan.already_on_phone << " already there";
    if (!plan.contacts.empty() || plan.contacts_on_phone != 0) {
        out << "; " << plan.contacts.size() << " contacts, " << plan.contacts_on_phone
            << " already there";
    }
    out << '\n';
}

// Each message left out, as "left out, longer than the phone takes: sent,
// 2026-01-02T03:04:05Z, +4917..., 600000 characters".
void print_too_long(std::ostream& out, const MessageLibrary& library,
                    const std::vector<MessageRef>& refs) {
    for (const MessageRef& ref : refs) {
        const SmsMessage& m = library.box(ref.box).message_ref(ref.index);
        out << "left out, longer than the phone takes (" << kMaxSmsTextUnits
            << " characters): " << (ref.box == BoxKind::Inbox ? "inbox" : "sent") << ", "
            << utc_time(m.time()) << ", " << field(m.number()) << ", " << m.text_view().size()
            << " characters\n";
    }
}

void print_report(std::ostream& out, const RestoreReport& r) {
    out << "restored " << r.written << " messages, " << r.already_on_phone << " already there";
    if (r.refused != 0)
        out << ", " << r.refused << " refused by the phone";
    if (!r.too_long.empty())
        out << ", " << r.too_long.size() << " left out (too long)";
    if (r.contacts_written + r.contacts_on_phone + r.contacts_refused != 0) {
        out << "; " << r.contacts_written << " contacts, " << r.contacts_on_phone
            << " already there";
        if (r.contacts_refused != 0)
            out << ", " << r.contacts_refused << " not taken (full SIM or refused)";
    }
    if (r.cancelled())
        out << " (stopped before the end)";
    out << '\n';
}

}  // namespace

int run_restore(const Arguments& args, std::ostream& out, std::ostream& err) {
    if (args.data) {
        err << "quillet-cli: restore works on Quillet's own data folder; it takes no --data\n";
        return kBadUsage;
    }
    LinkLock lock;
    if (!lock_or_say(lock, "quillet-cli restore", "File > Restore to phone", err))
        return kFailed;
    MessageLibrary library;
    open_user_folder(library, args.dry_run, err);
    if (!load_whole(library, "nothing was written", err))
        return kFailed;
    std::optional<RestoreChoice> choice = choice_of(args, library, err);
    if (!choice)
        return kFailed;
    SmartphoneSmsConnect link;
    PhoneRestore restore(library, link, std::move(*choice));
    RestoreReport report;
    try {
        link.init();
        if (!restore.supported()) {
            err << "quillet-cli: this phone's agent cannot restore; nothing was written\n";
            return kFailed;
        }
        const RestorePlan plan = restore.plan(nullptr);
        print_too_long(out, library, plan.too_long);
        if (args.dry_run) {
            print_plan(out, plan);
            return kDone;
        }
        report = restore.write(plan, nullptr);
    } catch (const ORX_Exception& e) {
        err << "quillet-cli: the phone could not be reached, nothing was written: " << e.what()
            << '\n';
        return kFailed;
    }
    print_report(out, report);
    // The written messages' kept copies stand for their phone messages now.
    if (const Outcome saved = library.save_changed().outcome(); !saved) {
        err << "quillet-cli: the boxes could not be saved (the next get takes the written "
               "messages in): "
            << saved.what() << '\n';
        return kFailed;
    }
    if (report.outcome.kind() == Outcome::Kind::Unwritable) {
        err << "quillet-cli: " << report.outcome.what() << '\n';
        return kFailed;
    }
    if (report.link_failed()) {
        err << "quillet-cli: the link failed after " << report.written
            << " messages were written (run restore again for the rest): " << report.outcome.what()
            << '\n';
        return kFailed;
    }
    return report.refused + report.contacts_refused + report.too_long.size() == 0 ? kDone : kFailed;
}

}  // namespace quillet::cli
