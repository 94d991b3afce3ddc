// Frees what one input registered (textures and materials), keeping what start-up made.
#pragma once
#include "Core/Engine.h"
#include <set>
#include <vector>

namespace mvefuzz {

template <class R> std::set<int> IdsOf(const R &registry) {
    std::set<int> ids;
    registry.ForEach([&](const auto *record) { ids.insert(record->iID); });
    return ids;
}

template <class R> void FreeAllBut(R &registry, const std::set<int> &keep) {
    std::vector<int> added;
    registry.ForEach([&](const auto *record) {
        if (!keep.count(record->iID)) added.push_back(record->iID);
    });
    for (int id : added) registry.Free(id);
}

}  // namespace mvefuzz
