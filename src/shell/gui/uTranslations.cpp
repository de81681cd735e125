#include "shell/gui/uTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

// Where the build puts the compiled catalogues (qt_add_translations).
constexpr const char* kCatalogueFolder = ":/i18n";

bool Install(const QLocale& locale, const QString& name, const QString& folder) {
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(locale, name, QStringLiteral("_"), folder) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    return true;
}

} // namespace

bool InstallTranslations(const QLocale& locale) {
    // The user's languages in order of preference: the first the program
    // speaks wins, and English (the source) needs no catalogue.
    for (const QString& name : locale.uiLanguages()) {
        const QLocale candidate(name);
        if (candidate.language() == QLocale::English || candidate.language() == QLocale::C) {
            return false;
        }
        if (Install(candidate, QStringLiteral("quorvet"), QLatin1String(kCatalogueFolder))) {
            // Qt's own only with the program's, so that a window never mixes
            // a language the program does not speak into its English.
            Install(candidate, QStringLiteral("qtbase"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath));
            return true;
        }
    }
    return false;
}
