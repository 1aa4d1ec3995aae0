// The remote API through which the desktop reaches the phone: open the
// connection, find the phone's temporary folder, create a folder and a file
// there, write it, and start a program on the phone.
//
// Here the phone is the phone image of the platform root (platform/phone):
// device paths such as "\Temp\quillet\phonelet.exe" name files under the
// image's fs/ folder, and a program "on the phone" is a host executable
// started as a child process of the caller with QUILLET_PHONE_IMAGE set to
// the image folder (every other variable passes through).
//
// The calls keep the platform's names, result codes and error numbers; files
// are move-only handles that close themselves. Every call but CeRapiInitEx
// fails with ERROR_NOT_READY while no phone image exists or it is unplugged.
// All calls may be made from any thread.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace quillet::rapi {

using HRESULT = int32_t;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
inline constexpr bool failed(HRESULT hr) {
    return hr < 0;
}

// Error numbers reported by CeGetLastError.
inline constexpr uint32_t ERROR_SUCCESS = 0;
inline constexpr uint32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr uint32_t ERROR_PATH_NOT_FOUND = 3;
inline constexpr uint32_t ERROR_ACCESS_DENIED = 5;
inline constexpr uint32_t ERROR_INVALID_HANDLE = 6;
inline constexpr uint32_t ERROR_NOT_READY = 21;
inline constexpr uint32_t ERROR_WRITE_FAULT = 29;
inline constexpr uint32_t ERROR_SHARING_VIOLATION = 32;
inline constexpr uint32_t ERROR_INVALID_PARAMETER = 87;
inline constexpr uint32_t ERROR_DISK_FULL = 112;
inline constexpr uint32_t ERROR_INVALID_NAME = 123;
inline constexpr uint32_t ERROR_ALREADY_EXISTS = 183;

inline constexpr uint32_t INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;
inline constexpr uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr uint32_t FILE_ATTRIBUTE_NORMAL = 0x80;

inline constexpr uint32_t GENERIC_READ = 0x80000000u;
inline constexpr uint32_t GENERIC_WRITE = 0x40000000u;

inline constexpr uint32_t CREATE_NEW = 1;
inline constexpr uint32_t CREATE_ALWAYS = 2;
inline constexpr uint32_t OPEN_EXISTING = 3;
inline constexpr uint32_t OPEN_ALWAYS = 4;
inline constexpr uint32_t TRUNCATE_EXISTING = 5;

inline constexpr uint32_t WAIT_OBJECT_0 = 0;
inline constexpr uint32_t WAIT_TIMEOUT = 258;

// Signalled once the phone is connected; stays signalled. A default event
// never signals. Copies share one event.
class RapiEvent {
  public:
    RapiEvent() = default;
    bool armed() const { return state_ != nullptr; }

    struct State;  // opaque

  private:
    friend struct RapiEventAccess;
    std::shared_ptr<State> state_;
};

// Waits up to `timeout_ms` for the event: WAIT_OBJECT_0 when it is (or
// becomes) signalled, else WAIT_TIMEOUT.
uint32_t WaitForSingleObject(const RapiEvent& event, uint32_t timeout_ms);

inline constexpr uint32_t kRapiInitSize = 12;

struct RAPIINIT {
    uint32_t cbSize = kRapiInitSize;
    RapiEvent heRapiInit;       // filled by CeRapiInitEx
    HRESULT hrRapiInit = S_OK;  // the connection's result once signalled
};

// Starts opening the connection to the phone and returns at once. The event
// in `init` signals when a phone image exists and is plugged in; until then it
// stays unsignalled, so the caller's wait runs out. E_INVALIDARG when cbSize
// is not kRapiInitSize.
HRESULT CeRapiInitEx(RAPIINIT& init);
// Ends the caller's session. Also collects agents that have ended.
HRESULT CeRapiUninit();

// The error number of the calling thread's last failed call.
uint32_t CeGetLastError();

// A file on the phone. Closes itself when destroyed.
class CeHandle {
  public:
    CeHandle() = default;
    explicit CeHandle(int fd) : fd_(fd) {}
    ~CeHandle();
    CeHandle(CeHandle&& other) noexcept;
    CeHandle& operator=(CeHandle&& other) noexcept;
    CeHandle(const CeHandle&) = delete;
    CeHandle& operator=(const CeHandle&) = delete;

    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    // Closes now; false when the close failed or nothing was open.
    bool close();

  private:
    int fd_ = -1;
};

// Writes the phone's temporary folder ("\Temp\") into `path` and returns its
// length, when it fits in `max_chars`; returns the length needed (and leaves
// `path` alone) when it does not; 0 on failure.
uint32_t CeGetTempPath(uint32_t max_chars, std::u16string& path);
// The attributes of a file or folder, or INVALID_FILE_ATTRIBUTES.
uint32_t CeGetFileAttributes(std::u16string_view path);
// Creates one folder; its parent must exist.
bool CeCreateDirectory(std::u16string_view path);
// Opens or creates a file. `access` is GENERIC_READ and/or GENERIC_WRITE;
// `share` 0 means the file is not shared; `creation` one of CREATE_NEW ..
// TRUNCATE_EXISTING. A program that is running cannot be replaced
// (ERROR_SHARING_VIOLATION). Invalid handle on failure.
CeHandle CeCreateFile(std::u16string_view path, uint32_t access, uint32_t share, uint32_t creation,
                      uint32_t attributes);
// Writes all of `bytes`; `written` receives the count that went out.
bool CeWriteFile(CeHandle& file, std::span<const uint8_t> bytes, uint32_t* written);
bool CeCloseHandle(CeHandle& file);

struct PROCESS_INFORMATION {
    pid_t dwProcessId = 0;
};

// Starts the program file at `path` on the phone and returns at once.
// `command_line`, when not empty, is its one argument. The caller does not
// wait for it; ended programs are collected by later calls.
bool CeCreateProcess(std::u16string_view path, std::u16string_view command_line,
                     PROCESS_INFORMATION* info);

}  // namespace quillet::rapi
