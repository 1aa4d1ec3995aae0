#include "desktop/cli/cli_arguments.h"

namespace quillet::cli {
namespace {

std::optional<BoxKind> box_named(const std::string& name, bool& all) {
    all = name == "all";
    if (name == "inbox")
        return BoxKind::Inbox;
    if (name == "sent")
        return BoxKind::SentItems;
    if (name == "deleted")
        return BoxKind::DeletedItems;
    return std::nullopt;
}

}  // namespace

std::optional<Arguments> parse_arguments(const std::vector<std::string>& args, std::string& error) {
    Arguments out;
    std::vector<std::string> words;
    bool options_end = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (options_end || a.empty() || a[0] != '-' || a == "-") {
            words.push_back(a);
        } else if (a == "--") {
            options_end = true;
        } else if (a == "--help" || a == "-h") {
            out.command = Arguments::Command::Help;
            return out;
        } else if (a == "--json") {
            out.json = true;
        } else if (a == "--data" || a == "--box") {
            if (i + 1 == args.size()) {
                error = a + " needs a value";
                return std::nullopt;
            }
            const std::string& value = args[++i];
            if (a == "--data") {
                out.data = std::filesystem::path(value);
                continue;
            }
            bool all = false;
            out.box = box_named(value, all);
            if (!out.box && !all) {
                error = "unknown box \"" + value + "\" (inbox, sent, deleted or all)";
                return std::nullopt;
            }
        } else {
            error = "unknown option " + a;
            return std::nullopt;
        }
    }
    if (words.empty()) {
        error = "no command given";
        return std::nullopt;
    }
    const std::string command = words[0];
    const size_t operands = words.size() - 1;
    if (command == "search" || command == "show") {
        if (operands != 1) {
            error = command + (command == "search" ? " needs one TEXT" : " needs one NUMBER");
            return std::nullopt;
        }
        out.command = command == "search" ? Arguments::Command::Search : Arguments::Command::Show;
        out.text = words[1];
    } else if (command == "conversations") {
        if (operands != 0) {
            error = "conversations takes no operand";
            return std::nullopt;
        }
        out.command = Arguments::Command::Conversations;
    } else {
        error = "unknown command \"" + command + "\"";
        return std::nullopt;
    }
    if (out.box && out.command != Arguments::Command::Search) {
        error = "--box belongs to search";
        return std::nullopt;
    }
    return out;
}

const char* help_text() {
    return R"(Usage: quillet-cli [--data DIR] [--json] COMMAND

Reads Quillet's message boxes and contacts without a window. search,
conversations, show and export change nothing and may run while Quillet
runs; get fetches from the phone and writes the data folder.

Commands:
  search TEXT [--box inbox|sent|deleted|all]
                  the messages whose text, number or contact name contains
                  TEXT (case and accents ignored; digits match numbers however
                  they are written), oldest first; all boxes by default
  conversations   one line per correspondent, newest first
  show NUMBER     the conversation with NUMBER (any spelling of it), oldest
                  first
  export --format android|vcard|csv|xml|pdf|archive --output PATH
         [--box inbox|sent|deleted|all] [--number NUMBER]
                  writes an export: android (Inbox and Sent Items; --box all
                  adds Deleted Items), vcard (the contacts), csv or xml (one
                  box, Inbox by default), pdf (the conversation with NUMBER),
                  archive (all of them in the new folder PATH)
  get [--contacts]
                  fetches the phone's new messages into Quillet's data folder
                  (and its contacts with --contacts), as Get SMS does; refused
                  while Quillet runs

Options:
  --data DIR      read DIR instead of Quillet's data folder
  --json          print a JSON array instead of lines
  -h, --help      print this help

Lines are fields separated by tabs:
  search, show:   time, box, number, name, read, text
  conversations:  last time, number, name, messages, unread
Times are UTC, as 2026-01-02T03:04:05Z.

Exit status: 0 success, 1 the data folder or a box could not be read (get:
refused, or the link failed; export: the file could not be written), 2 bad
usage.
)";
}

}  // namespace quillet::cli
