// The components behind the main window: the language, the image file component, the settings,
// the scanner link and Rasterkit's runner, with the working files they leave behind. The window
// brings them up in initialise() and its own windows go before them; they go in the reverse
// order of the members below: the scanner is closed first, the working files are deleted once
// the image file component has gone, and the language is powered off after them. Rasterkit's
// runner, which needs none of the others, goes last.
#pragma once

#include "engine/run_operation.h"
#include "program_paths.h"
#include "scan/scanner_link.h"
#include "settings_store.h"

#include <QTranslator>
#include <filesystem>
#include <memory>

class CMutiLang;

namespace tandemscan {

class ImageFileLibrary;

// The language component, powered on from a message file and powered off when it goes; Qt's
// own texts (the standard buttons, the file dialogs) pass through it while it is up.
class ShellLanguage {
  public:
    ShellLanguage();
    ~ShellLanguage();
    ShellLanguage(const ShellLanguage&) = delete;
    ShellLanguage& operator=(const ShellLanguage&) = delete;

    void powerOn(const std::filesystem::path& messageFile);
    CMutiLang* get() const { return language_.get(); }

  private:
    std::unique_ptr<CMutiLang> language_;
    std::unique_ptr<QTranslator> standardTexts_; // installed in the application while it is set
};

// Deletes the program's working files when it goes.
class WorkingFilesCleanup {
  public:
    explicit WorkingFilesCleanup(const ProgramPaths& paths) : paths_(paths) {}
    ~WorkingFilesCleanup() { deleteWorkingFiles(paths_.workingDir()); }
    WorkingFilesCleanup(const WorkingFilesCleanup&) = delete;
    WorkingFilesCleanup& operator=(const WorkingFilesCleanup&) = delete;

  private:
    const ProgramPaths& paths_;
};

// The members' order is the teardown order, read from the bottom up.
struct ShellComponents {
    explicit ShellComponents(const ProgramPaths& paths) : workingFiles(paths) {}

    std::unique_ptr<OperationRunner> rasterkit; // keeps Rasterkit's result block between previews
    ShellLanguage language;
    WorkingFilesCleanup workingFiles;
    std::shared_ptr<ImageFileLibrary> imageFile;
    std::unique_ptr<SettingsStore> settings;
    ScannerLink scanner;
};

} // namespace tandemscan
