#include "frame/command_line.h"

#include <charconv>

namespace zorblet::frame {

namespace {

constexpr std::string_view Program = "zorblet";
constexpr std::string_view HelpHint = "; „zorblet --help“ zeigt alle Optionen.";

std::string HelpText(std::string_view compiledServer) {
    return "Aufruf: zorblet [OPTION]...\n"
           "Zorblet, ein Arcade-Spiel: Halte den fallenden Ball mit dem Schläger in der Luft.\n"
           "\n"
           "  --server URL     Adresse der Highscore-Liste für diesen Lauf\n"
           "                   (http:// oder https://)\n"
           "  --scale N        Fenster N-mal so groß, N von 1 bis 4 (Vorgabe 1)\n"
           "  --fullscreen     im Vollbild starten (F11 wechselt jederzeit)\n"
           "  --replay DATEI   eine aufgezeichnete Partie im Fenster abspielen:\n"
           "                   F4 hält an, die Pfeiltasten wählen das Tempo (1-, 2-\n"
           "                   oder 4-fach), ESC beendet\n"
           "  --replay-info DATEI\n"
           "                   die Angaben einer Aufzeichnung zeigen und ihre Punkte\n"
           "                   ohne Fenster nachrechnen (Rückgabewert 0: sie stimmen,\n"
           "                   1: sie weichen ab, 2: keine lesbare Aufzeichnung)\n"
           "  --watch PLATZ    die geprüfte Partie auf diesem Platz der Highscore-Liste\n"
           "                   holen und im Fenster abspielen (Tasten wie bei --replay)\n"
           "  --version        Version zeigen\n"
           "  --help           diesen Text zeigen\n"
           "\n"
           "Die Highscore-Liste steht unter der Adresse von --server, sonst der\n"
           "Umgebungsvariablen ZORBLET_HIGHSCORE_SERVER, sonst der Einstellungsdatei,\n"
           "sonst unter " +
           std::string(compiledServer) +
           "\n"
           "Einstellungen: $XDG_CONFIG_HOME/zorblet/zorblet.conf\n"
           "(ohne XDG_CONFIG_HOME: ~/.config/zorblet/zorblet.conf)\n"
           "Aufzeichnungen der Partien: $XDG_DATA_HOME/zorblet/games/\n"
           "(ohne XDG_DATA_HOME: ~/.local/share/zorblet/games/),\n"
           "noch zu sendende: $XDG_DATA_HOME/zorblet/outbox/\n";
}

CommandLine Refuse(std::string_view problem) {
    return {std::nullopt, std::string(Program) + ": " + std::string(problem) + std::string(HelpHint) + "\n", 2};
}

bool TakesValue(std::string_view name) {
    return name == "--server" || name == "--scale" || name == "--replay" || name == "--replay-info" ||
           name == "--watch";
}

std::string_view OptionOf(RunAction action) {
    switch (action) {
        case RunAction::Play:
            break;
        case RunAction::Replay:
            return "--replay";
        case RunAction::ReplayInfo:
            return "--replay-info";
        case RunAction::Watch:
            return "--watch";
    }
    return {};
}

// --replay, --replay-info and --watch: the last one given counts, but not two of them.
std::string ChooseAction(RunOptions& options, std::string_view name, RunAction action) {
    if (options.Action != RunAction::Play && options.Action != action) {
        return std::string(OptionOf(options.Action)) + " und " + std::string(name) + " lassen sich nicht verbinden";
    }
    options.Action = action;
    return {};
}

std::string ApplyRecordFile(RunOptions& options, std::string_view name, std::string_view value) {
    std::string problem = ChooseAction(options, name, name == "--replay" ? RunAction::Replay : RunAction::ReplayInfo);
    if (!problem.empty()) return problem;
    if (value.empty()) return "der Option " + std::string(name) + " fehlt ihr Wert";
    options.RecordFile = std::string(value);
    return {};
}

std::string ApplyWatch(RunOptions& options, std::string_view value) {
    std::string problem = ChooseAction(options, "--watch", RunAction::Watch);
    if (!problem.empty()) return problem;
    const std::optional<std::int32_t> place = ParsePlace(value);
    if (!place) return "der Platz „" + std::string(value) + "“ ist keine ganze Zahl ab 1";
    options.WatchPlace = *place;
    return {};
}

// Applies an option that takes a value; returns a problem text, empty on success.
std::string ApplyValue(RunOptions& options, std::string_view name, std::string_view value) {
    if (name == "--replay" || name == "--replay-info") return ApplyRecordFile(options, name, value);
    if (name == "--watch") return ApplyWatch(options, value);
    if (name == "--server") {
        if (!IsServerAddress(value)) {
            return "„" + std::string(value) + "“ ist keine Adresse mit http:// oder https:// und Rechnername";
        }
        options.Server = std::string(value);
        return {};
    }
    options.Scale = ParseScale(value);
    if (!options.Scale) return "die Vergrößerung „" + std::string(value) + "“ ist keine ganze Zahl von 1 bis 4";
    return {};
}

}  // namespace

std::optional<int> ParseScale(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (value < SmallestScale || value > LargestScale) return std::nullopt;
    return value;
}

std::optional<std::int32_t> ParsePlace(std::string_view text) {
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1) return std::nullopt;
    return value;
}

bool IsServerAddress(std::string_view address) {
    std::string_view rest;
    if (address.starts_with("http://")) {
        rest = address.substr(7);
    } else if (address.starts_with("https://")) {
        rest = address.substr(8);
    } else {
        return false;
    }
    for (char c : address) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F) return false;  // no spaces, controls or raw non-ASCII
    }
    const std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
    const std::string_view hostAndPort = authority.substr(authority.find('@') + 1);
    const std::string_view host =
        hostAndPort.starts_with("[") ? hostAndPort.substr(0, hostAndPort.find(']') + 1)
                                     : hostAndPort.substr(0, hostAndPort.find(':'));
    return !host.empty() && host != "[]" && host != "[";
}

CommandLine ParseCommandLine(std::span<const char* const> arguments, std::string_view compiledServer) {
    RunOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (argument == "--help") return {std::nullopt, HelpText(compiledServer), 0};
        if (argument == "--version") return {std::nullopt, "Zorblet 1.00\n", 0};
        if (argument == "--fullscreen") {
            options.Fullscreen = true;
            continue;
        }
        const std::string_view name = argument.substr(0, argument.find('='));
        if (!TakesValue(name)) return Refuse("unbekannte Option „" + std::string(argument) + "“");
        std::string_view value;
        if (name.size() < argument.size()) {
            value = argument.substr(name.size() + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            return Refuse("der Option " + std::string(name) + " fehlt ihr Wert");
        }
        const std::string problem = ApplyValue(options, name, value);
        if (!problem.empty()) return Refuse(problem);
    }
    return {options, {}, 0};
}

ServerChoice ChooseServer(const std::optional<std::string>& fromCommandLine, const char* fromEnvironment,
                          const std::optional<std::string>& fromSettings, std::string_view compiledIn) {
    if (fromCommandLine) return {*fromCommandLine, {}};
    if (fromEnvironment != nullptr && *fromEnvironment != '\0') {
        if (IsServerAddress(fromEnvironment)) return {fromEnvironment, {}};
        return {{},
                std::string(Program) + ": ZORBLET_HIGHSCORE_SERVER=„" + fromEnvironment +
                    "“ ist keine Adresse mit http:// oder https:// und Rechnername.\n"};
    }
    if (fromSettings) return {*fromSettings, {}};
    return {std::string(compiledIn), {}};
}

}  // namespace zorblet::frame
