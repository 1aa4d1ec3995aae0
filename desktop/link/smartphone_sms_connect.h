// The desktop end of the link to the phone, and the program's only way to it.
//
// One instance lives for the whole run. Its sentinel thread sets the link up
// (opens the remote API, listens on the loopback address, copies the agent
// "ondevice\phonelet.exe" to the phone's "\Temp\quillet\phonelet.exe",
// starts it and accepts its TCP connection, and only that agent's: the
// loopback address is shared with every local program), then asks the agent for the newest
// Inbox message every interval and calls the new-message callback when one
// is newer than any seen before. When an exchange fails the link is LOST; the
// sentinel pauses and sets it up again with a fresh agent.
//
// The device operations run one exchange each on the caller's thread. Every
// exchange, and the whole set-up, holds the link lock (recursive), so the
// sentinel and the caller take turns; a device operation waits for the lock
// at most the settings' lock wait, and every piece of a reply must arrive
// within the receive limit, and the whole reply at a floor on its rate, so that a silent or
// trickling agent cannot hold the window. Failures are thrown as
// ORX_Exception with fixed texts ("Could not connect", "Unable to open RAPI", "receive_data socket
// error", ...). A reply that breaks the link's rules (a record size or count out of bounds) is
// thrown the same way and closes the connection, because the stream can no longer be trusted;
// records that arrived before stay in the caller's list.
//
// Destroying the object stops and joins the sentinel: a wait for the agent's
// connection or a blocked receive is woken by shutting the socket down.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "desktop/link/link_settings.h"
#include "desktop/store/device_operations.h"
#include "desktop/store/orx_exception.h"
#include "desktop/store/status_sink.h"
#include "protocol/filetime.h"
#include "protocol/link_socket.h"
#include "protocol/receive_buffer.h"
#include "protocol/wire_format.h"

namespace quillet {

enum class LinkState : int32_t {
    PLEASE_CONNECT = 0,  // a caller wants a link
    CONNECTED = 1,       // set-up finished
    LOST = 2,            // the sentinel's run ended
};

// Called on the sentinel thread, outside the link lock, once per newly seen
// Inbox message. It must not wait for the thread that destroys the link.
using NewMessageCallback = std::function<void()>;

// Asked under the link lock before every set-up: nothing lets it go on, a
// failure refuses it, thrown as the set-up's failure and told by connect()
// (the program uses it to leave the phone to "quillet-cli get" while that
// one runs).
using SetUpGate = std::function<std::optional<ORX_Exception>()>;

class SmartphoneSmsConnect : public DeviceOperations {
  public:
    explicit SmartphoneSmsConnect(LinkSettings settings = {});
    // Stops and joins the sentinel, then closes the connection (the agent
    // ends when it sees it closed).
    ~SmartphoneSmsConnect() override;
    SmartphoneSmsConnect(const SmartphoneSmsConnect&) = delete;
    SmartphoneSmsConnect& operator=(const SmartphoneSmsConnect&) = delete;

    // --- Session --------------------------------------------------------

    // Returns at once when CONNECTED. Otherwise asks the sentinel for a link
    // (PLEASE_CONNECT) and waits for it; throws "Could not connect" when it
    // is not CONNECTED within the settings' connect wait, followed by the
    // reason when the link's port is held by another program or the gate
    // refused the set-up. Never sets the link up itself, and never waits
    // for the link lock.
    void connect();
    // The whole set-up under the link lock: open_rapi, listen_for_agent,
    // install_soft, run_remote_exe, accept_agent; then CONNECTED. Returns 0, or 1 without
    // doing anything while the sentinel holds a link it set up. Throws the
    // failing step's exception; the remote API session is ended either way.
    int init();

    // Set before the sentinel starts; not changed afterwards.
    void set_set_up_gate(SetUpGate gate) { gate_ = std::move(gate); }

