#pragma once
// The per-frame passes over the small objects: each element is moved (unless paused) and
// removed once it has expired. What a removed element looked like in its last frame is
// kept in world.Drawn where the picture still shows it.

#include <cstddef>
#include <utility>
#include <vector>

#include "world/tick_input.h"
#include "world/world.h"

namespace zorblet::world {

// Rings shrink and fade; one that has shrunk to its end is drawn a last time.
void UpdateTrailRings(World& world, const TickInput& input);
// Shots fly, bounce off the side walls and may hit the full target.
void UpdateShots(World& world, const TickInput& input, sound::ToneStarter& tones);
// The target grows back while the world moves.
void UpdateTarget(World& world, const TickInput& input);
void UpdateParticles(World& world, const TickInput& input);
// Pop-ups keep half their text's width from each wall.
void UpdatePopups(World& world, const TickInput& input);

// Walks the list once, oldest first: every element present at the start is visited
// exactly once, in order, and dropped when visit returns false. visit must not add to
// this list; elements another pass adds meanwhile wait for this list's next walk.
template <typename Element, typename Visit>
void WalkList(std::vector<Element>& list, Visit visit) {
    const std::size_t count = list.size();
    std::size_t kept = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (!visit(list[i])) continue;
        if (kept != i) list[kept] = std::move(list[i]);
        ++kept;
    }
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(kept), list.begin() + static_cast<std::ptrdiff_t>(count));
}

}  // namespace zorblet::world
