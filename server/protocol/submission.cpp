#include "protocol/submission.h"

#include <array>

#include "highscore/check_text.h"

namespace zorblet::server {

namespace {

bool IsForbiddenNameByte(unsigned char byte) {
    constexpr std::array<unsigned char, 5> Undefined{0x81, 0x8D, 0x8F, 0x90, 0x9D};
    if (byte < 0x20 || byte == 0x7F) return true;
    for (unsigned char undefined : Undefined) {
        if (byte == undefined) return true;
    }
    return false;
}

}  // namespace

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
