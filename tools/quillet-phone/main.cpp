// quillet-phone: sets up and plays the emulated phone.
#include <iostream>
#include <map>
#include <string>

#include "platform/phone/phone_db.h"
#include "tools/quillet-phone/arguments.h"
#include "tools/quillet-phone/commands.h"

namespace {

constexpr const char* kHelp = R"(usage: quillet-phone COMMAND [ARGUMENTS]

Sets up and plays the emulated phone: the image under the platform root
($QUILLET_PLATFORM_ROOT, else $XDG_DATA_HOME/quillet-platform) in phone/.

  init [--sample] [--force]       make the phone image (empty, or with sample
                                  messages, SIM entries and contacts), plugged in
  plug | unplug                   connect or disconnect the phone; plug also
                                  starts every program listed under
                                  Software\Microsoft\Windows CE Services\AutoStartOnConnect
                                  (a value may add arguments after the path:
                                  "/opt/quillet/quillet-cli" get);
                                  unplug ends the agent's link as pulling the
                                  cable would
  deliver --from NUMBER --text TEXT [--time T]
                                  a text message arrives in the Inbox, unread
  add FOLDER [--class C] [--subject S] [--body B] [--sender S] [--to ADDRESS]...
             [--time T] [--read]  any row in inbox, sent, deleted or another
                                  folder (made when missing); class IPM.SMSText
  list FOLDER [--json]            the rows of a folder, oldest first
  bulk FOLDER --count N           N generated text messages, one minute apart
  sim add --slot N --name NAME --number NUMBER
  sim size N                      the SIM's number of slots (0: no SIM card)
  sim list [--json]
  contact add --first F --last L [--number N] [--other N]
  contact list [--json]
  outbox [--json]                 submissions the SMS service accepted, oldest first
  refuse on | off                 the SMS service refuses every submission, or works
  screen [--json]                 the message boxes the phone has shown

FOLDER is inbox, sent, deleted or the name of another folder. Times are
ISO-8601 in UTC, such as 2026-01-02T03:04:05Z (default: now). Text is UTF-8.

JSON listings are arrays of objects:
  list:          entry_id (hex), class, subject, sender, body (null when the
                 message has none), recipients [{display_to, email}], time,
                 flags, read
  sim list:      slot, name, number
  contact list:  first, last, number (mobile), other
  outbox:        address, address_type (international, national, unknown),
                 class, text, data_size (bytes), time
  screen:        text, caption, style, time

Exit status: 0 on success, 2 on bad usage or input, 1 when the phone image
is missing or cannot be used.
)";

using Command = void (*)(const quillet::phone_tool::Words&);

// The message on one line, whatever the arguments it quotes hold.
void report(const char* what) {
    std::string line = what;
    for (char& c : line) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    std::cerr << "quillet-phone: " << line << "\n";
}

int run(const std::string& name, const quillet::phone_tool::Words& words) {
    using namespace quillet::phone_tool;
    static const std::map<std::string, Command> kCommands = {
        {"init", run_init},
        {"plug", [](const Words& w) { run_plug(w, true); }},
        {"unplug", [](const Words& w) { run_plug(w, false); }},
        {"deliver", run_deliver},
        {"add", run_add},
        {"list", run_list},
        {"bulk", run_bulk},
        {"sim", run_sim},
        {"contact", run_contact},
        {"outbox", run_outbox},
        {"refuse", run_refuse},
        {"screen", run_screen},
    };
    const auto it = kCommands.find(name);
    if (it == kCommands.end())
        throw UsageError("unknown command " + name + " (see --help)");
    it->second(words);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> all(argv + 1, argv + argc);
    if (all.empty()) {
        std::cerr << "quillet-phone: missing command (see --help)\n";
        return 2;
    }
    if (all[0] == "--help" || all[0] == "-h" || all[0] == "help") {
        std::cout << kHelp;
        return 0;
    }
    try {
        return run(all[0], {all.begin() + 1, all.end()});
    } catch (const quillet::phone_tool::UsageError& e) {
        report(e.what());
        return 2;
    } catch (const std::exception& e) {
        report(e.what());
        return 1;
    }
}
