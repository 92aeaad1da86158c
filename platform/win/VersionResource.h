#pragma once
// The version API over a version block embedded in a program file.
//
// A program embeds its block with meter_embed_version() (cmake/Version.cmake): a
// marker-delimited byte block in a section ".meter_version" of its own. The calls find
// the block by its markers in the file's bytes, so any file can be asked; a file
// without a (valid) block gives 0 / false.
//
// Sub-blocks that VerQueryValueA answers:
//   "\"                                      fixed file info (52 bytes, VS_FIXEDFILEINFO)
//   "\VarFileInfo\Translation"              language and code page pairs, 16 bits each
//   "\StringFileInfo\LLLLCCCC\<Name>"        a zero-terminated ANSI text (e.g. FileVersion)
// Names compare without regard to case, as in the version API.
//
// Every length and offset in a block is checked before use: a damaged block is treated
// as no block.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace win {

// Block size of the file, or 0 (no file, no block). `handle` is set to 0 when given.
std::uint32_t GetFileVersionInfoSizeA(const char *fileName, std::uint32_t *handle);
// Copies the block into `data`, at most `len` bytes; non-zero on success. Fails when
// there is no block or `len` is smaller than the block.
int GetFileVersionInfoA(const char *fileName, std::uint32_t handle, std::uint32_t len, void *data);
// Looks a sub-block up in a block that GetFileVersionInfoA filled. On success `buffer`
// points into `block` and `len` is the value's length (for a text: in characters, the
// terminating zero included, as the ANSI API counts); non-zero on success.
int VerQueryValueA(const void *block, const char *subBlock, void **buffer, unsigned *len);

// The program file of this process (/proc/self/exe), for the calls above.
const char *ProgramFileName();

struct VS_FIXEDFILEINFO {
    std::uint32_t dwSignature; // 0xFEEF04BD
    std::uint32_t dwStrucVersion;
    std::uint32_t dwFileVersionMS;
    std::uint32_t dwFileVersionLS;
    std::uint32_t dwProductVersionMS;
    std::uint32_t dwProductVersionLS;
    std::uint32_t dwFileFlagsMask;
    std::uint32_t dwFileFlags;
    std::uint32_t dwFileOS;
    std::uint32_t dwFileType;
    std::uint32_t dwFileSubtype;
    std::uint32_t dwFileDateMS;
    std::uint32_t dwFileDateLS;
};

} // namespace win

// ---- building a block (used by the source that meter_embed_version generates) ----
namespace win::version_block {

// Block layout, little-endian: begin marker, then the block proper:
//   "VSVB", u32 block length (these 8 bytes included), u32 entry count,
//   entries { u16 key length, key (no leading '\'), u16 type (0 bytes, 1 text),
//             u32 value length, value },
// then the end marker right after the block.
inline constexpr std::string_view kBeginMarker = "\x7f"
                                                 "meter-version-block-begin"
                                                 "\x7f";
inline constexpr std::string_view kEndMarker = "\x7f"
                                               "meter-version-block-end"
                                               "\x7f";

struct Text {
    std::string_view name;
    std::string_view value;
};

struct Spec {
    std::uint16_t version[4];
    std::uint16_t language;
    std::uint16_t codePage;
    bool translation;
    const Text *texts;
    std::size_t textCount;
};

inline constexpr std::size_t kFixedInfoSize = 52;

constexpr std::size_t stringKeySize(const Text &t) {
    return 15 + 8 + 1 + t.name.size();
} // "StringFileInfo\" LLLLCCCC "\" name

constexpr std::size_t BlockSize(const Spec &s) {
    std::size_t n = 12;
    n += 2 + 0 + 2 + 4 + kFixedInfoSize;
    if (s.translation) n += 2 + 23 + 2 + 4 + 4; // "VarFileInfo\Translation"
    for (std::size_t i = 0; i < s.textCount; ++i)
        n += 2 + stringKeySize(s.texts[i]) + 2 + 4 + s.texts[i].value.size() + 1;
    return n;
}

constexpr std::size_t Size(const Spec &s) { return kBeginMarker.size() + BlockSize(s) + kEndMarker.size(); }

template <std::size_t N> constexpr std::array<unsigned char, N> Build(const Spec &s) {
    std::array<unsigned char, N> out{};
    std::size_t p = 0;
    auto byte = [&](unsigned v) { out[p++] = static_cast<unsigned char>(v & 0xFF); };
    auto u16 = [&](unsigned v) {
        byte(v);
        byte(v >> 8);
    };
    auto u32 = [&](std::uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    auto str = [&](std::string_view t) {
        for (char c : t) byte(static_cast<unsigned char>(c));
    };
    auto hex4 = [&](unsigned v) {
        for (int shift = 12; shift >= 0; shift -= 4) byte("0123456789ABCDEF"[(v >> shift) & 0xF]);
    };
    str(kBeginMarker);
    str("VSVB");
    u32(static_cast<std::uint32_t>(BlockSize(s)));
    u32(static_cast<std::uint32_t>(1 + (s.translation ? 1 : 0) + s.textCount));
    // "\": the fixed file info
    u16(0);
    u16(0);
    u32(kFixedInfoSize);
    const std::uint32_t ms = std::uint32_t(s.version[0]) << 16 | s.version[1];
    const std::uint32_t ls = std::uint32_t(s.version[2]) << 16 | s.version[3];
    const std::uint32_t fixed[13] = {0xFEEF04BDu, 0x00010000u, ms, ls, ms, ls, 0x3Fu, 0, 0x00040004u, 1, 0, 0, 0};
    for (std::uint32_t v : fixed) u32(v);
    if (s.translation) {
        u16(23);
        str("VarFileInfo\\Translation");
        u16(0);
        u32(4);
        u16(s.language);
        u16(s.codePage);
    }
    for (std::size_t i = 0; i < s.textCount; ++i) {
        const Text &t = s.texts[i];
        u16(static_cast<unsigned>(stringKeySize(t)));
        str("StringFileInfo\\");
        hex4(s.language);
        hex4(s.codePage);
        byte('\\');
        str(t.name);
        u16(1);
        u32(static_cast<std::uint32_t>(t.value.size() + 1));
        str(t.value);
        byte(0);
    }
    str(kEndMarker);
    if (p != N) throw "version block: size and content disagree"; // fails the constant evaluation
    return out;
}

} // namespace win::version_block
