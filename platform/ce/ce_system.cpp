#include "platform/ce/ce_system.h"

#include <chrono>
#include <fstream>
#include <thread>

#include "platform/phone/device_store.h"
#include "platform/phone/phone_image.h"
#include "protocol/text_codec.h"

namespace quillet::ce {

int WSAStartup(uint16_t version) {
    return version >= MAKEWORD(1, 0) ? 0 : -1;
}

int WSACleanup() {
    return 0;
}

bool gethostbyname(std::string_view name, HostEntry& entry) {
    if (name != kDesktopHostName && name != "localhost")
        return false;
    entry.name = std::string(name);
    entry.addresses = {0x7F000001};
    return true;
}

void Sleep(DWORD milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void OutputDebugStringW(std::u16string_view text) {
    const auto image = phone::device_image();
    std::error_code ec;
    if (!std::filesystem::is_directory(image, ec))
        return;
    std::ofstream log(image / "debug.log", std::ios::app | std::ios::binary);
    log << to_utf8(text);
}

int MessageBoxW(void* /*owner*/, std::u16string_view text, std::u16string_view caption, UINT type) {
    try {
        phone::device_store()->add_screen_message(
            {std::u16string(text), std::u16string(caption), type, filetime_now()});
    } catch (const phone::PhoneDbError&) {
        // A phone without a usable image still dismisses the box.
    }
    return IDOK;
}

}  // namespace quillet::ce
