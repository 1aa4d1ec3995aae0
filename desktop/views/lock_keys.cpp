#include "lock_keys.h"

#include <fstream>
#include <string>
#include <system_error>

namespace quillet {
namespace fs = std::filesystem;
namespace {

bool ends_with(const std::string& text, std::string_view tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool led_on(const fs::path& led) {
    std::ifstream in(led / "brightness");
    int brightness = 0;
    return (in >> brightness) && brightness > 0;
}

}  // namespace

LockKeys read_lock_keys(const fs::path& leds) {
    LockKeys keys;
    std::error_code ec;
    for (fs::directory_iterator it(leds, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (ends_with(name, "::capslock"))
            keys.caps = keys.caps || led_on(it->path());
        if (ends_with(name, "::numlock"))
            keys.num = keys.num || led_on(it->path());
        if (ends_with(name, "::scrolllock"))
            keys.scroll = keys.scroll || led_on(it->path());
    }
    return keys;
}

}  // namespace quillet
