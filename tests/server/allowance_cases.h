#pragma once
// One table of cases for the per-address allowance, which exists twice: in the guard of a
// service alone on its list (C++) and in the script a Redis list runs (Lua), which must
// take it in one step with the store. Both tests run this table, so the two cannot drift.

#include <cstdint>
#include <string>
#include <vector>

namespace zorblet::server::testing {

struct AllowanceStep {
    std::string address;
    std::int64_t at_ms;  // after the case's start
    bool allowed;
};

struct AllowanceCase {
    std::string name;
    int per_minute;
    std::vector<AllowanceStep> steps;
};

inline const std::vector<AllowanceCase>& AllowanceCases() {
    static const std::vector<AllowanceCase> cases{
        {"a burst of the rate, then one more each interval", 3,  // every 20 s
         {{"a", 0, true}, {"a", 0, true}, {"a", 0, true}, {"a", 19'000, false}, {"b", 19'000, true},
          {"a", 20'000, true}, {"a", 21'000, false}, {"a", 200'000, true}, {"a", 200'000, true},
          {"a", 200'000, true}, {"a", 200'000, false}}},
        {"a refused attempt does not move the allowance on", 2,  // every 30 s
         {{"a", 0, true}, {"a", 0, true}, {"a", 10'000, false}, {"a", 29'999, false}, {"a", 30'000, true},
          {"a", 30'000, false}}},
        {"an interval that is no whole number of milliseconds", 7,
         {{"a", 0, true}, {"a", 0, true}, {"a", 0, true}, {"a", 0, true}, {"a", 0, true}, {"a", 0, true},
          {"a", 0, true}, {"a", 0, false}, {"a", 8'571, false}, {"a", 8'572, true}, {"a", 8'572, false}}},
        {"a long pause refills no more than the burst", 2,
         {{"a", 0, true}, {"a", 3'600'000, true}, {"a", 3'600'000, true}, {"a", 3'600'000, false}}},
        {"a rate of 0 never refuses", 0, {{"a", 0, true}, {"a", 0, true}, {"a", 0, true}, {"a", 1, true}}},
    };
    return cases;
}

}  // namespace zorblet::server::testing
