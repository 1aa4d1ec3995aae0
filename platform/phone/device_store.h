// The connection the phone's own services (message store, contacts, SIM,
// SMS) read and write the device's image through.
//
// The device keeps its store mounted for as long as it runs; opening a
// session there finds the store's pages already in memory. The emulation
// does the same: one connection per thread, kept open between sessions, so
// that a command does not open the image, map it and fault its pages in
// again. Other processes' changes are seen at the next read as with any
// connection (SQLite checks for them at the start of every transaction).
#pragma once

#include <memory>

#include "platform/phone/phone_store.h"

namespace quillet::phone {

// A connection to device_image() for one session: the calling thread's
// held connection when no other session uses it, else a new one of the
// session's own. The held connection is opened on first use, and opened
// again when device_image() now names another file than the one held (a
// different path, or the image replaced by a new file). So two sessions
// open at once never share a connection, nor each other's read snapshots.
// Every command of the agent opens its session anew, so each one, reading
// or writing, notices a replaced image. The replaced image's write-ahead
// log is removed before the new image is opened: the new one is never read
// through the old one's pages.
// Throws PhoneDbError when the image cannot be opened.
std::shared_ptr<PhoneStore> device_store();

}  // namespace quillet::phone
