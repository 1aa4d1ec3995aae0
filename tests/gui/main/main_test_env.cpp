#include "main_test_env.h"

#include <signal.h>

#include <filesystem>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

#include "desktop/store/app_paths.h"

namespace quillet::testing {

quint16 free_loopback_port() {
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    return server.serverPort();
}

MainTestEnv::MainTestEnv() {
    QDir(dir_.path()).mkpath(QStringLiteral("data"));
    QDir(dir_.path()).mkpath(QStringLiteral("platform"));
    qputenv("QUILLET_PLATFORM_ROOT", platform_root().toUtf8());
    qputenv("QUILLET_LINK_PORT", QByteArray::number(free_loopback_port()));
    set_app_folders_for_testing(QUILLET_PROGRAM_DIR, data_path().toStdString());
    set_message_box_handler(
        [this](const MessageBoxRequest& request) { boxes_.push_back(request); });
    set_sound_handler([this](const QString& path) { sounds_.push_back(path); });
    set_file_dialog_handler([this](const QString& caption) {
        dialogs_.push_back(caption);
        return answers_.isEmpty() ? QString() : answers_.takeFirst();
    });
}

MainTestEnv::~MainTestEnv() {
    set_message_box_handler({});
    set_sound_handler({});
    set_file_dialog_handler({});
}

QString MainTestEnv::data_path(const QString& name) const {
    return QDir(dir_.filePath(QStringLiteral("data"))).filePath(name);
}

QString MainTestEnv::temp_path(const QString& name) const {
    return dir_.filePath(name);
}

QString MainTestEnv::platform_root() const {
    return dir_.filePath(QStringLiteral("platform"));
}

bool MainTestEnv::phone(const QStringList& args, QByteArray* out) const {
    QProcess process;
    process.start(QStringLiteral(QUILLET_TOOLS_DIR "/quillet-phone"), args);
    if (!process.waitForFinished(30000))
        return false;
    if (out != nullptr)
        *out = process.readAllStandardOutput();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning("quillet-phone %s: %s", qPrintable(args.join(u' ')),
                 process.readAllStandardError().constData());
        return false;
    }
    return true;
}

QJsonArray MainTestEnv::phone_folder(const QString& folder) const {
    QByteArray out;
    if (!phone({QStringLiteral("list"), folder, QStringLiteral("--json")}, &out))
        return {};
    return QJsonDocument::fromJson(out).array();
}

void MainTestEnv::kill_agents() const {
    const std::string agent =
        (platform_root() + QStringLiteral("/phone/fs/Temp/quillet/phonelet.exe")).toStdString();
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::error_code link_ec;
        const std::filesystem::path exe =
            std::filesystem::read_symlink(entry.path() / "exe", link_ec);
        if (!link_ec && exe.string().starts_with(agent))
            ::kill(static_cast<pid_t>(std::stoi(name)), SIGKILL);
    }
}

std::vector<MessageBoxRequest> MainTestEnv::take_message_boxes() {
    std::vector<MessageBoxRequest> taken;
    taken.swap(boxes_);
    return taken;
}

LinkSettings MainTestEnv::test_link_settings(int connect_wait_ms) {
    LinkSettings settings;
    settings.rapi_wait = std::chrono::milliseconds(200);
    settings.rapi_tries = 1;
    settings.connect_poll = std::chrono::milliseconds(50);
    settings.connect_polls = std::max(1, connect_wait_ms / 50);
    settings.pause_step = std::chrono::milliseconds(50);
    settings.pause_steps = 4;
    settings.accept_limit = std::chrono::milliseconds(15000);
    settings.sentinel_interval = std::chrono::milliseconds(100);
    return settings;
}

QByteArray MainTestEnv::read_file(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

RunningFrame::RunningFrame(int connect_wait_ms)
    : link(
          std::make_unique<SmartphoneSmsConnect>(MainTestEnv::test_link_settings(connect_wait_ms))),
      frame(std::make_unique<MainFrame>(*link)) {
    frame->show();
    frame->start_up();
    frame->setWindowTitle(QStringLiteral("Quillet!"));
}

RunningFrame::~RunningFrame() {
    if (frame && !frame->has_shut_down())
        frame->close();
    frame.reset();
    link.reset();
}

int RunningFrame::get_sms() {
    QSignalSpy finished(frame.get(), &MainFrame::getSmsFinished);
    frame->on_button_get_sms();
    if (finished.isEmpty())
        return -2;
    return finished.takeFirst().at(0).toInt();
}

}  // namespace quillet::testing
