// The real window over a box of 100,000 messages, each command that grows
// with the data run once with the address space capped just above what the
// process holds (as under `ulimit -v`), then again with room: capped, it
// says so in a message box, leaves the box and its file as they were, and
// the program goes on; with room, the same command works.
#include <malloc.h>
#include <sys/resource.h>

#include <QAction>
#include <QCheckBox>
#include <QCryptographicHash>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <memory>
#include <vector>

#include "desktop/views/conversation_list_model.h"
#include "desktop/views/list_pane.h"
#include "desktop/views/memory_room.h"
#include "desktop/views/search_results_model.h"
#include "desktop/views/sms_list_view.h"
#include "main_test_env.h"

using namespace quillet;
using namespace quillet::testing;

namespace {

constexpr int kMessages = 100'000;
constexpr int kSenders = 1'000;
constexpr size_t kRoom = size_t{1} << 20;
const std::string kPhoneNumber = "+4917000001";
constexpr int64_t kPhoneTime = 1'690'000'000;  // 2023-07-22T04:26:40Z

// Bytes of address space this process holds now.
size_t mapped_now() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmSize:"))
            return line.mid(7).trimmed().split(' ').front().toULongLong() * 1024;
    }
    return 0;
}

// Caps the address space at what the process holds now, the reserve a
// command sets aside, and `room` more; the old limit comes back after.
// The heap's free chunks are taken up first: what earlier rows freed would
// otherwise let a command grow without new address space, by luck of the
// heap's layout.
class AddressSpaceCap {
  public:
    explicit AddressSpaceCap(size_t room) {
        constexpr size_t kPiece = 512;
        const size_t free_bytes = ::mallinfo2().fordblks;
        taken_.reserve(free_bytes / kPiece);
        while (taken_.size() < taken_.capacity())
            taken_.push_back(std::make_unique<char[]>(kPiece));
        ::getrlimit(RLIMIT_AS, &old_);
        rlimit cap = old_;
        cap.rlim_cur = mapped_now() + MemoryReserve::kBytes + room;
        ::setrlimit(RLIMIT_AS, &cap);
    }
    ~AddressSpaceCap() { ::setrlimit(RLIMIT_AS, &old_); }
    AddressSpaceCap(const AddressSpaceCap&) = delete;
    AddressSpaceCap& operator=(const AddressSpaceCap&) = delete;

  private:
    std::vector<std::unique_ptr<char[]>> taken_;
    rlimit old_{};
};

enum class Command { ShowBox, Sort, GetSms, Conversations, Search };

QByteArray digest(const QString& path) {
    return QCryptographicHash::hash(MainTestEnv::read_file(path), QCryptographicHash::Sha256);
}

}  // namespace

Q_DECLARE_METATYPE(Command)

class MemoryPressureTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<MainTestEnv> env_;

    QString inbox_file() const { return env_->data_path(QStringLiteral("inbox1.sms")); }

    // Every text but the last holds "Message", the search the table types:
    // its results need a view of a hundred thousand rows, whose room is
    // asked of the system itself (view_has_room), whichever heap the search
    // itself finds room in. The last came from the phone, which still has it.
    void write_inbox() const {
        SmsBox box(BoxKind::Inbox);
        for (int i = 0; i < kMessages; ++i) {
            const std::string number = "+49151" + std::to_string(1'000'000 + i % kSenders);
            const std::u16string text = u"Message " + QString::number(i).toStdU16String();
            box.append(scene_message(number, text, 1'700'000'000 + i * 60));
        }
        SmsMessage on_phone = scene_message(kPhoneNumber, u"zero", kPhoneTime);
        on_phone.set_on_phone(1);
        box.append(on_phone);
        QVERIFY(box.save_box_file(inbox_file().toStdString()).ok());
    }

    static void trigger(MainFrame& frame, const char* action) {
        auto* found = frame.findChild<QAction*>(QLatin1String(action));
        QVERIFY(found != nullptr);
        found->trigger();
    }

    void run(Command command, RunningFrame& f) {
        SmsListView& list = f->list_view();
        switch (command) {
            case Command::ShowBox:
                trigger(*f.frame, "viewInboxAction");
                break;
            case Command::Sort:
                Q_EMIT list.header()->sectionClicked(MessageListModel::kSender);
                break;
            case Command::GetSms:
                trigger(*f.frame, "getSmsAction");
                break;
            case Command::Conversations:
                trigger(*f.frame, "viewConversationsAction");
                break;
            case Command::Search:
                f->list_pane().search_field().clear();
                f->list_pane().search_field().setText(QStringLiteral("message"));
                break;
        }
    }

  private Q_SLOTS:
    void initTestCase() {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP(
            "AddressSanitizer's allocator ends the process where memory runs out instead of "
            "throwing std::bad_alloc");
#endif
        // Large blocks each get a mapping of their own, given back when
        // freed: the address space held is what the program holds.
        ::mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    }
    void init() {
        env_ = std::make_unique<MainTestEnv>();
    }
    void cleanup() {
        env_.reset();
    }

    void commandShortOfMemorySaysSoAndWorksWithRoom_data() {
        QTest::addColumn<Command>("command");
        QTest::addColumn<QString>("said");
        QTest::newRow("box list") << Command::ShowBox
                                  << QStringLiteral(
                                         "There is not enough memory to list the "
                                         "100001 messages of this box.");
        QTest::newRow("sort") << Command::Sort
                              << QStringLiteral(
                                     "There is not enough memory to sort the 100001 "
                                     "messages of this list;");
        QTest::newRow("Get SMS") << Command::GetSms
                                 << QStringLiteral(
                                        "There is not enough memory to take in all of "
                                        "the phone's messages.");
        QTest::newRow("conversations") << Command::Conversations
                                       << QStringLiteral(
                                              "There is not enough memory to list "
                                              "the conversations.");
        QTest::newRow("search of every box")
            << Command::Search << QStringLiteral("There is not enough memory to search");
    }

    void commandShortOfMemorySaysSoAndWorksWithRoom() {
        QFETCH(Command, command);
        QFETCH(QString, said);
        write_inbox();
        RunningFrame f;
        SmsListView& list = f->list_view();
        QCOMPARE(list.list_model().rowCount(), kMessages + 1);
        if (command == Command::ShowBox)
            f->show_box(BoxKind::SentItems);
        if (command == Command::Search)
            f->list_pane().all_boxes().setChecked(true);
        if (command == Command::GetSms) {
            QVERIFY(env_->phone({QStringLiteral("init")}));
            for (const char* text : {"zero", "one", "two", "three"}) {
                QStringList deliver = {QStringLiteral("deliver"), QStringLiteral("--from"),
                                       QString::fromStdString(kPhoneNumber),
                                       QStringLiteral("--text"), QLatin1String(text)};
                if (text == std::string_view("zero"))
                    deliver << QStringLiteral("--time") << QStringLiteral("2023-07-22T04:26:40Z");
                QVERIFY(env_->phone(deliver));
            }
            // The link set up by a Get SMS that leaves the Inbox alone.
            f->options().import_inbox = 0;
            QCOMPARE(f.get_sms(), 0);
            f->options().import_inbox = 1;
        }
        const auto on_phone = [&] {
            const std::vector<SmsMessage>& messages = f->inbox().messages();
            return std::count_if(messages.begin(), messages.end(),
                                 [](const SmsMessage& m) { return m.on_phone() != 0; });
        };
        // The room a command has is measured here: the large Inbox is saved
        // at once, without a saving thread's memory coming and going.
        f->library().set_background_from(SIZE_MAX);
        const auto kept = static_cast<size_t>(f->inbox().count());
        const auto kept_on_phone = on_phone();
        const QByteArray file = digest(inbox_file());
        const int first_shown = list.list_model().message_index(0);
        env_->take_message_boxes();

        {
            const AddressSpaceCap cap(kRoom);
            run(command, f);
        }
        const std::vector<MessageBoxRequest> boxes = env_->take_message_boxes();
        QCOMPARE(boxes.size(), size_t{1});
        QVERIFY2(boxes.front().text.startsWith(said), qPrintable(boxes.front().text));
        QCOMPARE(f->inbox().count(), kept);
        QCOMPARE(on_phone(), kept_on_phone);
        QCOMPARE(digest(inbox_file()), file);
        switch (command) {
            case Command::ShowBox:
                QCOMPARE(&f->current_box(), &f->inbox());
                QCOMPARE(list.list_model().rowCount(), 0);
                break;
            case Command::Sort:
                QCOMPARE(list.list_model().rowCount(), kMessages + 1);
                QCOMPARE(list.list_model().message_index(0), first_shown);
                QCOMPARE(f->inbox().sort_column(), -1);
                break;
            case Command::GetSms:
                QCOMPARE(list.list_model().rowCount(), static_cast<int>(kept));
                break;
            case Command::Conversations:
                QCOMPARE(f->list_pane().conversations().rowCount(), 0);
                break;
            case Command::Search:
                QCOMPARE(f->list_pane().results().rowCount(), 0);
                break;
        }

        // With room, the same command works, and says nothing of memory.
        run(command, f);
        QVERIFY(env_->take_message_boxes().empty());
        switch (command) {
            case Command::ShowBox:
                QCOMPARE(list.list_model().rowCount(), kMessages + 1);
                break;
            case Command::Sort: {
                QCOMPARE(f->inbox().sort_column(), int{MessageListModel::kSender});
                const auto sender = [&](int row) {
                    return list.list_model()
                        .index(row, MessageListModel::kSender)
                        .data()
                        .toString();
                };
                QCOMPARE(sender(0), QStringLiteral("+491511000000"));
                QCOMPARE(sender(kMessages - 1), QStringLiteral("+491511000999"));
                QCOMPARE(sender(kMessages), QString::fromStdString(kPhoneNumber));
                break;
            }
            case Command::GetSms:
                QCOMPARE(f->inbox().count(), kept + 3);
                QCOMPARE(on_phone(), kept_on_phone + 3);
                QCOMPARE(list.list_model().rowCount(), static_cast<int>(kept + 3));
                break;
            case Command::Conversations:
                QCOMPARE(f->list_pane().conversations().rowCount(), kSenders + 1);
                break;
            case Command::Search:
                QCOMPARE(f->list_pane().results().rowCount(), kMessages);
                break;
        }
    }
};

QTEST_MAIN(MemoryPressureTest)
#include "memory_pressure_test.moc"
