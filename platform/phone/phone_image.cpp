#include "platform/phone/phone_image.h"

#include <cstdlib>

#include "platform/phone/phone_store.h"

namespace quillet::phone {
namespace {

std::filesystem::path from_env(const char* name) {
    const char* v = std::getenv(name);
    if (v == nullptr || *v == '\0')
        return {};
    return std::filesystem::path(v);
}

}  // namespace

std::filesystem::path platform_root() {
    if (auto root = from_env(kPlatformRootEnv); !root.empty())
        return root;
    if (auto data = from_env("XDG_DATA_HOME"); !data.empty())
        return data / "quillet-platform";
    std::filesystem::path home = from_env("HOME");
    if (home.empty())
        home = "/tmp";
    return home / ".local" / "share" / "quillet-platform";
}

std::filesystem::path image_folder() {
    return platform_root() / "phone";
}

std::filesystem::path device_image() {
    if (auto image = from_env(kPhoneImageEnv); !image.empty())
        return image;
    return image_folder();
}

std::filesystem::path database_path(const std::filesystem::path& image) {
    return image / kDatabaseName;
}

bool image_exists(const std::filesystem::path& image) {
    std::error_code ec;
    return std::filesystem::is_regular_file(database_path(image), ec);
}

bool is_plugged(const std::filesystem::path& image) {
    if (!image_exists(image))
        return false;
    try {
        PhoneStore store(image);
        return store.plugged();
    } catch (const PhoneDbError&) {
        return false;
    }
}

std::filesystem::path fs_root(const std::filesystem::path& image) {
    return image / "fs";
}

}  // namespace quillet::phone
