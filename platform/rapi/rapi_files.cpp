// Files and folders on the phone: the image's fs/ folder.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <iterator>
#include <utility>

#include "platform/phone/phone_image.h"
#include "platform/rapi/rapi.h"
#include "platform/rapi/rapi_internal.h"
#include "protocol/text_codec.h"

namespace quillet::rapi {
namespace fs = std::filesystem;

namespace detail {

namespace {
thread_local uint32_t t_last_error = ERROR_SUCCESS;
}

void set_last_error(uint32_t error) {
    t_last_error = error;
}

uint32_t error_from_errno(int err) {
    switch (err) {
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
            return ERROR_ACCESS_DENIED;
        case ETXTBSY:
        case EBUSY:
            return ERROR_SHARING_VIOLATION;
        case EEXIST:
            return ERROR_ALREADY_EXISTS;
        case ENOSPC:
        case EDQUOT:
            return ERROR_DISK_FULL;
        case ENAMETOOLONG:
            return ERROR_INVALID_NAME;
        default:
            return ERROR_WRITE_FAULT;
    }
}

bool phone_ready() {
    if (phone::is_plugged(phone::image_folder()))
        return true;
    set_last_error(ERROR_NOT_READY);
    return false;
}

std::optional<fs::path> host_path(std::u16string_view device_path) {
    if (device_path.empty() || (device_path[0] != u'\\' && device_path[0] != u'/')) {
        return std::nullopt;
    }
    fs::path out = phone::fs_root(phone::image_folder());
    std::u16string_view rest = device_path;
    while (!rest.empty()) {
        const size_t sep = rest.find_first_of(u"\\/");
        const std::u16string_view part = rest.substr(0, sep);
        rest = sep == std::u16string_view::npos ? std::u16string_view() : rest.substr(sep + 1);
        if (part.empty())
            continue;
        if (part == u"." || part == u".." || part.find(u'\0') != std::u16string_view::npos) {
            return std::nullopt;
        }
        out /= to_utf8(part);
    }
    return out;
}

std::optional<DevicePlace> device_place(std::u16string_view device_path) {
    const auto host = host_path(device_path);
    if (!host || host->filename().empty()) {
        set_last_error(ERROR_INVALID_NAME);
        return std::nullopt;
    }
    const fs::path root = phone::fs_root(phone::image_folder());
    CeHandle folder(::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    // host_path built the path from the root, part by part.
    const fs::path inside = host->lexically_relative(root);
    for (auto part = inside.begin(); folder.valid() && std::next(part) != inside.end(); ++part)
        folder = CeHandle(
            ::openat(folder.fd(), part->c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.valid()) {
        // A link in place of a folder reads as no such folder.
        set_last_error(errno == ENOENT || errno == ENOTDIR || errno == ELOOP
                           ? ERROR_PATH_NOT_FOUND
                           : error_from_errno(errno));
        return std::nullopt;
    }
    return DevicePlace{std::move(folder), host->filename().string()};
}

}  // namespace detail

using detail::set_last_error;

uint32_t CeGetLastError() {
    return detail::t_last_error;
}

CeHandle::~CeHandle() {
    close();
}

CeHandle::CeHandle(CeHandle&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

CeHandle& CeHandle::operator=(CeHandle&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

bool CeHandle::close() {
    if (fd_ < 0)
        return false;
    return ::close(std::exchange(fd_, -1)) == 0;
}

uint32_t CeGetTempPath(uint32_t max_chars, std::u16string& path) {
    if (!detail::phone_ready())
        return 0;
    static constexpr std::u16string_view kTemp = u"\\Temp\\";
    // A phone always has its temporary folder; a fresh image may not yet.
    if (!CeCreateDirectory(u"\\Temp") && CeGetLastError() != ERROR_ALREADY_EXISTS)
        return 0;
    const auto length = static_cast<uint32_t>(kTemp.size());
    if (length >= max_chars)
        return length + 1;
    path = kTemp;
    return length;
}

uint32_t CeGetFileAttributes(std::u16string_view path) {
    if (!detail::phone_ready())
        return INVALID_FILE_ATTRIBUTES;
    const auto place = detail::device_place(path);
    if (!place)
        return INVALID_FILE_ATTRIBUTES;
    struct stat st {};
    if (::fstatat(place->folder.fd(), place->name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        set_last_error(detail::error_from_errno(errno));
        return INVALID_FILE_ATTRIBUTES;
    }
    return S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

bool CeCreateDirectory(std::u16string_view path) {
    if (!detail::phone_ready())
        return false;
    const auto place = detail::device_place(path);
    if (!place)
        return false;
    if (::mkdirat(place->folder.fd(), place->name.c_str(), 0755) != 0) {
        set_last_error(errno == ENOENT ? ERROR_PATH_NOT_FOUND : detail::error_from_errno(errno));
        return false;
    }
    return true;
}

static int open_flags(uint32_t access, uint32_t creation) {
    // A link in the phone's file system never leads a write onto the host's files.
    int flags = O_CLOEXEC | O_NOFOLLOW;
    const bool read = (access & GENERIC_READ) != 0;
    const bool write = (access & GENERIC_WRITE) != 0;
    flags |= read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    switch (creation) {
        case CREATE_NEW:
            return flags | O_CREAT | O_EXCL;
        case CREATE_ALWAYS:
            return flags | O_CREAT | O_TRUNC;
        case OPEN_EXISTING:
            return flags;
        case OPEN_ALWAYS:
            return flags | O_CREAT;
        case TRUNCATE_EXISTING:
            return flags | O_TRUNC;
        default:
            return -1;
    }
}

CeHandle CeCreateFile(std::u16string_view path, uint32_t access, uint32_t /*share*/,
                      uint32_t creation, uint32_t /*attributes*/) {
    if (!detail::phone_ready())
        return CeHandle();
    const int flags = open_flags(access, creation);
    if (flags < 0) {
        set_last_error(ERROR_INVALID_PARAMETER);
        return CeHandle();
    }
    const auto place = detail::device_place(path);
    if (!place)
        return CeHandle();
    // The phone has no permission bits: every file may be started.
    CeHandle file(::openat(place->folder.fd(), place->name.c_str(), flags, 0755));
    if (!file.valid()) {
        set_last_error(errno == ENOENT && (flags & O_CREAT) ? ERROR_PATH_NOT_FOUND
                                                            : detail::error_from_errno(errno));
    }
    return file;
}

bool CeWriteFile(CeHandle& file, std::span<const uint8_t> bytes, uint32_t* written) {
    if (written)
        *written = 0;
    if (!file.valid()) {
        set_last_error(ERROR_INVALID_HANDLE);
        return false;
    }
    if (!detail::phone_ready())
        return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(file.fd(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            set_last_error(n == 0 ? ERROR_DISK_FULL : detail::error_from_errno(errno));
            if (written)
                *written = static_cast<uint32_t>(done);
            return false;
        }
        done += static_cast<size_t>(n);
    }
    if (written)
        *written = static_cast<uint32_t>(done);
    return true;
}

bool CeCloseHandle(CeHandle& file) {
    if (file.close())
        return true;
    set_last_error(ERROR_INVALID_HANDLE);
    return false;
}

}  // namespace quillet::rapi
