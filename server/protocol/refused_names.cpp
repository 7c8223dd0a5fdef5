#include "protocol/refused_names.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "platform/cp1252.h"

namespace zorblet::server {

namespace {

std::string_view TrimBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

std::vector<std::string> ReadWords(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + file.string() + ": " + std::strerror(errno));
    std::vector<std::string> words;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (number == 1 && line.starts_with(ByteOrderMark)) line.erase(0, ByteOrderMark.size());
        const std::string_view word = TrimBlanks(line);
        if (word.empty()) continue;
        std::optional<std::string> converted = platform::Utf8ToCp1252(word);
        if (!converted) {
            throw std::runtime_error(file.string() + " line " + std::to_string(number) +
                                     ": not UTF-8, or a character no name can hold");
        }
        words.push_back(NameAsShown(*converted));
    }
    if (in.bad()) throw std::runtime_error("cannot read " + file.string());
    return words;
}

bool IsInvisible(std::uint8_t byte) {
    return byte == 0xAD || byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D;
}

// Letters and digits of Windows-1252; every other character separates parts of a name.
bool IsLetterOrDigit(char c) {
    const auto byte = static_cast<std::uint8_t>(c);
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || platform::LowerCp1252(c) != c) return true;
    switch (byte) {
        case 0x83: case 0x9A: case 0x9C: case 0x9E: case 0xAA: case 0xB5: case 0xBA: case 0xDF:
            return true;
        default:
            return byte >= 0xE0 && byte != 0xF7;
    }
}

// A name's letters and digits alone, and for each of them whether it begins or ends one
// of the name's parts (its runs between separators).
struct JoinedParts {
    std::string letters;
    std::vector<bool> begins;
    std::vector<bool> ends;
};

JoinedParts JoinParts(std::string_view name) {
    JoinedParts joined;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (!IsLetterOrDigit(name[i])) continue;
        joined.letters += name[i];
        joined.begins.push_back(i == 0 || !IsLetterOrDigit(name[i - 1]));
        joined.ends.push_back(i + 1 == name.size() || !IsLetterOrDigit(name[i + 1]));
    }
    return joined;
}

bool SameIgnoringCase(char a, char b) {
    return platform::LowerCp1252(a) == platform::LowerCp1252(b);
}

// Whether the word's letters stand in the name as whole parts with separators between.
bool ContainsAcrossParts(const JoinedParts& name, std::string_view word) {
    const std::string letters = JoinParts(word).letters;
    if (letters.empty()) return false;
    const auto end = name.letters.end();
    for (auto at = name.letters.begin();; ++at) {
        at = std::search(at, end, letters.begin(), letters.end(), SameIgnoringCase);
        if (at == end) return false;
        const auto first = static_cast<std::size_t>(at - name.letters.begin());
        if (name.begins[first] && name.ends[first + letters.size() - 1]) return true;
    }
}

}  // namespace

std::string NameAsShown(std::string_view name) {
    std::string folded;
    folded.reserve(name.size());
    for (const char c : name) {
        const auto byte = static_cast<std::uint8_t>(c);
        if (IsInvisible(byte)) continue;
        folded += byte == 0xA0 ? ' ' : c;
    }
    return folded;
}

RefusedNames::RefusedNames(std::filesystem::path file)
    : file_(std::move(file)), words_(std::make_shared<const Words>(ReadWords(file_))) {}

std::string RefusedNames::Reload() {
    try {
        auto words = std::make_shared<const Words>(ReadWords(file_));
        std::lock_guard lock(mutex_);
        words_ = std::move(words);
    } catch (const std::exception& error) {
        return error.what();
    }
    return {};
}

std::shared_ptr<const RefusedNames::Words> RefusedNames::CurrentWords() const {
    std::lock_guard lock(mutex_);
    return words_;
}

bool RefusedNames::Refuses(std::string_view name) const {
    const std::shared_ptr<const Words> words = CurrentWords();
    const std::string folded = NameAsShown(name);
    const JoinedParts parts = JoinParts(folded);
    return std::any_of(words->begin(), words->end(), [&](const std::string& word) {
        return platform::ContainsIgnoringCase(folded, word) || ContainsAcrossParts(parts, word);
    });
}

std::size_t RefusedNames::CountWords() const {
    return CurrentWords()->size();
}

}  // namespace zorblet::server
