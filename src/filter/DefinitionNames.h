// Names of colour, gradient and pattern definitions, and the lookup by name.
#pragma once

#include <cstddef>
#include <cstring>

// Names arrive in 64-byte arrays that the host need not terminate. Every name
// is cut to 63 characters where it enters, so stored names are terminated and
// a lookup compares exactly the characters that were stored.
constexpr std::size_t kMaxDefinitionName = 63;

inline std::size_t DefinitionNameLength(const char* name)
{
    return strnlen(name, kMaxDefinitionName);
}

// The first slot, in slot order, whose name equals name, case and all. A free
// slot holds nothing of this export, so an empty name finds nothing; without
// a match index is the table's size.
template <class Slot, std::size_t N>
int FindSlotByName(const Slot (&table)[N], const char* name, int& index)
{
    index = static_cast<int>(N);
    if (name == nullptr)
        return 0;
    const std::size_t length = DefinitionNameLength(name);
    if (length == 0)
        return 0;
    for (std::size_t i = 0; i < N; ++i) {
        const char* slotName = table[i].name;
        if (std::memcmp(slotName, name, length) == 0 && slotName[length] == '\0') {
            index = static_cast<int>(i);
            return 1;
        }
    }
    return 0;
}
