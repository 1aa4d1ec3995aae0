// What window tests use to see the screen as the user does: a dark desktop
// palette to switch to, and the texts a label actually painted.
#pragma once

#include <QLabel>
#include <QObject>
#include <QPalette>
#include <QPointer>
#include <QStringList>

namespace quillet::testing {

// A dark desktop theme, as a dark desktop hands it to the program.
QPalette dark_desktop_palette();

// Every text `label` painted while this lives, each change once: a command
// that blocks the event loop still paints each status it shows.
class PaintedTexts : public QObject {
  public:
    explicit PaintedTexts(QLabel* label);
    ~PaintedTexts() override;
    PaintedTexts(const PaintedTexts&) = delete;
    PaintedTexts& operator=(const PaintedTexts&) = delete;

    QStringList texts;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QLabel* label_;
    // The label may go first (its window closed): then there is no filter
    // left to remove. A plain QObject pointer: it is read while the label is
    // being destroyed too, when it is no longer a QLabel.
    QPointer<QObject> alive_;
};

}  // namespace quillet::testing
