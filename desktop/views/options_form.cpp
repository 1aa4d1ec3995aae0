#include "desktop/views/options_form.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "desktop/views/engine_texts.h"
#include "desktop/views/gui_seams.h"
#include "desktop/views/sound_file_dialog.h"
#include "desktop/views/window_parts.h"

namespace quillet {
namespace {

template <typename T>
T* named(T* widget, const char* name) {
    widget->setObjectName(QLatin1StringView(name));
    return widget;
}

QCheckBox* check_box(const QString& caption, const char* name, QWidget* parent) {
    return named(new QCheckBox(caption, parent), name);
}

QLineEdit* text_edit(const char* name, QWidget* parent) {
    auto* edit = named(new QLineEdit(parent), name);
    edit->setMaxLength(32767);
    return edit;
}

QPushButton* push_button(const QString& caption, const char* name, QWidget* parent) {
    auto* button = named(new QPushButton(caption, parent), name);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

void set_flag(uint8_t& flag, const QAbstractButton* button) {
    flag = button->isChecked() ? 1 : 0;
}

}  // namespace

std::u16string settings_text(const QString& text) {
    std::u16string result = text.toStdU16String();
    if (result.size() <= Options::kMaxText)
        return result;
    size_t cut = Options::kMaxText;
    // Never keep half of a surrogate pair.
    if (QChar::isHighSurrogate(result[cut - 1]))
        --cut;
    result.resize(cut);
    return result;
}

OptionsForm::OptionsForm(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("optionsForm"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(build_startup_group());
    layout->addWidget(build_import_group());
    layout->addWidget(build_minimize_group());
    layout->addWidget(build_notification_group());
    layout->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cancel_ = push_button(tr("Cancel"), "cancelButton", this);
    ok_ = push_button(tr("OK"), "okButton", this);
    buttons->addWidget(cancel_);
    buttons->addWidget(ok_);
    layout->addLayout(buttons);

    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &OptionsForm::apply);
    connect(cancel_, &QPushButton::clicked, this, &OptionsForm::cancel);
    connect(browse_, &QPushButton::clicked, this, &OptionsForm::browse_sound_file);
    set_tab_order();
}

QWidget* OptionsForm::build_startup_group() {
    auto* group = new QGroupBox(tr("Startup options"), this);
    auto* layout = new QVBoxLayout(group);
    sync_on_open_ = check_box(tr("Automatic sync on startup"), "syncOnOpenCheck", group);
    minimize_on_open_ = check_box(tr("Start minimized"), "minimizeOnOpenCheck", group);
    start_on_connect_ =
        check_box(tr("Start Quillet! on ActiveSync connection"), "startOnConnectCheck", group);
    layout->addWidget(sync_on_open_);
    layout->addWidget(minimize_on_open_);
    layout->addWidget(start_on_connect_);
    return group;
}

QWidget* OptionsForm::build_import_group() {
    auto* group = new QGroupBox(tr("Import from Phone"), this);
    auto* layout = new QGridLayout(group);
    import_inbox_ = check_box(tr("Inbox"), "importInboxCheck", group);
    import_sent_ = check_box(tr("Sent Items"), "importSentCheck", group);
    import_deleted_ = check_box(tr("Deleted Items"), "importDeletedCheck", group);
    layout->addWidget(import_inbox_, 0, 0);
    layout->addWidget(import_sent_, 0, 1);
    layout->addWidget(import_deleted_, 0, 2);
    for (int column = 0; column < 3; ++column)
        layout->setColumnStretch(column, 1);
    return group;
}

QWidget* OptionsForm::build_minimize_group() {
    auto* group = new QGroupBox(tr("Minimize to"), this);
    auto* layout = new QGridLayout(group);
    taskbar_ = named(new QRadioButton(tr("Taskbar"), group), "taskbarRadio");
    tray_ = named(new QRadioButton(tr("System Tray"), group), "trayRadio");
    auto* choice = new QButtonGroup(group);
    choice->addButton(taskbar_);
    choice->addButton(tray_);
    layout->setContentsMargins(40, layout->contentsMargins().top(), 10,
                               layout->contentsMargins().bottom());
    layout->addWidget(taskbar_, 0, 0);
    layout->addWidget(tray_, 0, 1);
    layout->setColumnStretch(0, 1);
    layout->setColumnStretch(1, 1);
    return group;
}

QWidget* OptionsForm::build_notification_group() {
    auto* group = new QGroupBox(tr("Notification"), this);
    auto* layout = new QGridLayout(group);
    sound_ = check_box(tr("Sound Notification"), "soundCheck", group);
    sound_file_ = text_edit("soundFileEdit", group);
    browse_ = push_button(tr("Browse"), "browseButton", group);
    popup_ = check_box(tr("Popup Message"), "popupCheck", group);
    popup_text_ = text_edit("popupTextEdit", group);
    layout->addWidget(sound_, 0, 0);
    layout->addWidget(sound_file_, 0, 1);
    layout->addWidget(browse_, 0, 2);
    layout->addWidget(popup_, 1, 0);
    layout->addWidget(popup_text_, 1, 1, 1, 2);
    layout->setColumnStretch(1, 1);
    return group;
}

// The order of the original dialog's controls, which is its tab order.
void OptionsForm::set_tab_order() {
    QWidget* const order[] = {cancel_,
                              ok_,
                              sound_,
                              popup_,
                              sound_file_,
                              browse_,
                              popup_text_,
                              import_inbox_,
                              import_sent_,
                              import_deleted_,
                              taskbar_,
                              tray_,
                              start_on_connect_,
                              minimize_on_open_,
                              sync_on_open_};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void OptionsForm::load_from(Options& options) {
    options_ = &options;
    (options.minimize_to_tray != 0 ? tray_ : taskbar_)->setChecked(true);
    import_inbox_->setChecked(options.import_inbox != 0);
    import_sent_->setChecked(options.import_sent_items != 0);
    import_deleted_->setChecked(options.import_deleted_items != 0);
    start_on_connect_->setChecked(options.start_on_connect != 0);
    minimize_on_open_->setChecked(options.minimize_on_open != 0);
    sync_on_open_->setChecked(options.sync_on_open != 0);
    sound_->setChecked(options.sound_notification != 0);
    popup_->setChecked(options.popup_message != 0);
    sound_file_->setText(to_qstring(options.sound_filename));
    popup_text_->setText(shown_popup_text(options.popup_message_text));
}

void OptionsForm::apply() {
    if (options_ != nullptr) {
        Options& o = *options_;
        set_flag(o.minimize_to_tray, tray_);
        set_flag(o.import_inbox, import_inbox_);
        set_flag(o.import_sent_items, import_sent_);
        set_flag(o.import_deleted_items, import_deleted_);
        set_flag(o.start_on_connect, start_on_connect_);
        set_flag(o.minimize_on_open, minimize_on_open_);
        set_flag(o.sync_on_open, sync_on_open_);
        set_flag(o.sound_notification, sound_);
        set_flag(o.popup_message, popup_);
        o.sound_filename = settings_text(sound_file_->text());
        // The default text shown in the desktop's language is kept as the
        // default, so that another language shows it in its own.
        const QString popup = popup_text_->text();
        o.popup_message_text = popup == shown_popup_text(kDefaultPopupText)
                                   ? std::u16string(kDefaultPopupText)
                                   : settings_text(popup);

        const OptionsSaveResult saved = save_options(o);
        if (!saved.file)
            show_message_box(this, tr("Could not save the settings.\nDetails:\n") +
                                       QString::fromStdString(saved.file.what()));
        else if (!saved.registry_written)
            show_message_box(this, tr("Could not change whether Quillet! starts on an ActiveSync "
                                      "connection."));
    }
    Q_EMIT finished();
}

void OptionsForm::cancel() {
    Q_EMIT finished();
}

void OptionsForm::browse_sound_file() {
    const QString chosen = SoundFileDialog::choose(this);
    if (chosen.isEmpty())
        return;
    const std::u16string kept = settings_text(chosen);
    if (options_ != nullptr)
        options_->sound_filename = kept;
    sound_file_->setText(to_qstring(kept));
}

void OptionsForm::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            ok_->click();
            return;
        case Qt::Key_Escape:
            cancel_->click();
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

}  // namespace quillet
