#pragma once
// The settings file's text: plain "key = value" lines a player can edit, read into the
// values the game starts with, and brought up to date one key at a time so that every
// other line (other keys, comments, even lines the game cannot read) stays as it was.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorblet::frame {

// Longer lines are not read: no value of the file needs a fraction of it.
inline constexpr std::size_t SettingsLineLimit = 1024;

struct Settings {
    std::optional<std::string> Server;
    std::optional<bool> SoundOn;
    std::optional<std::string> Name;  // Windows-1252, as the name entry types it
    std::optional<int> Scale;
    std::optional<bool> Fullscreen;
};

// A line that was left at the default, and why.
struct SettingsProblem {
    std::size_t Line = 0;  // from 1
    std::string Reason;
};

struct SettingsReading {
    Settings Values;
    std::vector<SettingsProblem> Problems;
};

// Reads every line; a bad line (unknown key, bad value, no "=", overlong, control bytes)
// is a problem and leaves its key at the default. Of two good lines for one key the later
// counts.
SettingsReading ParseSettings(std::string_view text);

// A short warning for stderr, a line each for the first few problems; empty for none.
std::string DescribeProblems(std::string_view file, const std::vector<SettingsProblem>& problems);

// The text with key set to value (UTF-8): the last line for key replaced, or a line added.
std::string WithSetting(std::string_view text, std::string_view key, std::string_view value);

// The lines the game writes for what the player chose in it.
std::string NameValue(std::string_view cp1252Name);
inline std::string_view SoundValue(bool on) { return on ? "on" : "off"; }
inline std::string_view FullscreenValue(bool on) { return on ? "yes" : "no"; }

}  // namespace zorblet::frame
