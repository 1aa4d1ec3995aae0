// The window in the desktop's light and dark palettes: the message view's
// pages take their colours from the palette, and the text on the screen
// stands out from its background in both (measured on the rendered pixels);
// the toolbar's pictures are drawn in the palette's ink. Screenshots of both
// go to /tmp/screens for people to look at.
#include <QDateTime>
#include <QDir>
#include <QHash>
#include <QLineEdit>
#include <QLocale>
#include <QTest>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolBar>

#include "desktop/views/flat_list_view.h"
#include "desktop/views/help_window.h"
#include "desktop/views/html_form_view.h"
#include "desktop/views/list_pane.h"
#include "desktop/views/page_palette.h"
#include "desktop/views/pictures.h"
#include "desktop/views/sms_list_view.h"
#include "main_test_env.h"
#include "tests/gui/screen_helpers.h"

using namespace quillet;
using namespace quillet::testing;

namespace {

struct Seen {
    QColor background;
    QColor ink;
    qreal contrast = 0;
};

// How `snippet` looks in the view: the commonest colour of its line's
// pixels is the background, the one that stands out most the ink.
Seen seen_text(QTextBrowser& browser, const QString& snippet) {
    const QTextCursor found = browser.document()->find(snippet);
    if (found.isNull())
        return {};
    QTextCursor start(browser.document());
    start.setPosition(found.selectionStart());
    QTextCursor end(browser.document());
    end.setPosition(found.selectionEnd());
    const QRect area = browser.cursorRect(start).united(browser.cursorRect(end));
    const QImage picture = browser.viewport()->grab().toImage();
    QHash<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (picture.rect().contains(x, y))
                ++counts[picture.pixel(x, y)];
        }
    }
    Seen seen;
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            seen.background = QColor(it.key());
        }
    }
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        const qreal ratio = contrast_ratio(QColor(it.key()), seen.background);
        if (ratio > seen.contrast) {
            seen.contrast = ratio;
            seen.ink = QColor(it.key());
        }
    }
    return seen;
}

// The share of a toolbar picture's visible pixels that stand out from
// `background` (3:1, what a picture needs).
qreal visible_share(const QIcon& icon, const QColor& background) {
    const QImage picture = icon.pixmap(QSize(32, 32)).toImage();
    int opaque = 0;
    int standing_out = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QColor pixel = picture.pixelColor(x, y);
            if (pixel.alpha() < 200)
                continue;
            ++opaque;
            if (contrast_ratio(pixel, background) >= 3.0)
                ++standing_out;
        }
    }
    return opaque == 0 ? 0 : static_cast<qreal>(standing_out) / opaque;
}

const QString kText = QStringLiteral("Readable whatever the desktop");

const std::string kFriend = "+4930777111";
const QString kReceived = QStringLiteral("Received words to read at night");
const QString kSent = QStringLiteral("Sent words to read at night");
const QString kGone = QStringLiteral("Gone words to read at night");

SmsMessage message(const std::u16string& text, int64_t at, bool read) {
    return scene_message(kFriend, text, at, read);
}

