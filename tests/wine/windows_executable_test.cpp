// The 32-bit Windows executable as a Windows loader sees it: PE32 for the
// 80386, a console program, the compiler's runtime linked in, and the
// manifest that asks for no elevation.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct pe_image {
    std::vector<uint8_t> bytes;
    size_t optional_header = 0;
    size_t sections = 0;
    int section_count = 0;

    uint32_t u16(size_t at) const { return bytes.at(at) | bytes.at(at + 1) << 8; }
    uint32_t u32(size_t at) const { return u16(at) | u16(at + 2) << 16; }

    // File offset of a relative virtual address.
    size_t offset_of(uint32_t rva) const {
        for (int i = 0; i < section_count; ++i) {
            const size_t header = sections + 40 * static_cast<size_t>(i);
            const uint32_t start = u32(header + 12), size = u32(header + 8);
            if (rva >= start && rva < start + size) {
                return rva - start + u32(header + 20);
            }
        }
        throw std::out_of_range("address outside every section");
    }
    std::string string_at(size_t at) const {
        std::string text;
        while (bytes.at(at) != 0) {
            text += static_cast<char>(bytes[at++]);
        }
        return text;
    }
    // The entry with this id in a resource directory, as an offset from the
    // resource section's start (high bit: a subdirectory).
    uint32_t resource_entry(size_t directory, uint32_t id) const {
        const uint32_t named = u16(directory + 12), ids = u16(directory + 14);
        for (uint32_t i = 0; i < named + ids; ++i) {
            const size_t entry = directory + 16 + 8 * i;
            if (u32(entry) == id) {
                return u32(entry + 4);
            }
        }
        return 0;
    }
};

class WindowsExecutable : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string path = QSCAN_WINDOWS_I686_EXE;
        if (path.empty() || !std::filesystem::exists(path)) {
            GTEST_SKIP() << "no 32-bit Windows build: needs g++-mingw-w64-i686-posix";
        }
        std::ifstream in(path, std::ios::binary);
        pe.bytes.assign(std::istreambuf_iterator<char>(in), {});
        ASSERT_EQ(std::memcmp(pe.bytes.data(), "MZ", 2), 0);
        const size_t signature = pe.u32(0x3C);
        ASSERT_EQ(std::memcmp(pe.bytes.data() + signature, "PE\0\0", 4), 0);
        coff = signature + 4;
        pe.optional_header = coff + 20;
        pe.section_count = static_cast<int>(pe.u16(coff + 2));
        pe.sections = pe.optional_header + pe.u16(coff + 16);
    }
    // Data directory n of a PE32 optional header: {address, size}.
    std::pair<uint32_t, uint32_t> directory(int n) const {
        const size_t entry = pe.optional_header + 96 + 8 * static_cast<size_t>(n);
        return {pe.u32(entry), pe.u32(entry + 4)};
    }

    pe_image pe;
    size_t coff = 0;
};

TEST_F(WindowsExecutable, IsA32BitConsoleProgramFor80386) {
    EXPECT_EQ(pe.u16(coff), 0x14Cu);                // IMAGE_FILE_MACHINE_I386
    EXPECT_EQ(pe.u16(pe.optional_header), 0x10Bu);  // PE32, not PE32+
    EXPECT_EQ(pe.u16(pe.optional_header + 68), 3u); // IMAGE_SUBSYSTEM_WINDOWS_CUI
}

TEST_F(WindowsExecutable, NeedsOnlySystemLibraries) {
    const auto [imports, size] = directory(1);
    ASSERT_NE(imports, 0u);
    std::vector<std::string> names;
    for (size_t at = pe.offset_of(imports); pe.u32(at + 12) != 0; at += 20) {
        names.push_back(pe.string_at(pe.offset_of(pe.u32(at + 12))));
    }
    ASSERT_FALSE(names.empty());
    for (const std::string &name : names) {
        EXPECT_TRUE(name == "KERNEL32.dll" || name == "msvcrt.dll") << name << " is not on Windows";
    }
}

TEST_F(WindowsExecutable, ManifestAsksForNoElevation) {
    const auto [resources, size] = directory(2);
    ASSERT_NE(resources, 0u);
    const size_t root = pe.offset_of(resources);
    const uint32_t type = pe.resource_entry(root, 24); // RT_MANIFEST
    ASSERT_TRUE(type & 0x80000000u) << "no manifest resource";
    const uint32_t name = pe.resource_entry(root + (type & 0x7FFFFFFF), 1);
    ASSERT_TRUE(name & 0x80000000u) << "the manifest is not resource 1";
    const size_t languages = root + (name & 0x7FFFFFFF);
    ASSERT_GE(pe.u16(languages + 12) + pe.u16(languages + 14), 1u);
    const size_t data = root + pe.u32(languages + 16 + 4);
    const size_t manifest = pe.offset_of(pe.u32(data));
    const std::string text(pe.bytes.begin() + static_cast<long>(manifest),
                           pe.bytes.begin() + static_cast<long>(manifest + pe.u32(data + 4)));
    EXPECT_NE(text.find("requestedExecutionLevel level=\"asInvoker\""), std::string::npos) << text;
    EXPECT_EQ(text.find("requireAdministrator"), std::string::npos);
    EXPECT_EQ(text.find("highestAvailable"), std::string::npos);
}

} // namespace
