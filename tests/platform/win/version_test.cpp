#include "platform/win/VersionResource.h"

#include "support/TestSupport.h"

#include <QByteArray>
#include <QFile>

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

using namespace win;

namespace {

// This test program embeds a block the way meter_embed_version's generated source does.
constexpr version_block::Text kTexts[] = {{"FileVersion", "3.1.1.0"}, {"ProductName", "Vadro"}};
constexpr version_block::Spec kSpec{{3, 1, 1, 0}, 0x0409, 0x04E4, true, kTexts, std::size(kTexts)};
[[gnu::used, gnu::section(".meter_version")]] const auto kEmbedded =
    version_block::Build<version_block::Size(kSpec)>(kSpec);

// The about box's reading: first translation, then its FileVersion text.
std::string fileVersionOf(const char *file) {
    std::uint32_t handle = 99;
    const std::uint32_t size = GetFileVersionInfoSizeA(file, &handle);
    EXPECT_EQ(handle, 0u);
    if (size == 0) return "<none>";
    std::vector<unsigned char> buf(size);
    if (!GetFileVersionInfoA(file, 0, size, buf.data())) return "<copy failed>";
    void *p = nullptr;
    unsigned len = 0;
    if (!VerQueryValueA(buf.data(), "\\VarFileInfo\\Translation", &p, &len) || len < 4) return "<no translation>";
    const auto *t = static_cast<const unsigned char *>(p);
    char sub[64];
    std::snprintf(sub, sizeof sub, "\\StringFileInfo\\%04X%04X\\FileVersion", t[0] | t[1] << 8, t[2] | t[3] << 8);
    if (!VerQueryValueA(buf.data(), sub, &p, &len)) return "<no text>";
    return std::string(static_cast<const char *>(p));
}

std::string writeFile(const QByteArray &bytes) {
    static int n = 0;
    const std::string path = testsupport::makeTempDir() + "/file" + std::to_string(++n);
    QFile f(QString::fromStdString(path));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
}

QByteArray embeddedBytes() {
    return QByteArray(reinterpret_cast<const char *>(kEmbedded.data()), int(kEmbedded.size()));
}

TEST(WinVersion, ProgramFileBlockReadsBack) {
    EXPECT_EQ(fileVersionOf(ProgramFileName()), "3.1.1.0");

    const std::uint32_t size = GetFileVersionInfoSizeA(ProgramFileName(), nullptr);
    std::vector<unsigned char> buf(size);
    ASSERT_TRUE(GetFileVersionInfoA(ProgramFileName(), 0, size, buf.data()));
    void *p = nullptr;
    unsigned len = 0;
    ASSERT_TRUE(VerQueryValueA(buf.data(), "\\StringFileInfo\\040904e4\\productname", &p, &len));
    EXPECT_STREQ(static_cast<const char *>(p), "Vadro");
    EXPECT_EQ(len, 6u); // characters with the terminating zero
    ASSERT_TRUE(VerQueryValueA(buf.data(), "\\", &p, &len));
    ASSERT_EQ(len, sizeof(VS_FIXEDFILEINFO));
    VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, p, sizeof fixed);
    EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed.dwFileVersionMS, 0x00030001u);
    EXPECT_EQ(fixed.dwFileVersionLS, 0x00010000u);
    EXPECT_FALSE(VerQueryValueA(buf.data(), "\\StringFileInfo\\040904E4\\CompanyName", &p, &len));
    // A buffer smaller than the block is refused.
    EXPECT_FALSE(GetFileVersionInfoA(ProgramFileName(), 0, size - 1, buf.data()));
}

TEST(WinVersion, FilesWithoutAValidBlockGiveNothing) {
    EXPECT_EQ(GetFileVersionInfoSizeA("/no/such/file", nullptr), 0u);
    EXPECT_EQ(GetFileVersionInfoSizeA(nullptr, nullptr), 0u);
    EXPECT_EQ(fileVersionOf(writeFile("plain bytes, no block").c_str()), "<none>");

    const QByteArray block = embeddedBytes();
    const QByteArray begin = QByteArray::fromStdString(std::string(version_block::kBeginMarker));
    struct Case {
        const char *what;
        QByteArray bytes;
    } cases[] = {
        {"marker only", "xx" + begin + "yy"},
        {"cut short", block.left(block.size() - 10)},
        {"no end marker",
         block.left(block.size() - int(version_block::kEndMarker.size())) + "zzzzzzzzzzzzzzzzzzzzzzzzzzzz"},
        {"length past the end",
         [&] {
             QByteArray b = block;
             b[int(begin.size()) + 5] = char(0x7F);
             return b;
         }()},
        {"entry longer than the block",
         [&] {
             QByteArray b = block;
             b[int(begin.size()) + 12 + 2 + 2 + 3] = char(0x40); // fixed info's value length
             return b;
         }()},
    };
    for (const auto &c : cases) EXPECT_EQ(fileVersionOf(writeFile(c.bytes).c_str()), "<none>") << c.what;

    // A stray marker before the real block does not hide it.
    EXPECT_EQ(fileVersionOf(writeFile("junk" + begin + "junk" + block + "tail").c_str()), "3.1.1.0");
}

TEST(WinVersion, BlockWithoutTranslationHasNoVersionText) {
    static constexpr version_block::Text texts[] = {{"FileVersion", "1.0.0.0"}};
    static constexpr version_block::Spec spec{{1, 0, 0, 0}, 0x0409, 0x04E4, false, texts, 1};
    constexpr auto bytes = version_block::Build<version_block::Size(spec)>(spec);
    const std::string file = writeFile(QByteArray(reinterpret_cast<const char *>(bytes.data()), int(bytes.size())));
    EXPECT_EQ(fileVersionOf(file.c_str()), "<no translation>");
}

} // namespace
