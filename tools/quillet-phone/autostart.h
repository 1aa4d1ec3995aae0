// What the phone-synchronisation service does when a phone is plugged in:
// start every program listed under the emulated registry key
// "Software\Microsoft\Windows CE Services\AutoStartOnConnect".
#pragma once

namespace quillet::phone_tool {

// Starts each listed program and does not wait for it. A value is the
// program's path, or a command line: the path (in double quotes when it
// holds blanks) and then its arguments, such as
// "\"/opt/quillet/quillet-cli\" get --data /srv/sms". A value that names
// an existing file as a whole is that program without arguments.
// Reports on standard output what it started and on standard error what it
// could not start.
void start_autostart_programs();

}  // namespace quillet::phone_tool
