#include "get_command.h"

#include <unistd.h>

#include <ostream>

#include "desktop/cli/phone_session.h"
#include "desktop/library/message_library.h"
#include "desktop/link/link_lock.h"
#include "desktop/link/smartphone_sms_connect.h"
#include "desktop/store/contact_list.h"
#include "desktop/store/options.h"
#include "desktop/store/orx_exception.h"
#include "protocol/text_codec.h"

namespace quillet::cli {
namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kBadUsage = 2;

// The status texts on standard output: one line rewritten in place on a
// terminal, a line each elsewhere (progress only on a terminal).
class TerminalStatus : public StatusSink {
  public:
    explicit TerminalStatus(std::ostream& out) : out_(out), terminal_(::isatty(STDOUT_FILENO)) {}
    ~TerminalStatus() override { end_line(); }

    void set_status_text(std::u16string_view text) override {
        text_ = to_utf8(text);
        show();
    }
    // The fetch's texts carry their percentage ("importing inbox: 40%").
    void set_progress(int) override {}
    // Ends a line left open by the terminal's rewriting.
    void end_line() {
        if (open_)
            out_ << '\n' << std::flush;
        open_ = false;
    }

  private:
    void show() {
        if (terminal_) {
            out_ << "\r\x1b[K" << text_ << std::flush;
            open_ = true;
        } else {
            out_ << text_ << '\n' << std::flush;
        }
    }

    std::ostream& out_;
    const bool terminal_;
    bool open_ = false;
    std::string text_;
};

std::string load_problem(BoxKind kind, const LoadBoxResult& r) {
    const std::string name = to_utf8(box_file_name(kind));
    switch (r.status) {
        case LoadBoxResult::Status::UnknownHeader:
            return name + " is not a box file of a known version" +
                   (r.kept_aside.empty() ? "" : "; it was kept as " + r.kept_aside.string());
        case LoadBoxResult::Status::Unreadable:
            return name + " could not be read: " + r.outcome.what();
        case LoadBoxResult::Status::Damaged:
        case LoadBoxResult::Status::Missing:
        case LoadBoxResult::Status::Loaded:
            break;
    }
    return {};
}

int import_contacts(SmartphoneSmsConnect& link, TerminalStatus& status, std::ostream& err) {
    ContactList contacts;
    contacts.load_contacts(kContactsFileName);
    const ImportContactsResult r = contacts.import_contacts(link, &status);
    status.end_line();
    if (r.status != ImportContactsResult::Status::Imported) {
        err << "quillet-cli: " << to_utf8(r.message()) << '\n';
        return kFailed;
    }
    if (const Outcome saved = contacts.save_contacts(kContactsFileName); !saved) {
        err << "quillet-cli: " << saved.what() << '\n';
        return kFailed;
    }
    status.set_status_text(u"Contact list Updated");
    return kDone;
}

}  // namespace

int run_get(const Arguments& args, std::ostream& out, std::ostream& err) {
    const bool with_contacts = args.contacts;
    if (args.data) {
        err << "quillet-cli: get fills Quillet's own data folder; it takes no --data\n";
        return kBadUsage;
    }

    LinkLock lock;
    if (!lock.try_acquire("quillet-cli get")) {
        if (!lock.error().empty()) {
            err << "quillet-cli: cannot lock the phone link: " << lock.error() << '\n';
        } else {
            const std::string holder = lock.other_holder();
            err << "quillet-cli: the phone is in use by " << (holder.empty() ? "Quillet" : holder)
                << "; use Get SMS in Quillet's window, or close it first.\n";
        }
        return kFailed;
    }

    MessageLibrary library;
    open_user_folder(library, false, err);
    Options options;
    load_options(options);
    for (const BoxKind kind : {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems}) {
        const LoadBoxResult r = library.load_box(kind);
        if (const std::string problem = load_problem(kind, r); !problem.empty()) {
            err << "quillet-cli: " << problem << '\n';
            return kFailed;
        }
        if (r.status == LoadBoxResult::Status::Damaged)
            err << "quillet-cli: " << to_utf8(box_file_name(kind)) << " is damaged ("
                << r.outcome.what() << "); a copy was kept as " << r.kept_aside.string() << '\n';
    }

    TerminalStatus status(out);
    SmartphoneSmsConnect link;
    int result = kDone;
    status.set_status_text(u"Retrieving messages...");
    GetSmsReport got;
    try {
        link.init();
        got = library.get_sms(link, options, &status);
    } catch (const ORX_Exception& e) {
        got.link_failure = e;
    }
    status.end_line();
    if (got.link_failure) {
        err << "quillet-cli: "
            << to_utf8(got.link_failure->with_prefix(
                   u"Please Check your ActiveSync connection.\nDetails:\n"))
            << '\n';
        result = kFailed;
    } else if (got.out_of_memory) {
        err << "quillet-cli: there is not enough memory to take in the phone's messages\n";
        result = kFailed;
    } else {
        status.set_status_text(
            from_utf8(std::to_string(got.new_messages) + " new imported messages"));
        status.end_line();
    }
    // What was fetched before a failure is kept too.
    const BoxSaveReport saved = library.save_changed();
    for (const Outcome& failure : saved.failures)
        err << "quillet-cli: Unable to save your messages: " << failure.what() << '\n';
    if (!saved.ok())
        result = kFailed;
    if (result == kDone && with_contacts)
        result = import_contacts(link, status, err);
    status.end_line();
    return result;
}

}  // namespace quillet::cli
