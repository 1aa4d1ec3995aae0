// The controls of the options window, loaded from and written back to the
// settings record.
//
// Widgets (objectName), grouped as on screen:
//   "Startup options":   "syncOnOpenCheck" ("Automatic sync on startup"),
//                        "minimizeOnOpenCheck" ("Start minimized"),
//                        "startOnConnectCheck" ("Start Quillet! on ActiveSync
//                        connection")
//   "Import from Phone": "importInboxCheck" ("Inbox"), "importSentCheck"
//                        ("Sent Items"), "importDeletedCheck" ("Deleted Items")
//   "Minimize to":       "taskbarRadio" ("Taskbar"), "trayRadio" ("System Tray")
//   "Notification":      "soundCheck" ("Sound Notification"), "soundFileEdit",
//                        "browseButton" ("Browse"), "popupCheck" ("Popup
//                        Message"), "popupTextEdit"
//   "cancelButton" ("Cancel"), "okButton" ("OK", the default: Enter; Esc is
//   Cancel)
#pragma once

#include <QWidget>

#include "desktop/store/options.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quillet {

class OptionsForm : public QWidget {
    Q_OBJECT

  public:
    explicit OptionsForm(QWidget* parent = nullptr);

    // Remembers `options` (which must stay alive until the next load_from)
    // and fills every control from it.
    void load_from(Options& options);
    // OK: writes every control into the record (each text cut to
    // Options::kMaxText units), saves it with save_options, reports a failed
    // save in a message box, then emits finished.
    void apply();
    // Cancel: emits finished; the record is left as it is.
    void cancel();
    // Browse: asks for a sound file; a chosen file goes at once into the
    // record and the edit (Cancel does not take it back).
    void browse_sound_file();

  Q_SIGNALS:
    // OK or Cancel was pressed: the window hides.
    void finished();

  protected:
    // Enter presses OK (the default button), Esc presses Cancel, wherever
    // the focus is.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QWidget* build_startup_group();
    QWidget* build_import_group();
    QWidget* build_minimize_group();
    QWidget* build_notification_group();
    void set_tab_order();

    Options* options_ = nullptr;
    QCheckBox* sync_on_open_ = nullptr;
    QCheckBox* minimize_on_open_ = nullptr;
    QCheckBox* start_on_connect_ = nullptr;
    QCheckBox* import_inbox_ = nullptr;
    QCheckBox* import_sent_ = nullptr;
    QCheckBox* import_deleted_ = nullptr;
    QRadioButton* taskbar_ = nullptr;
    QRadioButton* tray_ = nullptr;
    QCheckBox* sound_ = nullptr;
    QLineEdit* sound_file_ = nullptr;
    QPushButton* browse_ = nullptr;
    QCheckBox* popup_ = nullptr;
    QLineEdit* popup_text_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* ok_ = nullptr;
};

// `text` cut to the Options::kMaxText units a settings text holds.
std::u16string settings_text(const QString& text);

}  // namespace quillet
