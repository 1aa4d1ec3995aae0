#include "desktop/views/sound_file_dialog.h"

#include <QFile>

#include "desktop/views/gui_seams.h"

namespace quillet {

bool SoundPreview::on_selection(const QString& path) {
    if (path.size() < 4)
        return false;
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString folder = slash < 0 ? path : path.left(slash);
    const bool same_folder = last_folder_.isEmpty() || last_folder_ == folder;
    last_folder_ = folder;
    if (!same_folder)
        return false;
    QFile file(path);
    return file.open(QIODevice::ReadOnly);
}

SoundFileDialog::SoundFileDialog(QWidget* parent) : QFileDialog(parent) {
    setObjectName(QStringLiteral("soundFileDialog"));
    setWindowTitle(tr("Open"));
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(QFileDialog::ExistingFile);
    setNameFilter(tr("Sound Files (*.wav)"));
    // Only Qt's own dialog reports each selection as it happens.
    setOption(QFileDialog::DontUseNativeDialog, true);
    connect(this, &QFileDialog::currentChanged, this, [this](const QString& path) {
        if (preview_.on_selection(path))
            play_sound_file(path);
    });
}

QString SoundFileDialog::choose(QWidget* parent) {
    SoundFileDialog dialog(parent);
    return ask_open_file_name(dialog);
}

}  // namespace quillet
