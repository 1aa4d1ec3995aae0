#include "text_file.h"

namespace quillet {

std::string with_crlf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16 + 2);
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

}  // namespace quillet
