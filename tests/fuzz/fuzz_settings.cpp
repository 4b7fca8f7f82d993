// libFuzzer target for the settings and translation readers: the input is a file's text, read as
// tsConfig.cfg, tsMagf.ini or a .msg catalogue by the first byte. Besides never crashing, the
// readers must agree with themselves: a section read at once answers as key-by-key lookups do,
// and a value written is read back as written.
#include "ini_file.h"
#include "magnifier_geometry.h"
#include "message_catalog.h"
#include "settings_store.h"
#include "window_geometry.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>

namespace {

using namespace tandemscan;

// The settings store reads a path; one in-memory file serves every input.
const std::string& memoryFile(std::string_view text) {
    static const int fd = ::memfd_create("fuzz-settings", MFD_CLOEXEC);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0 || ::ftruncate(fd, 0) != 0 ||
        ::pwrite(fd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()))
        __builtin_trap();
    return path;
}

void readSettings(std::string_view text) {
    SettingsStore store(memoryFile(text));
    store.load();
    const Rect screen{0, 0, 1920, 1080};
    const Rect placed = fitOntoScreen(store.windowRect(), store.minimumSize(), screen);
    if (placed.width() < 0 || placed.height() < 0) __builtin_trap();
    const Rect screens[] = {screen, {1920, 0, 3200, 1024}};
    pulledOntoScreens(store.palettePosition(), {200, 400}, screens);
}

void readMagnifier(const IniFile& ini) {
    const int size = boundedMagnifierSize(ini.readInt("magf window", "Size"));
    const int zoom = boundedMagnifierZoom(ini.readInt("magf window", "Zoom"));
    const auto x = static_cast<int>(ini.readInt("magf window", "Left"));
    const auto y = static_cast<int>(ini.readInt("magf window", "Top"));
    const MagnifierView view = magnifierView(size, zoom, x, y, 1920, 1080);
    if (view.side <= 0) __builtin_trap();
}

void translate(std::string_view text) {
    MessageCatalog catalog;
    catalog.loadText(text);
    catalog.translate("OK\n  Image Size :  \n\nCancel");
    // Every line of the file is also asked for, in its own section and the common one.
    IniFile ini;
    ini.loadText(text);
    for (const std::string& section : ini.sections()) {
        for (const std::string& key : ini.keys(section))
            catalog.translate(" " + key + "\n" + key, section);
    }
}

// The one-pass section read against the lookups, and writes read back.
void checkConsistency(IniFile& ini) {
    for (const std::string& section : ini.sections()) {
        const IniSection once = ini.section(section);
        for (const std::string& key : ini.keys(section)) {
            if (once.value(key) != ini.value(section, key)) __builtin_trap();
            if (once.readInt(key, -7) != ini.readInt(section, key, -7)) __builtin_trap();
        }
    }
    const std::string value = "v=1 ;x";
    for (const std::string& section : ini.sections()) {
        for (const std::string& key : ini.keys(section)) {
            if (!ini.writeString(section, key, value)) continue;
            if (ini.value(section, key) != value) __builtin_trap();
            IniFile again;
            again.loadText(ini.text());
            if (again.value(section, key) != value) __builtin_trap();
            return;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 3) {
    case 0:
        readSettings(text);
        break;
    case 1: {
        IniFile ini;
        ini.loadText(text);
        readMagnifier(ini);
        checkConsistency(ini);
        break;
    }
    default:
        translate(text);
        break;
    }
    return 0;
}
