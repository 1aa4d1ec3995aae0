#include "desktop/views/import_history.h"

#include <QDateTime>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <filesystem>

#include "desktop/library/data_folder_lock.h"
#include "desktop/library/importer.h"
#include "desktop/store/shown_time.h"
#include "desktop/views/command_scope.h"
#include "desktop/views/gui_seams.h"
#include "desktop/views/import_command.h"
#include "desktop/views/window_parts.h"

namespace quillet {
namespace {

enum Column { kNumber, kWhen, kFile, kFormat, kAdded, kKept, kPossible, kAttachments, kState };

QString file_name(const std::string& file) {
    return QFile::decodeName(QByteArray::fromStdString(file));
}

QString state_text(ImportRecord::State state) {
    switch (state) {
        case ImportRecord::State::Pending:
            return ImportHistoryWindow::tr("running");
        case ImportRecord::State::Done:
            return {};
        case ImportRecord::State::Undoing:
            return ImportHistoryWindow::tr("undone (finished at the next start)");
        case ImportRecord::State::Undone:
            break;
    }
    return ImportHistoryWindow::tr("undone");
}

QString when(const ImportRecord& r) {
    return to_qstring(shown_date_time(filetime_from_unix(r.time)));
}

// What the chosen import brought, and what it could not take.
QString details(const ImportRecord& r) {
    QStringList lines;
    lines << ImportHistoryWindow::tr("Import %1 of %2 (%3), %4:")
                 .arg(r.id)
                 .arg(file_name(r.file), QString::fromStdString(r.format), when(r));
    lines << ImportHistoryWindow::tr("%n messages added", nullptr, static_cast<int>(r.added)) +
                 QStringLiteral(", ") +
                 ImportHistoryWindow::tr("%n already kept", nullptr,
                                         static_cast<int>(r.duplicates)) +
                 QStringLiteral(", ") +
                 ImportHistoryWindow::tr("%n possible duplicates", nullptr,
                                         static_cast<int>(r.possible_duplicates)) +
                 QStringLiteral(", ") +
                 ImportHistoryWindow::tr("%n attachments", nullptr,
                                         static_cast<int>(r.attachments));
    if (r.part_of != 0)
        lines << ImportHistoryWindow::tr(
                     "Came with import %1, which brought in the Quillet folder that held it; "
                     "undoing that one undoes this one too.")
                     .arg(r.part_of);
    for (const auto& [why, count] : r.skipped)
        lines << ImportHistoryWindow::tr("%1 skipped: %2")
                     .arg(count)
                     .arg(QString::fromStdString(why));
    for (const std::string& problem : r.problems)
        lines << QString::fromStdString(problem);
    if (const QString state = state_text(r.state); !state.isEmpty())
        lines << state;
    return lines.join(QLatin1Char('\n'));
}

QString undo_result(int id, const UndoReport& r) {
    QString text = ImportHistoryWindow::tr("Import %1 undone: %n messages removed", nullptr,
                                           static_cast<int>(r.removed))
                       .arg(id);
    if (r.kept > 0)
        text += ImportHistoryWindow::tr(", %n kept (the phone holds them now)", nullptr,
                                        static_cast<int>(r.kept));
    if (r.missing > 0)
        text += ImportHistoryWindow::tr(", %n not found (changed or deleted since)", nullptr,
                                        static_cast<int>(r.missing));
    return text;
}

}  // namespace

ImportHistoryWindow::ImportHistoryWindow(MessageLibrary& library,
                                         std::function<void(const QString&)> undone,
                                         QWidget* parent)
    : QDialog(parent), library_(library), undone_(std::move(undone)) {
    setObjectName(QStringLiteral("importHistory"));
    setWindowTitle(tr("Imports"));
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("importList"));
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setHeaderLabels({tr("No."), tr("When"), tr("File"), tr("Kind"), tr("Added"),
                            tr("Already kept"), tr("Possible duplicates"), tr("Attachments"),
                            tr("State")});
    details_ = new QLabel(this);
    details_->setObjectName(QStringLiteral("importDetails"));
    details_->setWordWrap(true);
    details_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    undo_ = new QPushButton(tr("&Undo"), this);
    undo_->setObjectName(QStringLiteral("undoImportButton"));
    auto* close = new QPushButton(tr("Close"), this);
    close->setObjectName(QStringLiteral("closeImportsButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(undo_);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addWidget(details_);
    layout->addLayout(buttons);
    connect(list_, &QTreeWidget::currentItemChanged, this, [this] { chosen_changed(); });
    connect(undo_, &QPushButton::clicked, this, &ImportHistoryWindow::undo_chosen);
    connect(close, &QPushButton::clicked, this, &QDialog::hide);
    resize(840, 360);
}

void ImportHistoryWindow::show_history() {
    fill();
    show();
    raise();
    activateWindow();
}

void ImportHistoryWindow::fill() {
    const int chosen = chosen_id();
    list_->clear();
    std::vector<ImportRecord> records = ImportFolder(library_.folder()).records();
    for (auto r = records.rbegin(); r != records.rend(); ++r) {
        auto* item = new QTreeWidgetItem(list_);
        item->setData(kNumber, Qt::DisplayRole, r->id);
        item->setText(kWhen, when(*r));
        item->setText(kFile,
                      QString::fromStdString(std::filesystem::path(r->file).filename().string()));
        item->setToolTip(kFile, file_name(r->file));
        item->setText(kFormat, QString::fromStdString(r->format));
        item->setData(kAdded, Qt::DisplayRole, static_cast<qulonglong>(r->added));
        item->setData(kKept, Qt::DisplayRole, static_cast<qulonglong>(r->duplicates));
        item->setData(kPossible, Qt::DisplayRole, static_cast<qulonglong>(r->possible_duplicates));
        item->setData(kAttachments, Qt::DisplayRole, static_cast<qulonglong>(r->attachments));
        item->setText(kState, state_text(r->state));
        item->setData(kNumber, Qt::UserRole, details(*r));
        item->setData(kState, Qt::UserRole, r->state == ImportRecord::State::Done);
        if (r->id == chosen || (chosen == 0 && r == records.rbegin()))
            list_->setCurrentItem(item);
    }
    for (int column = kNumber; column < kState; ++column)
        list_->resizeColumnToContents(column);
    if (records.empty())
        details_->setText(
            tr("Nothing has been imported yet: File > Import... brings in "
               "another phone's backup."));
    chosen_changed();
}

int ImportHistoryWindow::chosen_id() const {
    const QTreeWidgetItem* item = list_->currentItem();
    return item == nullptr ? 0 : item->data(kNumber, Qt::DisplayRole).toInt();
}

void ImportHistoryWindow::chosen_changed() {
    const QTreeWidgetItem* item = list_->currentItem();
    undo_->setEnabled(item != nullptr && item->data(kState, Qt::UserRole).toBool());
    if (item != nullptr)
        details_->setText(item->data(kNumber, Qt::UserRole).toString());
}

void ImportHistoryWindow::undo_chosen() {
    const QTreeWidgetItem* item = list_->currentItem();
    if (item == nullptr || !item->data(kState, Qt::UserRole).toBool() || CommandScope::running())
        return;
    const int id = chosen_id();
    const int added = item->data(kAdded, Qt::DisplayRole).toInt();
    if (!ask_yes_no(this, tr("Undo import %1 of %2? Its %n messages are taken out of the boxes, "
                             "except those the phone holds now.",
                             nullptr, added)
                              .arg(id)
                              .arg(item->text(kFile))))
        return;
    QString status;
    {
        const CommandScope command;
        Importer importer(library_, nullptr);
        const UndoReport report = importer.undo(id);
        if (report.outcome.kind() == Outcome::Kind::Refused &&
            !ImportLock(library_.folder()).held()) {
            show_message_box(this, another_import_text());
            return;
        }
        if (report.outcome.ok() || report.removed + report.kept > 0)
            status = undo_result(id, report);
        if (!report.outcome.ok())
            show_message_box(this, tr("Import %1 could not be undone.\nDetails:\n%2")
                                       .arg(id)
                                       .arg(QString::fromStdString(report.outcome.what())));
        else if (report.missing > 0)
            show_message_box(this, tr("%n of the messages import %1 added could not be found: "
                                      "they were changed or deleted since. Their attachments "
                                      "are kept.",
                                      nullptr, static_cast<int>(report.missing))
                                       .arg(id));
    }
    fill();
    if (undone_)
        undone_(status);
}

}  // namespace quillet
