// The waits of the device link. The defaults are the program's; tests
// shorten them.
#pragma once

#include <chrono>
#include <cstdint>

namespace quillet {

struct LinkSettings {
    using ms = std::chrono::milliseconds;

    // Opening the remote API: each try waits this long for the phone.
    ms rapi_wait{3000};
    int rapi_tries = 3;
    // connect() looks for a finished set-up this often, this many times.
    ms connect_poll{100};
    int connect_polls = 30;
    // After a lost link the sentinel pauses in these steps (cut short when a
    // caller asks for the link).
    ms pause_step{100};
    int pause_steps = 30;
    // The longest wait for the agent's connection; longer than the agent
    // itself keeps trying to connect.
    ms accept_limit{30000};
    // Between two sentinel ticks, unless start_sentinel() is given another.
    ms sentinel_interval{500};
    // The longest wait for one piece of a reply (a count, a record, a reply
    // byte); a peer that stays silent longer has lost the link.
    ms receive_limit{10000};
    // A whole reply gets the receive limit plus one second for every
    // reply_floor bytes it has brought so far, and never more than
    // reply_limit: an agent that trickles its reply a byte at a time loses
    // the link as a silent one does.
    uint32_t reply_floor = 4096;
    ms reply_limit{600000};
    // The longest a device operation waits for the link while another
    // exchange (a keep-alive tick) holds it; then it gives up with an error
    // and the window goes on.
    ms lock_wait{3000};
    // The most bytes one folder reply may bring (sizes and records).
    uint64_t folder_reply_limit = uint64_t{1} << 30;
};

}  // namespace quillet
