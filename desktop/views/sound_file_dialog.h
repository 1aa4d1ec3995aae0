// The open dialog of the options window's "Browse": WAV files only, and a
// preview that plays a file when the user selects it.
#pragma once

#include <QFileDialog>
#include <QString>

namespace quillet {

// Which selections the dialog plays. The first selection after the dialog
// opens is played; after the user moves to another folder the first
// selection there is not, the following ones in that folder are. A file
// that cannot be opened for reading is never played.
class SoundPreview {
  public:
    // A selection changed to `path`; true when it should be played now.
    // Paths shorter than 4 characters are ignored altogether.
    bool on_selection(const QString& path);
    const QString& last_folder() const { return last_folder_; }

  private:
    QString last_folder_;
};

class SoundFileDialog : public QFileDialog {
    Q_OBJECT

  public:
    // Filter "Sound Files (*.wav)"; plays selections by SoundPreview through
    // play_sound_file.
    explicit SoundFileDialog(QWidget* parent = nullptr);

    // Runs a dialog through the file dialog seam: the chosen file's full
    // path, or an empty string when the user cancelled.
    static QString choose(QWidget* parent);

  private:
    SoundPreview preview_;
};

}  // namespace quillet
