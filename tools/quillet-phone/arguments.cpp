#include "tools/quillet-phone/arguments.h"

#include <algorithm>
#include <charconv>

namespace quillet::phone_tool {

Arguments::Arguments(std::vector<std::string> words, const std::vector<std::string>& flags) {
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (!w.starts_with("--")) {
            positional_.push_back(w);
            continue;
        }
        const std::string name = w.substr(2);
        if (std::find(flags.begin(), flags.end(), name) != flags.end()) {
            options_.push_back({name, std::nullopt});
            continue;
        }
        if (i + 1 >= words.size())
            throw UsageError("option " + w + " needs a value");
        options_.push_back({name, words[++i]});
    }
}

std::string Arguments::take(std::string_view what) {
    if (auto w = take_optional())
        return *w;
    throw UsageError("missing " + std::string(what));
}

std::optional<std::string> Arguments::take_optional() {
    if (next_ >= positional_.size())
        return std::nullopt;
    return positional_[next_++];
}

bool Arguments::flag(std::string_view name) {
    bool found = false;
    for (Option& o : options_) {
        if (o.name == name && !o.value) {
            o.used = true;
            found = true;
        }
    }
    return found;
}

std::optional<std::string> Arguments::option(std::string_view name) {
    std::optional<std::string> value;
    for (Option& o : options_) {
        if (o.name != name || !o.value)
            continue;
        if (value)
            throw UsageError("option --" + std::string(name) + " given twice");
        o.used = true;
        value = o.value;
    }
    return value;
}

std::string Arguments::required(std::string_view name) {
    if (auto v = option(name))
        return *v;
    throw UsageError("missing --" + std::string(name));
}

std::vector<std::string> Arguments::all(std::string_view name) {
    std::vector<std::string> values;
    for (Option& o : options_) {
        if (o.name == name && o.value) {
            o.used = true;
            values.push_back(*o.value);
        }
    }
    return values;
}

void Arguments::finish() const {
    if (next_ < positional_.size())
        throw UsageError("unexpected argument " + positional_[next_]);
    for (const Option& o : options_) {
        if (!o.used)
            throw UsageError("unknown option --" + o.name);
    }
}

long parse_number(std::string_view text, long low, long high, std::string_view what) {
    long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        throw UsageError(std::string(what) + " must be a number from " + std::to_string(low) +
                         " to " + std::to_string(high) + ": " + std::string(text));
    }
    return value;
}

}  // namespace quillet::phone_tool
