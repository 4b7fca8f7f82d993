// What the main window's tests share: a program folder of their own with the components beside
// the window, scripted answers to every question, and parts written to disk.
#pragma once

#include "main_window.h"
#include "user_prompts.h"

#include <QApplication>
#include <QColor>
#include <QDialog>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace tandemscan::testing {

namespace fs = std::filesystem;

inline QApplication& application() {
    static int argc = 1;
    static char name[] = "shell_gui_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        auto* created = qobject_cast<QApplication*>(QApplication::instance());
        return created ? created : new QApplication(argc, argv);
    }();
    return *app;
}

// A program folder in a fresh temporary folder: the image file component, a scanner component
// that finds no scanner, the help pages and the translations.
struct ProgramFolder {
    fs::path root;
    fs::path dir;
    explicit ProgramFolder(bool withImageComponent = true, bool withScanner = true) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        // The folder the tests started with; TMPDIR is pointed into each test's own folder below.
        static const fs::path base = fs::temp_directory_path();
        root = base /
               ("ts-gui-" + std::to_string(::getpid()) + "-" + info->test_suite_name() + "-" + info->name());
        fs::remove_all(root);
        dir = root / "program";
        fs::create_directories(dir);
        fs::create_directories(root / "tmp");
        fs::create_directories(root / "config");
        ::setenv("TMPDIR", (root / "tmp").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
        if (withImageComponent)
            fs::create_symlink(fs::path(TS_PROGRAM_DIR) / "ZedOROV.so", dir / "ZedOROV.so");
        if (withScanner) fs::create_symlink(FAKE_REZUZID_PATH, dir / "RezuzID.so");
        fs::create_directory_symlink(fs::path(TS_SOURCE_DIR) / "resources" / "help", dir / "TShelp");
        fs::create_directory_symlink(fs::path(TS_SOURCE_DIR) / "translations", dir / "translations");
    }
    ~ProgramFolder() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;

    fs::path config() const { return dir / "tsConfig.cfg"; }
    void writeConfig(const std::string& text) const { std::ofstream(config()) << text; }

    // A part 500 x 700 pixels at 60 dpi: as wide as an A4 sheet at that resolution, so two of
    // them can be merged automatically. shade tells the parts apart.
    std::string writePart(const std::string& name, int shade, int width = 500,
                          int dotsPerMeter = 2362) const {
        QImage image(width, 700, QImage::Format_RGB888);
        image.fill(QColor(shade, 120, 255 - shade));
        QPainter painter(&image);
        painter.fillRect(40, 40, width - 80, 30, Qt::white);
        painter.end();
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        const fs::path path = root / name;
        EXPECT_TRUE(image.save(QString::fromStdString(path.string())));
        return path.string();
    }
};

struct Message {
    QMessageBox::Icon icon;
    QString caption;
    QString text;
};

// Answers the window's questions from a script and records its messages.
class ScriptedPrompts : public UserPrompts {
  public:
    std::vector<Message> messages;
    std::deque<QMessageBox::StandardButton> answers;
    int questions = 0;
    // Called for each modal dialog instead of running it; returns its result.
    std::function<int(QDialog&)> onDialog = [](QDialog&) { return int(QDialog::Rejected); };
    std::vector<QString> dialogs;

    void message(QWidget*, QMessageBox::Icon icon, const QString& caption, const QString& text) override {
        messages.push_back({icon, caption, text});
    }
    QMessageBox::StandardButton askYesNoCancel(QWidget*, const QString&, const QString&) override {
        ++questions;
        if (answers.empty()) return QMessageBox::Cancel;
        const auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
    int runDialog(QDialog& dialog) override {
        dialogs.push_back(dialog.objectName());
        return onDialog(dialog);
    }
};

// Closes the windows that the workspace runs modally itself (preview, its message boxes) and
// remembers their object names.
class ModalCloser {
  public:
    ModalCloser() {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                closed.push_back(modal->objectName().isEmpty()
                                     ? QString::fromLatin1(modal->metaObject()->className())
                                     : modal->objectName());
                if (auto* box = qobject_cast<QMessageBox*>(modal)) texts.push_back(box->text());
                if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                    dialog->done(QDialog::Rejected);
                } else {
                    modal->close();
                }
            }
        });
        timer_.start();
    }
    std::vector<QString> closed;
    std::vector<QString> texts; // of the message boxes among them

  private:
    QTimer timer_;
};

inline MainWindow::Options optionsFor(const ProgramFolder& folder, std::shared_ptr<ScriptedPrompts> prompts,
                                      fs::path messageFile = {}) {
    MainWindow::Options options;
    options.programDir = folder.dir;
    options.prompts = std::move(prompts);
    options.messageFile = std::move(messageFile);
    return options;
}

} // namespace tandemscan::testing
