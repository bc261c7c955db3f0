// The language of the interface: the program's own translations (Qt
// Linguist .qm files), chosen by a command-line option or else by the
// system's language, for the window and the command line alike.  The
// window's and the runs' texts are written in Chinese, the command line's
// own in English; each language's file translates the texts written in the
// other one.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QLocale;

namespace i18n {

enum class Language { Chinese, English };

// "zh" or "en", in any letter case; nothing for any other text.
std::optional<Language> languageNamed(const QString& name);
// Chinese for a Chinese locale, English for every other one.
Language languageOf(const QLocale& locale);
QString languageCode(Language language);

// The value given to option ("-lang", "--lang") among arguments, as
// "option VALUE" or "option=VALUE", up to a "--"; a null string when the
// option is not there, an empty one when its value is missing.
QString optionValue(const QStringList& arguments, const QString& option);

// Where the .qm files are looked for, in order: the build tree beside the
// executable's folder, then the installed data folder.
QStringList translationFolders(const QString& executableDir);

// Installs the translation of language into the running application, from
// the first folder that holds it, and Qt's own texts for it where the
// system has them.  False when the program's file was not found.
bool installTranslation(Language language, const QString& executableDir);

} // namespace i18n
