// The thread every simulated object holds back to its world. The world
// clears it on destruction, so an object that outlives its world fails its
// calls instead of touching freed memory.
#pragma once

#include <cstdint>
#include <memory>

namespace tarnwick::sim {

class World;

struct WorldLink {
    World* world = nullptr;
    int64_t liveHostProxies = 0;  // Excel and Office port objects alive
};

using Link = std::shared_ptr<WorldLink>;

// Counts the call by name, applies injected faults, and returns the world.
// Throws HostError when the world is gone or a fault is due.
World& Touch(const Link& link, const char* member);

}  // namespace tarnwick::sim
