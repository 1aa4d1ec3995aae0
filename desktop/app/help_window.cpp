#include "help_window.h"

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
