// Sms > Move to PC...: makes room on the phone (desktop/library/move_to_pc.h)
// for every box. A Get SMS first; then a question that shows what would be
// deleted (counts by box, oldest and newest date); on Yes the move, under a
// progress dialog whose Cancel stops before the next deletion, and its
// report in a message box.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace quillet {

class DeviceOperations;
class MessageLibrary;
class StatusSink;
struct Options;

// Runs the command; returns the text for the status bar. `fetched` is
// called once the Get SMS has run, before the question, so the list behind
// it shows what the phone holds.
QString run_move_command(QWidget* parent, MessageLibrary& library, DeviceOperations& device,
                         const Options& options, StatusSink* sink,
                         const std::function<void()>& fetched);

}  // namespace quillet
