#pragma once
// A small open-addressing map from addresses (accessor tables, windows, widgets,
// script keys) to values, for the lookups native callbacks make on every call: no
// allocation on lookup, no division, a probe or two whatever the number of entries.
#include <cstdint>
#include <utility>
#include <vector>

namespace korvane {

template <typename Value>
class PointerIndex {
public:
    // The value for the key, or null.
    Value* Find(const void* key) {
        if (key == nullptr || size_ == 0) return nullptr;
        for (std::size_t i = Home(key);; i = Next(i)) {
            Slot& slot = slots_[i];
            if (slot.key == key) return &slot.value;
            if (slot.key == nullptr) return nullptr;
        }
    }
    const Value* Find(const void* key) const { return const_cast<PointerIndex*>(this)->Find(key); }

    // Inserts or replaces.
    void Set(const void* key, Value value) {
        if ((size_ + 1) * 4 > slots_.size() * 3) Grow();
        for (std::size_t i = Home(key);; i = Next(i)) {
            Slot& slot = slots_[i];
            if (slot.key == key) {
                slot.value = std::move(value);
                return;
            }
            if (slot.key == nullptr) {
                slot = {key, std::move(value)};
                ++size_;
                return;
            }
        }
    }

    void Erase(const void* key) {
        if (key == nullptr || size_ == 0) return;
        std::size_t hole = Home(key);
        while (slots_[hole].key != key) {
            if (slots_[hole].key == nullptr) return;
            hole = Next(hole);
        }
        // Moves later members of the probe run back, so no tombstones are needed.
        for (std::size_t i = Next(hole); slots_[i].key != nullptr; i = Next(i)) {
            std::size_t home = Home(slots_[i].key);
            bool between = hole <= i ? (hole < home && home <= i) : (hole < home || home <= i);
            if (between) continue;
            slots_[hole] = std::move(slots_[i]);
            hole = i;
        }
        slots_[hole] = Slot{};
        --size_;
    }

    void Clear() {
        slots_.clear();
        size_ = 0;
    }
    std::size_t Size() const { return size_; }

private:
    struct Slot {
        const void* key = nullptr;
        Value value{};
    };

    std::size_t Home(const void* key) const {
        auto bits = reinterpret_cast<std::uintptr_t>(key);
        return static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15ull) >> shift_);
    }
    std::size_t Next(std::size_t i) const { return (i + 1) & (slots_.size() - 1); }

    void Grow() {
        std::vector<Slot> old = std::move(slots_);
        std::size_t capacity = old.empty() ? 16 : old.size() * 2;
        slots_.assign(capacity, Slot{});
        shift_ = 64;
        for (std::size_t c = capacity; c > 1; c >>= 1) --shift_;
        size_ = 0;
        for (Slot& slot : old)
            if (slot.key) Set(slot.key, std::move(slot.value));
    }

    std::vector<Slot> slots_;
    std::size_t size_ = 0;
    int shift_ = 64;
};

}  // namespace korvane
