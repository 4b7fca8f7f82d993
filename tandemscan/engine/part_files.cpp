#include "engine/part_files.h"

#include <algorithm>
#include <cctype>
#include <fstream>

namespace tandemscan {

namespace {

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string extensionList() {
    std::string list;
    for (std::size_t i = 0; i < kPartExtensions.size(); ++i) {
        if (i > 0) list += i + 1 == kPartExtensions.size() ? " or " : ", ";
        list += kPartExtensions[i];
    }
    return list;
}

} // namespace

std::string partExtensionRefusal(const std::filesystem::path& file) {
    const std::string extension = lowerCase(file.extension().string());
    if (std::find(kPartExtensions.begin(), kPartExtensions.end(), extension) != kPartExtensions.end())
        return {};
    const std::string what =
        extension.empty() ? std::string("a name without an extension") : "a " + extension + " file";
    return aboutFile(file, what + " cannot be loaded as a part; use " + extensionList() + ".");
}

bool isJpegFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    unsigned char head[3] = {};
    in.read(reinterpret_cast<char*>(head), sizeof head);
    return in.gcount() == 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF;
}

bool assumeUnstatedResolution(const std::filesystem::path& file, HeaderBlock& header) {
    if (header.header.xPelsPerMeter > 0 || !isJpegFile(file)) return false;
    header.header.xPelsPerMeter = kAssumedPelsPerMeter;
    if (header.header.yPelsPerMeter <= 0) header.header.yPelsPerMeter = kAssumedPelsPerMeter;
    return true;
}

std::string withSecondLine(std::string_view firstLine, std::string_view reason) {
    std::string text(firstLine);
    if (!reason.empty()) (text += '\n') += reason;
    return text;
}

std::string aboutFile(const std::filesystem::path& file, std::string_view reason) {
    const std::string name = file.string();
    if (name.empty() || reason.find(name) != std::string_view::npos) return std::string(reason);
    return "\"" + name + "\": " + std::string(reason);
}

} // namespace tandemscan
