// Shared by the remote API's files: device paths, the phone's readiness and
// the calling thread's last error.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/rapi/rapi.h"

namespace quillet::rapi::detail {

// The host path under the image's fs/ folder of an absolute device path
// ("\Temp\quillet"). Either slash separates folders. Nothing for a relative
// path or one with "." or ".." parts, so no path leaves the phone's files.
std::optional<std::filesystem::path> host_path(std::u16string_view device_path);

// Where a device path lies: its folder, opened from the image's fs/ folder
// one part at a time without following a link (a link in any part, the
// middle folders too, is refused), and the last part's name. So nothing
// done there leaves the phone's files, whatever links the image holds.
// Nothing, with the last error set, for a path host_path refuses or one
// that cannot be walked.
struct DevicePlace {
    CeHandle folder;
    std::string name;
};
std::optional<DevicePlace> device_place(std::u16string_view device_path);

// True while a phone image exists and is plugged in; otherwise records
// ERROR_NOT_READY.
bool phone_ready();

void set_last_error(uint32_t error);
// The error number that matches an errno value.
uint32_t error_from_errno(int err);

}  // namespace quillet::rapi::detail
