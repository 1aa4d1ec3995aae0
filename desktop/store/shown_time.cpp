#include "shown_time.h"

#include <ctime>

#include "protocol/text_codec.h"

namespace quillet {

std::u16string shown_date_time(FileTime t) {
    const std::tm local = local_tm(t);
    char date[65] = {};
    std::strftime(date, sizeof date, "%x", &local);
    char clock[16] = {};
    std::strftime(clock, sizeof clock, " %H:%M", &local);
    return from_utf8(std::string(date) + clock);
}

}  // namespace quillet
