#include "desktop/views/move_command.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QStringList>
#include <QVBoxLayout>
#include <chrono>

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

void say(StatusSink* sink, const QString& text) {
    if (sink != nullptr)
        sink->set_status_text(text.toStdU16String());
}

// What the plan would delete, in three lines; a line of its own when
// nothing would go.
QString plan_text(const MovePlan& plan) {
    if (plan.total() == 0)
        return MoveCommand::tr("With these choices no message leaves the phone.");
    return MoveCommand::tr("%n messages will be deleted on the phone.", nullptr,
                           as_int(plan.total())) +
           QLatin1Char('\n') +
           MoveCommand::tr("Inbox: %1, Sent Items: %2, Deleted Items: %3")
               .arg(plan.by_box[0])
               .arg(plan.by_box[1])
               .arg(plan.by_box[2]) +
           QLatin1Char('\n') +
           MoveCommand::tr("Oldest: %1, newest: %2")
               .arg(to_qstring(shown_date_time(*plan.oldest)),
                    to_qstring(shown_date_time(*plan.newest)));
}

QSpinBox* spin_box(const char* name, int least, int most, int value, QWidget* parent) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setRange(least, most);
    box->setValue(value);
    box->setEnabled(false);
    return box;
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

MoveChoiceDialog::MoveChoiceDialog(Planner planner, QWidget* parent)
    : QDialog(parent), planner_(std::move(planner)) {
    setObjectName(QStringLiteral("moveToPcDialog"));
    setWindowTitle(MoveCommand::tr("Move to PC"));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(MoveCommand::tr("Deletes on the phone what the boxes keep, to make "
                                             "room there. The boxes keep every message, marked "
                                             "as no longer on the phone."),
                             this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    auto* boxes = new QGroupBox(MoveCommand::tr("From"), this);
    auto* box_layout = new QVBoxLayout(boxes);
    const MovePlan all = planner_(MoveChoice{});
    const QString names[] = {
        MoveCommand::tr("Inbox (%n on the phone)", nullptr, as_int(all.by_box[0])),
        MoveCommand::tr("Sent Items (%n on the phone)", nullptr, as_int(all.by_box[1])),
        MoveCommand::tr("Deleted Items (%n on the phone)", nullptr, as_int(all.by_box[2]))};
    for (size_t b = 0; b < boxes_.size(); ++b) {
        boxes_[b] = new QCheckBox(names[b], boxes);
        boxes_[b]->setObjectName(QStringLiteral("moveBox%1").arg(b));
        boxes_[b]->setChecked(true);
        boxes_[b]->setEnabled(all.by_box[b] > 0);
        box_layout->addWidget(boxes_[b]);
    }
    layout->addWidget(boxes);

    auto* limits = new QGridLayout;
    older_than_ = new QCheckBox(MoveCommand::tr("Only messages older than"), this);
    older_than_->setObjectName(QStringLiteral("moveOlderThan"));
    older_days_ = spin_box("moveOlderDays", 1, 36'500, 30, this);
    const auto days = [this](int n) {
        older_days_->setSuffix(MoveCommand::tr(" days", nullptr, n));
    };
    days(older_days_->value());
    connect(older_days_, &QSpinBox::valueChanged, this, days);
    keep_newest_ = new QCheckBox(MoveCommand::tr("Keep on the phone the newest"), this);
    keep_newest_->setObjectName(QStringLiteral("moveKeepNewest"));
    keep_count_ = spin_box("moveKeepCount", 1, 1'000'000, 50, this);
    keep_count_->setSuffix(MoveCommand::tr(" of each box"));
    limits->addWidget(older_than_, 0, 0);
    limits->addWidget(older_days_, 0, 1);
    limits->addWidget(keep_newest_, 1, 0);
    limits->addWidget(keep_count_, 1, 1);
    limits->setColumnStretch(2, 1);
    layout->addLayout(limits);

    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("moveSummary"));
    summary_->setTextFormat(Qt::PlainText);
    layout->addWidget(summary_);
    auto* note = new QLabel(
        MoveCommand::tr("Only messages read back from the saved boxes are deleted."), this);
    note->setWordWrap(true);
    layout->addWidget(note);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    move_ = buttons->addButton(MoveCommand::tr("Move to PC"), QDialogButtonBox::AcceptRole);
    move_->setObjectName(QStringLiteral("moveButton"));
    move_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    for (QCheckBox* box : boxes_)
        connect(box, &QCheckBox::toggled, this, [this] { show_plan(); });
    connect(older_than_, &QCheckBox::toggled, older_days_, &QWidget::setEnabled);
    connect(keep_newest_, &QCheckBox::toggled, keep_count_, &QWidget::setEnabled);
    for (QCheckBox* box : {older_than_, keep_newest_})
        connect(box, &QCheckBox::toggled, this, [this] { show_plan(); });
    for (QSpinBox* box : {older_days_, keep_count_})
        connect(box, &QSpinBox::valueChanged, this, [this] { show_plan(); });
    show_plan();
}

MoveChoice MoveChoiceDialog::choice() const {
    MoveChoice c;
    for (size_t b = 0; b < boxes_.size(); ++b)
        c.boxes[b] = boxes_[b]->isChecked();
    if (older_than_->isChecked())
        c.older_than_days = static_cast<uint32_t>(older_days_->value());
    if (keep_newest_->isChecked())
        c.keep_newest = static_cast<size_t>(keep_count_->value());
    return c;
}

void MoveChoiceDialog::show_plan() {
    const MovePlan plan = planner_(choice());
    summary_->setText(plan_text(plan));
    move_->setEnabled(plan.total() > 0);
}

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
        const QString status = MoveCommand::tr("Move to PC failed: nothing was deleted.");
        say(sink, status);
        fetched();  // what came before the failure is kept
        show_message_box(parent, got.link_failure
                                     ? failure_text(MoveCommand::tr("Please Check your "
                                                                    "ActiveSync connection.\n"
                                                                    "Details:\n"),
                                                    *got.link_failure)
                                     : MoveCommand::tr("There is not enough memory to take in "
                                                       "the phone's messages."));
        return status;
    }
    say(sink, QString());
    fetched();
    if (move.plan().total() == 0)
        return MoveCommand::tr("Nothing to move: the phone holds no message.");
    MoveChoiceDialog choices([&](const MoveChoice& c) { return move.plan(c); }, parent);
    if (!ask_dialog(choices))
        return MoveCommand::tr("Move to PC cancelled: nothing was deleted.");
    move.choose(choices.choice());
    const size_t planned = move.plan().total();
    MoveReport report;
    if (move.prove(report)) {
        QProgressDialog progress(MoveCommand::tr("Deleting on the phone..."),
                                 MoveCommand::tr("Cancel"), 0, as_int(planned), parent);
        progress.setWindowTitle(QStringLiteral("Quillet"));
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(500);
        const auto started = std::chrono::steady_clock::now();
        bool said = false;
        move.delete_proven(report, sink, [&](size_t done) {
            if (!said) {
                // The phone was asked once more; now it deletes.
                say(sink, MoveCommand::tr("Deleting on the phone..."));
                said = true;
            }
            progress.setValue(as_int(done));
            const QString left = time_left(
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(),
                done, planned);
            progress.setLabelText(MoveCommand::tr("Deleting on the phone...") +
                                  (left.isEmpty() ? QString() : QLatin1Char('\n') + left));
            QCoreApplication::processEvents();
            return progress.wasCanceled();
        });
    }
    if (sink != nullptr)
        sink->set_progress(-1);
    // The status says how it ended while the report is read, not what the
    // last fetch was doing.
    const QString status =
        MoveCommand::tr("%n messages moved to the PC", nullptr, as_int(report.moved));
    say(sink, status);
    fetched();
    show_message_box(parent, report_text(report),
                     !report.outcome ? QMessageBox::Warning : QMessageBox::Information);
    return status;
}

}  // namespace quillet
