// Where the emulated phone lives and what it is made of.
//
// A phone is a folder, the phone image: "phone.db" (SQLite, see phone_db.h)
// and "fs/", the phone's own file system ("\Temp\" is fs/Temp/). The platform
// root holds the phone that is plugged in ("phone/") and the emulated
// registry. Only the platform layers and the phone tool read the variables
// named here; the programs themselves never do.
#pragma once

#include <filesystem>

namespace quillet::phone {

// The desktop's emulated remote API starts the agent with this variable
// naming the image folder; the agent's platform layer uses it when set,
// else image_folder().
inline constexpr const char* kPhoneImageEnv = "QUILLET_PHONE_IMAGE";
inline constexpr const char* kPlatformRootEnv = "QUILLET_PLATFORM_ROOT";
inline constexpr const char* kDatabaseName = "phone.db";

// $QUILLET_PLATFORM_ROOT, else $XDG_DATA_HOME/quillet-platform (default
// ~/.local/share/quillet-platform). Not created here.
std::filesystem::path platform_root();
// platform_root()/"phone": the phone that is plugged in.
std::filesystem::path image_folder();
// $QUILLET_PHONE_IMAGE when set and not empty, else image_folder(): the
// phone the phone services on the device side work on.
std::filesystem::path device_image();

std::filesystem::path database_path(const std::filesystem::path& image);
// True when image/phone.db is there.
bool image_exists(const std::filesystem::path& image);
// True when the image exists, can be read and says it is plugged in. Never
// throws: a damaged image counts as not plugged.
bool is_plugged(const std::filesystem::path& image);
// image/"fs": the phone's file system.
std::filesystem::path fs_root(const std::filesystem::path& image);

}  // namespace quillet::phone
