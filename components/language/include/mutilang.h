// The language component: every text the program shows passes through it before display.
// Its data file (ZidureTS.msg) is an ini file: a section per window or purpose, key = English
// line, value = translated line. Without the file, or without an entry, texts stay English.
#ifndef TS_MUTILANG_H
#define TS_MUTILANG_H

#include <QString>
#include <memory>

class QMenu;
class QWidget;

#if defined(ZIDURETS_BUILD)
#define ZIDURETS_EXPORT __attribute__((visibility("default")))
#else
#define ZIDURETS_EXPORT
#endif

class ZIDURETS_EXPORT CMutiLang {
  public:
    CMutiLang();
    ~CMutiLang();
    CMutiLang(const CMutiLang&) = delete;
    CMutiLang& operator=(const CMutiLang&) = delete;

    // Reads the message file at path; a missing or unreadable file leaves every text English.
    void PowerOn(const char* path);
    // Translates a window in place: its title and, for every widget inside it that is not a
    // window of its own, the text, tooltip, group title and list entries (keeping the items'
    // data and the current choice). The section is the window's objectName. Returns 1.
    int InitMultiLangDlg(QWidget* dialog);
    // dst receives the translation of src, or src itself, cut to at most size - 1 bytes (never
    // inside a UTF-8 character) and zero-terminated. src and dst may be the same buffer.
    void trans2local(const char* src, char* dst, int size);
    // Translates every item of the menu and its submenus (section "Menu"). Returns 1.
    int menutrans(QMenu* menu, QWidget* owner);
    // Drops the loaded translations; texts are English until the next PowerOn.
    void PowerOff();

    // The same lookup for Qt strings; section names a window, empty means the common texts.
    QString translate(const QString& text, const char* section = nullptr) const;
    bool hasTranslations() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

#endif
