#include "cli/batch_pairs.h"

#include <algorithm>
#include <map>

namespace tandemscan {

namespace {

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameLetters(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

// NAME when `stem` fits `pattern`, else empty.
std::string nameIn(std::string_view stem, std::string_view pattern) {
    const std::size_t star = pattern.find('*');
    const std::string_view prefix = pattern.substr(0, star);
    const std::string_view suffix = pattern.substr(star + 1);
    if (stem.size() <= prefix.size() + suffix.size()) return {};
    if (!sameLetters(stem.substr(0, prefix.size()), prefix) ||
        !sameLetters(stem.substr(stem.size() - suffix.size()), suffix))
        return {};
    return std::string(stem.substr(prefix.size(), stem.size() - prefix.size() - suffix.size()));
}

std::string_view stemOf(std::string_view fileName) {
    return fileName.substr(0, fileName.rfind('.'));
}

} // namespace

const std::vector<std::string>& imageExtensions() {
    static const std::vector<std::string> extensions = {".bmp",  ".jpg", ".jpeg", ".tif",
                                                        ".tiff", ".png", ".pcx",  ".tga"};
    return extensions;
}

bool hasImageExtension(std::string_view fileName) {
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return false;
    const std::string_view extension = fileName.substr(dot);
    return std::any_of(imageExtensions().begin(), imageExtensions().end(),
                       [&](const std::string& known) { return sameLetters(extension, known); });
}

std::pair<std::string, std::string> parsePairPattern(const std::string& text, std::string& error) {
    error.clear();
    const std::size_t comma = text.find(',');
    const std::string left = text.substr(0, comma);
    const std::string right = comma == std::string::npos ? std::string() : text.substr(comma + 1);
    auto oneStar = [](const std::string& p) {
        return std::count(p.begin(), p.end(), '*') == 1 && p.find('/') == std::string::npos;
    };
    if (comma == std::string::npos || !oneStar(left) || !oneStar(right))
        error = "--pattern takes two name patterns with one '*' each, such as '*-front,*-back', not '" +
                text + "'";
    else if (sameLetters(left, right))
        error = "--pattern needs two different patterns, not '" + text + "'";
    return {left, right};
}

bool namesInOrder(std::string_view a, std::string_view b) {
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            std::size_t endA = i, endB = j;
            while (endA < a.size() && digit(a[endA]))
                ++endA;
            while (endB < b.size() && digit(b[endB]))
                ++endB;
            std::size_t startA = i, startB = j;
            while (startA + 1 < endA && a[startA] == '0')
                ++startA;
            while (startB + 1 < endB && b[startB] == '0')
                ++startB;
            const std::string_view valueA = a.substr(startA, endA - startA);
            const std::string_view valueB = b.substr(startB, endB - startB);
            if (valueA.size() != valueB.size()) return valueA.size() < valueB.size();
            if (valueA != valueB) return valueA < valueB;
            if (endA - i != endB - j) return endA - i < endB - j; // fewer leading zeros first
            i = endA;
            j = endB;
            continue;
        }
        if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

PairList pairFiles(std::vector<std::string> fileNames, const PairingRule& rule) {
    PairList list;
    std::erase_if(fileNames,
                  [](const std::string& n) { return n.empty() || n[0] == '.' || !hasImageExtension(n); });
    std::sort(fileNames.begin(), fileNames.end(), namesInOrder);

    if (rule.consecutive) {
        for (std::size_t i = 0; i < fileNames.size(); i += 2) {
            BatchPair pair{std::string(stemOf(fileNames[i])), fileNames[i], {}, {}};
            if (i + 1 < fileNames.size())
                pair.right = fileNames[i + 1];
            else
                pair.problem = "no partner: the last of an odd number of files";
            const bool taken = std::any_of(list.pairs.begin(), list.pairs.end(),
                                           [&](const BatchPair& p) { return p.name == pair.name; });
            if (taken && pair.problem.empty()) pair.problem = "another pair has the same name";
            list.pairs.push_back(std::move(pair));
        }
        return list;
    }

    std::map<std::string, BatchPair> byName;
    for (const std::string& file : fileNames) {
        // The most specific pattern wins, so that '*,*-b' takes x-b.jpg as a right part.
        std::string name;
        bool right = false;
        std::size_t fixed = 0;
        for (const auto& [leftPattern, rightPattern] : rule.patterns)
            for (const std::string* pattern : {&leftPattern, &rightPattern}) {
                std::string found = nameIn(stemOf(file), *pattern);
                if (!found.empty() && (name.empty() || pattern->size() > fixed)) {
                    name = std::move(found);
                    right = pattern == &rightPattern;
                    fixed = pattern->size();
                }
            }
        if (name.empty()) {
            list.unmatched.push_back(file);
            continue;
        }
        BatchPair& pair = byName[name];
        pair.name = name;
        std::string& slot = right ? pair.right : pair.left;
        if (!slot.empty() && pair.problem.empty())
            pair.problem =
                std::string(right ? "two right parts: " : "two left parts: ") + slot + " and " + file;
        if (slot.empty()) slot = file;
    }
    for (auto& [name, pair] : byName) {
        if (pair.problem.empty() && pair.left.empty()) pair.problem = "the left part is missing";
        if (pair.problem.empty() && pair.right.empty()) pair.problem = "the right part is missing";
        list.pairs.push_back(std::move(pair));
    }
    std::stable_sort(list.pairs.begin(), list.pairs.end(),
                     [](const BatchPair& a, const BatchPair& b) { return namesInOrder(a.name, b.name); });
    return list;
}

} // namespace tandemscan
