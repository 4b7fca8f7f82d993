#include "cli/batch_report.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <iomanip>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tandemscan {

namespace {

// The value after `"key": ` at the top of our own line. Inside a JSON string every quote is
// escaped, so the search cannot land within a value.
std::optional<std::string_view> rawField(std::string_view line, std::string_view key) {
    const std::string marker = "\"" + std::string(key) + "\": ";
    const std::size_t at = line.find(marker);
    if (at == std::string_view::npos) return std::nullopt;
    return line.substr(at + marker.size());
}

std::optional<std::string> stringField(std::string_view line, std::string_view key) {
    const auto raw = rawField(line, key);
    if (!raw || raw->empty() || raw->front() != '"') return std::nullopt;
    std::string value;
    for (std::size_t i = 1; i < raw->size(); ++i) {
        const char c = (*raw)[i];
        if (c == '"') return value;
        if (c != '\\') {
            value += c;
            continue;
        }
        if (++i == raw->size()) return std::nullopt;
        switch ((*raw)[i]) {
        case 'n':
            value += '\n';
            break;
        case 't':
            value += '\t';
            break;
        case 'u': {
            unsigned code = 0;
            if (i + 4 >= raw->size() ||
                std::from_chars(raw->data() + i + 1, raw->data() + i + 5, code, 16).ptr !=
                    raw->data() + i + 5)
                return std::nullopt;
            value += static_cast<char>(code);
            i += 4;
            break;
        }
        default:
            value += (*raw)[i];
        }
    }
    return std::nullopt;
}

} // namespace

const char* statusName(PairStatus status) {
    switch (status) {
    case PairStatus::joined:
        return "joined";
    case PairStatus::refused:
        return "refused";
    case PairStatus::failed:
        break;
    }
    return "failed";
}

std::string jsonQuoted(std::string_view text) {
    static const char hex[] = "0123456789abcdef";
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte == 0x7f) {
            out += "\\u00";
            out += hex[byte >> 4];
            out += hex[byte & 15];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string reportLine(const PairResult& result) {
    auto stringOrNull = [](const std::string& s) { return s.empty() ? std::string("null") : jsonQuoted(s); };
    std::ostringstream line;
    line << "{\"status\": \"" << statusName(result.status) << "\", \"name\": " << jsonQuoted(result.name)
         << ", \"left\": " << stringOrNull(result.left) << ", \"right\": " << stringOrNull(result.right)
         << ", \"output\": " << stringOrNull(result.output)
         << ", \"placement\": " << (result.placement.empty() ? "null" : result.placement)
         << ", \"reason\": " << stringOrNull(result.reason) << ", \"seconds\": " << std::fixed
         << std::setprecision(2) << std::round(result.seconds * 100) / 100 + 0.0 << "}";
    return line.str();
}

std::optional<PairResult> parseReportLine(std::string_view line) {
    PairResult result;
    const auto status = stringField(line, "status");
    const auto name = stringField(line, "name");
    const auto seconds = rawField(line, "seconds");
    if (!status || !name || !seconds) return std::nullopt;
    if (*status == "joined")
        result.status = PairStatus::joined;
    else if (*status == "refused")
        result.status = PairStatus::refused;
    else if (*status != "failed")
        return std::nullopt;
    result.name = *name;
    result.left = stringField(line, "left").value_or("");
    result.right = stringField(line, "right").value_or("");
    result.output = stringField(line, "output").value_or("");
    result.reason = stringField(line, "reason").value_or("");
    if (const auto placement = rawField(line, "placement"); placement && placement->starts_with('{'))
        result.placement = std::string(placement->substr(0, placement->find('}') + 1));
    std::istringstream number{std::string(*seconds)};
    number >> result.seconds;
    return result;
}

bool appendReportLine(const std::filesystem::path& report, const std::string& line, std::string& why) {
    FileHandle file(::open(report.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666));
    if (!file.valid()) {
        why = std::strerror(errno);
        return false;
    }
    // Jobs on other machines may append to the same file; the lock keeps lines whole there too.
    while (::flock(file.get(), LOCK_EX) != 0 && errno == EINTR) {
    }
    const std::string text = line + "\n";
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(file.get(), text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            why = std::strerror(errno);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<PairLock> PairLock::acquire(const std::filesystem::path& outputDir, std::string_view name,
                                          std::string& why) {
    FileHandle file(
        ::open((outputDir / kPairLockFileName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666));
    if (!file.valid()) {
        why = std::strerror(errno);
        return std::nullopt;
    }
    // The byte's offset is a hash of the name; two names sharing one only wait for each other.
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : name)
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    struct flock byte {};
    byte.l_type = F_WRLCK;
    byte.l_whence = SEEK_SET;
    byte.l_start = static_cast<off_t>(hash >> 2);
    byte.l_len = 1;
    while (::fcntl(file.get(), F_OFD_SETLKW, &byte) != 0) {
        if (errno == EINTR) continue;
        why = std::strerror(errno);
        return std::nullopt;
    }
    return PairLock(std::move(file));
}

bool isUpToDate(const std::filesystem::path& output, const std::filesystem::path& left,
                const std::filesystem::path& right) {
    struct stat out {
    }, l{}, r{};
    if (::stat(output.c_str(), &out) != 0 || !S_ISREG(out.st_mode)) return false;
    if (::stat(left.c_str(), &l) != 0 || ::stat(right.c_str(), &r) != 0) return false;
    auto newer = [](const struct stat& a, const struct stat& b) {
        return a.st_mtim.tv_sec != b.st_mtim.tv_sec ? a.st_mtim.tv_sec > b.st_mtim.tv_sec
                                                    : a.st_mtim.tv_nsec > b.st_mtim.tv_nsec;
    };
    return newer(out, l) && newer(out, r);
}

} // namespace tandemscan
