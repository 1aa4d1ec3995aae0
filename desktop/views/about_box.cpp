#include "desktop/views/about_box.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "desktop/views/pictures.h"

namespace quillet {
namespace {

QLabel* picture_label(const QPixmap& pixmap, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(pixmap);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

}  // namespace

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aboutBox"));
    setWindowTitle(QCoreApplication::translate("quillet::AboutBox", "About Quillet"));
    const qreal scale = devicePixelRatioF();

    auto* pictures = new QVBoxLayout;
    pictures->addWidget(picture_label(about_emblem(64, scale), this));
    pictures->addWidget(picture_label(about_link_picture(64, scale), this));
    pictures->addStretch();

    auto* text = new QLabel(this);
    text->setObjectName(QStringLiteral("aboutText"));
    text->setTextFormat(Qt::RichText);
    text->setWordWrap(true);
    const auto translated = [](const char* source) {
        return QCoreApplication::translate("quillet::AboutBox", source).toHtmlEscaped();
    };
    text->setText(
        QStringLiteral("<p><b style='font-size:large'>Quillet</b><br>%1</p><p>%2</p><p>%3</p>")
            .arg(translated(QT_TRANSLATE_NOOP("quillet::AboutBox", "Version %1"))
                     .arg(QLatin1String(kQuilletVersion)),
                 translated(
                     QT_TRANSLATE_NOOP("quillet::AboutBox",
                                       "Reads, keeps, exports and sends the text messages of your "
                                       "phone, and shows its contacts by name.")),
                 translated(
                     QT_TRANSLATE_NOOP("quillet::AboutBox",
                                       "The phone's agent, phonelet, is copied to the phone and "
                                       "started there each time the phone is connected."))));

    auto* body = new QHBoxLayout;
    body->addLayout(pictures);
    body->addSpacing(12);
    body->addWidget(text, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("aboutOkButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body);
    layout->addWidget(buttons);
    setMinimumWidth(380);
}

}  // namespace quillet
