// Package folders and files: check_dir, extract_binaries, the file table, version info.
#include "diaglog_win.h"
#include "filetable.h"
#include "hy_types.h"
#include "packagefiles_win.h"
#include "winetestsupport.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace hy;
using namespace hytest;

namespace {

// A stand-in as the DLL carries it: padded with zero bytes to its table size.
std::string padded(const std::string &standin, size_t size)
{
    EXPECT_LE(standin.size(), size);
    return standin + std::string(size > standin.size() ? size - standin.size() : 0, '\0');
}

} // namespace

class PackageFilesTest : public ::testing::Test
{
protected:
    void SetUp() override { clear_log(); }
};

TEST_F(PackageFilesTest, CheckDirCreatesParentsAndAcceptsEitherSlash)
{
    std::string root = fresh_dir("checkdir");
    std::string forward = root + "/a/b/c";
    for (char &c : forward) {
        if (c == '\\')
            c = '/';
    }
    EXPECT_EQ(check_dir(forward.c_str()), 0);
    EXPECT_TRUE(directory_exists(root + "\\a\\b\\c"));
    EXPECT_EQ(check_dir((root + "\\a\\b\\c").c_str()), 0); // already there
    EXPECT_EQ(check_dir(("\"" + root + "\\a\"").c_str()), 0);
}

TEST_F(PackageFilesTest, CheckDirRefusesAFileInTheWay)
{
    std::string root = fresh_dir("checkdir_file");
    std::string file = root + "\\taken";
    fclose(fopen(file.c_str(), "w"));
    EXPECT_EQ(check_dir(file.c_str()), HY_ERROR_ACCESS);
    EXPECT_NE(log_text().find("[error] "), std::string::npos);
    EXPECT_NE(log_text().find("[check_dir] '" + file + "' is a file, not a directory"),
              std::string::npos)
        << log_text();
}

TEST_F(PackageFilesTest, RelativeFolderGoesBelowTheExecutable)
{
    std::string below = executable_dir() + "\\relative_pkg_test";
    remove_tree(below);
    EXPECT_EQ(check_dir("relative_pkg_test\\inner"), 0);
    EXPECT_TRUE(directory_exists(below + "\\inner"));
    remove_tree(below);
}

TEST_F(PackageFilesTest, ExtractWritesTheThreePackageFilesByteExact)
{
    std::string root = fresh_dir("extract");
    ASSERT_EQ(extract_binaries(root.c_str()), 0);
    struct
    {
        const char *path;
        const char *packed;
        size_t size;
    } files[] = {
        {"\\amd64\\WdfCoInstaller01011.dll", "/WdfCoInstaller01011.dll", 1795952},
        {"\\amd64\\winusbcoinstaller2.dll", "/winusbcoinstaller2.dll", 1002728},
        {"\\installer_x64.exe", "/installer_x64.exe", 1214976},
    };
    for (const auto &f : files) {
        std::string written = read_file(root + f.path);
        EXPECT_EQ(written.size(), f.size) << f.path;
        EXPECT_TRUE(written == padded(read_file(std::string(PACKED_DIR) + f.packed), f.size))
            << f.path;
    }
    EXPECT_FALSE(file_exists(root + "\\winusb.inf.in")); // templates stay inside
    EXPECT_NE(log_text().find("Successfully extracted driver files to '" + root + "'"),
              std::string::npos);
}

TEST_F(PackageFilesTest, ExtractFailsOnAPathTooLongAfterMakingTheFolder)
{
    std::string root = fresh_dir("x");
    std::string folder = root + "\\" + std::string(250 - root.size() - 1, 'p');
    ASSERT_EQ(folder.size(), 250u);
    EXPECT_EQ(extract_binaries(folder.c_str()), HY_ERROR_RESOURCE);
    EXPECT_TRUE(directory_exists(folder + "\\amd64"));
    EXPECT_NE(log_text().find("Qualified path is too long: '" + folder +
                              "\\amd64\\WdfCoInstaller01011.dll'"),
              std::string::npos)
        << log_text();
}

TEST(FileTable, RowsMatchTheirFilesAndTemplatesAreFoundByExactName)
{
    for (const embedded_file &f : embedded_files) {
        std::string expected =
            f.directory[0] == '\0'
                ? read_file(std::string(TEMPLATE_DIR) + "/" + f.name)
                : padded(read_file(std::string(PACKED_DIR) + "/" + f.name), f.size);
        ASSERT_EQ(expected.size(), f.size) << f.name;
        EXPECT_EQ(memcmp(expected.data(), f.content, f.size), 0) << f.name;
    }
    ASSERT_NE(find_template("usbser.cat.in"), nullptr);
    EXPECT_EQ(find_template("usbser.cat.in")->size, 57u);
    EXPECT_EQ(find_template("USBSER.cat.in"), nullptr);
    EXPECT_EQ(find_template("installer_x64.exe"), nullptr); // not a template
}

TEST(VersionInfo, ReadOnceThenAnsweredFromTheSlot)
{
    version_info_slots[0] = VS_FIXEDFILEINFO{};
    VS_FIXEDFILEINFO info = {};
    ASSERT_EQ(get_version_info(0, &info), 0);
    EXPECT_EQ(info.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(info.dwFileVersionMS, 0x00020000u);
    // 2012-06-01 23:35:26 UTC as a FILETIME
    uint64_t date = (uint64_t(info.dwFileDateMS) << 32) | info.dwFileDateLS;
    EXPECT_EQ(date, 129830673260000000ULL);
    char temp[MAX_PATH];
    GetEnvironmentVariableA("TEMP", temp, MAX_PATH);
    EXPECT_FALSE(file_exists(std::string(temp) + "\\winusbcoinstaller2.dll"));

    // The cached answer needs no TEMP folder.
    SetEnvironmentVariableA("TEMP", nullptr);
    VS_FIXEDFILEINFO again = {};
    EXPECT_EQ(get_version_info(0, &again), 0);
    EXPECT_EQ(memcmp(&again, &info, sizeof info), 0);
    version_info_slots[0] = VS_FIXEDFILEINFO{};
    EXPECT_EQ(get_version_info(0, &again), HY_ERROR_RESOURCE);
    SetEnvironmentVariableA("TEMP", temp);

    EXPECT_EQ(get_version_info(1, &again), HY_ERROR_NOT_FOUND); // no libusb0.dll row
    EXPECT_EQ(get_version_info(4, &again), HY_ERROR_INVALID_PARAM);
    EXPECT_EQ(get_version_info(0, nullptr), HY_ERROR_INVALID_PARAM);
}