// One exchange across the three boxes, written as the program writes them.
bool write_conversation() {
    constexpr int64_t kDay0 = 1'767'261'600;  // 2026-01-01 10:00 UTC
    SmsBox inbox(BoxKind::Inbox);
    inbox.append(message(kReceived.toStdU16String(), kDay0 + 86'400, false));
    SmsBox sent(BoxKind::SentItems);
    sent.append(message(kSent.toStdU16String(), kDay0 + 86'400 + 600, true));
    SmsBox deleted(BoxKind::DeletedItems);
    deleted.append(message(kGone.toStdU16String(), kDay0, true));
    return inbox.save_box(kInboxFileName) && sent.save_box(kSentFileName) &&
           deleted.save_box(kDeletedFileName);
}

}  // namespace

class MainThemeTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<MainTestEnv> env_;
    QPalette light_ = QApplication::palette();

    std::unique_ptr<RunningFrame> frame_with_message() {
        if (!env_->phone({QStringLiteral("init")}) ||
            !env_->phone({QStringLiteral("deliver"), QStringLiteral("--from"),
                          QStringLiteral("+4930777000"), QStringLiteral("--text"), kText})) {
            return nullptr;
        }
        auto f = std::make_unique<RunningFrame>();
        if (f->get_sms() != 1)
            return nullptr;
        (*f)->resize(1000, 640);
        return f;
    }

    void show_first_row(RunningFrame& f) {
        SmsListView& list = f->list_view();
        list.setCurrentIndex(list.list_model().index(0, 0));
        QTRY_VERIFY(f->html_view().browser().toPlainText().contains(kText));
    }

    static void save_screen(RunningFrame& f, const QString& name) {
        QTest::qWait(50);
        if (QDir().mkpath(QStringLiteral("/tmp/screens")))
            f->grab().save(QStringLiteral("/tmp/screens/%1.png").arg(name));
    }

    std::unique_ptr<RunningFrame> frame_with_conversation() {
        if (!write_conversation())
            return nullptr;
        auto f = std::make_unique<RunningFrame>();
        (*f)->resize(1000, 640);
        (*f)->show_conversations();
        FlatListView& list = (*f)->list_pane().conversation_view();
        list.setCurrentIndex(list.model()->index(0, 0));
        return f;
    }

    // Every part of a conversation page stands out from what is behind it.
    static void check_conversation_readable(QTextBrowser& browser, bool dark) {
        QTRY_VERIFY(browser.toPlainText().contains(kGone));
        const Seen received = seen_text(browser, kReceived);
        const Seen sent = seen_text(browser, kSent);
        const Seen gone = seen_text(browser, kGone);
        for (const Seen& bubble : {received, sent, gone}) {
            QVERIFY2(bubble.contrast >= 4.5, qPrintable(QString::number(bubble.contrast)));
            QVERIFY2(
                dark ? bubble.background.lightness() < 90 : bubble.background.lightness() > 180,
                qPrintable(bubble.background.name()));
        }
        // Three bubbles told apart by their backgrounds.
        QVERIFY(received.background != sent.background);
        QVERIFY(received.background != gone.background);
        QVERIFY(sent.background != gone.background);
        const Seen mark = seen_text(browser, QStringLiteral("deleted on device"));
        QVERIFY2(mark.contrast >= 3.0, qPrintable(QString::number(mark.contrast)));
        const QString day = QLocale().toString(QDateTime::fromSecsSinceEpoch(1'767'261'600).date(),
                                               QLocale::LongFormat);
        const Seen day_line = seen_text(browser, day);
        QVERIFY2(day_line.contrast >= 3.0, qPrintable(QString::number(day_line.contrast)));
    }

  private Q_SLOTS:
    void init() { env_ = std::make_unique<MainTestEnv>(); }
    void cleanup() {
        QApplication::setPalette(light_);
        env_.reset();
    }

    void tokensTakeThePalettesColours() {
        const QPalette dark = dark_desktop_palette();
        QCOMPARE(with_palette_colours(QStringLiteral("<body bgcolor=\"%page%\" text=\"%text%\">"
                                                     "50% of %unknown% and %"),
                                      dark),
                 QStringLiteral("<body bgcolor=\"#2a2d32\" text=\"#e8e8e8\">50% of %unknown% "
                                "and %"));
        QVERIFY(is_dark(dark));
        QVERIFY(!is_dark(light_));
        QCOMPARE(contrast_ratio(Qt::black, Qt::white), 21.0);
        QCOMPARE(contrast_ratio(Qt::red, Qt::red), 1.0);
    }

    void darkPaletteShowsEveryPageReadably() {
        QApplication::setPalette(dark_desktop_palette());
        auto f = frame_with_message();
        QVERIFY(f);
        QTextBrowser& browser = (*f)->html_view().browser();
        // The idle page first, then the message.
        for (const QString& line :
             {QStringLiteral("Choose a message"), QStringLiteral("Quillet")}) {
            const Seen idle = seen_text(browser, line);
            QVERIFY2(idle.contrast >= 4.5, qPrintable(line));
            QVERIFY(idle.background.lightness() < 90);
        }
        show_first_row(*f);
        const Seen message = seen_text(browser, kText);
        QVERIFY2(message.contrast >= 4.5, qPrintable(QString::number(message.contrast)));
        QVERIFY2(message.background.lightness() < 90, qPrintable(message.background.name()));
        QVERIFY(message.ink.lightness() > 160);
        const Seen sender = seen_text(browser, QStringLiteral("+4930777000"));
        QVERIFY(sender.contrast >= 4.5);
        const Seen label = seen_text(browser, QStringLiteral("FROM"));
        QVERIFY2(label.contrast >= 3.0, qPrintable(QString::number(label.contrast)));
        save_screen(*f, QStringLiteral("theme_dark"));
    }

    // The manual brings its own dark text: its page stays light to carry it.
    void darkPaletteShowsTheManualReadably() {
        QApplication::setPalette(dark_desktop_palette());
        RunningFrame f;
        f->show_help();
        QVERIFY(f->help_window() != nullptr);
        auto* browser = f->help_window()->findChild<QTextBrowser*>(QStringLiteral("helpBrowser"));
        QVERIFY(browser != nullptr);
        const Seen body = seen_text(*browser, QStringLiteral("Quillet keeps the text messages"));
        QVERIFY2(body.contrast >= 4.5, qPrintable(QString::number(body.contrast)));
    }

    void lightPaletteShowsTheSamePageLight() {
        auto f = frame_with_message();
        QVERIFY(f);
        show_first_row(*f);
        const Seen message = seen_text((*f)->html_view().browser(), kText);
        QVERIFY(message.contrast >= 4.5);
        QVERIFY2(message.background.lightness() > 180, qPrintable(message.background.name()));
        save_screen(*f, QStringLiteral("theme_light"));
    }

    void aChangeOfPaletteRepaintsThePageAndThePictures() {
        auto f = frame_with_message();
        QVERIFY(f);
        show_first_row(*f);
        QTextBrowser& browser = (*f)->html_view().browser();
        QVERIFY(seen_text(browser, kText).background.lightness() > 180);
        QApplication::setPalette(dark_desktop_palette());
        QTRY_VERIFY(seen_text(browser, kText).background.lightness() < 90);
        QVERIFY(seen_text(browser, kText).contrast >= 4.5);
        const QColor toolbar = dark_desktop_palette().color(QPalette::Window);
        for (QAction* action : (*f)->toolbar().actions()) {
            if (action->isSeparator())
                continue;
            QVERIFY2(visible_share(action->icon(), toolbar) > 0.6, qPrintable(action->text()));
        }
    }

    // The conversation page and its style sheet take the palette's colours:
    // the received messages on the palette's base, the sent ones on a tint
    // of its highlight, what a search found marked readably.
    void darkPaletteShowsAConversationReadably() {
        const QPalette dark = dark_desktop_palette();
        QApplication::setPalette(dark);
        auto f = frame_with_conversation();
        QVERIFY(f);
        QTextBrowser& browser = (*f)->html_view().browser();
        check_conversation_readable(browser, true);
        QCOMPARE(seen_text(browser, kReceived).background.name(),
                 dark.color(QPalette::Base).name());
        QCOMPARE(seen_text(browser, kSent).background.name(),
                 mixed(dark.color(QPalette::Base), dark.color(QPalette::Highlight), 0.25).name());
        QCOMPARE(seen_text(browser, QStringLiteral("CONVERSATION WITH")).background.name(),
                 QStringLiteral("#2a6fc0"));
        save_screen(*f, QStringLiteral("conversation_dark"));

        QTest::keyClicks(&(*f)->list_pane().search_field(), QStringLiteral("words"));
        QTRY_VERIFY(browser.toHtml().contains(QStringLiteral("#ffe36e")));
        const Seen found = seen_text(browser, QStringLiteral("words"));
        QVERIFY2(found.contrast >= 4.5, qPrintable(QString::number(found.contrast)));
        save_screen(*f, QStringLiteral("conversation_dark_search"));
    }

    void lightPaletteShowsTheSameConversationLight() {
        auto f = frame_with_conversation();
        QVERIFY(f);
        QTextBrowser& browser = (*f)->html_view().browser();
        check_conversation_readable(browser, false);
        save_screen(*f, QStringLiteral("conversation_light"));
        // A change of palette repaints the page, its style sheet too.
        QApplication::setPalette(dark_desktop_palette());
        QTRY_VERIFY(seen_text(browser, kSent).background.lightness() < 90);
        check_conversation_readable(browser, true);
    }
};

QTEST_MAIN(MainThemeTest)
#include "main_theme_test.moc"
