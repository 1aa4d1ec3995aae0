// The real main window started over damaged and hostile data files: every
// file it cannot use whole is reported with the place it was kept, nothing a
// file held is lost, a FIFO never blocks the start, the leftovers of killed
// saves are cleared, a text's direction marks stay inside its cell, and the
// conflict copies a file-sync program left are offered and taken in.
#include <fcntl.h>
#include <sys/stat.h>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTest>
#include <atomic>
#include <thread>

#include "desktop/library/import_record.h"
#include "desktop/store/box_file.h"
#include "desktop/views/sms_list_view.h"
#include "main_test_env.h"
#include "tests/store/fifo_watchdog.h"

using namespace quillet;
using namespace quillet::testing;

namespace {

QByteArray le32(quint32 v) {
    QByteArray out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<char>(v >> (8 * i));
    return out;
}

QByteArray record(const QString& text, const QByteArray& number, quint64 time) {
    QByteArray out = le32(static_cast<quint32>(2 * (text.size() + 1)));
    for (const QChar c : text) {
        out += static_cast<char>(c.unicode() & 0xFF);
        out += static_cast<char>(c.unicode() >> 8);
    }
    out += QByteArray(2, '\0');
    QByteArray field = number;
    field.resize(32, '\0');
    out += field;
    for (int i = 0; i < 8; ++i)
        out += static_cast<char>(time >> (8 * i));
    out += QByteArray("\x01\x01\x00", 3) + QByteArray(16, '\x05');
    return out;
}

QByteArray box_file(qint32 count, const QList<QByteArray>& records) {
    QByteArray out = QByteArray::fromStdString(std::string(kBoxHeader110));
    out += le32(0xFFFFFFFF) + le32(0xFFFFFFFF) + le32(static_cast<quint32>(count));
    for (const QByteArray& r : records)
        out += r;
    return out;
}

void write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

constexpr quint64 kTime = 134'000'000'000'000'000ULL;

}  // namespace

class MainReliabilityTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<MainTestEnv> env_;

  private Q_SLOTS:
    void init() { env_ = std::make_unique<MainTestEnv>(); }
    void cleanup() { env_.reset(); }

    void startUpOverDamagedFilesLosesNothingAndSaysWhereEachWent() {
        // Inbox: a count of 0 before three records. Sent Items: a FIFO.
        // Deleted Items: not a box file. Contacts: a count too small.
        const QByteArray inbox = box_file(0, {record(QStringLiteral("one"), "+491", kTime),
                                              record(QStringLiteral("two"), "+492", kTime),
                                              record(QStringLiteral("three"), "+493", kTime)});
        write(env_->data_path(QStringLiteral("inbox1.sms")), inbox);
        write(env_->data_path(QStringLiteral("deleted1.sms")), "no box file");
        QByteArray contacts = QByteArray("quillet version 1.00") + le32(1);
        for (const char* name : {"Amy", "Bob"}) {
            QByteArray field(name);
            field.resize(32, '\0');
            contacts += field + QByteArray("+491").leftJustified(32, '\0');
        }
        write(env_->data_path(QStringLiteral("contacts.sql")), contacts);
        // What two killed saves left, and a file of the user's that looks alike.
        write(env_->data_path(QStringLiteral("inbox1.sms.quillet-save-Ab12Cd")), "half");
        write(env_->data_path(QStringLiteral("options.cfg.quillet-save-x9Y8z7")), "half");
        write(env_->data_path(QStringLiteral("inbox1.sms.backup")), "mine");

        // A start-up blocked on it is let go after 10 s.
        test::FifoWatchdog fifo(env_->data_path(QStringLiteral("sent1.sms")).toStdString(),
                                std::chrono::milliseconds(10'000), std::chrono::milliseconds(500));
        RunningFrame f;
        QVERIFY2(fifo.finish(), "the start waited on the FIFO");

        const std::vector<MessageBoxRequest> boxes = env_->take_message_boxes();
        QStringList texts;
        for (const MessageBoxRequest& b : boxes)
            texts << b.text;
        const QString all = texts.join(QStringLiteral("\n---\n"));
        QCOMPARE(boxes.size(), size_t{4});
        const auto said = [&](const QString& start, const QString& kept) {
            for (const QString& t : texts) {
                if (t.startsWith(start))
                    return t.contains(env_->data_path(kept));
            }
            return false;
        };
        QVERIFY2(said(QStringLiteral("The box file inbox1.sms is damaged: 3 messages"),
                      QStringLiteral("inbox1.sms.damaged-1")),
                 qPrintable(all));
        QVERIFY2(said(QStringLiteral("The box file sent1.sms could not be read"),
                      QStringLiteral("sent1.sms.unknown-1")),
                 qPrintable(all));
        QVERIFY2(said(QStringLiteral("Unknown version of Quillet in inbox files."),
                      QStringLiteral("deleted1.sms.unknown-1")),
                 qPrintable(all));
        QVERIFY2(said(QStringLiteral("The contacts file is damaged: 2 contacts"),
                      QStringLiteral("contacts.sql.damaged-1")),
                 qPrintable(all));

        // Every record is on the screen.
        SmsListView& list = f->list_view();
        QCOMPARE(list.list_model().rowCount(), 3);
        QStringList shown;
        for (int row = 0; row < 3; ++row)
            shown << list.list_model().index(row, MessageListModel::kMessage).data().toString();
        shown.sort();
        QCOMPARE(shown, (QStringList{QStringLiteral("one"), QStringLiteral("three"),
                                     QStringLiteral("two")}));
        QCOMPARE(QFile(env_->data_path(QStringLiteral("inbox1.sms.damaged-1"))).size(),
                 inbox.size());

        const QStringList left = QDir(env_->data_path()).entryList(QDir::Files | QDir::System);
        QVERIFY2(!left.join(QLatin1Char(' ')).contains(QStringLiteral("quillet-save")),
                 qPrintable(left.join(QLatin1Char(' '))));
        QVERIFY(left.contains(QStringLiteral("inbox1.sms.backup")));
    }

    // A right-to-left override in a text reorders that text only: the other
    // columns of its row look exactly as those of a row without it.
    void directionMarksStayInsideTheirCell() {
        const QString plain = QStringLiteral("hello there");
        const QString marked = QStringLiteral("\u202Eevil text");
        write(env_->data_path(QStringLiteral("inbox1.sms")),
              box_file(2, {record(plain, "+4930123", kTime), record(marked, "+4930123", kTime)}));
        RunningFrame f;
        f->resize(1000, 500);
        SmsListView& list = f->list_view();
        QCOMPARE(list.list_model().rowCount(), 2);
        QVERIFY(QTest::qWaitForWindowExposed(f.frame.get()));
        const QImage shot = list.viewport()->grab().toImage();
        const auto cell = [&](int row, int column) {
            return shot.copy(list.visualRect(list.list_model().index(row, column)));
        };
        const int plain_row = list.list_model().index(0, 0).data().toString() == plain ? 0 : 1;
        for (int column = MessageListModel::kSender; column < MessageListModel::kColumnCount;
             ++column) {
            QCOMPARE(cell(1 - plain_row, column), cell(plain_row, column));
        }
        QVERIFY(cell(0, MessageListModel::kMessage) != cell(1, MessageListModel::kMessage));
    }

    // Two computers changed the boxes between two syncs: Syncthing kept this
    // one's and put the other's beside them.
    void conflictCopiesOfASyncedFolderAreTakenInOnce() {
        QVERIFY(QDir(env_->data_path()).mkpath(QStringLiteral(".stfolder")));
        const QString inbox_copy = QStringLiteral("inbox1.sync-conflict-20261210-101010-ABC.sms");
        const QString sent_copy = QStringLiteral("sent1 (conflicted copy 2026-12-10).sms");
        write(env_->data_path(QStringLiteral("inbox1.sms")),
              box_file(1, {record(QStringLiteral("kept here"), "+491", kTime)}));
        write(env_->data_path(inbox_copy),
              box_file(2, {record(QStringLiteral("kept here"), "+491", kTime),
                           record(QStringLiteral("only there"), "+492", kTime + 600'000'000)}));
        write(env_->data_path(sent_copy),
              box_file(1, {record(QStringLiteral("sent there"), "+493", kTime)}));
        const auto texts = [](RunningFrame& f) {
            QStringList rows;
            const MessageListModel& model = f->list_view().list_model();
            for (int row = 0; row < model.rowCount(); ++row)
                rows << model.index(row, MessageListModel::kMessage).data().toString();
            rows.sort();
            return rows;
        };
        {
            RunningFrame f;
            QCOMPARE(env_->questions().size(), 1);
            QVERIFY(env_->questions()[0].contains(inbox_copy));
            QVERIFY(env_->questions()[0].contains(sent_copy));
            const std::vector<MessageBoxRequest> boxes = env_->take_message_boxes();
            QCOMPARE(boxes.size(), size_t{2});  // what a sync folder means, the summary
            QVERIFY(boxes[0].text.contains(QStringLiteral("Syncthing")));
            QVERIFY(boxes[1].text.contains(inbox_copy) && boxes[1].text.contains(sent_copy));
            QCOMPARE(texts(f),
                     QStringList({QStringLiteral("kept here"), QStringLiteral("only there")}));
            f->show_box(BoxKind::SentItems);
            QCOMPARE(texts(f), QStringList({QStringLiteral("sent there")}));
            QCOMPARE(f->status_text(), QStringLiteral("2 messages imported"));
            f->close();
        }
        // Each copy is one import, to be undone as any other.
        const std::vector<ImportRecord> imports =
            ImportFolder(env_->data_path().toStdString()).records();
        QCOMPARE(imports.size(), size_t{2});
        for (const ImportRecord& r : imports) {
            QCOMPARE(r.state, ImportRecord::State::Done);
            QCOMPARE(r.added, size_t{1});
        }
        // Taken in, and told: the next start asks and says nothing.
        RunningFrame f;
        QCOMPARE(env_->questions().size(), 1);
        QVERIFY(env_->message_boxes().empty());
        QCOMPARE(texts(f),
                 QStringList({QStringLiteral("kept here"), QStringLiteral("only there")}));
    }
};

QTEST_MAIN(MainReliabilityTest)
#include "main_reliability_test.moc"
