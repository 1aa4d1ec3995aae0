#include "translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>

#include "desktop/store/app_paths.h"

namespace quillet {

Translation install_translation(const QLocale& locale) {
    Translation translation;
    auto own = std::make_unique<QTranslator>();
    const QString folder = QString::fromStdString(resource_path(u"translations").string());
    if (!own->load(locale, QStringLiteral("quillet"), QStringLiteral("_"), folder)) {
        // The English texts stay, with their plural forms.
        auto plurals = std::make_unique<QTranslator>();
        if (plurals->load(QStringLiteral("quillet_en"), folder)) {
            QCoreApplication::installTranslator(plurals.get());
            translation.plurals = std::move(plurals);
        }
        return translation;
    }
    QCoreApplication::installTranslator(own.get());
    translation.own = std::move(own);
    auto qt = std::make_unique<QTranslator>();
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(qt.get());
        translation.qt = std::move(qt);
    }
    return translation;
}

}  // namespace quillet
