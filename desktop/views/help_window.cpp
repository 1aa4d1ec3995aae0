#include "desktop/views/help_window.h"

#include <QFileInfo>
#include <QTextBrowser>

#include "desktop/store/app_paths.h"
#include "desktop/views/pictures.h"

namespace quillet {

HelpWindow::HelpWindow(QWidget* parent) : QMainWindow(parent) {
    setWindowFlag(Qt::Window);
    setObjectName(QStringLiteral("helpWindow"));
    setWindowTitle(tr("Quillet Help"));
    setWindowIcon(application_icon());
    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("helpBrowser"));
    browser_->setOpenExternalLinks(true);
    // The manual sets dark text on its own light colours: its page stays
    // light whatever the desktop's theme, or that text would be dark on dark.
    QPalette page = browser_->palette();
    page.setColor(QPalette::Base, Qt::white);
    page.setColor(QPalette::Text, QColor(0x1d, 0x27, 0x33));
    browser_->setPalette(page);
    setCentralWidget(browser_);
    resize(720, 640);
}

bool HelpWindow::show_manual() {
    const QString manual = QString::fromStdString(resource_path(u"help/index.html").string());
    const bool found = QFileInfo::exists(manual);
    if (found) {
        browser_->setSource(QUrl::fromLocalFile(manual));
    } else {
        browser_->setHtml(
            QStringLiteral("<h2>Quillet Help</h2><p>The manual was not found at %1.</p>")
                .arg(manual.toHtmlEscaped()));
    }
    show();
    raise();
    activateWindow();
    return found;
}

}  // namespace quillet
