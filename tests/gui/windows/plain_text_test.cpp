// User data in message boxes, questions and status panes is shown as the
// literal text: a contact named like markup loads no picture and runs
// nothing. One of each kind, opened for real (no test answer installed).
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <functional>

#include "desktop/views/gui_seams.h"
#include "desktop/views/window_parts.h"

using namespace quillet;

namespace {

const QString kName = QStringLiteral("<img src=/dev/zero>");

struct Shown {
    QString text;
    Qt::TextFormat format = Qt::AutoText;
};

// Opens the box `open` shows, reads its text as it stands on screen, and
// closes it.
Shown shown_by(const std::function<void()>& open) {
    Shown shown;
    QTimer::singleShot(0, [&shown] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr)
            return;
        if (const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
            shown.text = label->text();
            shown.format = label->textFormat();
        }
        box->reject();
    });
    open();
    return shown;
}

}  // namespace

class PlainTextTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void messageBoxesAndQuestionsShowNamesAsTheyAre() {
        const QString question = QStringLiteral("Delete the conversation with %1?").arg(kName);
        const std::pair<const char*, std::function<void()>> kinds[] = {
            {"message box", [] { show_message_box(nullptr, kName); }},
            {"question", [&] { ask_yes_no(nullptr, question); }},
        };
        for (const auto& [kind, open] : kinds) {
            const Shown shown = shown_by(open);
            QVERIFY2(shown.text.contains(kName), kind);
            QVERIFY2(shown.format == Qt::PlainText, kind);
        }
    }

    void statusPaneShowsANameAsItIs() {
        QMainWindow window;
        QLabel* pane = add_status_panes(&window);
        pane->setText(kName);
        QCOMPARE(pane->textFormat(), Qt::PlainText);
        QCOMPARE(pane->text(), kName);
    }
};

QTEST_MAIN(PlainTextTest)
#include "plain_text_test.moc"
