#include "protocol/submission.h"

#include <array>
#include <charconv>
#include <limits>

#include "highscore/check_text.h"

namespace zorblet::server {

namespace {

constexpr std::size_t MaxPointsDigits = 10;

bool IsForbiddenNameByte(unsigned char byte) {
    constexpr std::array<unsigned char, 5> Undefined{0x81, 0x8D, 0x8F, 0x90, 0x9D};
    if (byte < 0x20 || byte == 0x7F) return true;
    for (unsigned char undefined : Undefined) {
        if (byte == undefined) return true;
    }
    return false;
}

}  // namespace

std::optional<std::int32_t> ParsePoints(std::string_view text) {
    const std::string_view digits = text.starts_with('-') ? text.substr(1) : text;
    if (digits.empty() || digits.size() > MaxPointsDigits) return std::nullopt;
    for (char digit : digits) {
        if (digit < '0' || digit > '9') return std::nullopt;
    }
    std::int64_t value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (text.starts_with('-')) value = -value;
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

std::string FindNameProblem(std::string_view name) {
    if (name.empty()) return "Name is empty";
    if (name.size() > MaxNameLength) {
        return "Name is longer than " + std::to_string(MaxNameLength) + " characters";
    }
    for (char c : name) {
        if (IsForbiddenNameByte(static_cast<unsigned char>(c))) {
            return "Name holds a control byte or a byte undefined in Windows-1252";
        }
    }
    return {};
}

ValidatedSubmission ValidateSubmission(const QueryParameters& parameters) {
    const SingleValue points_text = FindSingleValue(parameters, "Punkte");
    if (!points_text.value) return {std::nullopt, points_text.problem};
    const SingleValue name = FindSingleValue(parameters, "Name");
    if (!name.value) return {std::nullopt, name.problem};
    const SingleValue check = FindSingleValue(parameters, "Check");
    if (!check.value) return {std::nullopt, check.problem};

    const std::optional<std::int32_t> points = ParsePoints(*points_text.value);
    if (!points) {
        return {std::nullopt, std::string(PointsProblem)};
    }
    if (std::string problem = FindNameProblem(*name.value); !problem.empty()) {
        return {std::nullopt, problem};
    }
    if (*check.value != highscore::BuildCheckText(*points, *name.value)) {
        return {std::nullopt, "Check does not match Punkte and Name"};
    }
    return {Submission{*points, *name.value}, {}};
}

}  // namespace zorblet::server
