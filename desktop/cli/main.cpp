// quillet-cli: Quillet's boxes searched, read, exported and fetched from the
// command line.
#include <algorithm>
#include <clocale>
#include <iostream>
#include <new>

#include "desktop/cli/cli_arguments.h"
#include "desktop/cli/data_reader.h"
#include "desktop/cli/export_command.h"
#include "desktop/cli/get_command.h"
#include "desktop/cli/import_command.h"
#include "desktop/cli/listing.h"
#include "desktop/cli/move_command.h"
#include "desktop/cli/phone_session.h"
#include "desktop/cli/restore_command.h"
#include "desktop/library/message_library.h"
#include "desktop/search/conversation_index.h"
#include "desktop/store/app_paths.h"
#include "protocol/text_codec.h"

namespace quillet::cli {
namespace {

constexpr int kBadUsage = 2;
constexpr int kUnreadable = 1;

constexpr BoxKind kBoxes[] = {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems};

// Messages oldest first; equal times in box order.
void sort_by_time(const DataFolder& data, std::vector<MessageRef>& refs) {
    std::stable_sort(refs.begin(), refs.end(), [&](const MessageRef& a, const MessageRef& b) {
        return data.box(a.box).message_ref(a.index).time() <
               data.box(b.box).message_ref(b.index).time();
    });
}

int run(const Arguments& args) {
    if (args.command == Arguments::Command::Get)
        return run_get(args, std::cout, std::cerr);
    if (args.command == Arguments::Command::Import)
        return run_import(args, std::cout, std::cerr);
    if (args.command == Arguments::Command::Imports)
        return run_imports(args, std::cout, std::cerr);
    if (args.command == Arguments::Command::Move)
        return run_move(args, std::cout, std::cerr);
    if (args.command == Arguments::Command::Restore)
        return run_restore(args, std::cout, std::cerr);
    // The user's own folder is settled first, as the window does: an earlier
    // run's boxes may still wait in the program folder.
    MessageLibrary library(args.data ? *args.data : std::filesystem::path());
    if (!args.data)
        open_user_folder(library, false, std::cerr);
    const std::filesystem::path folder = library.folder();
    if (args.command == Arguments::Command::Export)
        return run_export(args, folder, std::cout, std::cerr);
    std::string error;
    std::optional<DataFolder> data = read_data_folder(folder, error);
    if (!data) {
        std::cerr << "quillet-cli: " << error << '\n';
        return kUnreadable;
    }
    for (const std::string& warning : data->warnings)
        std::cerr << "quillet-cli: " << warning << '\n';

    const PhoneNumbers& numbers = data->contacts.phone_numbers();
    ConversationIndex index(numbers);
    index.update(data->inbox, data->sent, data->deleted);

    switch (args.command) {
        case Arguments::Command::Search: {
            const SearchQuery query(from_utf8(args.text), numbers);
            std::vector<MessageRef> found;
            for (const BoxKind kind : kBoxes) {
                if (args.box && *args.box != kind)
                    continue;
                for (const size_t i : index.search(kind, query, &data->contacts))
                    found.push_back({kind, i});
            }
            sort_by_time(*data, found);
            print_messages(std::cout, *data, found, args.json);
            break;
        }
        case Arguments::Command::Conversations: {
            std::vector<size_t> all(index.count());
            for (size_t i = 0; i < all.size(); ++i)
                all[i] = i;
            std::stable_sort(all.begin(), all.end(), [&](size_t a, size_t b) {
                return index.summary(a).last_time > index.summary(b).last_time;
            });
            print_conversations(std::cout, *data, index, all, args.json);
            break;
        }
        case Arguments::Command::Show: {
            const std::optional<size_t> c = index.find_typed(to_ansi(from_utf8(args.text)));
            print_messages(std::cout, *data, c ? index.messages_of(*c) : std::vector<MessageRef>{},
                           args.json);
            break;
        }
        case Arguments::Command::Help:
        case Arguments::Command::Export:
        case Arguments::Command::Get:
        case Arguments::Command::Import:
        case Arguments::Command::Imports:
        case Arguments::Command::Move:
        case Arguments::Command::Restore:
            break;
    }
    std::cout.flush();
    return std::cout ? 0 : kUnreadable;
}

}  // namespace
}  // namespace quillet::cli

int main(int argc, char** argv) {
    using namespace quillet::cli;
    // Dates as the window writes them (it takes the desktop's LC_TIME too):
    // a box exported here and from the window reads alike.
    std::setlocale(LC_TIME, "");
    std::string error;
    const std::optional<Arguments> args =
        parse_arguments(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!args) {
        std::cerr << "quillet-cli: " << error << "\nTry 'quillet-cli --help'.\n";
        return kBadUsage;
    }
    if (args->command == Arguments::Command::Help) {
        std::cout << help_text();
        return 0;
    }
    // Out of memory anywhere a command has not caught it itself: every
    // command writes nothing before it holds what it needs (an import takes
    // out what it had put in), so the data is as it was.
    try {
        return run(*args);
    } catch (const std::bad_alloc&) {
        std::cout.flush();
        std::cerr << "quillet-cli: there is not enough memory for this; nothing was changed\n";
        return kUnreadable;
    }
}
