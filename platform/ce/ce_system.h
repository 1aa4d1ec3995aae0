// The phone's system calls the agent makes besides its stores: sockets
// start-up, name lookup of the desktop, sleeping, debug output and message
// boxes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ce/ce_types.h"

namespace quillet::ce {

// The host name under which the phone's desktop link knows the connected PC.
inline constexpr const char* kDesktopHostName = "PPP_PEER";

inline constexpr uint16_t MAKEWORD(uint8_t low, uint8_t high) {
    return static_cast<uint16_t>(low | (high << 8));
}
// Socket start-up; 0 on success. Versions 1.0 and up are offered.
int WSAStartup(uint16_t version);
int WSACleanup();

struct HostEntry {
    std::string name;
    std::vector<uint32_t> addresses;  // IPv4, host byte order
};
// "PPP_PEER" (the desktop, over the phone's link) and "localhost" resolve to
// 127.0.0.1; any other name fails.
bool gethostbyname(std::string_view name, HostEntry& entry);

void Sleep(DWORD milliseconds);

// Appends the text to debug.log in the phone image (UTF-8).
void OutputDebugStringW(std::u16string_view text);

inline constexpr UINT MB_OK = 0;
inline constexpr int IDOK = 1;
// Shows a message box on the phone's screen. The emulated phone records it
// in the image and dismisses it at once: returns IDOK.
int MessageBoxW(void* owner, std::u16string_view text, std::u16string_view caption, UINT type);

}  // namespace quillet::ce
