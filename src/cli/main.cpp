// quorvane-cli: the batch print and page-setup runs without the window, for
// scheduled jobs and scripts.  Its own executable name keeps it out of the
// window's single-copy rule, which it never applies either.
#include "cli/cliargs.h"
#include "cli/clirun.h"
#include "cli/interrupt.h"
#include "engines/engines.h"
#include "i18n/language.h"
#include "quorvane_version.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTextStream>

#include <cstdio>

int main(int argc, char* argv[])
{
    // First, so that no Ctrl-C can end the program between here and the run.
    cli::installInterruptHandlers();

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvane-cli"));

    QTextStream out(stdout);
    QTextStream err(stderr);
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    out.setEncoding(QStringConverter::Utf8);
    err.setEncoding(QStringConverter::Utf8);
#else
    out.setCodec("UTF-8");
    err.setCodec("UTF-8");
#endif

    const QStringList arguments = QCoreApplication::arguments().mid(1);
    // The language of every message, usage errors included: --lang, else
    // Chinese on a Chinese system and English elsewhere.  An unknown --lang
    // value is refused by the parse, in the system's language.
    const std::optional<i18n::Language> asked =
        i18n::languageNamed(i18n::optionValue(arguments, QStringLiteral("--lang")));
    if (!i18n::installTranslation(asked.value_or(i18n::languageOf(QLocale::system())),
                                  QCoreApplication::applicationDirPath()) &&
        asked) {
        err << "quorvane-cli: the translation asked for with --lang is not installed\n";
        err.flush();
    }
    cli::CliArguments parsed;
    QString error;
    if (cli::parseArguments(arguments, &parsed, &error) && parsed.version) {
        out << "quorvane-cli " QUORVANE_VERSION "\n";
        return 0;
    }
    return cli::runCli(arguments, engines::createSpreadsheetApplication, out, err,
                       cli::systemPrinters);
}
