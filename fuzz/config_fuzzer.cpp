// load_config's reading of a settings file: any bytes parse, every entry
// stays within its limits, and what is saved reads back as the same entries.
#include <cstdlib>
#include <string_view>

#include "desktop/store/config_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    quillet::ConfigList list;
    list.parse(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const auto& e : list.entries()) {
        if (e.name.size() > quillet::ConfigList::kMaxName)
            std::abort();
        if (e.value.size() > quillet::ConfigList::kMaxValue)
            std::abort();
        (void)list.get_int(e.name);
    }
    quillet::ConfigList again;
    again.parse(list.serialise());
    if (again.entries().size() != list.entries().size())
        std::abort();
    for (size_t i = 0; i < list.entries().size(); ++i) {
        if (again.entries()[i].name != list.entries()[i].name)
            std::abort();
        if (again.entries()[i].value != list.entries()[i].value)
            std::abort();
    }
    return 0;
}
