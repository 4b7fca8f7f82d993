#include "application.h"

#include "command_line.h"
#include "main_window.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <string>
#include <vector>

namespace tandemscan {

namespace {

// Writes a picture of the window once it has been laid out and painted, then ends the run.
void scheduleScreenshot(MainWindow& window, const QString& file) {
    QTimer::singleShot(500, &window, [&window, file] {
        const bool written = window.grab().save(file, "PNG");
        if (!written) std::fprintf(stderr, "Tandemscan: cannot write %s\n", file.toLocal8Bit().constData());
        QApplication::exit(written ? 0 : 1);
    });
}

}  // namespace

int runTandemscan(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const CommandLine line = parseCommandLine(args);
    const std::string program = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName().toStdString();
    if (!line.error.empty()) {
        std::fprintf(stderr, "%s: %s\n%s", program.c_str(), line.error.c_str(), usageText(program).c_str());
        return 2;
    }
    if (line.help) {
        std::fputs(usageText(program).c_str(), stdout);
        return 0;
    }
    if (line.version) {
        std::printf("Tandemscan %s\n", TS_VERSION);
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tandemscan"));
    QApplication::setApplicationVersion(QStringLiteral(TS_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("tandemscan"));

    MainWindow::Options options;
    options.programDir = QCoreApplication::applicationDirPath().toStdString();
    if (!line.language.empty()) {
        const auto file = options.programDir / "translations" / line.language / messageFileName;
        if (!std::filesystem::exists(file)) {
            std::fprintf(stderr, "%s: no translation %s\n", program.c_str(), file.c_str());
            return 2;
        }
        options.messageFile = file;
    }
    // A picture of the window is about the window, not the help beside it.
    options.showHelpOnFirstRun = line.screenshot.empty();
    MainWindow window(std::move(options));
    if (!window.initialise()) return 0;
    window.show();
    // Parts named on the command line load once the window is up, so their messages have a parent.
    const QString left = QString::fromStdString(line.left);
    const QString right = QString::fromStdString(line.right);
    QTimer::singleShot(0, &window, [&window, left, right] {
        if (!left.isEmpty()) window.loadPartFile(0, QFileInfo(left).absoluteFilePath());
        if (!right.isEmpty()) window.loadPartFile(1, QFileInfo(right).absoluteFilePath());
    });
    if (!line.screenshot.empty()) scheduleScreenshot(window, QString::fromStdString(line.screenshot));
    return app.exec();
}

}  // namespace tandemscan
