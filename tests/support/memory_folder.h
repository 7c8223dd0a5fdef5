#pragma once
// A folder in memory, for what keeps files (the games folder, the outbox) without a disk.
// A broken one fails every write, as a full disk would. One thread at a time uses it.

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/folder.h"
#include "platform/small_file.h"

namespace zorblet::testing {

class MemoryFolder final : public platform::Folder {
public:
    std::map<std::string, std::string> Files;
    bool Broken = false;

    std::vector<std::string> FileNames() override {
        std::vector<std::string> names;
        for (const auto& [name, _] : Files) names.push_back(name);
        return names;
    }
    platform::NewFile WriteNew(std::string_view stem, std::string_view extension, std::string_view bytes) override {
        if (Broken) return {{}, "/home/spieler/.local/share/zorblet/games: No space left on device"};
        for (int number = 1; number < 100; ++number) {
            const std::string name =
                std::string(stem) + (number > 1 ? "-" + std::to_string(number) : "") + std::string(extension);
            if (Files.emplace(name, std::string(bytes)).second) return {name, {}};
        }
        return {{}, "full"};
    }
    bool Remove(const std::string& name) override { return Files.erase(name) == 1; }
    platform::FileStart Read(const std::string& name, std::size_t limit) override {
        const auto found = Files.find(name);
        if (found == Files.end()) return {.Text = {}, .Missing = true, .Truncated = false, .Error = {}};
        return {.Text = found->second.substr(0, limit), .Missing = false, .Truncated = found->second.size() > limit,
                .Error = {}};
    }
};

}  // namespace zorblet::testing
