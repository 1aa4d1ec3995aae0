// The three windows at the sizes the main window gives them, filled as a
// user would see them: no control is squeezed below the size it needs to
// show its text, and no two controls overlap. With QUILLET_SCREENS set to a
// folder, each window is also saved there as a PNG. The toolbars show the
// program's own pictures, also after the desktop turned dark.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTest>
#include <memory>

#include "desktop/composer/new_sms_form.h"
#include "desktop/composer/new_sms_window.h"
#include "desktop/store/contact_list.h"
#include "desktop/views/contacts_list_view.h"
#include "desktop/views/contacts_window.h"
#include "desktop/views/options_window.h"
#include "desktop/views/pictures.h"
#include "phone_link.h"
#include "tests/gui/screen_helpers.h"
#include "window_test_env.h"

using namespace quillet;
using namespace quillet::testing;

namespace {

QString describe(const QWidget* w) {
    return QStringLiteral("%1 (%2)").arg(w->objectName(),
                                         QString::fromLatin1(w->metaObject()->className()));
}

// Every visible control has at least its minimum size, and controls that
// share a parent do not overlap.
void check_layout(QWidget& window) {
    const QList<QWidget*> all = window.findChildren<QWidget*>();
    for (QWidget* w : all) {
        if (!w->isVisible())
            continue;
        const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLabel*>(w) ||
                             qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w);
        if (!control || w->objectName().startsWith(u"qt_"_qs))
            continue;
        const QSize need = w->minimumSizeHint();
        QVERIFY2(w->width() >= need.width() && w->height() >= need.height(),
                 qPrintable(describe(w) + u" is cut off"_qs));
        for (QWidget* other : all) {
            if (other == w || other->parentWidget() != w->parentWidget() || !other->isVisible())
                continue;
            if (!qobject_cast<QAbstractButton*>(other) && !qobject_cast<QLabel*>(other) &&
                !qobject_cast<QLineEdit*>(other) && !qobject_cast<QComboBox*>(other))
                continue;
            QVERIFY2(!w->geometry().intersects(other->geometry()),
                     qPrintable(describe(w) + u" overlaps "_qs + describe(other)));
        }
    }
}

// The toolbar button `action` shows the program's own `picture`, not a
// picture of the style.
void check_picture(QWidget& window, const char* action, ToolbarPicture picture,
                   QStyle::StandardPixmap style_picture) {
    auto* found = window.findChild<QAction*>(QLatin1String(action));
    QVERIFY2(found != nullptr, action);
    const QImage shown = found->icon().pixmap(QSize(24, 24)).toImage();
    QVERIFY2(!shown.isNull(), action);
    QCOMPARE(shown, toolbar_icon(picture, window.palette()).pixmap(QSize(24, 24)).toImage());
    QVERIFY2(shown != window.style()->standardIcon(style_picture).pixmap(QSize(24, 24)).toImage(),
             action);
}

QImage picture_of(QWidget& window, const char* action) {
    auto* found = window.findChild<QAction*>(QLatin1String(action));
    return found ? found->icon().pixmap(QSize(24, 24)).toImage() : QImage();
}

void save_screen(QWidget& window, const QString& name) {
    const QString folder = qEnvironmentVariable("QUILLET_SCREENS");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    QVERIFY(window.grab().save(QDir(folder).filePath(name)));
}

}  // namespace

class WindowScreensTest : public QObject {
    Q_OBJECT

    std::unique_ptr<WindowTestEnv> env_;
    std::unique_ptr<SmartphoneSmsConnect> link_;
    QPalette light_ = QApplication::palette();

  private Q_SLOTS:
    void init() {
        env_ = std::make_unique<WindowTestEnv>();
        link_ = std::make_unique<SmartphoneSmsConnect>(quick_link_settings());
        ContactList list;
        for (const Contact& c :
             {make_contact("Doe,John", "+49 170 5551234"),
              make_contact("Miller,Ann", "0171 2223334"),
              make_contact("Smith,Bob", "+44 20 7946 0000"), make_contact("Mum", "0303 1234"),
              make_contact("Garcia,Lucia", "+34 600 123 456")})
            list.append(c);
        QVERIFY(list.save_contacts(kContactsFileName).ok());
    }
    void cleanup() {
        QApplication::setPalette(light_);
        link_.reset();
        env_.reset();
    }

