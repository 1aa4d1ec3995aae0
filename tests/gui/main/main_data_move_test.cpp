// The main window started where an earlier run kept its boxes in the
// program folder: they are moved to $XDG_DATA_HOME/quillet, the list shows
// their messages, and the status bar says where they went.
#include <QDir>
#include <QFile>
#include <QTest>

#include "desktop/store/app_paths.h"
#include "desktop/store/sms_box.h"
#include "desktop/views/sms_list_view.h"
#include "main_test_env.h"

using namespace quillet;
using namespace quillet::testing;

namespace {

const QString kEarlierText = QStringLiteral("Left behind by an earlier run");

// The messages the list shows, by their text.
QStringList shown_texts(SmsListView& list) {
    QStringList texts;
    const MessageListModel& model = list.list_model();
    for (int row = 0; row < model.rowCount(); ++row) {
        const SmsMessage& m = list.current_box()->message_ref(model.message_index(row));
        texts << QString::fromStdU16String(std::u16string(m.text_view()));
    }
    return texts;
}

}  // namespace

class MainDataMoveTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<MainTestEnv> env_;
    QString program_;

    QString xdg_file(const QString& name) const {
        return env_->xdg_data_home() + QStringLiteral("/quillet/") + name;
    }

    // An inbox with one message, saved in the program folder as a run of an
    // earlier version did.
    bool plant_earlier_inbox() const {
        const std::filesystem::path program = program_.toStdString();
        set_app_folders_for_testing(program, program);
        SmsBox inbox(BoxKind::Inbox);
        SmsMessage message;
        message.set_text(kEarlierText.toStdU16String());
        message.set_number("+491701234567");
        message.set_time_now();
        message.set_read(1);
        inbox.append(message);
        const bool saved = static_cast<bool>(inbox.save_box(box_file_name(BoxKind::Inbox)));
        set_program_folder_for_testing(program);
        return saved;
    }

  private Q_SLOTS:
    void init() {
        env_ = std::make_unique<MainTestEnv>();
        program_ = env_->temp_path(QStringLiteral("program"));
        QVERIFY(copy_program_folder(program_, false));
        QVERIFY(env_->phone({QStringLiteral("init"), QStringLiteral("--sample")}));
    }

    void cleanup() { env_.reset(); }

    void theEarlierInboxIsMovedShownAndTheStatusBarSaysWhere() {
        QVERIFY(plant_earlier_inbox());
        {
            RunningFrame f;
            QCOMPARE(f->status_text(), QStringLiteral("Your messages were moved from ") + program_ +
                                           QStringLiteral(" to ") + env_->xdg_data_home() +
                                           QStringLiteral("/quillet."));
            QCOMPARE(shown_texts(f->list_view()), QStringList{kEarlierText});
            QVERIFY(!QFile::exists(program_ + QStringLiteral("/inbox1.sms")));
            QVERIFY(QFile::exists(xdg_file(QStringLiteral("inbox1.sms"))));
        }
        // The files it saved on closing are in the data folder too.
        QVERIFY(QFile::exists(xdg_file(QStringLiteral("sent1.sms"))));
        QVERIFY(!QFile::exists(program_ + QStringLiteral("/sent1.sms")));

        // The next start finds them there and has nothing to say about it.
        RunningFrame again;
        QCOMPARE(again->status_text(), QStringLiteral("Ready"));
        QCOMPARE(shown_texts(again->list_view()), QStringList{kEarlierText});
    }
};

QTEST_MAIN(MainDataMoveTest)
#include "main_data_move_test.moc"
