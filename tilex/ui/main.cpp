// Tilex: the sliding-piece picture puzzle.
//
//   Tilex [--screenshot FILE [--playing]]
//
// --screenshot draws the window once into FILE (PNG) and ends; --playing deals a game first.
#include "game_window.h"
#include "qt_texts.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QProxyStyle>
#include <QTimer>
#include <cstdio>

namespace {

// Button tips appear after half a second.
class TipStyle : public QProxyStyle {
  public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == QStyle::SH_ToolTip_WakeUpDelay) return 500;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// For unattended drawing: messages go to the error output instead of waiting for a click.
class ConsolePrompts : public tilex::DialogPrompts {
  public:
    void message(QWidget*, const QString& text, const QString& caption, tilex::MessageIcon) override {
        std::fprintf(stderr, "Tilex: %s: %s\n", qPrintable(caption),
                     qPrintable(QString(text).replace('\n', ' ')));
    }
    QString openFile(QWidget*, const tilex::FileQuestion&) override { return {}; }
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tilex"));
    QApplication::setApplicationVersion(QStringLiteral(TS_VERSION));
    QApplication::setStyle(new TipStyle);
    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("The sliding-piece picture puzzle."));
    options.addHelpOption();
    options.addVersionOption();
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Draw the window into <file> and end."),
                                        QStringLiteral("file"));
    const QCommandLineOption playing(QStringLiteral("playing"),
                                     QStringLiteral("With --screenshot: deal a game first."));
    options.addOption(screenshot);
    options.addOption(playing);
    options.process(app);

    tilex::DialogPrompts dialogs;
    ConsolePrompts console;
    tilex::GamePrompts& prompts =
        options.isSet(screenshot) ? static_cast<tilex::GamePrompts&>(console) : dialogs;
    tilex::GameWindow window(QCoreApplication::applicationDirPath(), prompts);
    if (!window.initialise()) return 1;
    // The message file is known now: Qt's own dialog texts follow it from here on.
    tilex::QtTexts qtTexts;
    QCoreApplication::installTranslator(&qtTexts);
    window.show();
    if (options.isSet(screenshot)) {
        if (options.isSet(playing)) window.startOrGiveUp();
        QTimer::singleShot(300, &window, [&] {
            const bool saved = window.grab().save(options.value(screenshot), "PNG");
            QApplication::exit(saved ? 0 : 1);
        });
    }
    return QApplication::exec();
}
