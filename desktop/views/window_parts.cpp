#include "window_parts.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <algorithm>
#include <array>
#include <cmath>

#include "desktop/store/shown_time.h"
#include "desktop/views/flat_list_view.h"
#include "desktop/views/lock_keys.h"

namespace quillet {

namespace {
// The texts' context for the translations.
class ProgressTexts {
    Q_DECLARE_TR_FUNCTIONS(ProgressTexts)
};
}  // namespace

QString time_left(double spent, uint64_t done, uint64_t total) {
    if (done == 0 || done >= total || spent < 1.0)
        return {};
    const double left = spent * static_cast<double>(total - done) / static_cast<double>(done);
    if (left < 90.0)
        return ProgressTexts::tr("About %n seconds left", nullptr,
                                 static_cast<int>(std::max(1.0, std::ceil(left))));
    return ProgressTexts::tr("About %n minutes left", nullptr,
                             static_cast<int>(std::min(1e6, std::ceil(left / 60.0))));
}

namespace {

// A sunken status-bar pane for a keyboard indicator ("CAP", "NUM", "SCRL").
QLabel* keyboard_indicator(const QString& name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 10);
    return label;
}

// Shows the lock keys' state in a window's three indicators: when the window
// is built, when it becomes active, and after every key a widget of it lets
// go (the lock keys included).
class LockIndicators : public QObject {
  public:
    LockIndicators(QMainWindow* window, std::array<QLabel*, 3> panes)
        : QObject(window), window_(window), panes_(panes) {
        refresh();
        // Installed from the event loop: a window opened by a key press
        // must not join the filters that press is still passing through.
        QMetaObject::invokeMethod(
            this, [this] { qApp->installEventFilter(this); }, Qt::QueuedConnection);
    }
    ~LockIndicators() override {
        // A window may outlive the application object (a static in a tool).
        if (QCoreApplication::instance() != nullptr)
            qApp->removeEventFilter(this);
    }
    LockIndicators(const LockIndicators&) = delete;
    LockIndicators& operator=(const LockIndicators&) = delete;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type == QEvent::WindowActivate && watched == window_) {
            refresh();
        } else if (type == QEvent::KeyRelease) {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget != nullptr && widget->window() == window_ &&
                !static_cast<QKeyEvent*>(event)->isAutoRepeat())
                refresh();
        }
        return false;
    }

  private:
    void refresh() {
        const LockKeys keys = read_lock_keys();
        panes_[0]->setText(keys.caps ? QStringLiteral("CAP") : QString());
        panes_[1]->setText(keys.num ? QStringLiteral("NUM") : QString());
        panes_[2]->setText(keys.scroll ? QStringLiteral("SCRL") : QString());
    }

    QMainWindow* window_;
    std::array<QLabel*, 3> panes_;
};

}  // namespace

QString plain_tooltip(QString text) {
    if (text.isEmpty())
        return text;
    if (text.size() > kMaxTooltipText) {
        text.truncate(kMaxTooltipText);
        if (text.back().isHighSurrogate())
            text.chop(1);
        text += QStringLiteral("...");
    }
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + text.toHtmlEscaped() +
           QStringLiteral("</p>");
}

QLabel* add_status_panes(QMainWindow* window) {
    auto* pane = new QLabel(window);
    pane->setObjectName(QStringLiteral("statusPane"));
    pane->setTextFormat(Qt::PlainText);
    QStatusBar* bar = window->statusBar();
    bar->addWidget(pane, 1);
    std::array<QLabel*, 3> panes{};
    const QString names[] = {QStringLiteral("capsPane"), QStringLiteral("numPane"),
                             QStringLiteral("scrollPane")};
    for (size_t i = 0; i < panes.size(); ++i) {
        panes[i] = keyboard_indicator(names[i], window);
        bar->addPermanentWidget(panes[i]);
    }
    new LockIndicators(window, panes);  // owned by the window
    return pane;
}

int bold_date_width(const QWidget& list) {
    QFont bold = list.font();
    bold.setBold(true);
    // The widest of a few dates and times: digits differ in some fonts.
    int widest = 0;
    for (const int64_t seconds : {1'700'000'000LL, 1'798'758'000LL, 1'767'139'080LL}) {
        widest = std::max(widest, QFontMetrics(bold).horizontalAdvance(
                                      to_qstring(shown_date_time(filetime_from_unix(seconds)))));
    }
    return widest + 16;
}

void fit_columns(FlatListView& view, int flexible, int least) {
    const int room = view.viewport()->width() - view.header()->length();
    const int width = view.columnWidth(flexible);
    const int wanted = std::max(least, width + room);
    if (room != 0 && wanted != width)
        view.setColumnWidth(flexible, wanted);
}

QVariant unread_row_font(bool unread) {
    if (!unread)
        return {};
    QFont bold;
    bold.setBold(true);
    return bold;
}

void set_up_columns(FlatListView& view, std::span<const int> widths, int date) {
    for (int c = 0; c < static_cast<int>(widths.size()); ++c) {
        view.setColumnWidth(
            c, std::max({widths[static_cast<size_t>(c)], view.header()->sectionSizeHint(c),
                         c == date ? bold_date_width(view) : 0}));
    }
    view.sortByColumn(date, Qt::DescendingOrder);
}

void when_row_chosen(FlatListView& view, QObject* context,
                     const std::function<void(const QModelIndex&)>& chosen) {
    auto current = [&view, chosen] { chosen(view.currentIndex()); };
    QObject::connect(view.selectionModel(), &QItemSelectionModel::currentChanged, context, current);
    QObject::connect(view.selectionModel(), &QItemSelectionModel::selectionChanged, context,
                     current);
}

}  // namespace quillet
