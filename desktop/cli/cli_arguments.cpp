#include "desktop/cli/cli_arguments.h"

#include <algorithm>
#include <charconv>
#include <string_view>

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

namespace {

std::optional<ExportFormat> format_named(std::string_view name) {
    static constexpr std::pair<std::string_view, ExportFormat> kNames[] = {
        {"android", ExportFormat::Android}, {"vcard", ExportFormat::Vcard},
        {"csv", ExportFormat::Csv},         {"xml", ExportFormat::Xml},
        {"pdf", ExportFormat::Pdf},         {"archive", ExportFormat::Archive}};
    for (const auto& [n, f] : kNames) {
        if (n == name)
            return f;
    }
    return std::nullopt;
}

// The options that take a value, and the commands each belongs to ("" for
// every command).
struct ValueOption {
    std::string_view name;
    std::vector<std::string_view> commands;
};
const ValueOption* value_option(std::string_view name) {
    static const ValueOption kOptions[] = {{"--data", {}},
                                           {"--box", {"search", "export", "move", "restore"}},
                                           {"--conversation", {"restore"}},
                                           {"--format", {"export"}},
                                           {"--output", {"export"}},
                                           {"--number", {"export"}},
                                           {"--undo", {"import"}},
                                           {"--older-than", {"move"}},
                                           {"--keep-newest", {"move"}}};
    for (const ValueOption& o : kOptions) {
        if (o.name == name)
            return &o;
    }
    return nullptr;
}

// A whole number from 0 to `most`.
template <typename T>
std::optional<T> count_in(const std::string& value, T most) {
    T n = 0;
    const auto r = std::from_chars(value.data(), value.data() + value.size(), n);
    if (r.ec != std::errc() || r.ptr != value.data() + value.size() || n > most)
        return std::nullopt;
    return n;
}

bool set_value(Arguments& out, std::string_view name, const std::string& value,
               std::string& error) {
    if (name == "--data") {
        out.data = std::filesystem::path(value);
    } else if (name == "--box") {
        bool all = false;
        out.box = box_named(value, all);
        out.box_word = value;
        if (!out.box && !all)
            error = "unknown box \"" + value + "\" (inbox, sent, deleted or all)";
    } else if (name == "--format") {
        out.format = format_named(value);
        if (!out.format)
            error = "unknown format \"" + value + "\" (android, vcard, csv, xml, pdf, archive)";
    } else if (name == "--output") {
        out.output = value;
    } else if (name == "--number") {
        out.number = value;
    } else if (name == "--undo") {
        int id = 0;
        const auto r = std::from_chars(value.data(), value.data() + value.size(), id);
        if (r.ec != std::errc() || r.ptr != value.data() + value.size() || id <= 0)
            error = "--undo needs the number of an import (see quillet-cli imports)";
        out.undo = id;
    } else if (name == "--conversation") {
        out.conversation = value;
        if (value.empty())
            error = "--conversation needs a NUMBER";
    } else if (name == "--older-than") {
        // Beyond a million days every message is younger.
        out.older_than_days = count_in<uint32_t>(value, 1'000'000);
        if (!out.older_than_days)
            error = "--older-than needs a number of days";
    } else if (name == "--keep-newest") {
        out.keep_newest = count_in<size_t>(value, SIZE_MAX);
        if (!out.keep_newest)
            error = "--keep-newest needs a number of messages";
    }
    return error.empty();
}

bool check_export(const Arguments& a, std::string& error) {
    if (!a.format)
        error = "export needs --format";
    else if (a.output.empty())
        error = "export needs --output";
    else if (*a.format == ExportFormat::Pdf && a.number.empty())
        error = "--format pdf needs --number";
    else if ((*a.format == ExportFormat::Csv || *a.format == ExportFormat::Xml) &&
             a.box_word == "all")
        error = "csv and xml take one box";
    return error.empty();
}

bool take_command(Arguments& out, const std::vector<std::string>& words, std::string& error) {
    const std::string& command = words[0];
    const size_t operands = words.size() - 1;
    struct Known {
        std::string_view name;
        Arguments::Command command;
        size_t operands;
        const char* operand_error;
    };
    static constexpr Known kCommands[] = {
        {"search", Arguments::Command::Search, 1, "search needs one TEXT"},
        {"show", Arguments::Command::Show, 1, "show needs one NUMBER"},
        {"conversations", Arguments::Command::Conversations, 0, "conversations takes no operand"},
        {"export", Arguments::Command::Export, 0, "export takes no operand"},
        {"get", Arguments::Command::Get, 0, "get takes no operand"},
        {"imports", Arguments::Command::Imports, 0, "imports takes no operand"},
        {"move", Arguments::Command::Move, 0, "move takes no operand"},
        {"restore", Arguments::Command::Restore, 0, "restore takes no operand"}};
    if (command == "import") {
        out.command = Arguments::Command::Import;
        out.paths.assign(words.begin() + 1, words.end());
        if (out.paths.empty() == !out.undo) {
            error = out.undo ? "import --undo takes no FILE" : "import needs a FILE or FOLDER";
            return false;
        }
        return true;
    }
    for (const Known& k : kCommands) {
        if (k.name != command)
            continue;
        if (operands != k.operands) {
            error = k.operand_error;
            return false;
        }
        out.command = k.command;
        if (operands == 1)
            out.text = words[1];
        return true;
    }
    error = "unknown command \"" + command + "\"";
    return false;
}

}  // namespace

