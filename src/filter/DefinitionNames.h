// Names in fixed arrays: their bound, comparison and copy, and the index by name.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <unordered_map>

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

// The first slot of each name, so that a lookup costs the same however many
// definitions a table holds. Names are read with the index's bound, as the
// tables store them; an empty name is found only where findsEmpty says so
// (a free slot of a definition table holds nothing of this export).
class DefinitionIndex {
public:
    explicit DefinitionIndex(std::size_t bound, bool findsEmpty = false)
        : bound(bound), findsEmpty(findsEmpty)
    {
    }

    void Clear() { slots.clear(); }
    // The first slot recorded under name, or -1.
    int Find(const char* name) const
    {
        if (name == nullptr || (!findsEmpty && BoundedNameLength(name, bound) == 0))
            return -1;
        const auto found = slots.find(Key(name));
        return found == slots.end() ? -1 : found->second;
    }
    // Records slot under name, unless an earlier slot holds that name already.
    void Add(const char* name, int slot)
    {
        if (findsEmpty || BoundedNameLength(name, bound) != 0)
            slots.emplace(Key(name), slot);
    }
    // Forgets slot under name, when the slot is given to another definition.
    void Remove(const char* name, int slot)
    {
        const auto found = slots.find(Key(name));
        if (found != slots.end() && found->second == slot)
            slots.erase(found);
    }

private:
    std::string Key(const char* name) const
    {
        return std::string(name, BoundedNameLength(name, bound));
    }

    std::size_t bound;
    bool findsEmpty;
    std::unordered_map<std::string, int> slots;
};

// The slot of name through the index, as the table's own lookups report it:
// 1 and its slot, or 0 with index the table's size.
inline int FindIndexedSlot(const DefinitionIndex& names, std::size_t tableSize, const char* name,
                           int& index)
{
    const int slot = names.Find(name);
    index = slot < 0 ? static_cast<int>(tableSize) : slot;
    return slot >= 0 ? 1 : 0;
}
