#include "key_table.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>

namespace quillet {
FrameKey frame_key(int key, bool ctrl, bool shift) {
    if (ctrl) {
        switch (key) {
            case Qt::Key_A:
                return FrameKey::SelectAll;
            case Qt::Key_F:
                return FrameKey::Forward;
            case Qt::Key_G:
                return FrameKey::GetSms;
            case Qt::Key_M:
                return FrameKey::MarkRead;
            case Qt::Key_N:
                return FrameKey::NewSms;
            case Qt::Key_P:
                return FrameKey::Print;
            case Qt::Key_Q:
                return FrameKey::Quit;
            case Qt::Key_R:
                return FrameKey::Reply;
            case Qt::Key_U:
                return FrameKey::MarkUnread;
            default:
                return FrameKey::None;
        }
    }
    if (shift)
        return key == Qt::Key_Delete ? FrameKey::DeleteOnDevice : FrameKey::None;
    switch (key) {
        case Qt::Key_Delete:
            return FrameKey::Delete;
        case Qt::Key_F1:
            return FrameKey::Help;
        case Qt::Key_F4:
            return FrameKey::Contacts;
        default:
            return FrameKey::None;
    }
}

QKeySequence frame_key_sequence(FrameKey command) {
    switch (command) {
        case FrameKey::SelectAll:
            return QKeySequence(Qt::CTRL | Qt::Key_A);
        case FrameKey::Forward:
            return QKeySequence(Qt::CTRL | Qt::Key_F);
        case FrameKey::GetSms:
            return QKeySequence(Qt::CTRL | Qt::Key_G);
        case FrameKey::MarkRead:
            return QKeySequence(Qt::CTRL | Qt::Key_M);
        case FrameKey::NewSms:
            return QKeySequence(Qt::CTRL | Qt::Key_N);
        case FrameKey::Reply:
            return QKeySequence(Qt::CTRL | Qt::Key_R);
        case FrameKey::MarkUnread:
            return QKeySequence(Qt::CTRL | Qt::Key_U);
        case FrameKey::Print:
            return QKeySequence(Qt::CTRL | Qt::Key_P);
        case FrameKey::Quit:
            return QKeySequence(Qt::CTRL | Qt::Key_Q);
        case FrameKey::DeleteOnDevice:
            return QKeySequence(Qt::SHIFT | Qt::Key_Delete);
        case FrameKey::Delete:
            return QKeySequence(Qt::Key_Delete);
        case FrameKey::Help:
            return QKeySequence(Qt::Key_F1);
        case FrameKey::Contacts:
            return QKeySequence(Qt::Key_F4);
        case FrameKey::None:
            break;
    }
    return {};
}

void show_frame_key(QAction& action, FrameKey command) {
    action.setShortcut(frame_key_sequence(command));
    // Matched only while the action's own menu has the focus, which a menu
    // in the menu bar or a context menu never takes from the window.
    action.setShortcutContext(Qt::WidgetShortcut);
}

FrameKeys::FrameKeys(QWidget& window, const QWidget& search_field,
                     std::function<void(FrameKey)> run)
    : QObject(&window), window_(window), search_field_(search_field), run_(std::move(run)) {
    qApp->installEventFilter(this);
}

FrameKeys::~FrameKeys() {
    qApp->removeEventFilter(this);
}

bool FrameKeys::seen_before(const QKeyEvent& key, QWidget* widget) const {
    return last_key_.event == &key && last_key_.timestamp == key.timestamp() &&
           last_key_.key == key.key() && last_key_.receiver && widget != last_key_.receiver &&
           widget->isAncestorOf(last_key_.receiver);
}

bool FrameKeys::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != &window_)
        return false;
    if (type == QEvent::KeyRelease) {
        last_key_ = {};
        return false;
    }
    // The press travels from the focused pane up to the window: act once.
    if (seen_before(*key, widget))
        return false;
    last_key_ = {key, key->timestamp(), key->key(), widget};
    const Qt::KeyboardModifiers modifiers = key->modifiers();
    FrameKey command = frame_key(key->key(), modifiers.testFlag(Qt::ControlModifier),
                                 modifiers.testFlag(Qt::ShiftModifier));
    if (widget == &search_field_ &&
        (command == FrameKey::Delete || command == FrameKey::DeleteOnDevice ||
         command == FrameKey::SelectAll))
        command = FrameKey::None;
    const bool deleting = command == FrameKey::Delete || command == FrameKey::DeleteOnDevice;
    if (!(deleting && key->isAutoRepeat()))
        run_(command);
    return false;  // the widget gets the key as well
}

}  // namespace quillet
