// The emulated remote API over a phone image made with the real phone tool.
#include "platform/rapi/rapi.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <future>
#include <iterator>

#include "tests/link/link_test_support.h"

namespace quillet::rapi {
namespace {

namespace fs = std::filesystem;
using test::file_text;
using test::LinkWorld;

// Writes `text` as a program file on the phone.
bool put_file(std::u16string_view path, std::string_view text) {
    CeHandle f =
        CeCreateFile(path, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
    if (!f.valid())
        return false;
    uint32_t written = 0;
    const auto bytes = std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    return CeWriteFile(f, bytes, &written) && written == text.size() && CeCloseHandle(f);
}

bool opens_within(uint32_t ms) {
    RAPIINIT init;
    EXPECT_EQ(CeRapiInitEx(init), S_OK);
    const bool signalled = WaitForSingleObject(init.heRapiInit, ms) == WAIT_OBJECT_0;
    CeRapiUninit();
    return signalled;
}

TEST(RemoteApi, ConnectionOpensOnlyWhileAPhoneIsPluggedIn) {
    LinkWorld world;
    EXPECT_FALSE(opens_within(100));  // no phone image at all
    world.phone_ok({"init"});
    EXPECT_TRUE(opens_within(100));
    world.phone_ok({"unplug"});
    EXPECT_FALSE(opens_within(100));
}

TEST(RemoteApi, WaitEndsWhenThePhoneIsPluggedInMeanwhile) {
    LinkWorld world;
    world.phone_ok({"init"});
    world.phone_ok({"unplug"});
    RAPIINIT init;
    ASSERT_EQ(CeRapiInitEx(init), S_OK);
    auto waited =
        std::async(std::launch::async, [&] { return WaitForSingleObject(init.heRapiInit, 20000); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    world.phone_ok({"plug"});
    EXPECT_EQ(waited.get(), WAIT_OBJECT_0);
    EXPECT_FALSE(failed(init.hrRapiInit));
}

TEST(RemoteApi, RecordOfTheWrongSizeIsRefused) {
    RAPIINIT init;
    init.cbSize = 16;
    EXPECT_EQ(CeRapiInitEx(init), E_INVALIDARG);
    EXPECT_EQ(WaitForSingleObject(init.heRapiInit, 10), WAIT_TIMEOUT);
}

TEST(RemoteApi, FoldersAndFilesLandInTheImage) {
    LinkWorld world;
    world.phone_ok({"init"});
    std::u16string temp;
    ASSERT_EQ(CeGetTempPath(255, temp), 6u);
    EXPECT_EQ(temp, u"\\Temp\\");
    std::u16string small;
    EXPECT_EQ(CeGetTempPath(3, small), 7u);
    EXPECT_TRUE(small.empty());

    EXPECT_EQ(CeGetFileAttributes(u"\\Temp\\quillet"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(CeGetLastError(), ERROR_FILE_NOT_FOUND);
    ASSERT_TRUE(CeCreateDirectory(u"\\Temp\\quillet"));
    EXPECT_EQ(CeGetFileAttributes(u"\\Temp\\quillet"), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(CeCreateDirectory(u"\\Temp\\quillet"));
    EXPECT_EQ(CeGetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CeCreateDirectory(u"\\No\\Such\\Parent"));
    EXPECT_EQ(CeGetLastError(), ERROR_PATH_NOT_FOUND);

    ASSERT_TRUE(put_file(u"\\Temp\\quillet\\a.bin", "first, longer content"));
    ASSERT_TRUE(put_file(u"\\Temp\\quillet\\a.bin", "second"));  // replaced whole
    EXPECT_EQ(file_text(world.image() / "fs/Temp/quillet/a.bin"), "second");
    EXPECT_EQ(CeGetFileAttributes(u"\\Temp\\quillet\\a.bin"), FILE_ATTRIBUTE_NORMAL);

    CeHandle again = CeCreateFile(u"\\Temp\\quillet\\a.bin", GENERIC_WRITE, 0, CREATE_NEW, 0);
    EXPECT_FALSE(again.valid());
    EXPECT_EQ(CeGetLastError(), ERROR_ALREADY_EXISTS);
}

TEST(RemoteApi, PathsCannotLeaveThePhone) {
    LinkWorld world;
    world.phone_ok({"init"});
    for (std::u16string_view bad : {u"\\..\\outside.txt", u"\\Temp\\..\\..\\outside.txt",
                                    u"relative.txt", u"\\Temp\\.\\x", u""}) {
        CeHandle f = CeCreateFile(bad, GENERIC_WRITE, 0, CREATE_ALWAYS, 0);
        EXPECT_FALSE(f.valid());
        EXPECT_EQ(CeGetLastError(), ERROR_INVALID_NAME);
        EXPECT_FALSE(CeCreateDirectory(bad));
    }
    EXPECT_FALSE(fs::exists(world.image() / "outside.txt"));
    EXPECT_FALSE(fs::exists(world.folder() / "root" / "outside.txt"));
}

TEST(RemoteApi, UnpluggedPhoneRefusesEveryCall) {
    LinkWorld world;
    world.phone_ok({"init"});
    world.phone_ok({"unplug"});
    std::u16string temp;
    EXPECT_EQ(CeGetTempPath(255, temp), 0u);
    EXPECT_EQ(CeGetLastError(), ERROR_NOT_READY);
    EXPECT_FALSE(CeCreateFile(u"\\x.txt", GENERIC_WRITE, 0, CREATE_ALWAYS, 0).valid());
    EXPECT_EQ(CeGetLastError(), ERROR_NOT_READY);
    PROCESS_INFORMATION info;
    EXPECT_FALSE(CeCreateProcess(u"\\x.txt", u"", &info));
    EXPECT_EQ(CeGetLastError(), ERROR_NOT_READY);
}

TEST(RemoteApi, ProgramStartsWithThePhoneImageAndIsCollectedWhenItEnds) {
    LinkWorld world;
    world.phone_ok({"init"});
    ::setenv("QUILLET_PHONE_IMAGE", "/somewhere/else", 1);  // replaced for the program
    ASSERT_TRUE(
        put_file(u"\\report.sh",
                 "#!/bin/sh\necho \"$QUILLET_PHONE_IMAGE $QUILLET_LINK_PORT\" > \"$1.tmp\"\n"
                 "mv \"$1.tmp\" \"$1\"\n"));
    const fs::path out = world.folder() / "report.txt";
    PROCESS_INFORMATION info;
    ASSERT_TRUE(CeCreateProcess(u"\\report.sh", out.u16string(), &info));
    ::unsetenv("QUILLET_PHONE_IMAGE");
    ASSERT_GT(info.dwProcessId, 0);
    ASSERT_TRUE(test::wait_until([&] { return fs::exists(out); }));
    EXPECT_EQ(file_text(out), world.image().string() + " " + std::to_string(world.port()) + "\n");

    // Once ended, the next call collects it: no zombie is left behind.
    EXPECT_TRUE(test::wait_until([&] {
        CeRapiUninit();
        return ::kill(info.dwProcessId, 0) != 0 && errno == ESRCH;
    }));
}

TEST(RemoteApi, MissingProgramDoesNotStart) {
    LinkWorld world;
    world.phone_ok({"init"});
    PROCESS_INFORMATION info;
    EXPECT_FALSE(CeCreateProcess(u"\\Temp\\quillet\\phonelet.exe", u"", &info));
    EXPECT_EQ(CeGetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(RemoteApi, RunningProgramCannotBeReplaced) {
    LinkWorld world;
    world.phone_ok({"init"});
    const std::string sleeper = file_text("/bin/sleep");
    ASSERT_FALSE(sleeper.empty());
    ASSERT_TRUE(put_file(u"\\sleeper", sleeper));
    PROCESS_INFORMATION info;
    ASSERT_TRUE(CeCreateProcess(u"\\sleeper", u"30", &info));
    ASSERT_TRUE(test::wait_until([&] {
        std::error_code ec;
        const fs::path exe =
            fs::read_symlink("/proc/" + std::to_string(info.dwProcessId) + "/exe", ec);
        return exe.string().starts_with((world.image() / "fs" / "sleeper").string());
    }));
    CeHandle f = CeCreateFile(u"\\sleeper", GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS, 0);
    EXPECT_FALSE(f.valid());
    EXPECT_EQ(CeGetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(file_text(world.image() / "fs" / "sleeper"), sleeper);
    ::kill(info.dwProcessId, SIGKILL);
}

}  // namespace
}  // namespace quillet::rapi
