// What the phone-synchronisation service does when a phone is plugged in:
// start every program listed under the emulated registry key
// "Software\Microsoft\Windows CE Services\AutoStartOnConnect".
#pragma once

namespace quillet::phone_tool {

// Starts each listed program with no arguments and does not wait for it.
// Reports on standard output what it started and on standard error what it
// could not start.
void start_autostart_programs();

}  // namespace quillet::phone_tool
