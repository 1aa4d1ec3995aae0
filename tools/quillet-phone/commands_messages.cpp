// init, deliver, add, list and bulk.
#include <iostream>

#include "platform/phone/phone_image.h"
#include "platform/phone/phone_programs.h"
#include "protocol/text_codec.h"
#include "tools/quillet-phone/arguments.h"
#include "tools/quillet-phone/commands.h"
#include "tools/quillet-phone/output.h"

namespace quillet::phone_tool {
namespace {

constexpr long kMaxBulk = 10'000'000;

std::optional<FileTime> time_option(Arguments& args) {
    if (auto t = args.option("time"))
        return parse_iso_time(*t);
    return std::nullopt;
}

std::string message_json(const phone::Message& m) {
    std::vector<JsonObject> recipients;
    for (const phone::Recipient& r : m.recipients) {
        recipients.push_back(JsonObject().text("display_to", r.display_to).text("email", r.email));
    }
    JsonObject o;
    o.text("entry_id", hex(m.entry_id))
        .text("class", m.message_class)
        .text("subject", m.subject)
        .text("sender", m.sender);
    if (m.body) {
        o.text("body", *m.body);
    } else {
        o.null("body");
    }
    o.raw("recipients", json_inline_array(recipients))
        .text("time", iso_time(m.delivery_time))
        .number("flags", m.flags)
        .boolean("read", (m.flags & phone::kFlagRead) != 0);
    return o.str();
}

void print_message(const phone::Message& m) {
    std::cout << iso_time(m.delivery_time) << "  "
              << ((m.flags & phone::kFlagRead) ? "read  " : "unread") << "  "
              << to_utf8(m.message_class) << "  " << hex(m.entry_id) << "\n";
    if (!m.sender.empty())
        std::cout << "    from: " << to_utf8(m.sender) << "\n";
    for (const phone::Recipient& r : m.recipients) {
        std::cout << "    to: " << to_utf8(r.email);
        if (r.display_to != r.email)
            std::cout << " (" << to_utf8(r.display_to) << ")";
        std::cout << "\n";
    }
    if (!m.subject.empty())
        std::cout << "    subject: " << to_utf8(m.subject) << "\n";
    if (m.body)
        std::cout << "    body: " << to_utf8(*m.body) << "\n";
}

}  // namespace

phone::Folder named_folder(phone::PhoneStore& store, const std::string& name, bool create) {
    if (name.empty())
        throw UsageError("a folder name cannot be empty");
    if (auto f = store.folder(name))
        return *f;
    if (!create)
        throw UsageError("the phone has no folder named " + name);
    return store.ensure_folder(name);
}

void run_init(const Words& words) {
    Arguments args(words, {"sample", "force"});
    const bool sample = args.flag("sample");
    const bool force = args.flag("force");
    args.finish();
    const auto image = tool_image();
    if (phone::image_exists(image) && !force) {
        throw UsageError("a phone image is already at " + image.string() + " (use --force)");
    }
    // The image goes: the agents on it lose their link first, as when the
    // cable is pulled, and none is left reading it through the new one.
    if (phone::image_exists(image))
        phone::end_programs_on(image);
    phone::PhoneStore::create(image, true);
    if (sample) {
        phone::PhoneStore store(image);
        fill_sample(store);
    }
    std::cout << "phone image made at " << image.string() << (sample ? " with samples" : "")
              << ", plugged in\n";
}

void run_deliver(const Words& words) {
    Arguments args(words, {});
    const std::string from = args.required("from");
    const std::string text = args.required("text");
    const FileTime time = time_option(args).value_or(filetime_now());
    args.finish();
    if (from.empty())
        throw UsageError("--from cannot be empty");
    phone::PhoneStore store = open_image();
    phone::Message m;
    m.message_class = u"IPM.SMSText";
    m.subject = from_utf8(text);
    m.body = m.subject;
    m.sender = from_utf8(from);
    m.delivery_time = time;
    const auto id = store.add_message(*store.folder(phone::FolderRole::Inbox), m);
    std::cout << "delivered " << hex(id) << "\n";
}

void run_add(const Words& words) {
    Arguments args(words, {"read"});
    const std::string folder = args.take("FOLDER");
    phone::Message m;
    m.message_class = from_utf8(args.option("class").value_or("IPM.SMSText"));
    m.subject = from_utf8(args.option("subject").value_or(""));
    if (auto body = args.option("body"))
        m.body = from_utf8(*body);
    m.sender = from_utf8(args.option("sender").value_or(""));
    for (const std::string& to : args.all("to"))
        m.recipients.push_back({from_utf8(to), from_utf8(to)});
    m.delivery_time = time_option(args).value_or(filetime_now());
    m.flags = args.flag("read") ? phone::kFlagRead : 0;
    args.finish();
    phone::PhoneStore store = open_image();
    const auto id = store.add_message(named_folder(store, folder, true), m);
    std::cout << "added " << hex(id) << "\n";
}

void run_list(const Words& words) {
    Arguments args(words, {"json"});
    const std::string folder = args.take("FOLDER");
    const bool json = args.flag("json");
    args.finish();
    phone::PhoneStore store = open_image();
    const auto messages = store.messages(named_folder(store, folder, false), true);
    if (json) {
        std::string out = messages.empty() ? "[]\n" : "[\n";
        for (size_t i = 0; i < messages.size(); ++i) {
            out += "  " + message_json(messages[i]) + (i + 1 < messages.size() ? ",\n" : "\n");
        }
        if (!messages.empty())
            out += "]\n";
        std::cout << out;
        return;
    }
    for (const phone::Message& m : messages)
        print_message(m);
    std::cout << messages.size() << " rows\n";
}

void run_bulk(const Words& words) {
    Arguments args(words, {});
    const std::string folder = args.take("FOLDER");
    const long count = parse_number(args.required("count"), 1, kMaxBulk, "--count");
    args.finish();
    phone::PhoneStore store = open_image();
    const phone::Folder target = named_folder(store, folder, true);
    // One minute apart, ending now; texts of varied length.
    const FileTime end = filetime_now();
    std::vector<phone::Message> messages(static_cast<size_t>(count));
    for (size_t i = 0; i < messages.size(); ++i) {
        phone::Message& m = messages[i];
        m.message_class = u"IPM.SMSText";
        std::string text = "Message " + std::to_string(i + 1) + ": ";
        for (size_t words_left = 4 + i % 23; words_left > 0; --words_left)
            text += "lorem ipsum ";
        m.subject = from_utf8(text);
        m.body = m.subject;
        m.sender = from_utf8("+49170" + std::to_string(1000000 + i % 50));
        m.delivery_time = end - (messages.size() - i) * 60 * kTicksPerSecond;
        m.flags = i % 3 == 0 ? 0 : phone::kFlagRead;
    }
    store.add_messages(target, messages);
    std::cout << count << " messages added to " << target.name << "\n";
}

}  // namespace quillet::phone_tool
