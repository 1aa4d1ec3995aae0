// The main window as the GUI benchmarks start it: on a fresh temp data
// folder and platform root, its link port free with nobody listening, so
// that nothing outside the run is read or reached.
#pragma once

#include <QTcpServer>
#include <QTemporaryDir>
#include <memory>

#include "desktop/app/main_frame.h"
#include "desktop/link/smartphone_sms_connect.h"
#include "desktop/store/app_paths.h"

namespace quillet::bench {

struct MainWindowRig {
    QTemporaryDir folder;
    std::unique_ptr<SmartphoneSmsConnect> link;
    std::unique_ptr<MainFrame> frame;

    // The folders and port set; the files to load are written before start().
    MainWindowRig() {
        qputenv("QUILLET_PLATFORM_ROOT", (folder.path() + QStringLiteral("/platform")).toUtf8());
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        qputenv("QUILLET_LINK_PORT", QByteArray::number(probe.serverPort()));
        probe.close();
        set_app_folders_for_testing(QUILLET_PROGRAM_DIR, folder.path().toStdString());
    }
    ~MainWindowRig() {
        if (frame)
            frame->close();
        frame.reset();
        link.reset();
    }
    MainWindowRig(const MainWindowRig&) = delete;
    MainWindowRig& operator=(const MainWindowRig&) = delete;

    // The window shown at a fixed size and started on the folder's files.
    void start() {
        link = std::make_unique<SmartphoneSmsConnect>();
        frame = std::make_unique<MainFrame>(*link);
        frame->resize(1100, 760);
        frame->show();
        frame->start_up();
    }
};

}  // namespace quillet::bench
