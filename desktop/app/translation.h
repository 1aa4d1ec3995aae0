// The program's texts in the desktop's language. The English texts of the
// sources are the originals; the translations (translations/quillet_*.ts,
// kept up to date by the build) come as .qm files in the program's
// "translations" resource folder. English itself has one: the plural forms
// of the texts that count ("1 message", "2 messages").
#pragma once

#include <QLocale>
#include <QTranslator>
#include <memory>

namespace quillet {

// Installs on the application the translation of Quillet's texts for the
// first of `locale`'s languages that Quillet has, and Qt's own texts (its
// dialogs' buttons) in that language where the system has them. Null when
// Quillet has none: the texts stay English, and only the English plural
// forms are installed. The translators must stay alive while the program
// shows texts.
struct Translation {
    std::unique_ptr<QTranslator> own;
    std::unique_ptr<QTranslator> qt;
    std::unique_ptr<QTranslator> plurals;  // where `own` is none
    explicit operator bool() const { return own != nullptr; }
};
Translation install_translation(const QLocale& locale = QLocale::system());

}  // namespace quillet
