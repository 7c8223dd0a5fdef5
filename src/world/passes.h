#pragma once
// The per-frame passes over the small objects: each element is moved (unless paused),
// drawn right after, and removed once it has expired.

#include "render/canvas.h"
#include "world/services.h"
#include "world/world.h"

namespace zorblet::world {

void UpdateTrailRings(World& world, render::Canvas& canvas);
// Shots fly, bounce off the side walls and may hit the full target.
void UpdateShots(World& world, Services& services, render::Canvas& canvas);
// The target grows back while the world moves, and is drawn from size 1.
void UpdateTarget(World& world, render::Canvas& canvas);
void UpdateParticles(World& world, render::Canvas& canvas);
// Pop-ups in the pop-up font, which this pass selects.
void UpdatePopups(World& world, render::Canvas& canvas, render::Fonts& fonts);

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
