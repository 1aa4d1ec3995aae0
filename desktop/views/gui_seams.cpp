#include "gui_seams.h"

#include <sys/stat.h>

#include <QApplication>
#include <QCursor>
#include <QDate>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSoundEffect>
#include <QSystemTrayIcon>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

#include "desktop/views/memory_room.h"

namespace quillet {
namespace {

std::atomic<bool> asking_stopped{false};

std::function<void(const MessageBoxRequest&)>& message_box_handler() {
    static std::function<void(const MessageBoxRequest&)> h;
    return h;
}

std::function<QString(const QString&, const QString&)>& file_dialog_handler() {
    static std::function<QString(const QString&, const QString&)> h;
    return h;
}

std::function<bool(QPrinter&)>& printer_handler() {
    static std::function<bool(QPrinter&)> h;
    return h;
}

std::function<bool(const QString&)>& question_handler() {
    static std::function<bool(const QString&)> h;
    return h;
}

std::function<int(const QString&, const QStringList&)>& choice_handler() {
    static std::function<int(const QString&, const QStringList&)> h;
    return h;
}

std::function<bool(QDialog&)>& dialog_handler() {
    static std::function<bool(QDialog&)> h;
    return h;
}

std::function<bool()>& tray_handler() {
    static std::function<bool()> h;
    return h;
}

std::function<void(const QString&)>& open_file_handler() {
    static std::function<void(const QString&)> handler;
    return handler;
}

std::function<void(const QString&)>& sound_handler() {
    static std::function<void(const QString&)> h;
    return h;
}

// Takes every override cursor off while it lives and puts them back after:
// the arrow over a message box, whoever set the wait cursor. The memory
// reserve is given back meanwhile too: the box must be able to draw.
class WaitCursorLifted {
  public:
    WaitCursorLifted() {
        while (QApplication::overrideCursor() != nullptr) {
            QApplication::restoreOverrideCursor();
            ++lifted_;
        }
    }
    ~WaitCursorLifted() {
        while (lifted_-- > 0)
            QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    WaitCursorLifted(const WaitCursorLifted&) = delete;
    WaitCursorLifted& operator=(const WaitCursorLifted&) = delete;

  private:
    int lifted_ = 0;
    MemoryReserve::Lifted room_;
};

}  // namespace

void stop_asking() {
    asking_stopped = true;
}

void show_message_box(QWidget* parent, const QString& text, QMessageBox::Icon icon,
                      const QString& caption) {
    if (asking_stopped) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(caption), qPrintable(text));
        return;
    }
    const WaitCursorLifted arrow;
    if (message_box_handler()) {
        message_box_handler()({caption, text, icon});
        return;
    }
    QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);  // names and texts are the user's data, never markup
    box.exec();
}

