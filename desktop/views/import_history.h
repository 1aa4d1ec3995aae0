// File > Imports...: the imports' history of the data folder, newest first:
// each import's number, when it ran, the file and its kind, what it added,
// found kept already or listed as possible duplicates, its attachments and
// whether it was undone. Undo takes the chosen import out under the same
// rules as "quillet-cli import --undo" (Importer::undo): only what it
// added and the phone has not taken over since, after a question.
//
// Widgets (objectName): "importHistory" (the window, titled "Imports"),
// "importList" (one row per import), "importDetails" (what the chosen one
// brought and skipped), "undoImportButton", "closeImportsButton".
#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace quillet {

class MessageLibrary;

class ImportHistoryWindow : public QDialog {
    Q_OBJECT

  public:
    // `undone` is told the status line after each undo (the boxes have
    // changed then). The library outlives the window.
    ImportHistoryWindow(MessageLibrary& library, std::function<void(const QString&)> undone,
                        QWidget* parent = nullptr);

    // Reads the records again and shows the window in front.
    void show_history();
    // Undoes the chosen import, as the Undo button does.
    void undo_chosen();

    QTreeWidget& list() { return *list_; }

  private:
    void fill();
    void chosen_changed();
    int chosen_id() const;

    MessageLibrary& library_;
    std::function<void(const QString&)> undone_;
    QTreeWidget* list_ = nullptr;
    QLabel* details_ = nullptr;
    QPushButton* undo_ = nullptr;
};

}  // namespace quillet