    void composer() {
        SmsBox sent(BoxKind::SentItems);
        ContactsWindow contacts(*link_);
        auto* window = new NewSmsWindow(*link_, sent, contacts);
        std::unique_ptr<NewSmsWindow> owner(window);
        window->resize(400, 400);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        window->add_recipient(make_contact("John Doe", "+49 170 5551234"));
        window->add_recipient(make_contact("", "0171 2223334"));
        window->set_message_text(
            u"Hi John,\r\nthe train is late; I will be there at 7.\r\nSee you!");
        check_layout(*window);
        RecipientList& list = window->form().recipient_list();
        QVERIFY(list.columnWidth(0) >= static_cast<QAbstractItemView&>(list).sizeHintForColumn(
                                           0));  // numbers are not elided
        QVERIFY(list.columnWidth(0) >= 100);
        check_picture(*window, "sendToolAction", ToolbarPicture::Send,
                      QStyle::SP_DialogApplyButton);
        check_picture(*window, "contactsToolAction", ToolbarPicture::Contacts,
                      QStyle::SP_FileDialogContentsView);
        save_screen(*window, u"composer.png"_qs);
    }

    void contactsWindow() {
        ContactsWindow window(*link_);
        window.resize(400, 400);
        RecipientSink* none = nullptr;
        SmsBox sent(BoxKind::SentItems);
        NewSmsWindow picker(*link_, sent, window);
        window.show_for(&picker);
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.set_status_text(u"Contact list Updated");
        check_layout(window);
        for (int column = 0; column < 2; ++column)
            QVERIFY(window.list_view().columnWidth(column) >=
                    static_cast<QAbstractItemView&>(window.list_view()).sizeHintForColumn(column));
        check_picture(window, "getContactsAction", ToolbarPicture::GetContacts,
                      QStyle::SP_BrowserReload);
        check_picture(window, "addContactAction", ToolbarPicture::AddRecipient,
                      QStyle::SP_ArrowForward);
        save_screen(window, u"contacts.png"_qs);
        window.show_for(none);
        check_layout(window);
    }

    // The desktop turns dark while the composer and the contacts window are
    // open: their toolbars' pictures are drawn again in the dark palette's
    // light ink, as the main window's are.
    void openWindowsFollowADarkDesktop() {
        ContactsWindow contacts(*link_);
        SmsBox sent(BoxKind::SentItems);
        NewSmsWindow composer(*link_, sent, contacts);
        contacts.show_for(&composer);
        composer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&composer));
        const struct {
            QWidget* window;
            const char* action;
            ToolbarPicture picture;
        } buttons[] = {{&composer, "sendToolAction", ToolbarPicture::Send},
                       {&composer, "contactsToolAction", ToolbarPicture::Contacts},
                       {&contacts, "getContactsAction", ToolbarPicture::GetContacts},
                       {&contacts, "addContactAction", ToolbarPicture::AddRecipient}};
        QList<QImage> light;
        for (const auto& b : buttons)
            light << picture_of(*b.window, b.action);

        QApplication::setPalette(dark_desktop_palette());
        for (qsizetype i = 0; i < light.size(); ++i) {
            const auto& b = buttons[i];
            QTRY_COMPARE(b.window->palette().color(QPalette::Window), QColor(0x2a, 0x2d, 0x32));
            const QImage dark = picture_of(*b.window, b.action);
            QVERIFY2(dark != light[i], b.action);
            QCOMPARE(dark,
                     toolbar_icon(b.picture, b.window->palette()).pixmap(QSize(24, 24)).toImage());
        }
        save_screen(composer, u"composer-dark.png"_qs);
        save_screen(contacts, u"contacts-dark.png"_qs);
    }

    void optionsWindow() {
        Options options;
        OptionsWindow window;
        window.resize(500, 400);
        window.show_with(options);
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        check_layout(window);
        save_screen(window, u"options.png"_qs);
    }
};

QTEST_MAIN(WindowScreensTest)
#include "window_screens_test.moc"
