#include "desktop/views/restore_command.h"

#include <QCoreApplication>
#include <QProgressDialog>
#include <QStringList>

#include "desktop/library/restore_to_phone.h"
#include "desktop/store/orx_exception.h"
#include "desktop/store/shown_time.h"
#include "desktop/views/engine_texts.h"
#include "desktop/views/gui_seams.h"
#include "desktop/views/window_parts.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace {

// The texts' context for the translations.
class RestoreCommand {
    Q_DECLARE_TR_FUNCTIONS(RestoreCommand)
};

int as_int(size_t n) {
    return static_cast<int>(std::min<size_t>(n, INT32_MAX));
}

// The choices offered, in order, and the choice each makes.
struct Offered {
    QStringList labels;
    std::vector<RestoreChoice> choices;
};

Offered offered(const RestoreOffer& offer) {
    Offered o;
    o.labels << RestoreCommand::tr("Inbox and Sent Items");
    o.choices.emplace_back();
    if (offer.conversation) {
        o.labels << RestoreCommand::tr("Conversation with %1").arg(offer.conversation_name);
        RestoreChoice c;
        c.conversation = offer.conversation;
        o.choices.push_back(c);
    }
    if (!offer.selection.empty()) {
        o.labels << RestoreCommand::tr("%n selected messages", nullptr,
                                       as_int(offer.selection.size()));
        RestoreChoice c;
        c.selection = offer.selection;
        o.choices.push_back(c);
    }
    if (!offer.contacts.empty()) {
        for (const bool sim : {false, true}) {
            o.labels << (sim ? RestoreCommand::tr("Contacts onto the SIM")
                             : RestoreCommand::tr("Contacts"));
            RestoreChoice c;
            c.messages = false;
            c.contacts = offer.contacts;
            c.sim = sim;
            o.choices.push_back(c);
        }
    }
    return o;
}

// "01.02.26 10:00 +447700900123", one per line.
QString named(const MessageLibrary& library, const std::vector<MessageRef>& refs) {
    QStringList lines;
    for (const MessageRef& ref : refs) {
        const SmsMessage& m = library.box(ref.box).message_ref(ref.index);
        lines << QStringLiteral("  %1 %2").arg(to_qstring(shown_date_time(m.time())),
                                               QString::fromLatin1(m.number()));
    }
    return lines.join(QLatin1Char('\n'));
}

QString too_long_lines(const MessageLibrary& library, const std::vector<MessageRef>& refs) {
    return RestoreCommand::tr("%n messages are longer than the phone takes and are left out:",
                              nullptr, as_int(refs.size())) +
           QLatin1Char('\n') + named(library, refs);
}

QString question(const MessageLibrary& library, const RestorePlan& plan) {
    QStringList lines;
    if (plan.message_count() > 0) {
        lines << RestoreCommand::tr("Write %n messages to the phone?", nullptr,
                                    as_int(plan.message_count()))
              << RestoreCommand::tr("Inbox: %1, Sent Items: %2")
                     .arg(plan.messages[0].size())
                     .arg(plan.messages[1].size());
    }
    if (!plan.contacts.empty()) {
        lines << RestoreCommand::tr("Write %n contacts to the phone?", nullptr,
                                    as_int(plan.contacts.size()));
    }
    const size_t there = plan.already_on_phone + plan.contacts_on_phone;
    if (there > 0) {
        lines << RestoreCommand::tr("%n are on the phone already and are not written again.",
                                    nullptr, as_int(there));
    }
    if (!plan.too_long.empty())
        lines << too_long_lines(library, plan.too_long);
    lines << RestoreCommand::tr("Nothing on the phone is deleted.");
    return lines.join(QLatin1Char('\n'));
}