    void lock() { lock_.lock(); }
    void unlock() { lock_.unlock(); }

    // Sends all of `bytes`: returns their count, or -1 (nothing sent) when
    // there is no connection. A failed send closes the connection and throws
    // "send_data socket error". Call with the link lock held.
    std::ptrdiff_t send_data(std::span<const uint8_t> bytes);
    // Reads exactly buffer.size() bytes: returns their count, or -1 (nothing
    // read) when there is no connection. A failed read (error or the agent
    // closed) closes the connection and throws "receive_data socket error".
    // Call with the link lock held.
    std::ptrdiff_t receive_data(std::span<uint8_t> buffer);

    // Wakes a receive or an accept blocked on another thread, which then
    // fails as a broken link does. Safe from any thread without the link
    // lock; for a program that must end now.
    void interrupt();

    // Steps of init(), each under the link lock.
    // Keeps an existing connection; otherwise listens on the loopback
    // address. Throws, before any agent is started, when the port is taken:
    // by another program, the text says so and names its user.
    void listen_for_agent();
    // Up to `tries` times opens the remote API and waits `wait` for the
    // phone; throws "Unable to open RAPI".
    bool open_rapi(std::chrono::milliseconds wait, int tries);
    // Copies the agent to the phone. False (not an error) when the file on
    // the phone cannot be created, e.g. because the agent still runs from it;
    // throws "InstallSoft: ..." and "init_dir: ..." texts on other failures.
    bool install_soft();
    // Starts the copied agent; throws "do_command: Unable to CeCreateProcess".
    bool run_remote_exe();
    // Keeps an existing connection; otherwise accepts the started agent's,
    // closing every connection that another process made. Throws when the
    // agent did not connect within the settings' accept limit.
    void accept_agent();

    // --- Device operations (each calls connect() first) ------------------

    // WRITESMS. True when the phone sent it; throws "OnDeviceError: could not
    // send sms to " followed by the record's address when it refused.
    bool send_sms(const SmsWireRecord& record) override;
    // DELINBOX, DELSENT or DELDELETED with the record's 68-byte head. True
    // when the phone reports the message deleted.
    bool delete_on_device(BoxKind kind, const SmsWireRecord& record) override;
    // READINBOX, READSENT, READDELETED: appends each record as it arrives and
    // returns the count the agent announced. A reply that would pass the
    // settings' folder reply limit (1 GiB) is stopped with an error. Reports
    // "importing inbox..." and "importing inbox: N%" (sent sms, deleted sms)
    // to `sink`.
    int fetch_inbox(std::vector<SmsWireRecord>& records, StatusSink* sink = nullptr);
    int fetch_sent(std::vector<SmsWireRecord>& records, StatusSink* sink = nullptr);
    int fetch_deleted(std::vector<SmsWireRecord>& records, StatusSink* sink = nullptr);
    int fetch_folder(BoxKind kind, std::vector<SmsWireRecord>& records, StatusSink* sink) override;
    // READALLCON: appends the contacts (SIM first) up to the end marker (64
    // zero bytes; an entry with both fields empty is read and left out) and
    // returns how many; reports "retrieving contact N: NAME" to `sink`.
    int fetch_contacts(std::vector<Contact>& contacts, StatusSink* sink) override;

    // READCOMMANDS, followed at once by READNCON: an agent from before
    // restoring gives no reply to the first (its phone shows "default") and
    // answers the second, whose count is never the marker.
    uint32_t known_commands() override;
    // WRITEMESSAGES, in batches within the link's limits.
    std::vector<std::optional<EntryId>> write_messages(
        BoxKind kind, std::span<const SmsWireRecord> records) override;
    // WRITECONTACTS, in batches of at most kMaxWriteBatch.
    std::vector<bool> write_contacts(ContactTarget target,
                                     std::span<const Contact> contacts) override;

    // --- Sentinel -----------------------------------------------------------

