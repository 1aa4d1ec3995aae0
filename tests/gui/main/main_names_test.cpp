// Names by number where the user sees them: the sample phone's messages and
// contacts imported over the real link, then the list's sender column and
// the message view. Two of its contacts end in the same 7 digits.
#include <QTest>
#include <QTextBrowser>

#include "desktop/views/contacts_list_view.h"
#include "desktop/views/contacts_window.h"
#include "desktop/views/html_form_view.h"
#include "desktop/views/sms_list_view.h"
#include "main_test_env.h"

using namespace quillet;
using namespace quillet::testing;

namespace {

// The sender column of the row whose text starts with `start`, and the row.
std::pair<int, QString> sender_of(SmsListView& list, const QString& start) {
    const MessageListModel& model = list.list_model();
    for (int row = 0; row < model.rowCount(); ++row) {
        if (model.index(row, MessageListModel::kMessage).data().toString().startsWith(start))
            return {row, model.index(row, MessageListModel::kSender).data().toString()};
    }
    return {-1, QString()};
}

}  // namespace

class MainNamesTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void sendersAreNamedAsTheNetworkMatchesNumbers() {
        MainTestEnv env;
        QVERIFY(env.phone({QStringLiteral("init"), QStringLiteral("--sample")}));
        RunningFrame f;
        QVERIFY(f.get_sms() > 0);
        f->contacts_window()->import_from_phone();
        QVERIFY(f->contacts_window()->contacts().count() >= 6);

        SmsListView& list = f->list_view();
        // +15551234567 ends as +491701234567 does: each keeps its own name,
        // shown as the contacts window shows it.
        QCOMPARE(sender_of(list, QStringLiteral("Call me when you land")).second,
                 QStringLiteral("Daniel Okafor"));
        // Her SIM entry "Anna" sorts before her contact "Anna,Schmidt".
        QCOMPARE(sender_of(list, QStringLiteral("Are we still on")).second, QStringLiteral("Anna"));
        QCOMPARE(sender_of(list, QStringLiteral("Caf\u00e9 demain")).second,
                 QStringLiteral("Chlo\u00e9 Martin"));

        const int row = sender_of(list, QStringLiteral("Call me when you land")).first;
        list.scrollTo(list.list_model().index(row, 0));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier,
                          list.visualRect(list.list_model().index(row, 0)).center());
        const QString shown = f->html_view().browser().toPlainText();
        QVERIFY2(shown.contains(QStringLiteral("Daniel Okafor")), qPrintable(shown));
        QVERIFY(!shown.contains(QStringLiteral("Anna")));

        // The contacts window's other order is the order shown everywhere.
        f->contacts_window()->list_view().toggle_name_order();
        QCOMPARE(sender_of(list, QStringLiteral("Call me when you land")).second,
                 QStringLiteral("Okafor Daniel"));
    }
};

QTEST_MAIN(MainNamesTest)
#include "main_names_test.moc"
