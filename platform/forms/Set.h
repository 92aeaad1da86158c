#pragma once
// The class library's set type: a set of enumeration members, one bit per ordinal
// (at most 32 members).

#include <cstdint>
#include <initializer_list>

namespace forms {

template <typename E> class TSet {
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> members) {
        for (E m : members) bits_ |= bit(m);
    }
    static constexpr TSet FromBits(std::uint32_t bits) {
        TSet s;
        s.bits_ = bits;
        return s;
    }
    constexpr bool Contains(E m) const { return (bits_ & bit(m)) != 0; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr void Include(E m) { bits_ |= bit(m); }
    constexpr void Exclude(E m) { bits_ &= ~bit(m); }
    constexpr std::uint32_t Bits() const { return bits_; }
    constexpr bool operator==(const TSet &o) const { return bits_ == o.bits_; }
    constexpr TSet operator|(const TSet &o) const { return FromBits(bits_ | o.bits_); }

private:
    static constexpr std::uint32_t bit(E m) { return std::uint32_t(1) << unsigned(m); }
    std::uint32_t bits_ = 0;
};

} // namespace forms
