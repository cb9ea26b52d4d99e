// A growable array in a block of the module's allocator, freed with its owner.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "platform/Platform.h"

// Items are moved as bytes, and a failed growth changes nothing: the items
// stay where they are, as the allocation failures of a host demand.
template <class T>
class AOwnedArray {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    AOwnedArray() = default;
    ~AOwnedArray() { aiexport_platform::Free(items); }
    AOwnedArray(const AOwnedArray&) = delete;
    AOwnedArray& operator=(const AOwnedArray&) = delete;

    // Room for capacity items, with the first keep items carried over; 0 when
    // the block cannot be allocated.
    int Reserve(std::size_t capacity, std::size_t keep)
    {
        if (items != nullptr && capacity <= room)
            return 1;
        if (capacity > SIZE_MAX / sizeof(T) || keep > capacity)
            return 0;
        auto* block = static_cast<T*>(aiexport_platform::Allocate(capacity * sizeof(T)));
        if (block == nullptr)
            return 0;
        if (keep > 0)
            std::memcpy(block, items, keep * sizeof(T));
        aiexport_platform::Free(items);
        items = block;
        room = capacity;
        return 1;
    }
    // Appends item, doubling the room when it is full.
    int Append(const T& item)
    {
        if (count == room && !Reserve(room == 0 ? 1 : 2 * room, count))
            return 0;
        items[count++] = item;
        return 1;
    }
    // Frees the block.
    void Clear()
    {
        aiexport_platform::Free(items);
        items = nullptr;
        count = 0;
        room = 0;
    }

    T* Data() { return items; }
    const T* Data() const { return items; }
    std::size_t Size() const { return count; }
    std::size_t Capacity() const { return room; }
    T& operator[](std::size_t i) { return items[i]; }
    const T& operator[](std::size_t i) const { return items[i]; }
    const T* begin() const { return items; }
    const T* end() const { return items + count; }

private:
    T* items = nullptr;
    std::size_t count = 0;  // items appended
    std::size_t room = 0;   // items the block holds
};