    // Starts the sentinel thread once; false when it could not be created or
    // already runs.
    bool start_sentinel(NewMessageCallback callback, std::chrono::milliseconds interval);
    bool start_sentinel(NewMessageCallback callback);
    // One SMSSENTINEL exchange. The first tick of a set-up only records the
    // newest Inbox time; a later one calls the callback when the newest time
    // is later than any seen. Returns true; throws on link failures.
    bool SentinelTick(bool first);

    // --- Observers (safe from any thread) -----------------------------------

    LinkState state() const { return state_; }
    // True while the sentinel holds a link it set up.
    bool initialised() const { return initialised_; }
    // Delivery time of the newest Inbox message the sentinel has seen.
    FileTime newest_seen() const { return newest_seen_; }
    // SMSSENTINEL exchanges completed so far.
    uint64_t tick_count() const { return ticks_; }

  private:
    using ExchangeLock = std::unique_lock<std::recursive_timed_mutex>;
    // The link lock for a device operation: throws "Could not connect: the
    // link is busy" when it stays taken longer than the settings' lock wait.
    ExchangeLock lock_for_operation();
    void note_setup_problem(const ORX_Exception& problem);

    void sentinel_main();
    // newest_seen_ becomes `t` when `t` is later; true when it did.
    bool raise_newest_seen(FileTime t);
    int run();
    void pause_after_loss();
    void notify_new_message();
    // Sleeps up to `d`; returns early when the link is being destroyed.
    void sleep_unless_stopping(std::chrono::milliseconds d);

    void send_command(const CommandBlock& block);
    void send_piece(std::span<const uint8_t> bytes);
    void receive_piece(std::span<uint8_t> bytes);
    int32_t receive_int32();
    class ReplyBudget;
    // One size-prefixed record; counted against `budget` when given.
    SmsWireRecord receive_record(ReplyBudget* budget = nullptr);
    // Closes the connection and throws `text`: the reply broke the rules.
    [[noreturn]] void reject_reply(const std::string& text);
    int fetch(CommandCode code, BoxKind folder, std::vector<SmsWireRecord>& records,
              StatusSink* sink);

    void close_socket();
    // The latest a reply may have brought `more` bytes beyond those it has
    // brought so far (see LinkSettings::reply_floor).
    std::chrono::steady_clock::time_point reply_deadline_for(size_t more) const;

    const LinkSettings settings_;
    std::recursive_timed_mutex lock_;
    std::atomic<LinkState> state_{LinkState::PLEASE_CONNECT};
    std::u16string device_folder_;
    pid_t agent_pid_ = 0;  // the agent this set-up started
    // Why the last set-up failed, when the user must hear it; guarded by
    // wake_mutex_.
    std::optional<ORX_Exception> setup_problem_;

    // Guards replacing or closing the sockets against the destructor's
    // wake-up, which runs without the link lock.
    std::mutex socket_mutex_;
    LinkSocket socket_;
    LinkSocket listener_;
    // What the agent sent and no exchange has read yet; used under the link
    // lock.
    ReceiveBuffer received_;
    // The bytes of the record being received, kept for the next one.
    std::vector<uint8_t> record_bytes_;
    // When the reply being read began (the last send), and its bytes read
    // so far; used under the link lock.
    std::chrono::steady_clock::time_point reply_started_{};
    uint64_t reply_bytes_ = 0;
    // The connection's received_bytes() when the reply began.
    uint64_t reply_socket_bytes_ = 0;

    NewMessageCallback callback_;
    SetUpGate gate_;
    std::chrono::milliseconds interval_{500};
    std::atomic<bool> initialised_{false};
    std::atomic<bool> stop_{false};
    std::atomic<FileTime> newest_seen_{0};
    std::atomic<uint64_t> ticks_{0};
    std::mutex wake_mutex_;
    std::condition_variable wake_;
    std::thread sentinel_;
};

}  // namespace quillet
