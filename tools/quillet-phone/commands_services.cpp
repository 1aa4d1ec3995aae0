// plug, unplug, sim, contact, outbox, refuse and screen.
#include <iostream>

#include "platform/phone/phone_image.h"
#include "platform/phone/phone_programs.h"
#include "protocol/text_codec.h"
#include "tools/quillet-phone/arguments.h"
#include "tools/quillet-phone/autostart.h"
#include "tools/quillet-phone/commands.h"
#include "tools/quillet-phone/output.h"

namespace quillet::phone_tool {
namespace {

constexpr long kMaxSimSize = 1000;

bool json_flag(const Words& words, std::string_view command) {
    Arguments args(words, {"json"});
    const bool json = args.flag("json");
    if (auto extra = args.take_optional()) {
        throw UsageError(std::string(command) + " takes no argument " + *extra);
    }
    args.finish();
    return json;
}

std::string_view address_type_name(int type) {
    switch (type) {
        case 1:
            return "international";
        case 2:
            return "national";
        default:
            return "unknown";
    }
}

void sim_add(Arguments& args, phone::PhoneStore& store) {
    const int size = store.sim_size();
    if (size == 0)
        throw UsageError("the phone has no SIM card (sim size 0)");
    const long slot = parse_number(args.required("slot"), 1, size, "--slot");
    const std::string name = args.required("name");
    const std::string number = args.required("number");
    args.finish();
    store.set_sim_entry({static_cast<int>(slot), from_utf8(name), from_utf8(number)});
    std::cout << "SIM slot " << slot << " set\n";
}

void sim_list(Arguments& args, phone::PhoneStore& store) {
    const bool json = args.flag("json");
    args.finish();
    const auto entries = store.sim_entries();
    if (json) {
        std::vector<JsonObject> objects;
        for (const phone::SimEntry& e : entries) {
            objects.push_back(
                JsonObject().number("slot", e.slot).text("name", e.name).text("number", e.number));
        }
        std::cout << json_array(objects);
        return;
    }
    std::cout << "SIM of " << store.sim_size() << " slots\n";
    for (const phone::SimEntry& e : entries) {
        std::cout << e.slot << "  " << to_utf8(e.name) << "  " << to_utf8(e.number) << "\n";
    }
}

}  // namespace

std::filesystem::path tool_image() {
    return phone::image_folder();
}

phone::PhoneStore open_image() {
    const auto image = tool_image();
    if (!phone::image_exists(image)) {
        throw phone::PhoneDbError("no phone image at " + image.string() +
                                  " (make one with: quillet-phone init)");
    }
    return phone::PhoneStore(image);
}

void run_plug(const Words& words, bool plug) {
    Arguments args(words, {});
    args.finish();
    {
        phone::PhoneStore store = open_image();
        store.set_plugged(plug);
    }
    // The link to the desktop ends with the cable: the image now refuses
    // new links, and the agents still connected end here.
    if (!plug)
        phone::end_programs_on(tool_image());
    std::cout << (plug ? "plugged in\n" : "unplugged\n");
    if (plug)
        start_autostart_programs();
}

void run_sim(const Words& words) {
    Arguments args(words, {"json"});
    const std::string what = args.take("sim command (add, size or list)");
    phone::PhoneStore store = open_image();
    if (what == "add")
        return sim_add(args, store);
    if (what == "list")
        return sim_list(args, store);
    if (what != "size")
        throw UsageError("unknown sim command " + what);
    const long size = parse_number(args.take("SIM size"), 0, kMaxSimSize, "the SIM size");
    args.finish();
    store.set_sim_size(static_cast<int>(size));
    std::cout << "SIM size " << size << (size == 0 ? " (no SIM card)" : "") << "\n";
}

void run_contact(const Words& words) {
    Arguments args(words, {"json"});
    const std::string what = args.take("contact command (add or list)");
    if (what == "add") {
        phone::PhoneContact c;
        c.first_name = from_utf8(args.required("first"));
        c.last_name = from_utf8(args.required("last"));
        c.mobile = from_utf8(args.option("number").value_or(""));
        c.other_numbers = from_utf8(args.option("other").value_or(""));
        args.finish();
        phone::PhoneStore store = open_image();
        store.add_contact(c);
        std::cout << "contact added\n";
        return;
    }
    if (what != "list")
        throw UsageError("unknown contact command " + what);
    const bool json = args.flag("json");
    args.finish();
    phone::PhoneStore store = open_image();
    const auto contacts = store.contacts();
    if (json) {
        std::vector<JsonObject> objects;
        for (const phone::PhoneContact& c : contacts) {
            objects.push_back(JsonObject()
                                  .text("first", c.first_name)
                                  .text("last", c.last_name)
                                  .text("number", c.mobile)
                                  .text("other", c.other_numbers));
        }
        std::cout << json_array(objects);
        return;
    }
    for (const phone::PhoneContact& c : contacts) {
        std::cout << to_utf8(c.first_name) << " " << to_utf8(c.last_name) << "  "
                  << (c.mobile.empty() ? "(no number)" : to_utf8(c.mobile)) << "\n";
    }
}

void run_outbox(const Words& words) {
    const bool json = json_flag(words, "outbox");
    phone::PhoneStore store = open_image();
    const auto submissions = store.submissions();
    if (json) {
        std::vector<JsonObject> objects;
        for (const phone::SmsSubmission& s : submissions) {
            objects.push_back(JsonObject()
                                  .text("address", s.address)
                                  .text("address_type", address_type_name(s.address_type))
                                  .number("class", s.message_class)
                                  .text("text", s.text)
                                  .number("data_size", s.data_size)
                                  .text("time", iso_time(s.submitted_at)));
        }
        std::cout << json_array(objects);
        return;
    }
    for (const phone::SmsSubmission& s : submissions) {
        std::cout << iso_time(s.submitted_at) << "  to " << to_utf8(s.address) << " ("
                  << address_type_name(s.address_type) << ", class " << s.message_class
                  << "): " << to_utf8(s.text) << "\n";
    }
}

void run_refuse(const Words& words) {
    Arguments args(words, {});
    const std::string state = args.take("on or off");
    args.finish();
    if (state != "on" && state != "off")
        throw UsageError("refuse takes on or off, not " + state);
    phone::PhoneStore store = open_image();
    store.set_sms_refusing(state == "on");
    std::cout << (state == "on" ? "the SMS service refuses every message\n"
                                : "the SMS service works\n");
}

void run_screen(const Words& words) {
    const bool json = json_flag(words, "screen");
    phone::PhoneStore store = open_image();
    const auto shown = store.screen();
    if (json) {
        std::vector<JsonObject> objects;
        for (const phone::ScreenMessage& m : shown) {
            objects.push_back(JsonObject()
                                  .text("text", m.text)
                                  .text("caption", m.caption)
                                  .number("style", m.style)
                                  .text("time", iso_time(m.shown_at)));
        }
        std::cout << json_array(objects);
        return;
    }
    for (const phone::ScreenMessage& m : shown) {
        std::cout << iso_time(m.shown_at) << "  [" << to_utf8(m.caption) << "] " << to_utf8(m.text)
                  << "\n";
    }
}

}  // namespace quillet::phone_tool
