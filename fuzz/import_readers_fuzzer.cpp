// The Gammu and vCard readers and the format detection on any bytes: each
// ends, and what the readers hand on is sound (times the boxes can hold,
// no more cards than the bound).
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "desktop/formats/gammu_import.h"
#include "desktop/formats/import_text.h"
#include "fuzz/checking_sink.h"

namespace {

using quillet::fuzz::CheckingSink;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("import-fuzz-" + std::to_string(::getpid()));
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    (void)quillet::detect_format(path);
    CheckingSink sink;
    (void)quillet::read_gammu_backup(path, sink);
    std::vector<quillet::ImportedContact> contacts;
    (void)quillet::read_vcards(path, contacts);
    if (contacts.size() > quillet::kMaxImportedContacts)
        std::abort();
    return 0;
}
