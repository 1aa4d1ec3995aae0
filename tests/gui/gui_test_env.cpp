#include "tests/gui/gui_test_env.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QProcess>
#include <QTcpServer>
#include <chrono>
#include <filesystem>
#include <thread>

#include "desktop/store/app_paths.h"

namespace quillet::testing {

quint16 free_loopback_port() {
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    return server.serverPort();
}

namespace {

bool copy_file(const QString& from, const QString& to) {
    if (!QDir().mkpath(QFileInfo(to).path()) || !QFile::copy(from, to))
        return false;
    return QFile::setPermissions(to, QFile::permissions(from));
}

}  // namespace

bool copy_program_folder(const QString& to, bool portable) {
    const QString from = QStringLiteral(QUILLET_PROGRAM_DIR);
    if (!copy_file(from + QStringLiteral("/quillet"), to + QStringLiteral("/quillet")))
        return false;
    for (const QString& folder :
         {QStringLiteral("ondevice"), QStringLiteral("templates"), QStringLiteral("help")}) {
        QDirIterator it(from + QLatin1Char('/') + folder, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString source = it.next();
            // The message page is data (an earlier portable run's).
            if (source.endsWith(QStringLiteral("/templates/tmp.html")))
                continue;
            if (!copy_file(source, to + source.mid(from.size())))
                return false;
        }
    }
    if (!portable)
        return true;
    QFile marker(to + QStringLiteral("/portable"));
    return marker.open(QIODevice::WriteOnly);
}

GuiTestEnv::GuiTestEnv() {
    QDir(dir_.path()).mkpath(QStringLiteral("data"));
    QDir(dir_.path()).mkpath(QStringLiteral("platform"));
    qputenv("QUILLET_PLATFORM_ROOT", platform_root().toUtf8());
    // Whatever follows the data folder rule stays in this test's folder too.
    qputenv("XDG_DATA_HOME", xdg_data_home().toUtf8());
    qputenv("QUILLET_LINK_PORT", QByteArray::number(free_loopback_port()));
    // No desktop notifications from tests: the new-message notice is the
    // popup box unless a test brings a bus of its own.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/quillet-test-bus");
    set_app_folders_for_testing(QUILLET_PROGRAM_DIR, data_path({}).toStdString());
    set_message_box_handler([this](const MessageBoxRequest& request) {
        boxes_.push_back(request);
        if (QGuiApplication::overrideCursor() != nullptr)
            ++boxes_under_wait_cursor_;
        if (box_seen_)
            box_seen_();
    });
    set_sound_handler([this](const QString& path) { sounds_.push_back(path); });
    set_tray_availability_handler([this] { return tray_available_; });
    set_question_handler([this](const QString& text) {
        questions_.push_back(text);
        return question_answer_;
    });
    set_file_dialog_handler([this](const QString& caption, const QString& suggested) {
        dialogs_.push_back(caption);
        suggestions_.push_back(suggested);
        return answers_.isEmpty() ? QString() : answers_.takeFirst();
    });
}

GuiTestEnv::~GuiTestEnv() {
    // An agent ends soon after its connection closed, and its last act is
    // to close the phone image. The folder goes only after that: removing
    // it meanwhile would leave behind what the agent still held.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!running_agents().empty() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    set_message_box_handler({});
    set_sound_handler({});
    set_question_handler({});
    set_tray_availability_handler({});
    set_file_dialog_handler({});
    set_dialog_handler({});
}

std::vector<pid_t> GuiTestEnv::running_agents() const {
    const std::string agent =
        (platform_root() + QStringLiteral("/phone/fs/Temp/quillet/phonelet.exe")).toStdString();
    std::vector<pid_t> pids;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        // An agent that has ended (a zombie) has no program to read.
        std::error_code link_ec;
        const std::filesystem::path exe =
            std::filesystem::read_symlink(entry.path() / "exe", link_ec);
        if (!link_ec && exe.string().starts_with(agent))
            pids.push_back(static_cast<pid_t>(std::stoi(name)));
    }
    return pids;
}

QString GuiTestEnv::data_path(const QString& name) const {
    return QDir(dir_.filePath(QStringLiteral("data"))).filePath(name);
}

QString GuiTestEnv::xdg_data_home() const {
    return dir_.filePath(QStringLiteral("xdg"));
}

QString GuiTestEnv::temp_path(const QString& name) const {
    return dir_.filePath(name);
}

QString GuiTestEnv::platform_root() const {
    return dir_.filePath(QStringLiteral("platform"));
}

std::vector<MessageBoxRequest> GuiTestEnv::take_message_boxes() {
    std::vector<MessageBoxRequest> taken;
    taken.swap(boxes_);
    return taken;
}

void GuiTestEnv::answer_file_dialogs(QStringList answers) {
    answers_ = std::move(answers);
}

bool GuiTestEnv::phone(const QStringList& args, QByteArray* out) const {
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

QByteArray GuiTestEnv::phone_output(const QStringList& args) const {
    QByteArray out;
    phone(args, &out);
    return out;
}

QJsonArray GuiTestEnv::phone_folder(const QString& folder) const {
    QByteArray out;
    if (!phone({QStringLiteral("list"), folder, QStringLiteral("--json")}, &out))
        return {};
    return QJsonDocument::fromJson(out).array();
}

QByteArray GuiTestEnv::read_file(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

}  // namespace quillet::testing
