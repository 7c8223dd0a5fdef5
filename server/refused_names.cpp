#include "refused_names.h"

#include <cerrno>
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

std::vector<std::string> ReadWords(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + file.string() + ": " + std::strerror(errno));
    std::vector<std::string> words;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::string_view word = TrimBlanks(line);
        if (word.empty()) continue;
        std::optional<std::string> converted = platform::Utf8ToCp1252(word);
        if (!converted) {
            throw std::runtime_error(file.string() + " line " + std::to_string(number) +
                                     ": not UTF-8, or a character no name can hold");
        }
        words.push_back(std::move(*converted));
    }
    if (in.bad()) throw std::runtime_error("cannot read " + file.string());
    return words;
}

}  // namespace

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
    for (const std::string& word : *words) {
        if (platform::ContainsIgnoringCase(name, word)) return true;
    }
    return false;
}

std::size_t RefusedNames::CountWords() const {
    return CurrentWords()->size();
}

}  // namespace zorblet::server
