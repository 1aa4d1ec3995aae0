// A test desktop for the agent: a temporary phone image, the real
// phonelet.exe started against it, and a listening socket on a free
// loopback port that takes its connection.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/phone/phone_store.h"
#include "protocol/link_socket.h"
#include "protocol/wire_format.h"

namespace quillet::testing {

// A folder under the system's temporary folder, removed with everything in
// it when the object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// A child process that is killed, if still running, when the object goes.
class ChildProcess {
  public:
    // Starts `program` with `args` and the current environment plus `env`
    // ("NAME=value" entries, which win over inherited ones).
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::vector<std::string>& env);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The exit code once the process ended within `timeout`; none when it
    // is still running.
    std::optional<int> wait(std::chrono::milliseconds timeout);

  private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

struct ToolResult {
    int exit_code = -1;
    std::string out;
    std::string err;
};

// Runs the real quillet-phone with the platform root `root`.
ToolResult run_tool(const std::filesystem::path& root, const std::vector<std::string>& args);

// The fixture's phone and desktop.
class TestDesktop {
  public:
    // Makes an empty phone image (plugged in) under a fresh platform root.
    TestDesktop();
    ~TestDesktop();

    const std::filesystem::path& root() const { return root_; }
    const std::filesystem::path& image() const { return image_; }
    phone::PhoneStore store() { return phone::PhoneStore(image_); }

    // Starts phonelet.exe against the image (or `image` when given) and
    // accepts its connection; false when it did not connect within 10 s.
    bool start_agent(std::optional<std::filesystem::path> image = std::nullopt);
    // The agent's exit code once it ended within `timeout`.
    std::optional<int> agent_exit(std::chrono::milliseconds timeout);

    void send(std::span<const uint8_t> bytes);
    void send_block(CommandCode code, int32_t index = 0);
    void send_block(const CommandBlock& block);
    // Exactly n bytes of reply; fails the test (and returns what came) when
    // the connection ends first.
    std::vector<uint8_t> read(size_t n);
    int32_t read_int32();
    // True when nothing more comes: the agent closed the connection.
    bool connection_closed();
    // True when no byte arrives within `wait`.
    bool silent_for(std::chrono::milliseconds wait);
    void close_connection() { link_.close(); }

    // count, then count (size, record) pairs; the raw bytes of each record.
    std::vector<std::vector<uint8_t>> read_folder_reply();
    std::vector<ContactWireRecord> read_contacts_until_end_marker();

  private:
    TempDir temp_;
    std::filesystem::path root_;
    std::filesystem::path image_;
    LinkSocket listener_;
    uint16_t port_ = 0;
    LinkSocket link_;
    std::optional<ChildProcess> agent_;
};

// A text message row for the store.
phone::Message text_message(std::u16string subject, FileTime time, std::u16string sender = u"",
                            std::u16string cls = u"IPM.SMSText");
// The bytes a record with these fields travels as.
std::vector<uint8_t> record_bytes(std::string_view address, FileTime time,
                                  std::span<const uint8_t> entry_id, uint32_t flags,
                                  std::u16string_view text);

}  // namespace quillet::testing
