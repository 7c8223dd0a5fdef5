#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace zorblet::server {

// The words operators refuse in names, from a UTF-8 file of one word a line (blank lines,
// the blanks around a word and a byte order mark are ignored). A name containing a word
// anywhere, ignoring case (Ä as ä, never as a), is refused: a word inside a longer word
// counts too. Names and words are compared as a reader sees them (see NameAsShown), and a
// word also counts when spaces or punctuation stand between its letters, as long as it is
// made of whole parts of the name ("b.a.d word", not "...ab adw..." across two words).
// A Windows-1252 name as a reader sees it: without the characters that show nothing (the
// soft hyphen, the bytes the code page leaves undefined), with a no-break space as a space.
std::string NameAsShown(std::string_view name);

class RefusedNames {
public:
    // Reads `file`; throws std::runtime_error naming the file and what is wrong with it.
    explicit RefusedNames(std::filesystem::path file);

    // Reads the file again. On failure keeps the words it had and returns the problem;
    // returns an empty text on success.
    std::string Reload();

    bool Refuses(std::string_view name) const;  // a Windows-1252 name
    std::size_t CountWords() const;
    const std::filesystem::path& file() const { return file_; }

private:
    using Words = std::vector<std::string>;  // Windows-1252
    std::shared_ptr<const Words> CurrentWords() const;

    const std::filesystem::path file_;
    mutable std::mutex mutex_;  // guards the pointer only; a word list never changes
    std::shared_ptr<const Words> words_;
};

}  // namespace zorblet::server
