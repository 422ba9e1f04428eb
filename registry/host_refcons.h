#pragma once
// The refcons the host knows script registrations by. Each is a slot number and a
// generation packed into one pointer-sized value: a lookup is one array access, and a
// refcon of a registration that has gone never finds a later one in the same slot.
#include <cstdint>
#include <vector>

namespace korvane {

template <typename Target>
class HostRefcons {
public:
    void* Issue(Target target) {
        std::uint32_t index;
        if (free_.empty()) {
            index = static_cast<std::uint32_t>(slots_.size());
            slots_.push_back({});
        } else {
            index = free_.back();
            free_.pop_back();
        }
        Slot& slot = slots_[index];
        slot.live = true;
        slot.target = target;
        return Pack(index, slot.generation);
    }

    void Revoke(const void* refcon) {
        Slot* slot = Live(refcon);
        if (!slot) return;
        slot->live = false;
        ++slot->generation;
        free_.push_back(static_cast<std::uint32_t>(slot - slots_.data()));
    }

    // The target of a live refcon; null for any other value, stale or never issued.
    const Target* Find(const void* refcon) const {
        const Slot* slot = const_cast<HostRefcons*>(this)->Live(refcon);
        return slot ? &slot->target : nullptr;
    }

    // Revokes every refcon at once.
    void RevokeAll() {
        free_.clear();
        for (std::uint32_t i = 0; i < slots_.size(); ++i) {
            if (slots_[i].live) ++slots_[i].generation;
            slots_[i].live = false;
            free_.push_back(i);
        }
    }

private:
    struct Slot {
        std::uint32_t generation = 1;
        bool live = false;
        Target target{};
    };

    // Slot numbers start at 1 so that no refcon is null.
    static void* Pack(std::uint32_t index, std::uint32_t generation) {
        auto value = (static_cast<std::uintptr_t>(generation) << 32) | (static_cast<std::uintptr_t>(index) + 1);
        return reinterpret_cast<void*>(value);
    }

    Slot* Live(const void* refcon) {
        auto value = reinterpret_cast<std::uintptr_t>(refcon);
        std::uintptr_t number = value & 0xFFFFFFFFu;
        if (number == 0 || number > slots_.size()) return nullptr;
        Slot& slot = slots_[number - 1];
        if (!slot.live || slot.generation != static_cast<std::uint32_t>(value >> 32)) return nullptr;
        return &slot;
    }

    std::vector<Slot> slots_;
    std::vector<std::uint32_t> free_;
};

}  // namespace korvane
