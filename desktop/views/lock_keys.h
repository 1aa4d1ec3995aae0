// The Caps Lock, Num Lock and Scroll Lock states for the status bar's
// indicators, read from the keyboard LEDs the kernel lists under
// /sys/class/leds (readable by every user). Where the machine has none (a
// virtual display), every lock reads as off.
#pragma once

#include <filesystem>

namespace quillet {

struct LockKeys {
    bool caps = false;
    bool num = false;
    bool scroll = false;
    bool operator==(const LockKeys&) const = default;
};

LockKeys read_lock_keys(const std::filesystem::path& leds = "/sys/class/leds");

}  // namespace quillet
