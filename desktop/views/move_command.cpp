#include "desktop/views/move_command.h"

#include <QCoreApplication>
#include <QProgressDialog>
#include <QStringList>

#include "desktop/library/move_to_pc.h"
#include "desktop/store/shown_time.h"
#include "desktop/views/engine_texts.h"
#include "desktop/views/gui_seams.h"
#include "desktop/views/window_parts.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace {

// The texts' context for the translations.
class MoveCommand {
    Q_DECLARE_TR_FUNCTIONS(MoveCommand)
};

int as_int(size_t n) {
    return static_cast<int>(std::min<size_t>(n, INT32_MAX));
}

QString question(const MovePlan& plan) {
    return MoveCommand::tr(
               "Delete %n messages on the phone? The boxes keep them, marked as no "
               "longer on the phone.",
               nullptr, as_int(plan.total())) +
           QLatin1Char('\n') +
           MoveCommand::tr("Inbox: %1, Sent Items: %2, Deleted Items: %3")
               .arg(plan.by_box[0])
               .arg(plan.by_box[1])
               .arg(plan.by_box[2]) +
           QLatin1Char('\n') +
           MoveCommand::tr("Oldest: %1, newest: %2")
               .arg(to_qstring(shown_date_time(*plan.oldest)),
                    to_qstring(shown_date_time(*plan.newest))) +
           QLatin1Char('\n') +
           MoveCommand::tr("Only messages read back from the saved boxes are deleted.");
}

QString report_text(const MoveReport& r) {
    QStringList lines;
    lines << MoveCommand::tr("%n messages moved to the PC.", nullptr, as_int(r.moved));
    const QString why[kKeptReasons] = {
        MoveCommand::tr("not in the saved boxes (arrived meanwhile): %1"),
        MoveCommand::tr("not chosen: %1"),
        MoveCommand::tr("changed on the phone: %1"),
        MoveCommand::tr("phone unplugged during the deletions: %1"),
        MoveCommand::tr("the phone did not delete them: %1"),
        MoveCommand::tr("stopped before their turn: %1")};
    if (r.kept_total() > 0)
        lines << MoveCommand::tr("%n messages stay on the phone:", nullptr, as_int(r.kept_total()));
    for (size_t i = 0; i < kKeptReasons; ++i)
        if (r.kept[i] > 0)
            lines << QStringLiteral("  ") + why[i].arg(r.kept[i]);
    if (!r.outcome)
        lines << MoveCommand::tr("Details:\n%1").arg(QString::fromStdString(r.outcome.what()));
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

QString run_move_command(QWidget* parent, MessageLibrary& library, DeviceOperations& device,
                         const Options& options, StatusSink* sink,
                         const std::function<void()>& fetched) {
    PhoneMove move(library, device, MoveChoice{});
    if (sink != nullptr)
        sink->set_status_text(MoveCommand::tr("Retrieving messages...").toStdU16String());
    const GetSmsReport got = move.get(options, sink);
    if (sink != nullptr)
        sink->set_progress(-1);
    if (!got.ok()) {
        show_message_box(parent, got.link_failure
                                     ? failure_text(MoveCommand::tr("Please Check your "
                                                                    "ActiveSync connection.\n"
                                                                    "Details:\n"),
                                                    *got.link_failure)
                                     : MoveCommand::tr("There is not enough memory to take in "
                                                       "the phone's messages."));
        return MoveCommand::tr("Move to PC failed: nothing was deleted.");
    }
    if (sink != nullptr)
        sink->set_status_text(u"");
    fetched();
    const MovePlan plan = move.plan();
    if (plan.total() == 0)
        return MoveCommand::tr("Nothing to move: the phone holds no message.");
    if (!ask_yes_no(parent, question(plan)))
        return MoveCommand::tr("Move to PC cancelled: nothing was deleted.");
    MoveReport report;
    if (move.prove(report)) {
        QProgressDialog progress(MoveCommand::tr("Deleting on the phone..."),
                                 MoveCommand::tr("Cancel"), 0, as_int(plan.total()), parent);
        progress.setWindowTitle(QStringLiteral("Quillet"));
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(500);
        move.delete_proven(report, sink, [&](size_t done) {
            progress.setValue(as_int(done));
            QCoreApplication::processEvents();
            return progress.wasCanceled();
        });
    }
    if (sink != nullptr)
        sink->set_progress(-1);
    show_message_box(parent, report_text(report),
                     !report.outcome ? QMessageBox::Warning : QMessageBox::Information);
    return MoveCommand::tr("%n messages moved to the PC", nullptr, as_int(report.moved));
}

}  // namespace quillet
