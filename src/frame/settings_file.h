#pragma once
// The player's settings file: read once at start, and written again on the transfer-style
// worker of its own whenever the player changes a remembered choice, so that the frame
// never waits for the disk.

#include <filesystem>
#include <string>

#include "frame/settings.h"
#include "highscore/transfer_worker.h"
#include "platform/settings_store.h"

namespace zorblet::frame {

// The file is read no further: a huge file must not stall the start.
inline constexpr std::size_t SettingsReadLimit = 64 * 1024;

class SettingsFile final : public platform::SettingsStore {
public:
    // Reads the file at path (empty: none is kept); what could not be read is told on stderr.
    // Writes run on a worker of their own, timed by `clock`.
    SettingsFile(std::filesystem::path path, platform::Clock& clock);
    // Waits for the last write to end.
    ~SettingsFile() override;
    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;

    const Settings& Values() const { return values_; }

    void RememberName(std::string_view name) override;
    void RememberSound(bool on) override;
    void RememberFullscreen(bool on) override;

    // Waits until every change asked for so far is written (or has failed).
    void Flush();

private:
    void Remember(std::string_view key, std::string_view value);

    std::filesystem::path path_;
    std::string text_;  // the file as read, with the changes since
    Settings values_;
    // A file that was not read whole, or not at all, is never written over: what the game
    // did not read would be lost.
    bool writable_ = false;
    highscore::TransferWorker writer_;  // last: it ends first, while the text still exists
};

}  // namespace zorblet::frame
