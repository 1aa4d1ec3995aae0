// load_box's reading of a box file: any bytes must decode without reading
// past them or allocating from their length fields, and what decodes must
// survive a save and a second load unchanged.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "desktop/store/box_file.h"

namespace {

bool same(const quillet::SmsMessage& a, const quillet::SmsMessage& b) {
    return a.text_view() == b.text_view() && a.number() == b.number() && a.time() == b.time() &&
           a.message_class() == b.message_class() && a.read() == b.read() &&
           a.on_phone() == b.on_phone() && a.entry_id() == b.entry_id();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const quillet::DecodedBox box = quillet::decode_box_file(std::span(data, size));
    if (box.version == quillet::BoxFileVersion::Unknown)
        return 0;
    const std::vector<uint8_t> saved =
        quillet::encode_box_file(box.sort_column, box.sort_order, box.messages);
    const quillet::DecodedBox again = quillet::decode_box_file(saved);
    if (!again.damage.empty() || again.messages.size() != box.messages.size())
        std::abort();
    if (again.sort_column != box.sort_column || again.sort_order != box.sort_order)
        std::abort();
    for (size_t i = 0; i < box.messages.size(); ++i) {
        if (!same(box.messages[i], again.messages[i]))
            std::abort();
    }
    return 0;
}
