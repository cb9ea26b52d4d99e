// Names in fixed arrays: their bound, comparison and copy, and the lookup by name.
#pragma once

#include <cstddef>
#include <cstring>

// Host names arrive in fixed arrays that need not be terminated: each is read
// with a bound, and compared and stored with that same bound.
inline std::size_t BoundedNameLength(const char* name, std::size_t bound)
{
    return strnlen(name, bound);
}

inline bool IsSameBoundedName(const char* a, const char* b, std::size_t bound)
{
    const std::size_t length = BoundedNameLength(a, bound);
    return length == BoundedNameLength(b, bound) && std::memcmp(a, b, length) == 0;
}

// Stores at most bound characters of name; the rest of the array is zeroed,
// so a bound below the array's size leaves the name terminated.
template <std::size_t N>
void StoreBoundedName(char (&stored)[N], const char* name, std::size_t bound)
{
    static_assert(N > 0);
    const std::size_t length = BoundedNameLength(name, bound < N ? bound : N);
    std::memmove(stored, name, length);
    std::memset(stored + length, 0, N - length);
}

// Names of colour, gradient and pattern definitions are cut to 63 characters
// where they enter, so stored names are terminated and a lookup compares
// exactly the characters that were stored.
constexpr std::size_t kMaxDefinitionName = 63;

inline std::size_t DefinitionNameLength(const char* name)
{
    return BoundedNameLength(name, kMaxDefinitionName);
}

// The first slot, in slot order, whose name equals name, case and all. A free
// slot holds nothing of this export, so an empty name finds nothing; without
// a match index is the table's size.
template <class Slot, std::size_t N>
int FindSlotByName(const Slot (&table)[N], const char* name, int& index)
{
    index = static_cast<int>(N);
    if (name == nullptr || DefinitionNameLength(name) == 0)
        return 0;
    for (std::size_t i = 0; i < N; ++i) {
        if (IsSameBoundedName(table[i].name, name, kMaxDefinitionName)) {
            index = static_cast<int>(i);
            return 1;
        }
    }
    return 0;
}
