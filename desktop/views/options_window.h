// The options window: edits the settings record that the main window owns.
//
// Created once, hidden, by the main window; OK, Cancel and the close box
// only hide it. Every showing loads the controls from the record, so what
// was typed before a Cancel is not shown again.
//
// Widgets (objectName): "optionsWindow" (titled "Options"), "optionsForm"
// (OptionsForm, which documents its controls).
#pragma once

#include <QMainWindow>

#include "desktop/store/options.h"

namespace quillet {

class OptionsForm;

class OptionsWindow : public QMainWindow {
    Q_OBJECT

  public:
    explicit OptionsWindow(QWidget* parent = nullptr);
    ~OptionsWindow() override;

    // Shows the window in front with the controls loaded from `options`,
    // which must stay alive while the window is shown. OK writes the
    // controls into it, saves it with save_options (a failed save is
    // reported in a message box) and hides the window; Cancel hides it.
    void show_with(Options& options);

    OptionsForm& form() { return *form_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    OptionsForm* form_ = nullptr;
};

}  // namespace quillet
