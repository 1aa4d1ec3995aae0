// The Android backup reader on any bytes: the filter gives the same
// document whatever the pieces, the reader ends (an error or messages), and
// every message it hands on has a time the boxes can hold.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "desktop/formats/android_import.h"
#include "desktop/formats/xml_input_filter.h"
#include "fuzz/checking_sink.h"

namespace {

using quillet::fuzz::CheckingSink;

struct Discarding : quillet::AttachmentSink {
    std::optional<std::string> begin(std::string_view) override { return "a"; }
    bool write(std::string_view) override { return true; }
    bool end(bool) override { return true; }
};

std::string filtered(std::string_view in, size_t piece) {
    quillet::import::PartSpool spool;
    quillet::import::XmlInputFilter filter(spool);
    std::string out;
    for (size_t i = 0; i < in.size() || i == 0; i += piece) {
        if (!filter.feed(in.substr(std::min(i, in.size()), piece), i + piece >= in.size(), out))
            return "refused: " + filter.error();
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view in(reinterpret_cast<const char*>(data), size);
    const size_t piece = size == 0 ? 1 : data[0] % 7 + 1;
    if (filtered(in, in.size() + 1) != filtered(in, piece))
        std::abort();
    static const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("android-fuzz-" + std::to_string(::getpid()));
    std::ofstream(path, std::ios::binary).write(in.data(), static_cast<std::streamsize>(size));
    CheckingSink sink;
    Discarding attachments;
    (void)quillet::read_android_backup(path, sink, attachments);
    return 0;
}
