// The main window's menu bar and toolbar. Every action has its object name
// (main_frame.h lists them) and shows its key of key_table.h as its
// shortcut; the View menu's boxes, Conversations (Ctrl+1 to 4) and Search
// (Ctrl+E) have real shortcuts. The actions only emit triggered: the
// window connects each to its command by name. Toolbar and Status Bar in
// the View menu show and hide their bars themselves.
#pragma once

#include <QCoreApplication>

class QAction;
class QMainWindow;
class QMenu;
class QToolBar;

namespace quillet {

class FrameMenus {
    Q_DECLARE_TR_FUNCTIONS(FrameMenus)

  public:
    // Fills the menu bar of `window` and adds its toolbar ("mainToolBar").
    explicit FrameMenus(QMainWindow& window);

    QToolBar& toolbar() { return *toolbar_; }
    // The action named `name` (of the menus or the toolbar); it must exist.
    QAction& action(const char* name) const;
    // The keys of a list's context menu, as the menus show them.
    static void show_keys_in(const QMenu& menu);
    // The toolbar's pictures in the ink of the palette now in force.
    void redraw_toolbar_pictures();

  private:
    void build_file_menu();
    void build_sms_menu();
    void build_view_menu();
    void build_toolbar();

    QMainWindow& window_;
    QToolBar* toolbar_ = nullptr;
};

}  // namespace quillet
