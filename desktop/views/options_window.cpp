#include "desktop/views/options_window.h"

#include <QCloseEvent>

#include "desktop/views/options_form.h"

namespace quillet {

OptionsWindow::OptionsWindow(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("optionsWindow"));
    setWindowTitle(tr("Options"));
    form_ = new OptionsForm(this);
    setCentralWidget(form_);
    connect(form_, &OptionsForm::finished, this, &QWidget::hide);
}

OptionsWindow::~OptionsWindow() = default;

void OptionsWindow::show_with(Options& options) {
    show();
    raise();
    activateWindow();
    form_->load_from(options);
}

void OptionsWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    hide();
}

}  // namespace quillet