// Says only what the restore was asked to do: a contacts-only restore
// speaks of contacts alone.
QString report_text(const MessageLibrary& library, const RestorePlan& plan,
                    const RestoreReport& r) {
    QStringList lines;
    if (plan.message_count() > 0)
        lines << RestoreCommand::tr("%n messages written to the phone.", nullptr,
                                    as_int(r.written));
    if (!plan.contacts.empty())
        lines << RestoreCommand::tr("%n contacts written to the phone.", nullptr,
                                    as_int(r.contacts_written));
    if (r.refused > 0)
        lines << RestoreCommand::tr("The phone did not take %n messages.", nullptr,
                                    as_int(r.refused));
    if (r.contacts_refused > 0)
        lines << RestoreCommand::tr("%n contacts were not taken (the SIM is full).", nullptr,
                                    as_int(r.contacts_refused));
    if (!r.too_long.empty())
        lines << too_long_lines(library, r.too_long);
    if (r.cancelled())
        lines << RestoreCommand::tr("Stopped: restore again to write the rest.");
    if (r.link_failed()) {
        lines << RestoreCommand::tr(
                     "The link failed: restore again to write the rest.\n"
                     "Details:\n%1")
                     .arg(QString::fromStdString(r.outcome.what()));
    } else if (!r.outcome && !r.cancelled()) {
        lines << RestoreCommand::tr("Nothing was written.\nDetails:\n%1")
                     .arg(QString::fromStdString(r.outcome.what()));
    }
    return lines.join(QLatin1Char('\n'));
}

QString link_failed(QWidget* parent, const ORX_Exception& e) {
    show_message_box(
        parent, failure_text(
                    RestoreCommand::tr("Please Check your ActiveSync connection.\nDetails:\n"), e));
    return RestoreCommand::tr("Restore to phone failed: nothing was written.");
}

}  // namespace

QString run_restore_command(QWidget* parent, MessageLibrary& library, DeviceOperations& device,
                            const RestoreOffer& offer, StatusSink* sink) {
    Offered o = offered(offer);
    const int index = ask_choice(parent, RestoreCommand::tr("What should go back onto the phone?"),
                                 o.labels, QMessageBox::Question);
    if (index < 0)
        return {};
    PhoneRestore restore(library, device, std::move(o.choices[static_cast<size_t>(index)]));
    RestorePlan plan;
    try {
        if (!restore.supported()) {
            show_message_box(parent, RestoreCommand::tr("This phone's agent cannot restore "
                                                        "messages or contacts; nothing was "
                                                        "changed."));
            return RestoreCommand::tr("Restore to phone: this phone's agent cannot restore.");
        }
        plan = restore.plan(sink);
    } catch (const ORX_Exception& e) {
        return link_failed(parent, e);
    }
    if (sink != nullptr)
        sink->set_status_text(u"");
    if (plan.empty()) {
        if (!plan.too_long.empty())
            show_message_box(parent, too_long_lines(library, plan.too_long),
                             QMessageBox::Information);
        return RestoreCommand::tr("Nothing to restore: the phone holds all of it already.");
    }
    if (!ask_yes_no(parent, question(library, plan)))
        return RestoreCommand::tr("Restore to phone cancelled: nothing was written.");

    QProgressDialog progress(RestoreCommand::tr("Writing to the phone..."),
                             RestoreCommand::tr("Cancel"), 0,
                             as_int(plan.message_count() + plan.contacts.size()), parent);
    progress.setWindowTitle(QStringLiteral("Quillet"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    const RestoreReport report = restore.write(plan, sink, [&](size_t done) {
        progress.setValue(as_int(done));
        QCoreApplication::processEvents();
        return progress.wasCanceled();
    });
    progress.reset();
    // The report, not the last progress text, stands behind the box.
    if (sink != nullptr)
        sink->set_status_text(u"");
    show_message_box(
        parent, report_text(library, plan, report),
        report.outcome || report.cancelled() ? QMessageBox::Information : QMessageBox::Warning);
    if (plan.message_count() == 0)
        return RestoreCommand::tr("%n contacts restored to the phone", nullptr,
                                  as_int(report.contacts_written));
    return RestoreCommand::tr("%n messages restored to the phone", nullptr, as_int(report.written));
}

}  // namespace quillet
