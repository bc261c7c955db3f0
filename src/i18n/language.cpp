#include "i18n/language.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace i18n {

std::optional<Language> languageNamed(const QString& name)
{
    if (name.compare(QLatin1String("zh"), Qt::CaseInsensitive) == 0)
        return Language::Chinese;
    if (name.compare(QLatin1String("en"), Qt::CaseInsensitive) == 0)
        return Language::English;
    return std::nullopt;
}

Language languageOf(const QLocale& locale)
{
    return locale.language() == QLocale::Chinese ? Language::Chinese : Language::English;
}

QString languageCode(Language language)
{
    return language == Language::Chinese ? QStringLiteral("zh") : QStringLiteral("en");
}

QString optionValue(const QStringList& arguments, const QString& option)
{
    const QString withEquals = option + QLatin1Char('=');
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QLatin1String("--"))
            break;
        if (argument.startsWith(withEquals))
            return argument.mid(withEquals.size());
        if (argument == option)
            return i + 1 < arguments.size() ? arguments.at(i + 1) : QStringLiteral("");
    }
    return QString();
}

#ifndef QUORVANE_TRANSLATIONS_DIR
// A build that names no installed data folder looks beside the program.
#define QUORVANE_TRANSLATIONS_DIR ""
#endif

QStringList translationFolders(const QString& executableDir)
{
    const QDir dir(executableDir);
    QStringList folders{
        // build/<qt>/src/app/Quorvane and build/<qt>/src/cli/quorvane-cli
        QDir::cleanPath(dir.filePath(QStringLiteral("../../translations"))),
        // <prefix>/bin beside <prefix>/share
        QDir::cleanPath(dir.filePath(QStringLiteral("../share/quorvane/translations"))),
        // beside the program, as a Windows installation keeps them
        QDir::cleanPath(dir.filePath(QStringLiteral("translations"))),
        QStringLiteral(QUORVANE_TRANSLATIONS_DIR),
    };
    folders.removeAll(QString());
    folders.removeDuplicates();
    return folders;
}

bool installTranslation(Language language, const QString& executableDir)
{
    auto* app = QCoreApplication::instance();
    if (!app)
        return false;
    const QString file = QStringLiteral("quorvane_") + languageCode(language);
    bool found = false;
    for (const QString& folder : translationFolders(executableDir)) {
        auto* translator = new QTranslator(app);
        if (translator->load(file, folder)) {
            QCoreApplication::installTranslator(translator);
            found = true;
            break;
        }
        delete translator;
    }
    // Qt's own texts (dialog buttons, edit menus) in the same language.
    auto* qtTexts = new QTranslator(app);
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    const QString qtFolder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
#else
    const QString qtFolder = QLibraryInfo::location(QLibraryInfo::TranslationsPath);
#endif
    const QString qtFile = language == Language::Chinese ? QStringLiteral("qtbase_zh_CN")
                                                         : QStringLiteral("qtbase_en");
    if (qtTexts->load(qtFile, qtFolder))
        QCoreApplication::installTranslator(qtTexts);
    else
        delete qtTexts;
    return found;
}

} // namespace i18n
