#include "desktop/cli/move_command.h"

#include "desktop/cli/listing.h"
#include "desktop/cli/phone_session.h"
#include "desktop/library/move_to_pc.h"
#include "desktop/link/smartphone_sms_connect.h"
#include "desktop/store/options.h"
#include "protocol/text_codec.h"

namespace quillet::cli {
namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kBadUsage = 2;

MoveChoice choice_of(const Arguments& args) {
    MoveChoice choice;
    if (args.box)
        choice.boxes = {*args.box == BoxKind::Inbox, *args.box == BoxKind::SentItems,
                        *args.box == BoxKind::DeletedItems};
    choice.older_than_days = args.older_than_days;
    choice.keep_newest = args.keep_newest;
    return choice;
}

void print_plan(std::ostream& out, const MovePlan& plan) {
    out << "would move " << plan.total() << " messages off the phone: inbox " << plan.by_box[0]
        << ", sent " << plan.by_box[1] << ", deleted " << plan.by_box[2];
    if (plan.oldest)
        out << "; oldest " << utc_time(*plan.oldest) << ", newest " << utc_time(*plan.newest);
    out << '\n';
}

void print_report(std::ostream& out, const MoveReport& r) {
    static constexpr const char* kWhy[kKeptReasons] = {
        "not proven kept",      "outside the choice",
        "changed on the phone", "phone unplugged during the deletions",
        "refused by the phone", "stopped"};
    out << "moved " << r.moved << ", kept on the phone " << r.kept_total();
    const char* separator = ": ";
    for (size_t i = 0; i < kKeptReasons; ++i) {
        if (r.kept[i] == 0)
            continue;
        out << separator << kWhy[i] << ' ' << r.kept[i];
        separator = ", ";
    }
    if (r.unchecked)
        out << " (the phone could not be asked afterwards)";
    out << '\n';
}

}  // namespace

int run_move(const Arguments& args, std::ostream& out, std::ostream& err) {
    if (args.data) {
        err << "quillet-cli: move works on Quillet's own data folder; it takes no --data\n";
        return kBadUsage;
    }
    LinkLock lock;
    if (!lock_or_say(lock, "quillet-cli move", "Move to PC", err))
        return kFailed;
    MessageLibrary library;
    open_user_folder(library, args.dry_run, err);
    if (!load_whole(library, "nothing was deleted", err))
        return kFailed;
    Options options;
    load_options(options);
    SmartphoneSmsConnect link;
    PhoneMove move(library, link, choice_of(args));
    MoveReport report;
    try {
        link.init();
        if (args.dry_run) {
            const GetSmsReport got = move.get(options, nullptr);
            if (got.link_failure)
                throw *got.link_failure;
            print_plan(out, move.plan());
            return kDone;
        }
        report = move.run(options, nullptr);
    } catch (const ORX_Exception& e) {
        err << "quillet-cli: the phone could not be reached, nothing was deleted: " << e.what()
            << '\n';
        return kFailed;
    }
    print_report(out, report);
    if (report.outcome)
        return kDone;
    err << "quillet-cli: " << report.outcome.what() << '\n';
    return kFailed;
}

}  // namespace quillet::cli
