#include "tests/phonelet/agent_harness.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/phone/phone_image.h"
#include "protocol/byte_order.h"

extern char** environ;

namespace quillet::testing {
namespace {

std::string read_file(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> merged_environment(const std::vector<std::string>& extra) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        const std::string name = entry.substr(0, entry.find('=') + 1);
        const bool overridden = std::any_of(
            extra.begin(), extra.end(), [&](const std::string& x) { return x.starts_with(name); });
        if (!overridden)
            env.push_back(entry);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (std::string& s : strings)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

}  // namespace

TempDir::TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quillet-phone-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::vector<std::string>& env) {
    std::vector<std::string> argv_strings = {program};
    argv_strings.insert(argv_strings.end(), args.begin(), args.end());
    std::vector<std::string> env_strings = merged_environment(env);
    auto argv = pointers(argv_strings);
    auto envp = pointers(env_strings);
    if (posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) {
        pid_ = -1;
        status_ = -1;
    }
}

ChildProcess::~ChildProcess() {
    if (status_ || pid_ < 0)
        return;
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!status_) {
        int status = 0;
        const pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return status_;
}

ToolResult run_tool(const std::filesystem::path& root, const std::vector<std::string>& args) {
    static int counter = 0;
    const auto out_file = root / ("tool-out-" + std::to_string(++counter));
    const auto err_file = root / ("tool-err-" + std::to_string(counter));
    std::filesystem::create_directories(root);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    std::vector<std::string> argv_strings = {QUILLET_PHONE_EXE};
    argv_strings.insert(argv_strings.end(), args.begin(), args.end());
    std::vector<std::string> env_strings =
        merged_environment({std::string(phone::kPlatformRootEnv) + "=" + root.string()});
    auto argv = pointers(argv_strings);
    auto envp = pointers(env_strings);
    pid_t pid = -1;
    ToolResult result;
    if (posix_spawn(&pid, QUILLET_PHONE_EXE, &actions, nullptr, argv.data(), envp.data()) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    result.out = read_file(out_file);
    result.err = read_file(err_file);
    return result;
}

TestDesktop::TestDesktop() : root_(temp_.path() / "root"), image_(root_ / "phone") {
    phone::PhoneStore::create(image_, false);
    listener_ = LinkSocket::listen_loopback(0, 1);
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    getsockname(listener_.fd(), reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
}

TestDesktop::~TestDesktop() {
    link_.close();
    if (agent_)
        agent_->wait(std::chrono::seconds(5));
}

bool TestDesktop::start_agent(std::optional<std::filesystem::path> image) {
    agent_.emplace(PHONELET_EXE, std::vector<std::string>{},
                   std::vector<std::string>{
                       "QUILLET_LINK_PORT=" + std::to_string(port_),
                       std::string(phone::kPlatformRootEnv) + "=" + root_.string(),
                       std::string(phone::kPhoneImageEnv) + "=" + image.value_or(image_).string()});
    link_ = listener_.accept_one(10000);
    if (!link_.valid())
        return false;
    // A reply that never comes fails the test instead of hanging it.
    timeval limit{15, 0};
    setsockopt(link_.fd(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    return true;
}

std::optional<int> TestDesktop::agent_exit(std::chrono::milliseconds timeout) {
    if (!agent_)
        return std::nullopt;
    return agent_->wait(timeout);
}

void TestDesktop::send(std::span<const uint8_t> bytes) {
    EXPECT_TRUE(link_.send_all(bytes));
}

void TestDesktop::send_block(CommandCode code, int32_t index) {
    CommandBlock block = CommandBlock::with_code(code);
    block.index = index;
    send_block(block);
}

void TestDesktop::send_block(const CommandBlock& block) {
    send(block.encode());
}

std::vector<uint8_t> TestDesktop::read(size_t n) {
    std::vector<uint8_t> bytes(n);
    EXPECT_TRUE(link_.receive_exact(bytes)) << "the agent sent fewer than " << n << " bytes";
    return bytes;
}

int32_t TestDesktop::read_int32() {
    return get_i32le(read(4), 0);
}

bool TestDesktop::connection_closed() {
    uint8_t byte = 0;
    return !link_.receive_exact(std::span(&byte, 1));
}

bool TestDesktop::silent_for(std::chrono::milliseconds wait) {
    pollfd p{link_.fd(), POLLIN, 0};
    return ::poll(&p, 1, static_cast<int>(wait.count())) == 0;
}

std::vector<std::vector<uint8_t>> TestDesktop::read_folder_reply() {
    const int32_t count = read_int32();
    EXPECT_GE(count, 0);
    std::vector<std::vector<uint8_t>> records;
    for (int32_t i = 0; i < count && !::testing::Test::HasFailure(); ++i) {
        const int32_t size = read_int32();
        EXPECT_GE(size, 70);
        EXPECT_LE(size, 1 << 20);
        if (size < 70 || size > (1 << 20))
            break;
        records.push_back(read(static_cast<size_t>(size)));
        EXPECT_EQ(get_u32le(records.back(), 0), static_cast<uint32_t>(size));
    }
    return records;
}

std::vector<ContactWireRecord> TestDesktop::read_contacts_until_end_marker() {
    std::vector<ContactWireRecord> records;
    for (int i = 0; i < 10000 && !::testing::Test::HasFailure(); ++i) {
        const auto bytes = read(kContactRecordSize);
        const auto record =
            ContactWireRecord::decode(std::span<const uint8_t, kContactRecordSize>(bytes));
        if (record.is_end_marker())
            return records;
        records.push_back(record);
    }
    ADD_FAILURE() << "no end marker";
    return records;
}

phone::Message text_message(std::u16string subject, FileTime time, std::u16string sender,
                            std::u16string cls) {
    phone::Message m;
    m.message_class = std::move(cls);
    m.subject = std::move(subject);
    m.delivery_time = time;
    m.sender = std::move(sender);
    return m;
}

std::vector<uint8_t> record_bytes(std::string_view address, FileTime time,
                                  std::span<const uint8_t> entry_id, uint32_t flags,
                                  std::u16string_view text) {
    SmsWireRecord r;
    set_text_field(r.address, address);
    r.time = time;
    std::copy_n(entry_id.begin(), std::min(entry_id.size(), kEntryIdSize), r.entry_id.begin());
    r.flags = flags;
    r.text = std::u16string(text);
    return r.encode();
}

}  // namespace quillet::testing
