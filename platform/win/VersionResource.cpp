#include "VersionResource.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <cctype>
#include <climits>
#include <cstring>
#include <string>
#include <unistd.h>

namespace win {

namespace {

using version_block::kBeginMarker;
using version_block::kEndMarker;

std::uint32_t rd16(const unsigned char *p) { return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8; }
std::uint32_t rd32(const unsigned char *p) { return rd16(p) | rd16(p + 2) << 16; }

// Walks a block's entries, every length checked against the block's own length.
// `visit(key, keyLen, type, value, valueLen)` returns true to stop.
template <typename Visit> bool walk(const unsigned char *b, std::size_t available, Visit visit) {
    if (available < 12 || std::memcmp(b, "VSVB", 4) != 0) return false;
    const std::size_t len = rd32(b + 4);
    if (len < 12 || len > available) return false;
    const std::uint32_t count = rd32(b + 8);
    std::size_t p = 12;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (len - p < 2) return false;
        const std::size_t keyLen = rd16(b + p);
        p += 2;
        if (len - p < keyLen + 6) return false;
        const unsigned char *key = b + p;
        p += keyLen;
        const std::uint32_t type = rd16(b + p);
        const std::size_t valueLen = rd32(b + p + 2);
        p += 6;
        if (len - p < valueLen) return false;
        if (visit(key, keyLen, type, b + p, valueLen)) return true;
        p += valueLen;
    }
    return p == len;
}

// Offset and length of the first valid block in `data`, or false.
bool findBlock(std::string_view hay, std::size_t &offset, std::size_t &length) {
    std::size_t from = 0;
    while (true) {
        const std::size_t at = hay.find(kBeginMarker, from);
        if (at == std::string_view::npos) return false;
        const std::size_t start = at + kBeginMarker.size();
        const auto *b = reinterpret_cast<const unsigned char *>(hay.data()) + start;
        const std::size_t available = hay.size() - start;
        // A stray copy of the marker is skipped: the block must parse and be closed.
        if (walk(b, available, [](auto...) { return false; })) {
            const std::size_t len = rd32(b + 4);
            if (available - len >= kEndMarker.size() && hay.substr(start + len, kEndMarker.size()) == kEndMarker) {
                offset = start;
                length = len;
                return true;
            }
        }
        from = at + 1;
    }
}

bool readBlock(const char *fileName, QByteArray &block) {
    if (!fileName || !*fileName) return false;
    QFile f(QString::fromLocal8Bit(fileName));
    if (!f.open(QIODevice::ReadOnly) || f.size() <= 0) return false;
    // Mapped, not read: a program file is large and the block small.
    const uchar *map = f.map(0, f.size());
    QByteArray all;
    std::string_view hay;
    if (map) {
        hay = std::string_view(reinterpret_cast<const char *>(map), std::size_t(f.size()));
    } else {
        all = f.readAll();
        hay = std::string_view(all.constData(), std::size_t(all.size()));
    }
    std::size_t off = 0, len = 0;
    if (!findBlock(hay, off, len)) return false;
    block = QByteArray(hay.data() + off, qsizetype(len));
    return true;
}

// "\StringFileInfo\040904E4\FileVersion" -> "StringFileInfo\040904E4\FileVersion":
// separators collapsed, no leading or trailing ones.
std::string normalise(const char *sub) {
    std::string out;
    for (const char *c = sub; *c; ++c) {
        if (*c == '\\' || *c == '/') {
            if (!out.empty() && out.back() != '\\') out += '\\';
        } else {
            out += *c;
        }
    }
    if (!out.empty() && out.back() == '\\') out.pop_back();
    return out;
}

bool sameKey(const unsigned char *key, std::size_t keyLen, const std::string &want) {
    if (keyLen != want.size()) return false;
    for (std::size_t i = 0; i < keyLen; ++i) {
        const auto a = static_cast<unsigned char>(key[i]), b = static_cast<unsigned char>(want[i]);
        if (std::tolower(a) != std::tolower(b)) return false;
    }
    return true;
}

} // namespace

std::uint32_t GetFileVersionInfoSizeA(const char *fileName, std::uint32_t *handle) {
    if (handle) *handle = 0;
    QByteArray block;
    if (!readBlock(fileName, block)) return 0;
    return std::uint32_t(block.size());
}

int GetFileVersionInfoA(const char *fileName, std::uint32_t, std::uint32_t len, void *data) {
    if (!data) return 0;
    QByteArray block;
    if (!readBlock(fileName, block)) return 0;
    if (len < std::uint32_t(block.size())) return 0;
    std::memcpy(data, block.constData(), std::size_t(block.size()));
    return 1;
}

int VerQueryValueA(const void *block, const char *subBlock, void **buffer, unsigned *len) {
    if (!block || !subBlock || !buffer || !len) return 0;
    const auto *b = static_cast<const unsigned char *>(block);
    // The caller's buffer holds the block GetFileVersionInfoA copied: its own length bounds it.
    if (std::memcmp(b, "VSVB", 4) != 0) return 0;
    const std::size_t total = rd32(b + 4);
    const std::string want = normalise(subBlock);
    bool found = false;
    walk(b, total,
         [&](const unsigned char *key, std::size_t keyLen, std::uint32_t type, const unsigned char *value,
             std::size_t valueLen) {
             if (!sameKey(key, keyLen, want)) return false;
             *buffer = const_cast<unsigned char *>(value);
             *len = unsigned(valueLen); // text: characters with the zero, as the ANSI call counts
             (void)type;
             found = true;
             return true;
         });
    return found ? 1 : 0;
}

const char *ProgramFileName() {
    static const std::string name = [] {
        char buf[PATH_MAX];
        const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
        if (n <= 0) return std::string("/proc/self/exe");
        return std::string(buf, std::size_t(n));
    }();
    return name.c_str();
}

} // namespace win