std::optional<Arguments> parse_arguments(const std::vector<std::string>& args, std::string& error) {
    Arguments out;
    std::vector<std::string> words;
    // Each option given, to check against the command once it is known.
    std::vector<std::string> given;
    bool options_end = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string a = args[i];
        if (options_end || a.empty() || a[0] != '-' || a == "-") {
            words.push_back(a);
            continue;
        }
        if (a == "--") {
            options_end = true;
        } else if (a == "--help" || a == "-h") {
            out.command = Arguments::Command::Help;
            return out;
        } else if (a == "--json") {
            out.json = true;
        } else if (a == "--contacts" || a == "--dry-run" || a == "--sim") {
            (a == "--contacts" ? out.contacts : a == "--sim" ? out.sim : out.dry_run) = true;
            given.push_back(a);
        } else {
            std::string value;
            const size_t eq = a.find('=');
            const bool inline_value = eq != std::string::npos;
            if (inline_value) {
                value = a.substr(eq + 1);
                a.resize(eq);
            }
            if (value_option(a) == nullptr) {
                error = "unknown option " + a;
                return std::nullopt;
            }
            if (!inline_value) {
                if (i + 1 == args.size()) {
                    error = a + " needs a value";
                    return std::nullopt;
                }
                value = args[++i];
            }
            if (!set_value(out, a, value, error))
                return std::nullopt;
            given.push_back(a);
        }
    }
    if (words.empty()) {
        error = "no command given";
        return std::nullopt;
    }
    if (!take_command(out, words, error))
        return std::nullopt;
    for (const std::string& option : given) {
        const ValueOption* o = value_option(option);
        const std::vector<std::string_view> owners =
            o                        ? o->commands
            : option == "--contacts" ? std::vector<std::string_view>{"get", "restore"}
            : option == "--sim"      ? std::vector<std::string_view>{"restore"}
                                     : std::vector<std::string_view>{"import", "move", "restore"};
        if (!owners.empty() && std::find(owners.begin(), owners.end(), words[0]) == owners.end()) {
            error = option + " belongs to " + std::string(owners.front());
            return std::nullopt;
        }
    }
    if (out.command == Arguments::Command::Export && !check_export(out, error))
        return std::nullopt;
    if (out.command == Arguments::Command::Restore && out.box == BoxKind::DeletedItems) {
        error = "restore writes the inbox and sent items only";
        return std::nullopt;
    }
    if (out.sim && !out.contacts) {
        error = "--sim goes with --contacts";
        return std::nullopt;
    }
    return out;
}

const char* help_text() {
    return R"(Usage: quillet-cli [--data DIR] [--json] COMMAND [OPTIONS]

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
                  archive (all of them in the new folder PATH); PATH "-"
                  writes csv, xml, android or vcard to standard output
  import FILE|FOLDER... [--dry-run]
                  brings other phones' backups into Quillet's data folder:
                  Android backup XML, sms-ie ZIP, Gammu .smsbackup, an iPhone
                  backup folder, PIM Backup .pib, SMS Backup+ mail (.mbox,
                  .eml, Maildir), Windows Phone .msg, another Quillet data or
                  archive folder, vCards (contacts); a folder of backups
                  takes every one in it. Messages already kept are
                  not added twice. --dry-run reads and matches, changes
                  nothing. Runs beside Quillet's window, one import at a time
  import --undo ID [--dry-run]
                  removes exactly what import ID added (what the phone holds
                  now is kept); --dry-run says what it would remove. Refused
                  while Quillet runs: undo in its window (File > Imports...)
  imports         one line per import: id, time, file, format, added,
                  already kept, possible duplicates
  get [--contacts]
                  fetches the phone's new messages into Quillet's data folder
                  (and its contacts with --contacts), as Get SMS does; refused
                  while Quillet runs; takes no --data
  move [--box inbox|sent|deleted|all] [--older-than DAYS] [--keep-newest N]
       [--dry-run]
                  makes room on the phone: a Get SMS, then the boxes are saved
                  and read back from disk, and only messages found there are
                  deleted on the phone (they stay in the boxes). --older-than
                  takes messages at least DAYS whole days old, --keep-newest
                  leaves the newest N of each box on the phone; all boxes by
                  default. --dry-run prints what would be deleted and deletes
                  nothing. Refused while Quillet runs; takes no --data
  restore [--box inbox|sent|all] [--conversation NUMBER] [--contacts [--sim]]
          [--dry-run]
                  puts the kept messages back onto the phone (a new one, or
                  the same after a move): the Inbox's into its Inbox, Sent
                  Items' into its Sent Items; only those of NUMBER with
                  --conversation. Messages the phone holds already are not
                  written again, and nothing is deleted. --contacts restores
                  the contacts into the phone's contacts (onto the SIM with
                  --sim), alone unless --box or --conversation asks for
                  messages too. --dry-run prints what would be written.
                  Refused while Quillet runs; takes no --data

Options:
  --data DIR      read DIR instead of Quillet's data folder (every command
                  but get)
  --json          print a JSON array instead of lines
  -h, --help      print this help

Lines are fields separated by tabs:
  search, show:   time, box, number, name, read, text
  conversations:  last time, number, name, messages, unread
Times are UTC, as 2026-01-02T03:04:05Z.

Exit status: 0 success, 1 the data folder or a box could not be read (get:
refused, or the link failed; export: the file could not be written; import:
refused, a file could not be read or nothing could be imported; move:
refused, or nothing or only part deleted; restore: refused, the phone's
agent cannot restore, or not all was written), 2 bad usage.
)";
}

}  // namespace quillet::cli
