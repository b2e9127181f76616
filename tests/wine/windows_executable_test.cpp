// The 32-bit Windows executable as a Windows loader sees it: PE32 for the
// 80386, a console program, the compiler's runtime linked in, the manifest
// that asks for no elevation, and the version resource Explorer shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
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
    // The bytes of resource type/id (first language), from the resource
    // directory at root: {file offset, size}, or {0, 0} when there is none.
    std::pair<size_t, size_t> resource(size_t root, uint32_t type, uint32_t id) const {
        const uint32_t types = resource_entry(root, type);
        if (!(types & 0x80000000u)) {
            return {0, 0};
        }
        const uint32_t names = resource_entry(root + (types & 0x7FFFFFFF), id);
        if (!(names & 0x80000000u)) {
            return {0, 0};
        }
        const size_t languages = root + (names & 0x7FFFFFFF);
        if (u16(languages + 12) + u16(languages + 14) < 1) {
            return {0, 0};
        }
        const size_t data = root + u32(languages + 16 + 4);
        return {offset_of(u32(data)), u32(data + 4)};
    }
    // UTF-16 (ASCII only) from at up to a NUL or end; at moves past the NUL.
    std::string utf16_at(size_t &at, size_t end) const {
        std::string text;
        while (at + 1 < end && u16(at) != 0) {
            text += static_cast<char>(u16(at));
            at += 2;
        }
        at += 2;
        return text;
    }
    // The strings of a VS_VERSIONINFO block, walked node by node (length,
    // value length, type, key, value, children, each 32-bit aligned), and
    // the fixed file information's version words.
    void version_strings(size_t node, size_t end, std::map<std::string, std::string> &strings,
                         std::vector<uint32_t> &fixed) const {
        const size_t node_end = std::min(end, node + u16(node));
        const uint32_t value_length = u16(node + 2), text = u16(node + 4);
        size_t at = node + 6;
        const std::string key = utf16_at(at, node_end);
        at = (at + 3) & ~size_t{3};
        if (key == "VS_VERSION_INFO" && value_length >= 52 && u32(at) == 0xFEEF04BDu) {
            fixed = {u32(at + 8), u32(at + 12), u32(at + 16), u32(at + 20)};
        }
        if (text == 1 && value_length > 0) {
            size_t value = at;
            strings[key] = utf16_at(value, node_end);
        }
        at += text == 1 ? 2 * value_length : value_length;
        for (at = (at + 3) & ~size_t{3}; at + 6 < node_end && u16(at) != 0;) {
            const size_t child = at;
            version_strings(child, node_end, strings, fixed);
            at = (child + u16(child) + 3) & ~size_t{3};
        }
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
    const auto [manifest, manifest_size] = pe.resource(pe.offset_of(resources), 24, 1);
    ASSERT_NE(manifest, 0u) << "no manifest resource 1 (RT_MANIFEST)";
    const std::string text(pe.bytes.begin() + static_cast<long>(manifest),
                           pe.bytes.begin() + static_cast<long>(manifest + manifest_size));
    EXPECT_NE(text.find("requestedExecutionLevel level=\"asInvoker\""), std::string::npos) << text;
    EXPECT_EQ(text.find("requireAdministrator"), std::string::npos);
    EXPECT_EQ(text.find("highestAvailable"), std::string::npos);
    EXPECT_NE(text.find("version=\"" QSCAN_VERSION ".0\""), std::string::npos) << text;
    // A drive or program path in any script, through the "A" calls.
    EXPECT_NE(text.find(">UTF-8</activeCodePage>"), std::string::npos) << text;
}

TEST_F(WindowsExecutable, VersionResourceCarriesTheProjectVersion) {
    const auto [resources, size] = directory(2);
    ASSERT_NE(resources, 0u);
    const auto [info, info_size] = pe.resource(pe.offset_of(resources), 16, 1); // RT_VERSION
    ASSERT_NE(info, 0u) << "no version resource";
    std::map<std::string, std::string> strings;
    std::vector<uint32_t> fixed;
    pe.version_strings(info, info + info_size, strings, fixed);

    const std::string version = QSCAN_VERSION;
    EXPECT_EQ(strings["FileVersion"], version);
    EXPECT_EQ(strings["ProductVersion"], version);
    EXPECT_EQ(strings["ProductName"], "qscan");
    EXPECT_EQ(strings["OriginalFilename"], "qscan.exe");
    EXPECT_NE(strings["FileDescription"], "");
    EXPECT_NE(strings["LegalCopyright"].find("the qscan developers"), std::string::npos);
    // The numeric form: major.minor in the high words, patch.0 in the low.
    unsigned major = 0, minor = 0, patch = 0;
    ASSERT_EQ(std::sscanf(version.c_str(), "%u.%u.%u", &major, &minor, &patch), 3);
    const std::vector<uint32_t> words = {major << 16 | minor, patch << 16};
    ASSERT_EQ(fixed.size(), 4u);
    EXPECT_EQ(std::vector<uint32_t>(fixed.begin(), fixed.begin() + 2), words); // file
    EXPECT_EQ(std::vector<uint32_t>(fixed.begin() + 2, fixed.end()), words);   // product
}

} // namespace