bool ask_yes_no(QWidget* parent, const QString& text) {
    if (asking_stopped)
        return false;
    if (question_handler())
        return question_handler()(text);
    const WaitCursorLifted arrow;
    QMessageBox box(QMessageBox::Question, QStringLiteral("Quillet"), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

int ask_choice(QWidget* parent, const QString& text, const QStringList& choices,
               QMessageBox::Icon icon) {
    if (asking_stopped)
        return -1;
    if (choice_handler())
        return choice_handler()(text, choices);
    const WaitCursorLifted arrow;
    QMessageBox box(icon, QStringLiteral("Quillet"), text, QMessageBox::NoButton, parent);
    box.setTextFormat(Qt::PlainText);
    std::vector<QAbstractButton*> buttons;
    for (const QString& choice : choices)
        buttons.push_back(box.addButton(choice, QMessageBox::AcceptRole));
    QAbstractButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(qobject_cast<QPushButton*>(cancel));
    box.setEscapeButton(cancel);
    box.exec();
    const auto chosen = std::find(buttons.begin(), buttons.end(), box.clickedButton());
    return chosen == buttons.end() ? -1 : static_cast<int>(chosen - buttons.begin());
}

bool ask_dialog(QDialog& dialog) {
    if (asking_stopped)
        return false;
    if (dialog_handler())
        return dialog_handler()(dialog);
    const WaitCursorLifted arrow;
    return dialog.exec() == QDialog::Accepted;
}

QString ask_save_file_name(QWidget* parent, const QString& caption, const QString& filter,
                           const QString& default_suffix, const QString& suggested) {
    if (file_dialog_handler())
        return file_dialog_handler()(caption, suggested);
    const MemoryReserve::Lifted room;  // a dialog must draw, as a message box must
    QFileDialog dialog(parent, caption, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(default_suffix);
    if (!suggested.isEmpty())
        dialog.selectFile(suggested);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString dated_file_name(const QString& what, const QString& suffix) {
    QString name = what + QLatin1Char('-') + QDate::currentDate().toString(Qt::ISODate);
    for (QChar& c : name) {
        if (c.unicode() < 0x20 || QStringView(u"/\\:*?\"<>|").contains(c))
            c = u'_';
    }
    return suffix.isEmpty() ? name : name + QLatin1Char('.') + suffix;
}

bool ask_printer(QWidget* parent, QPrinter& printer) {
    if (printer_handler())
        return printer_handler()(printer);
    const MemoryReserve::Lifted room;
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

QString ask_open_file_name(QWidget* parent, const QString& caption, const QString& filter) {
    if (file_dialog_handler())
        return file_dialog_handler()(caption, QString());
    const MemoryReserve::Lifted room;
    return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
}

QStringList ask_open_file_names(QWidget* parent, const QString& caption, const QString& filter,
                                bool folder) {
    if (file_dialog_handler()) {
        const QString answer = file_dialog_handler()(caption, QString());
        return answer.isEmpty() ? QStringList() : answer.split(QLatin1Char('\n'));
    }
    const MemoryReserve::Lifted room;
    if (folder) {
        const QString chosen = QFileDialog::getExistingDirectory(parent, caption);
        return chosen.isEmpty() ? QStringList() : QStringList{chosen};
    }
    return QFileDialog::getOpenFileNames(parent, caption, QString(), filter);
}

QString ask_open_file_name(QFileDialog& dialog) {
    if (file_dialog_handler())
        return file_dialog_handler()(dialog.windowTitle(), QString());
    const MemoryReserve::Lifted room;
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

void open_file(const QString& path) {
    if (open_file_handler()) {
        open_file_handler()(path);
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void play_sound_file(const QString& path) {
    if (sound_handler()) {
        sound_handler()(path);
        return;
    }
    // Only a regular file: the sound system would wait for ever on a FIFO
    // or a device of that name, and keep the program from ending.
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode) ||
        !QFileInfo(path).isReadable()) {
        QApplication::beep();
        return;
    }
    // One effect at a time; a new notification replaces the one playing. The
    // application owns it, so it goes before the sound system does.
    static QPointer<QSoundEffect> effect;
    delete effect.data();
    effect = new QSoundEffect(qApp);
    effect->setSource(QUrl::fromLocalFile(path));
    effect->play();
}

void set_message_box_handler(std::function<void(const MessageBoxRequest&)> handler) {
    message_box_handler() = std::move(handler);
}

void set_file_dialog_handler(std::function<QString(const QString&, const QString&)> handler) {
    file_dialog_handler() = std::move(handler);
}

void set_printer_handler(std::function<bool(QPrinter&)> handler) {
    printer_handler() = std::move(handler);
}

void set_question_handler(std::function<bool(const QString&)> handler) {
    question_handler() = std::move(handler);
}

void set_dialog_handler(std::function<bool(QDialog&)> handler) {
    dialog_handler() = std::move(handler);
}

void set_choice_handler(std::function<int(const QString&, const QStringList&)> handler) {
    choice_handler() = std::move(handler);
}

bool system_tray_available() {
    if (tray_handler())
        return tray_handler()();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void set_tray_availability_handler(std::function<bool()> handler) {
    tray_handler() = std::move(handler);
}

void set_open_file_handler(std::function<void(const QString&)> handler) {
    open_file_handler() = std::move(handler);
}

void set_sound_handler(std::function<void(const QString&)> handler) {
    sound_handler() = std::move(handler);
}

}  // namespace quillet
