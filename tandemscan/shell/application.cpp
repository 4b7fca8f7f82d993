#include "application.h"

#include "command_line.h"
#include "engine/image_file.h"
#include "main_window.h"
#include "workspace/view/tool_palette.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

namespace tandemscan {

namespace {

// Writes a picture of the window and its tool palette once they have been laid out and painted,
// then ends the run. Where the screen cannot be read back, the window alone is drawn.
void scheduleScreenshot(MainWindow& window, const QString& file) {
    QTimer::singleShot(800, &window, [&window, file] {
        QRect area = window.frameGeometry();
        if (window.palette() && window.palette()->isVisible())
            area = area.united(window.palette()->frameGeometry());
        QPixmap picture;
        if (QScreen* screen = window.screen())
            picture = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
        if (picture.isNull() || QGuiApplication::platformName() == QLatin1String("offscreen"))
            picture = window.grab();
        const bool written = picture.save(file, "PNG");
        if (!written) std::fprintf(stderr, "Tandemscan: cannot write %s\n", file.toLocal8Bit().constData());
        QApplication::exit(written ? 0 : 1);
    });
}

// A stop signal during a save takes the save's partial file with it, where the file system made it
// under a name; the default action then ends the run as before.
extern "C" void removePartialOutputsAndDie(int signal) {
    ImageFileLibrary::removePartialOutputs();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

} // namespace

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

    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signal, removePartialOutputsAndDie);
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
        if (!left.isEmpty()) window.loadPartFile(Side::Left, QFileInfo(left).absoluteFilePath());
        if (!right.isEmpty()) window.loadPartFile(Side::Right, QFileInfo(right).absoluteFilePath());
    });
    if (!line.screenshot.empty()) scheduleScreenshot(window, QString::fromStdString(line.screenshot));
    return app.exec();
}

} // namespace tandemscan
