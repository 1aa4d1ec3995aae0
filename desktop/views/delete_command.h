// Sms > Delete and Delete only on device, in whichever list is shown
// (shown_list.h): the selected messages, or every message of the selected
// conversations. Several messages, or whole conversations, are deleted only
// once the user said Yes to a question that says how many and whose; the
// status says what was really done.
#pragma once

class QWidget;

namespace quillet {

class DeviceOperations;
class MessageLibrary;
class ShownList;
class StatusPanes;

// Runs the command: on the phone and from the boxes, or (`on_device`) on
// the phone only.
void run_delete_command(QWidget* parent, ShownList& list, MessageLibrary& library,
                        DeviceOperations& device, bool on_device, StatusPanes& status);

}  // namespace quillet
