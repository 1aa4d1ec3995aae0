#include "quillet_app.h"

#include <QCommandLineParser>
#include <QDialog>
#include <cstdio>
#include <string_view>

#include "desktop/app/main_frame.h"
#include "desktop/app/single_instance.h"
#include "desktop/app/termination_signals.h"
#include "desktop/app/tray_notice.h"
#include "desktop/link/link_lock.h"
#include "desktop/link/smartphone_sms_connect.h"
#include "desktop/store/log_file.h"
#include "desktop/views/gui_seams.h"

namespace quillet {

namespace {

// A signal ends the program whatever is open: a message box or dialog runs
// its own event loop, which would otherwise keep the process alive until
// someone answers it (a logout does not).
void end_open_dialogs() {
    for (int open = 0; open < 32; ++open) {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr)
            return;
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->done(QDialog::Rejected);
        } else {
            modal->hide();
        }
    }
}

}  // namespace

QuilletApp::QuilletApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Quillet"));
    setApplicationVersion(QStringLiteral("1.12"));
    // The desktop matches the windows to the menu entry (and its icon) by it.
    setDesktopFileName(QStringLiteral("org.quillet.Quillet"));
    // The composers and the hidden windows do not keep the program alive:
    // it ends with its main window.
    setQuitOnLastWindowClosed(false);
    translation_ = install_translation();
}

void QuilletApp::describe_options(QCommandLineParser& parser) {
    QCoreApplication::setApplicationName(QStringLiteral("Quillet"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.12"));
    parser.setApplicationDescription(tr("Quillet: the text messages of your phone."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(QCommandLineOption(QStringLiteral("log"),
                                        tr("Write a trace to logfile.txt in the data folder.")));
}

bool QuilletApp::asks_help_or_version(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (arg == "-h" || arg == "--help" || arg == "-?" || arg == "--help-all" || arg == "-v" ||
            arg == "--version")
            return true;
    }
    return false;
}

int QuilletApp::print_help_or_version(int& argc, char** argv) {
    const QCoreApplication core(argc, argv);
    const Translation translation = install_translation();
    QCommandLineParser parser;
    describe_options(parser);
    parser.process(core);  // prints and ends the process
    return 0;
}

bool QuilletApp::wants_log() {
    QCommandLineParser parser;
    describe_options(parser);
    parser.process(*this);
    return parser.isSet(QStringLiteral("log"));
}

int QuilletApp::run() {
    const bool log = wants_log();
    SingleInstance guard;
    QString guard_message;
    const bool first = guard.claim(&guard_message);
    if (!guard_message.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(guard_message));
    if (!first) {
        // Raised, the running window answers for itself; a silent one does
        // not, so this start says why it ends.
        if (guard.running_one_silent())
            show_message_box(nullptr, guard_message);
        return 0;
    }
    program_log().set_enabled(log);

    // Held from the start, so that "quillet-cli get" sees the program
    // running; taken at the first set-up when that one held it then.
    LinkLock link_lock;
    link_lock.try_acquire("quillet");
    SmartphoneSmsConnect link;
    link.set_set_up_gate(program_set_up_gate(link_lock));
    MainFrame frame(link);
    const QString title = QString::fromStdU16String(std::u16string(MainFrame::kTitle));
    connect(&guard, &SingleInstance::raiseRequested, &frame, [&frame, &title] {
        // Only a window that has its title: one still starting is not found.
        if (frame.windowTitle() != title)
            return;
        program_log().log_line("second start: window brought to the front");
        frame.tray_notice().bring_to_front();
    });
    connect(&frame, &MainFrame::closed, this, &QCoreApplication::quit, Qt::QueuedConnection);
    const TerminationSignals termination(
        [&frame] {
            stop_asking();
            if (!frame.has_shut_down())
                frame.close_now();
            end_open_dialogs();
        },
        [&link] {
            // Whatever the window waits for ends now: no box opens any more,
            // and a reply being read fails as a lost link does.
            stop_asking();
            link.interrupt();
        });

    frame.show();
    frame.repaint();
    frame.start_up();
    if (frame.has_shut_down())
        return 0;  // ended during start-up
    frame.setWindowTitle(title);
    return exec();
}

}  // namespace quillet
