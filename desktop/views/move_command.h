// Sms > Move to PC...: makes room on the phone (desktop/library/move_to_pc.h).
// A Get SMS first; then a dialog offers the command line's choices (which
// boxes, only messages older than some days, the newest of each box kept on
// the phone) and shows at every change what they would delete: how many of
// each box, the oldest and the newest date. On Move the deletions run under
// a progress dialog whose Cancel stops before the next one, and the report
// comes in a message box, with the status bar already saying how it ended.
#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <functional>

#include "desktop/library/move_to_pc.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QWidget;

namespace quillet {

class DeviceOperations;
class MessageLibrary;
class StatusSink;
struct Options;

// The choices, and what they would delete. Its parts are named for tests:
// "moveBox0" to "moveBox2" (Inbox, Sent Items, Deleted Items, each with how
// many of its messages the phone holds, disabled when none), "moveOlderThan" with the days in
// "moveOlderDays", "moveKeepNewest" with the count in "moveKeepCount",
// "moveSummary" (what would go) and the button "moveButton", enabled while
// something would go.
class MoveChoiceDialog : public QDialog {
  public:
    using Planner = std::function<MovePlan(const MoveChoice&)>;
    MoveChoiceDialog(Planner planner, QWidget* parent);

    MoveChoice choice() const;

  private:
    void show_plan();

    Planner planner_;
    std::array<QCheckBox*, 3> boxes_{};
    QCheckBox* older_than_ = nullptr;
    QSpinBox* older_days_ = nullptr;
    QCheckBox* keep_newest_ = nullptr;
    QSpinBox* keep_count_ = nullptr;
    QLabel* summary_ = nullptr;
    QPushButton* move_ = nullptr;
};

// Runs the command; returns the text for the status bar. `fetched` is
// called once the Get SMS has run, before the choices, and again after the
// deletions, so the list behind the dialogs shows what the phone holds.
QString run_move_command(QWidget* parent, MessageLibrary& library, DeviceOperations& device,
                         const Options& options, StatusSink* sink,
                         const std::function<void()>& fetched);

}  // namespace quillet
