// Done, or failed and why: what every step of the store, the formats, the
// use cases and print that can fail hands back, alone or inside a report
// with its figures (ArchiveReport, UndoReport, ...).
//
// An Outcome is a value: cheap to copy when done (no text), never thrown.
// A failure carries
//   - its kind, for code that must tell failures apart (a file that is
//     missing is no fault; a cancelled run is no error to show), and
//   - one English line for the user, what(): what failed and why, such as
//     "Could not save /home/ann/inbox1.csv (write: No space left on device)".
//     It is a sentence the front ends put into their own: the window into a
//     translated one through tr(), the command line after "quillet-cli: " on
//     standard error, with exit status 1.
// A done Outcome has kind Done and an empty what().
//
// The link's failures stay ORX_Exceptions (link design); a use case that
// reaches the phone catches them and reports them in its report. Running out
// of memory stays std::bad_alloc until the use case that can say what was
// kept catches it.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace quillet {

class Outcome {
  public:
    enum class Kind {
        Done,
        Missing,      // what was to be read is not there
        Damaged,      // read, but not whole: what could be read was kept
        Unreadable,   // there, but could not be read (rights, not a regular
                      // file, too large, no memory for it)
        Unwritable,   // could not be written; a file it replaces is whole
        Refused,      // not done by rule: a place that must not be written, a
                      // folder that exists already, a phone that cannot
        Unreachable,  // the phone could not be reached, or the link broke off
        Cancelled,    // the user stopped it; nothing of it was kept
        BadInput,     // a file of a kind or form this cannot take
    };

    // Done.
    Outcome() = default;

    static Outcome done() { return {}; }
    static Outcome missing(std::string why) { return {Kind::Missing, std::move(why)}; }
    static Outcome damaged(std::string why) { return {Kind::Damaged, std::move(why)}; }
    static Outcome unreadable(std::string why) { return {Kind::Unreadable, std::move(why)}; }
    static Outcome unwritable(std::string why) { return {Kind::Unwritable, std::move(why)}; }
    static Outcome refused(std::string why) { return {Kind::Refused, std::move(why)}; }
    static Outcome unreachable(std::string why) { return {Kind::Unreachable, std::move(why)}; }
    static Outcome cancelled(std::string why = "cancelled") {
        return {Kind::Cancelled, std::move(why)};
    }
    static Outcome bad_input(std::string why) { return {Kind::BadInput, std::move(why)}; }

    bool ok() const { return kind_ == Kind::Done; }
    explicit operator bool() const { return ok(); }
    Kind kind() const { return kind_; }
    // One line for the user; empty when done.
    const std::string& what() const { return what_; }

    // The same failure said of a part: "contacts.vcf: " and the line. A
    // done Outcome stays done.
    Outcome about(std::string_view part) const {
        return ok() ? *this : Outcome(kind_, std::string(part) + ": " + what_);
    }

  private:
    Outcome(Kind kind, std::string what) : kind_(kind), what_(std::move(what)) {}

    Kind kind_ = Kind::Done;
    std::string what_;
};

}  // namespace quillet
