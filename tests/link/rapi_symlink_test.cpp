// The copy onto the emulated phone never follows a symbolic link out of the
// phone's file system onto the host's files.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "platform/rapi/rapi.h"
#include "tests/link/link_test_support.h"

namespace quillet::rapi {
namespace {

namespace fs = std::filesystem;
using test::file_text;
using test::LinkWorld;

TEST(RemoteApiSymlinkTest, AWriteNeverFollowsALinkOntoTheHost) {
    LinkWorld world;
    world.phone_ok({"init"});
    const fs::path host_file = world.folder() / "host-file.txt";
    { std::ofstream(host_file) << "host data"; }
    fs::create_directories(world.image() / "fs/Temp");
    fs::create_symlink(host_file, world.image() / "fs/Temp/agent.exe");
    for (const uint32_t creation : {CREATE_ALWAYS, OPEN_ALWAYS, TRUNCATE_EXISTING, OPEN_EXISTING}) {
        SCOPED_TRACE(creation);
        CeHandle f = CeCreateFile(u"\\Temp\\agent.exe", GENERIC_WRITE, 0, creation, 0);
        EXPECT_FALSE(f.valid());
        EXPECT_NE(CeGetLastError(), 0u);
    }
    EXPECT_EQ(file_text(host_file), "host data");
    EXPECT_TRUE(fs::is_symlink(world.image() / "fs/Temp/agent.exe"));
}

// A link in place of a middle folder ("\\Temp\\quillet" leading to a host
// folder) stops the copy, the folder's making and the start alike.
TEST(RemoteApiSymlinkTest, AMiddleFolderLinkNeverLeadsOntoTheHost) {
    LinkWorld world;
    world.phone_ok({"init"});
    const fs::path host_folder = world.folder() / "host-folder";
    fs::create_directories(host_folder);
    fs::create_directories(world.image() / "fs/Temp");
    fs::create_directory_symlink(host_folder, world.image() / "fs/Temp/quillet");
    CeHandle f = CeCreateFile(u"\\Temp\\quillet\\phonelet.exe", GENERIC_WRITE, 0, CREATE_ALWAYS, 0);
    EXPECT_FALSE(f.valid());
    EXPECT_EQ(CeGetLastError(), static_cast<uint32_t>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(CeCreateDirectory(u"\\Temp\\quillet\\inner"));
    { std::ofstream(host_folder / "tool") << "#!/bin/sh\n"; }
    EXPECT_FALSE(CeCreateProcess(u"\\Temp\\quillet\\tool", u"", nullptr));
    EXPECT_FALSE(fs::exists(host_folder / "phonelet.exe"));
    EXPECT_FALSE(fs::exists(host_folder / "inner"));
}

}  // namespace
}  // namespace quillet::rapi
