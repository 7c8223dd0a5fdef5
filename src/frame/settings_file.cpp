#include "frame/settings_file.h"

#include <chrono>
#include <cstdio>
#include <thread>
#include <utility>

#include "platform/small_file.h"

namespace zorblet::frame {

namespace {

void Warn(const std::string& text) {
    std::fputs(text.c_str(), stderr);
}

}  // namespace

SettingsFile::SettingsFile(std::filesystem::path path, platform::Clock& clock)
    : path_(std::move(path)), writer_(clock) {
    if (path_.empty()) return;
    platform::FileStart start = platform::ReadFileStart(path_, SettingsReadLimit);
    if (!start.Error.empty()) {
        Warn("Zorblet: " + path_.string() + " lässt sich nicht lesen (" + start.Error +
             "); es gelten die Vorgaben, und die Datei bleibt unverändert.\n");
        return;
    }
    if (start.Truncated) {
        // The line cut at the limit is not read.
        start.Text.erase(start.Text.rfind('\n') == std::string::npos ? 0 : start.Text.rfind('\n') + 1);
        Warn("Zorblet: " + path_.string() + " ist größer als 64 KiB; nur ihr Anfang gilt, und die Datei bleibt " +
             "unverändert.\n");
    }
    SettingsReading reading = ParseSettings(start.Text);
    Warn(DescribeProblems(path_.string(), reading.Problems));
    values_ = std::move(reading.Values);
    text_ = std::move(start.Text);
    writable_ = !start.Truncated;
}

SettingsFile::~SettingsFile() {
    Flush();
}

void SettingsFile::Flush() {
    while (writer_.Busy()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void SettingsFile::RememberName(std::string_view name) {
    Remember("name", NameValue(name));
}

void SettingsFile::RememberSound(bool on) {
    Remember("sound", SoundValue(on));
}

void SettingsFile::RememberFullscreen(bool on) {
    Remember("fullscreen", FullscreenValue(on));
}

void SettingsFile::Remember(std::string_view key, std::string_view value) {
    if (!writable_) return;
    text_ = WithSetting(text_, key, value);
    writer_.Post([path = path_, text = text_] {
        const std::string error = platform::ReplaceFile(path, text);
        if (!error.empty()) {
            Warn("Zorblet: die Einstellungen lassen sich nicht speichern (" + path.string() + ": " + error +
                 "); die alte Datei bleibt.\n");
        }
    });
}

}  // namespace zorblet::frame
