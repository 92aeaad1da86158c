#pragma once
// A text held in 8 bytes: up to 7 characters in place, a longer one on the heap after
// its length. The property store holds millions of short texts (labels) this way, at a
// quarter of what a std::string takes.

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

namespace chart::engine {

class Text {
public:
    Text() { clear(); }
    explicit Text(std::string_view s) { assign(s); }
    Text(const Text &o) { assign(o.view()); }
    Text(Text &&o) noexcept : bits_(o.bits_) { o.clear(); }
    Text &operator=(const Text &o) {
        if (this != &o) {
            release();
            assign(o.view());
        }
        return *this;
    }
    Text &operator=(Text &&o) noexcept {
        if (this != &o) {
            release();
            bits_ = o.bits_;
            o.clear();
        }
        return *this;
    }
    ~Text() { release(); }

    std::string_view view() const {
        if (inPlace()) {
            const char *b = reinterpret_cast<const char *>(&bits_);
            return {b + 1, static_cast<std::size_t>(static_cast<unsigned char>(b[0]) >> 1)};
        }
        const char *p = heap();
        std::uint32_t n;
        std::memcpy(&n, p, 4);
        return {p + 4, n};
    }
    std::string str() const { return std::string(view()); }
    bool empty() const { return view().empty(); }
    bool operator==(const Text &o) const { return view() == o.view(); }

private:
    // In place: the first byte is the length times 2 plus 1, the characters follow.
    // On the heap: the pointer, whose lowest bit is 0 (the heap aligns to 16).
    static constexpr std::size_t kInPlace = 7;
    bool inPlace() const { return (bits_ & 1) != 0; }
    const char *heap() const { return reinterpret_cast<const char *>(bits_); }
    void clear() { bits_ = 1; }
    void release() {
        if (!inPlace()) delete[] reinterpret_cast<char *>(bits_);
        clear();
    }
    void assign(std::string_view s) {
        if (s.size() <= kInPlace) {
            char b[8] = {};
            b[0] = static_cast<char>(s.size() << 1 | 1);
            std::memcpy(b + 1, s.data(), s.size());
            std::memcpy(&bits_, b, 8);
            return;
        }
        auto n = static_cast<std::uint32_t>(s.size());
        char *p = new char[4 + s.size()];
        std::memcpy(p, &n, 4);
        std::memcpy(p + 4, s.data(), s.size());
        bits_ = reinterpret_cast<std::uintptr_t>(p);
    }

    std::uintptr_t bits_;
};
static_assert(sizeof(Text) == 8);
static_assert(std::endian::native == std::endian::little, "the in-place mark is the first byte's lowest bit");

} // namespace chart::engine
