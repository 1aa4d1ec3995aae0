// The About box (objectName "aboutBox", titled "About Quillet"): the
// program's name, version 1.12, two pictures and an OK button
// ("aboutOkButton") that closes it. Run modally by Help > About.
#pragma once

#include <QDialog>

namespace quillet {

inline constexpr const char* kQuilletVersion = "1.12";

class AboutBox : public QDialog {
  public:
    explicit AboutBox(QWidget* parent = nullptr);
};

}  // namespace quillet
