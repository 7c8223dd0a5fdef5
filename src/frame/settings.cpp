#include "frame/settings.h"

#include <algorithm>

#include "frame/command_line.h"
#include "highscore/key_map.h"
#include "highscore/text_input.h"
#include "platform/cp1252.h"

namespace zorblet::frame {

namespace {

constexpr std::size_t ProblemsShown = 3;

struct Line {
    std::string_view Text;  // without the line end
    std::size_t End = 0;    // offset of the line end (or of the text's end)
};

std::vector<Line> SplitLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        lines.push_back({text.substr(start, end - start), end});
        start = end + 1;
    }
    return lines;
}

std::string_view Trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool HasControlBytes(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && c != '\t' && c != '\r') || byte == 0x7F;
    });
}

// The key of a "key = value" line; nothing for comments, blank lines and lines without "=".
std::optional<std::string_view> KeyOf(std::string_view line) {
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == '#') return std::nullopt;
    const std::size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    return Trim(trimmed.substr(0, equals));
}

std::optional<bool> ParseSwitch(std::string_view value, std::string_view yes, std::string_view no) {
    if (value == yes) return true;
    if (value == no) return false;
    return std::nullopt;
}

// A name the name entry could have typed: at most 24 of its characters.
std::optional<std::string> ParseName(std::string_view utf8) {
    std::optional<std::string> name = platform::Utf8ToCp1252(utf8);
    if (!name || std::ssize(*name) > highscore::NameMaxLength) return std::nullopt;
    static const highscore::KeyMap keys = highscore::BuildKeyMap();
    const auto typeable = [](char c) {
        return std::any_of(keys.begin(), keys.end(), [c](const highscore::KeyMapping& key) {
            return key.Plain.front() == c || key.Shifted.front() == c;
        });
    };
    if (!std::all_of(name->begin(), name->end(), typeable)) return std::nullopt;
    return name;
}

// Applies one key's value; returns the problem, empty when it was taken.
std::string ApplySetting(Settings& settings, std::string_view key, std::string_view value) {
    if (key == "server") {
        if (!IsServerAddress(value)) return "server: keine Adresse mit http:// oder https://";
        settings.Server = std::string(value);
    } else if (key == "sound") {
        const auto on = ParseSwitch(value, "on", "off");
        if (!on) return "sound: nur on oder off";
        settings.SoundOn = on;
    } else if (key == "name") {
        if (value.empty()) return {};
        auto name = ParseName(value);
        if (!name) return "name: mehr als 24 Zeichen oder Zeichen, die die Namenseingabe nicht kennt";
        settings.Name = std::move(name);
    } else if (key == "scale") {
        const auto scale = ParseScale(value);
        if (!scale) return "scale: nur 1 bis 4";
        settings.Scale = scale;
    } else if (key == "fullscreen") {
        const auto on = ParseSwitch(value, "yes", "no");
        if (!on) return "fullscreen: nur yes oder no";
        settings.Fullscreen = on;
    } else {
        return "unbekannter Schlüssel „" + std::string(key) + "“";
    }
    return {};
}

std::string ReadLine(Settings& settings, std::string_view line) {
    if (line.size() > SettingsLineLimit) return "Zeile zu lang";
    if (HasControlBytes(line)) return "Steuerzeichen in der Zeile";
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == '#') return {};
    const auto key = KeyOf(line);
    if (!key) return "kein „Schlüssel = Wert“";
    return ApplySetting(settings, *key, Trim(trimmed.substr(trimmed.find('=') + 1)));
}

}  // namespace

SettingsReading ParseSettings(std::string_view text) {
    SettingsReading reading;
    const std::vector<Line> lines = SplitLines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string problem = ReadLine(reading.Values, lines[i].Text);
        if (!problem.empty()) reading.Problems.push_back({i + 1, std::move(problem)});
    }
    return reading;
}

std::string DescribeProblems(std::string_view file, const std::vector<SettingsProblem>& problems) {
    std::string text;
    for (std::size_t i = 0; i < std::min(problems.size(), ProblemsShown); ++i) {
        text += "Zorblet: " + std::string(file) + ", Zeile " + std::to_string(problems[i].Line) + ": " +
                problems[i].Reason + "; es gilt die Vorgabe.\n";
    }
    if (problems.size() > ProblemsShown) {
        text += "Zorblet: " + std::string(file) + ": " + std::to_string(problems.size() - ProblemsShown) +
                " weitere Zeilen nicht gelesen.\n";
    }
    return text;
}

std::string WithSetting(std::string_view text, std::string_view key, std::string_view value) {
    const std::string line = std::string(key) + " = " + std::string(value);
    const std::vector<Line> lines = SplitLines(text);
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        if (KeyOf(it->Text) != key) continue;
        const std::size_t start = it->End - it->Text.size();
        // A line ended in CR LF keeps its CR.
        const std::string_view ending = it->Text.ends_with('\r') ? "\r" : "";
        return std::string(text.substr(0, start)) + line + std::string(ending) + std::string(text.substr(it->End));
    }
    std::string result(text);
    if (!result.empty() && result.back() != '\n') result += '\n';
    return result + line + "\n";
}

std::string NameValue(std::string_view cp1252Name) {
    return platform::Cp1252ToUtf8(cp1252Name);
}

}  // namespace zorblet::frame
