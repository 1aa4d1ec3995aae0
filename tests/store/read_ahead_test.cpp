// The file reader that runs ahead of the box decoding, on a real file.
#include "desktop/store/read_ahead.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <random>

#include "desktop/store/unique_fd.h"
#include "store_test_support.h"

namespace quillet {
namespace {
using namespace quillet::test;

std::string random_bytes(size_t size) {
    std::mt19937 rng(7);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(rng());
    return bytes;
}

// Several pieces' worth, asked for in steps that end inside pieces, on piece
// borders and past the end.
TEST(ReadAheadTest, EveryByteArrivesInPlaceWhateverIsAskedFor) {
    TempFolder dir;
    const std::string bytes = random_bytes(1'000'003);
    write_file(dir.path() / "f", bytes);
    const UniqueFd fd = open_for_reading(dir.path() / "f");
    std::vector<uint8_t> dest(bytes.size());
    ReadAhead ahead(fd.get(), dest.data(), dest.size());
    size_t arrived = 0;
    for (size_t end : {size_t{1}, size_t{70}, size_t{262'144}, size_t{262'145}, size_t{999'999}}) {
        arrived = ahead.wait_for(end);
        EXPECT_GE(arrived, end);
    }
    EXPECT_EQ(ahead.wait_for(dest.size() + 10), dest.size());
    EXPECT_TRUE(ahead.error().empty());
    EXPECT_EQ(std::string(dest.begin(), dest.end()), bytes);
}

// Ends that the file cannot give: a read error, a file shorter than said, and
// a reader dropped early (its thread must stop, not write on).
TEST(ReadAheadTest, EndsCleanlyOnErrorsShortFilesAndEarlyStops) {
    TempFolder dir;
    {
        const UniqueFd folder = open_for_reading(dir.path());  // reading a folder fails
        std::vector<uint8_t> dest(100);
        ReadAhead ahead(folder.get(), dest.data(), dest.size());
        EXPECT_EQ(ahead.wait_for(1), 0u);
        EXPECT_FALSE(ahead.error().empty());
    }
    write_file(dir.path() / "short", "12345");
    {
        const UniqueFd fd = open_for_reading(dir.path() / "short");
        std::vector<uint8_t> dest(50);
        ReadAhead ahead(fd.get(), dest.data(), dest.size());
        EXPECT_EQ(ahead.wait_for(50), 5u);
        EXPECT_TRUE(ahead.error().empty());
        EXPECT_EQ(std::string(dest.begin(), dest.begin() + 5), "12345");
    }
    write_file(dir.path() / "big", random_bytes(8'000'000));
    for (int round = 0; round < 20; ++round) {
        const UniqueFd fd = open_for_reading(dir.path() / "big");
        auto dest = std::make_unique<std::vector<uint8_t>>(8'000'000);
        auto ahead = std::make_unique<ReadAhead>(fd.get(), dest->data(), dest->size());
        EXPECT_GE(ahead->wait_for(static_cast<size_t>(round)), static_cast<size_t>(round));
        ahead.reset();  // joins: the buffer may go now
        dest.reset();
    }
}

}  // namespace
}  // namespace quillet
