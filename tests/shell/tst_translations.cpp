// The interface language: which one a command line and a system ask for, the
// shipped translations of the window's, the runs' and the command line's
// texts, and an English window with no Chinese text left in it.
#include "app/mainwindow.h"
#include "app/systemtray.h"
#include "cli/cliargs.h"
#include "i18n/language.h"
#include "runs/messages.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QTabWidget>
#include <QTranslator>
#include <QtTest>

#include <memory>

class TranslationsTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTranslator> translator;

    void install(const QString& language)
    {
        translator = std::make_unique<QTranslator>();
        const QStringList folders =
            i18n::translationFolders(QCoreApplication::applicationDirPath());
        QVERIFY2(translator->load(QStringLiteral("quorvane_") + language, folders.first()),
                 qPrintable(folders.first()));
        QCoreApplication::installTranslator(translator.get());
    }

private slots:
    void cleanup() { translator.reset(); }

    void languageChosen_data();
    void languageChosen();
    void textsTranslated_data();
    void textsTranslated();
    void englishWindowHasNoChineseLeft();
};

void TranslationsTest::languageChosen_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("systemLocale");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char* tag, const QStringList& arguments, const char* locale,
                        const char* expected) {
        QTest::newRow(tag) << arguments << locale << expected;
    };
    row("Chinese system", {"print", "x"}, "zh_CN", "zh");
    row("German system", {}, "de_DE", "en");
    row("option wins", {"print", "--lang", "en", "x"}, "zh_CN", "en");
    row("with =, any case", {"--lang=ZH"}, "en_US", "zh");
    row("unknown value", {"--lang", "fr"}, "zh_CN", "zh");
    row("value missing", {"--lang"}, "en_GB", "en");
    row("after --", {"--", "--lang", "en"}, "zh_CN", "zh");
}

void TranslationsTest::languageChosen()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, systemLocale);
    QFETCH(QString, expected);

    const std::optional<i18n::Language> named =
        i18n::languageNamed(i18n::optionValue(arguments, QStringLiteral("--lang")));
    const i18n::Language language = named.value_or(i18n::languageOf(QLocale(systemLocale)));
    QCOMPARE(i18n::languageCode(language), expected);
}

void TranslationsTest::textsTranslated_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char* tag, const char* language, const char* what,
                        const char* expected) {
        QTest::newRow(tag) << language << what << QString::fromUtf8(expected);
    };
    row("report", "en", "report", "Printed 5 sheets of 2 workbooks in 7 s.");
    row("failure with detail", "en", "failure", "/a/b.xlsx: protected by a password (no key)");
    row("Chinese stays", "zh", "report", "成功打印2个工作簿的5个sheet。耗时7秒。");
    row("command line in Chinese", "zh", "option", "--x：未知的选项");
    row("command line in English", "en", "option", "--x: unknown option");
    row("usage in Chinese", "zh", "usage", "用法：quorvane-cli print");
}

void TranslationsTest::textsTranslated()
{
    QFETCH(QString, language);
    QFETCH(QString, what);
    QFETCH(QString, expected);
    install(language);

    runs::RunEvent event;
    QString text;
    if (what == QLatin1String("report")) {
        event.type = runs::RunEvent::Type::Report;
        event.workbooks = 2;
        event.sheets = 5;
        event.elapsedSeconds = 7;
        text = runs::eventText(event);
    } else if (what == QLatin1String("failure")) {
        event.type = runs::RunEvent::Type::WorkbookFailed;
        event.path = QStringLiteral("/a/b.xlsx");
        event.failure = {spreadsheet::FailureKind::PasswordProtected, QStringLiteral("no key")};
        text = runs::eventText(event);
    } else if (what == QLatin1String("option")) {
        cli::CliArguments arguments;
        QVERIFY(!cli::parseArguments({QStringLiteral("--x")}, &arguments, &text));
    } else {
        text = cli::usageText().left(expected.size());
    }
    QCOMPARE(text, expected);
}

void TranslationsTest::englishWindowHasNoChineseLeft()
{
    install(QStringLiteral("en"));
    MainWindow window;

    QStringList texts;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            texts << button->text();
        else if (auto* label = qobject_cast<QLabel*>(widget))
            texts << label->text();
        else if (auto* box = qobject_cast<QGroupBox*>(widget))
            texts << box->title();
        else if (auto* combo = qobject_cast<QComboBox*>(widget))
            for (int i = 0; i < combo->count(); ++i)
                texts << combo->itemText(i);
        texts << widget->toolTip();
    }
    texts << window.findChild<QTabWidget*>()->tabText(0);
    for (QAction* action : window.tray()->contextMenu()->actions())
        texts << action->text();
    QVERIFY(texts.contains(QStringLiteral("Print all")));
    for (const QString& text : texts) {
        for (const QChar c : text)
            QVERIFY2(c.unicode() < 0x2E80, qPrintable(text));
    }
}

QTEST_MAIN(TranslationsTest)
#include "tst_translations.moc"
