// The help window (objectName "helpWindow", titled "Quillet Help"): the
// user manual "help/index.html" from the program folder in a text browser
// ("helpBrowser") whose links lead through the manual's pages. One window,
// created on first use and raised on every later one.
#pragma once

#include <QMainWindow>

class QTextBrowser;

namespace quillet {

class HelpWindow : public QMainWindow {
    Q_OBJECT

  public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Shows the manual's first page, in front. False when the manual is
    // missing (the window then says so).
    bool show_manual();
    QTextBrowser& browser() { return *browser_; }

  private:
    QTextBrowser* browser_ = nullptr;
};

}  // namespace quillet
