#include "get_command.h"

#include <unistd.h>

#include <ostream>

#include "desktop/link/link_lock.h"
#include "desktop/link/smartphone_sms_connect.h"
#include "desktop/store/contact_list.h"
#include "desktop/store/options.h"
#include "desktop/store/orx_exception.h"
#include "desktop/store/sms_box.h"
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

std::string load_problem(const SmsBox& box, const LoadBoxResult& r) {
    const std::string name = to_utf8(box_file_name(box.kind()));
    switch (r.status) {
        case LoadBoxResult::Status::UnknownHeader:
            return name + " is not a box file of a known version" +
                   (r.kept_aside.empty() ? "" : "; it was kept as " + r.kept_aside.string());
        case LoadBoxResult::Status::Unreadable:
            return name + " could not be read: " + r.detail;
        case LoadBoxResult::Status::Damaged:
        case LoadBoxResult::Status::Missing:
        case LoadBoxResult::Status::Loaded:
            break;
    }
    return {};
}

struct Boxes {
    SmsBox inbox{BoxKind::Inbox};
    SmsBox sent{BoxKind::SentItems};
    SmsBox deleted{BoxKind::DeletedItems};
};

// Imports the boxes the settings select; saves each one imported. Returns
// how many messages are new, or throws the link's ORX_Exception after
// saving what was imported before it.
int import_boxes(Boxes& boxes, const Options& options, SmartphoneSmsConnect& link,
                 StatusSink& status, std::vector<std::string>& save_failures) {
    const struct {
        uint8_t on;
        SmsBox* box;
    } imports[] = {{options.import_inbox, &boxes.inbox},
                   {options.import_sent_items, &boxes.sent},
                   {options.import_deleted_items, &boxes.deleted}};
    const auto save = [&](SmsBox& box) {
        if (const SaveResult r = box.save_box(box_file_name(box.kind())); !r)
            save_failures.push_back(r.error);
    };
    for (const auto& import : imports) {
        if (!import.on)
            continue;
        try {
            import.box->import_new_smses(link, &status);
        } catch (const ORX_Exception&) {
            save(*import.box);
            throw;
        }
        save(*import.box);
    }
    int count = 0;
    SmsMessage popped;
    for (SmsBox* box : {&boxes.inbox, &boxes.sent, &boxes.deleted}) {
        while (box->pop_new(popped))
            ++count;
    }
    return count;
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
    if (const SaveResult saved = contacts.save_contacts(kContactsFileName); !saved) {
        err << "quillet-cli: " << saved.error << '\n';
        return kFailed;
    }
    status.set_status_text(u"Contact list Updated");
    return kDone;
}

}  // namespace

int run_get(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    bool with_contacts = false;
    for (const std::string& a : args) {
        if (a == "--contacts") {
            with_contacts = true;
        } else {
            err << "quillet-cli: get takes only --contacts, not '" << a
                << "'\nTry 'quillet-cli --help'.\n";
            return kBadUsage;
        }
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

    Options options;
    load_options(options);
    Boxes boxes;
    for (SmsBox* box : {&boxes.inbox, &boxes.sent, &boxes.deleted}) {
        const LoadBoxResult r = box->load_box(box_file_name(box->kind()));
        if (const std::string problem = load_problem(*box, r); !problem.empty()) {
            err << "quillet-cli: " << problem << '\n';
            return kFailed;
        }
        if (r.status == LoadBoxResult::Status::Damaged)
            err << "quillet-cli: " << to_utf8(box_file_name(box->kind())) << " is damaged ("
                << r.detail << "); a copy was kept as " << r.kept_aside.string() << '\n';
    }

    TerminalStatus status(out);
    SmartphoneSmsConnect link;
    std::vector<std::string> save_failures;
    int result = kDone;
    status.set_status_text(u"Retrieving messages...");
    try {
        link.init();
        const int count = import_boxes(boxes, options, link, status, save_failures);
        status.end_line();
        status.set_status_text(from_utf8(std::to_string(count) + " new imported messages"));
        status.end_line();
    } catch (const ORX_Exception& e) {
        status.end_line();
        err << "quillet-cli: "
            << to_utf8(e.with_prefix(u"Please Check your ActiveSync connection.\nDetails:\n"))
            << '\n';
        result = kFailed;
    }
    for (const std::string& failure : save_failures)
        err << "quillet-cli: Unable to save your messages: " << failure << '\n';
    if (!save_failures.empty())
        result = kFailed;
    if (result == kDone && with_contacts)
        result = import_contacts(link, status, err);
    status.end_line();
    return result;
}

}  // namespace quillet::cli
