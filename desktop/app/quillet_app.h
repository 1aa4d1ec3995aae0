// The application object: one Quillet per user, the link to the phone, the
// main window, its start-up, the event loop and the shutdown.
//
// Command line: `quillet [--log]`; --log writes a trace of what the program
// does to "logfile.txt" in the data folder. A start while the program runs
// asks the running one to bring its window ("Quillet!") to the front and
// ends at once.
#pragma once

#include <QApplication>
#include <QCommandLineParser>

#include "desktop/app/translation.h"

namespace quillet {

class QuilletApp : public QApplication {
    Q_OBJECT

  public:
    QuilletApp(int& argc, char** argv);

    // The instance initialisation, then the event loop until the main window
    // closes: the process's exit code. A second instance returns 0 at once.
    int run();

    // Whether the command line asks only for the help or the version, which
    // need no display: answered before the window system is opened.
    static bool asks_help_or_version(int argc, char** argv);
    // Prints the help or the version: the process's exit code.
    static int print_help_or_version(int& argc, char** argv);

  private:
    static void describe_options(QCommandLineParser& parser);

    // The desktop's language, where Quillet has it.
    Translation translation_;

    // --log on the command line; unknown options end the program with a
    // message.
    bool wants_log();
};

}  // namespace quillet
