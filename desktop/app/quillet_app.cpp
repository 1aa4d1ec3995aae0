#include "quillet_app.h"

#include <QApplication>
#include <QCommandLineParser>

#include "desktop/app/main_frame.h"
#include "desktop/app/single_instance.h"
#include "desktop/app/termination_signals.h"
#include "desktop/link/smartphone_sms_connect.h"
#include "desktop/store/log_file.h"

namespace quillet {
namespace {

bool wants_log(const QApplication& app) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Quillet: the text messages of your phone."));
    parser.addHelpOption();
    parser.addOption(QCommandLineOption(
        QStringLiteral("log"), QStringLiteral("Write a trace to logfile.txt in the data folder.")));
    parser.process(app);  // unknown options end the program with a message
    return parser.isSet(QStringLiteral("log"));
}

int run_main_window(QApplication& app, SingleInstance& guard) {
    SmartphoneSmsConnect link;
    MainFrame frame(link);
    const QString title = QString::fromStdU16String(std::u16string(MainFrame::kTitle));
    QObject::connect(&guard, &SingleInstance::raiseRequested, &frame, [&frame, &title] {
        // Only a window that has its title: one still starting is not found.
        if (frame.windowTitle() == title) {
            program_log().log_line("second start: window brought to the front");
            frame.bring_to_front();
        }
    });
    QObject::connect(&frame, &MainFrame::closed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    TerminationSignals signals_([&frame] {
        if (!frame.has_shut_down())
            frame.close();
    });

    frame.show();
    frame.repaint();
    frame.start_up();
    if (frame.has_shut_down())
        return 0;
    frame.setWindowTitle(title);
    return app.exec();
}

}  // namespace

int run_quillet(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillet"));
    QApplication::setApplicationVersion(QStringLiteral("1.12"));
    // The composers and the hidden windows do not keep the program alive:
    // it ends with its main window.
    QApplication::setQuitOnLastWindowClosed(false);
    const bool log = wants_log(app);

    SingleInstance guard;
    if (!guard.claim())
        return 0;
    program_log().set_enabled(log);
    return run_main_window(app, guard);
}

}  // namespace quillet
