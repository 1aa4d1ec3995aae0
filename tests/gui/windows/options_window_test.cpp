// The options window on a real settings file and the emulated registry.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <memory>

#include "desktop/store/options.h"
#include "desktop/views/options_form.h"
#include "desktop/views/options_window.h"
#include "desktop/views/sound_file_dialog.h"
#include "platform/registry/registry.h"
#include "window_test_env.h"

using namespace quillet;
using quillet::testing::WindowTestEnv;

namespace {

template <typename T>
T* find(QWidget& window, const char* name) {
    T* widget = window.findChild<T*>(QLatin1StringView(name));
    if (widget == nullptr)
        qFatal("no widget %s", name);
    return widget;
}

std::optional<std::u16string> auto_start_value() {
    return registry::query_string(registry::kAutoStartKey, kAutoStartValueName);
}

}  // namespace

class OptionsWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<WindowTestEnv> env_;
    std::unique_ptr<OptionsWindow> window_;

    QByteArray options_file() const { return env_->read_file(env_->data_path(u"options.cfg"_qs)); }
    // Clicks near the left end, where the box and its caption are.
    void click(const char* name) {
        QAbstractButton* button = find<QAbstractButton>(*window_, name);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
    }

  private Q_SLOTS:
    void init() {
        env_ = std::make_unique<WindowTestEnv>();
        window_ = std::make_unique<OptionsWindow>();
        window_->resize(500, 400);
    }
    void cleanup() {
        window_.reset();
        env_.reset();
    }

    void showWithLoadsEveryControlFromTheRecord() {
        Options options;
        options.minimize_to_tray = 1;
        options.import_sent_items = 0;
        options.sync_on_open = 1;
        options.popup_message = 0;
        options.popup_message_text = u"Look!";
        window_->show_with(options);
        QVERIFY(window_->isVisible());
        QVERIFY(find<QRadioButton>(*window_, "trayRadio")->isChecked());
        QVERIFY(!find<QRadioButton>(*window_, "taskbarRadio")->isChecked());
        QVERIFY(find<QCheckBox>(*window_, "importInboxCheck")->isChecked());
        QVERIFY(!find<QCheckBox>(*window_, "importSentCheck")->isChecked());
        QVERIFY(find<QCheckBox>(*window_, "syncOnOpenCheck")->isChecked());
        QVERIFY(!find<QCheckBox>(*window_, "minimizeOnOpenCheck")->isChecked());
        QVERIFY(!find<QCheckBox>(*window_, "popupCheck")->isChecked());
        QVERIFY(find<QCheckBox>(*window_, "soundCheck")->isChecked());
        QCOMPARE(find<QLineEdit>(*window_, "popupTextEdit")->text(), u"Look!"_qs);
        QVERIFY(find<QLineEdit>(*window_, "soundFileEdit")
                    ->text()
                    .endsWith(u"templates/voice/message4you.wav"_qs));
    }

    void okStoresTheControlsAndWritesTheFileAndTheRegistry() {
        QFile seed(env_->data_path(u"options.cfg"_qs));
        QVERIFY(seed.open(QIODevice::WriteOnly));
        seed.write("contacts_sort = 1\r\n");
        seed.close();

        Options options;
        window_->show_with(options);
        click("trayRadio");
        click("importDeletedCheck");
        click("startOnConnectCheck");
        click("minimizeOnOpenCheck");
        find<QLineEdit>(*window_, "popupTextEdit")->setText(u"New text!"_qs);
        click("okButton");

        QVERIFY(!window_->isVisible());
        QCOMPARE(options.minimize_to_tray, uint8_t{1});
        QCOMPARE(options.import_deleted_items, uint8_t{0});
        QCOMPARE(options.import_inbox, uint8_t{1});
        QCOMPARE(options.start_on_connect, uint8_t{1});
        QCOMPARE(options.minimize_on_open, uint8_t{1});
        QCOMPARE(options.popup_message_text, u"New text!");
        const QByteArray file = options_file();
        QVERIFY(file.startsWith("contacts_sort = 1\r\nminimize_to_tray = 1\r\n"));
        QVERIFY(file.contains("import_deleted_items = 0\r\n"));
        QVERIFY(file.contains("minimize_on_open = 1\r\n"));
        QVERIFY(file.contains("popup_message_text = New text!\r\n"));
        QCOMPARE(auto_start_value(), std::optional(auto_start_command()));
        QVERIFY(env_->message_boxes().empty());

        // Read back as the next start would.
        Options loaded;
        QVERIFY(load_options(loaded));
        QCOMPARE(loaded.minimize_to_tray, uint8_t{1});
        QCOMPARE(loaded.start_on_connect, uint8_t{1});

        // Clearing the switch removes the registry value at once.
        window_->show_with(options);
        QVERIFY(find<QCheckBox>(*window_, "startOnConnectCheck")->isChecked());
        click("startOnConnectCheck");
        click("taskbarRadio");
        click("okButton");
        QCOMPARE(options.start_on_connect, uint8_t{0});
        QCOMPARE(options.minimize_to_tray, uint8_t{0});
        QVERIFY(!auto_start_value().has_value());
        QVERIFY(options_file().contains("minimize_to_tray = 0\r\n"));
    }

    void cancelChangesNothingAndTheNextShowingShowsTheRecord() {
        Options options;
        window_->show_with(options);
        click("trayRadio");
        click("importInboxCheck");
        click("soundCheck");
        find<QLineEdit>(*window_, "popupTextEdit")->setText(u"typed"_qs);
        click("cancelButton");

        QVERIFY(!window_->isVisible());
        const Options defaults;
        QCOMPARE(options.minimize_to_tray, defaults.minimize_to_tray);
        QCOMPARE(options.import_inbox, defaults.import_inbox);
        QCOMPARE(options.sound_notification, defaults.sound_notification);
        QCOMPARE(options.popup_message_text, defaults.popup_message_text);
        QVERIFY(!QFile::exists(env_->data_path(u"options.cfg"_qs)));
        QVERIFY(!auto_start_value().has_value());

        window_->show_with(options);
        QVERIFY(find<QRadioButton>(*window_, "taskbarRadio")->isChecked());
        QVERIFY(find<QCheckBox>(*window_, "importInboxCheck")->isChecked());
        QVERIFY(find<QCheckBox>(*window_, "soundCheck")->isChecked());
        QCOMPARE(find<QLineEdit>(*window_, "popupTextEdit")->text(),
                 QString::fromStdU16String(defaults.popup_message_text));
    }

    void enterIsOkAndEscapeIsCancelWhereverTheFocusIs() {
        Options options;
        window_->show_with(options);
        QVERIFY(find<QPushButton>(*window_, "okButton")->isDefault());
        QLineEdit* popup_text = find<QLineEdit>(*window_, "popupTextEdit");
        popup_text->setFocus();
        popup_text->setText(u"Typed, then Esc"_qs);
        QTest::keyClick(popup_text, Qt::Key_Escape);
        QVERIFY(!window_->isVisible());
        QVERIFY(options.popup_message_text != u"Typed, then Esc");
        QVERIFY(options_file().isEmpty());

        window_->show_with(options);
        popup_text->setText(u"Typed, then Enter"_qs);
        QCheckBox* sync = find<QCheckBox>(*window_, "syncOnOpenCheck");
        sync->setFocus();
        QTest::keyClick(sync, Qt::Key_Return);
        QVERIFY(!window_->isVisible());
        QVERIFY(options.popup_message_text == u"Typed, then Enter");
        QVERIFY(!options_file().isEmpty());

        window_->show_with(options);
        QTest::keyClick(popup_text, Qt::Key_Enter);  // the keypad's
        QVERIFY(!window_->isVisible());
    }

    void closingHidesAndKeepsTheWindow() {
        Options options;
        window_->show_with(options);
        QVERIFY(window_->close() == false || !window_->isVisible());
        QVERIFY(!window_->isVisible());
        window_->show_with(options);
        QVERIFY(window_->isVisible());
    }

    void textsLongerThan511AreStoredCut() {
        Options options;
        window_->show_with(options);
        const QString long_text(600, u'p');
        const QString long_path = u"/sounds/"_qs + QString(600, u's') + u".wav"_qs;
        find<QLineEdit>(*window_, "popupTextEdit")->setText(long_text);
        find<QLineEdit>(*window_, "soundFileEdit")->setText(long_path);
        click("okButton");
        QCOMPARE(options.popup_message_text.size(), size_t{511});
        QCOMPARE(options.popup_message_text, std::u16string(511, u'p'));
        QCOMPARE(options.sound_filename, long_path.left(511).toStdU16String());
        Options loaded;
        QVERIFY(load_options(loaded));
        QCOMPARE(loaded.popup_message_text, options.popup_message_text);
        QCOMPARE(loaded.sound_filename, options.sound_filename);
        // A surrogate pair at the cut is not halved.
        QCOMPARE(settings_text(QString(510, u'a') + u"\U0001F600"_qs).size(), size_t{510});
    }

    void browseThenCancelKeepsTheChosenFile() {
        Options options;
        window_->show_with(options);
        const QString chosen = env_->temp_path(u"ding.wav"_qs);
        env_->answer_file_dialogs({chosen});
        click("browseButton");
        QCOMPARE(env_->file_dialogs().size(), 1);
        QCOMPARE(options.sound_filename, chosen.toStdU16String());
        QCOMPARE(find<QLineEdit>(*window_, "soundFileEdit")->text(), chosen);
        click("cancelButton");
        QCOMPARE(options.sound_filename, chosen.toStdU16String());
        window_->show_with(options);
        QCOMPARE(find<QLineEdit>(*window_, "soundFileEdit")->text(), chosen);
        QVERIFY(!QFile::exists(env_->data_path(u"options.cfg"_qs)));
    }

    void browseCancelledChangesNothing() {
        Options options;
        const std::u16string before = options.sound_filename;
        window_->show_with(options);
        env_->answer_file_dialogs({QString()});
        click("browseButton");
        QCOMPARE(options.sound_filename, before);
        QCOMPARE(find<QLineEdit>(*window_, "soundFileEdit")->text().toStdU16String(), before);
    }

    void aFailedSaveIsReported() {
        // The data folder has gone: the file cannot be written.
        QVERIFY(QDir(env_->data_path({})).removeRecursively());
        Options options;
        window_->show_with(options);
        click("popupCheck");
        click("okButton");
        QCOMPARE(options.popup_message, uint8_t{0});
        const auto boxes = env_->take_message_boxes();
        QCOMPARE(boxes.size(), size_t{1});
        QVERIFY(boxes[0].text.startsWith(u"Could not save the settings.\nDetails:\n"_qs));
        QCOMPARE(boxes[0].caption, u"Quillet"_qs);
        QVERIFY(!window_->isVisible());
    }

    void soundDialogPreviewsByTheFolderRule() {
        QVERIFY(QDir().mkpath(env_->temp_path(u"other"_qs)));
        const QString a = env_->temp_path(u"a.wav"_qs);
        const QString b = env_->temp_path(u"other/b.wav"_qs);
        const QString c = env_->temp_path(u"other/c.wav"_qs);
        for (const QString& path : {a, b, c}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        SoundFileDialog dialog;
        QCOMPARE(dialog.nameFilters(), QStringList{u"Sound Files (*.wav)"_qs});
        Q_EMIT dialog.currentChanged(a);
        Q_EMIT dialog.currentChanged(b);
        Q_EMIT dialog.currentChanged(c);
        QCOMPARE(env_->sounds(), (QStringList{a, c}));
    }
};

QTEST_MAIN(OptionsWindowTest)
#include "options_window_test.moc"
