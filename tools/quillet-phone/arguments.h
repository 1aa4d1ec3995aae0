// The phone tool's command line: positional words and --options.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::phone_tool {

// Bad usage or bad input: the tool prints the message on one line and
// exits with 2.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class Arguments {
  public:
    // `flags` take no value; every other --option takes the next word.
    // Throws UsageError for an option that is missing its value.
    Arguments(std::vector<std::string> words, const std::vector<std::string>& flags);

    // The next positional word; UsageError naming `what` when there is none.
    std::string take(std::string_view what);
    std::optional<std::string> take_optional();
    bool flag(std::string_view name);
    std::optional<std::string> option(std::string_view name);
    std::string required(std::string_view name);
    // Every value of an option that may be repeated, in order.
    std::vector<std::string> all(std::string_view name);
    // UsageError for any word or option that no one took.
    void finish() const;

  private:
    struct Option {
        std::string name;
        std::optional<std::string> value;
        bool used = false;
    };
    std::vector<std::string> positional_;
    size_t next_ = 0;
    std::vector<Option> options_;
};

// A whole number within [low, high]; UsageError naming `what` otherwise.
long parse_number(std::string_view text, long low, long high, std::string_view what);

}  // namespace quillet::phone_tool
