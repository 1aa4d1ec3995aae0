#include "phonelet/sim_phonebook_reader.h"

#include "protocol/byte_order.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace {

// The NUL-terminated UTF-16 text at `offset`, at most `units` units.
std::u16string entry_text(std::span<const uint8_t> entry, size_t offset, size_t units) {
    std::u16string text;
    for (size_t i = 0; i < units; ++i) {
        const auto unit = static_cast<char16_t>(get_u16le(entry, offset + 2 * i));
        if (unit == u'\0')
            break;
        text += unit;
    }
    return text;
}

}  // namespace

SimPhonebookReader::~SimPhonebookReader() {
    close();
}

bool SimPhonebookReader::open() {
    close();
    return ce::SimInitialize(0, nullptr, 0, &sim_) == ce::S_OK;
}

int SimPhonebookReader::send_all(DesktopConnection& connection) {
    ce::DWORD used = 0;
    ce::DWORD total = 0;
    if (ce::SimGetPhonebookStatus(sim_, ce::SIM_PBSTORAGE_SIM, &used, &total) != ce::S_OK ||
        used == 0) {
        return 0;
    }
    // Indexes 0 to total: a storage that counts from 1 keeps its last entry
    // at index `total`.
    int sent = 0;
    ce::DWORD found = 0;
    for (ce::DWORD index = 0; index <= total && found < used; ++index) {
        ce::SIMPHONEBOOKENTRY entry{};
        put_u32le(entry, 0, ce::sim_entry::kSize);
        if (ce::SimReadPhonebookEntry(sim_, ce::SIM_PBSTORAGE_SIM, index, entry) != ce::S_OK) {
            continue;
        }
        ++found;
        const std::u16string number = entry_text(entry, ce::sim_entry::kNumber, 256);
        const std::u16string name = entry_text(entry, ce::sim_entry::kName, 256);
        current_ = ContactWireRecord{};
        set_text_field(current_.number, to_ansi_field(number));
        set_text_field(current_.name, to_ansi_field(name));
        if (current_.is_blank())
            continue;
        connection.send(current_.encode());
        ++sent;
    }
    return sent;
}

void SimPhonebookReader::close() {
    if (sim_ != 0)
        ce::SimDeinitialize(sim_);
    sim_ = 0;
}

}  // namespace quillet
