// The built halyard.dll, loaded as the program loads it.
#include "halyard.h"
#include "winetestsupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace hytest;

namespace {

std::vector<std::string> messages;
void HALYARD_CALL collect(const char *message)
{
    messages.push_back(message);
}

class ExportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        messages.clear();
        module_ = LoadLibraryA((executable_dir() + "\\halyard.dll").c_str());
        ASSERT_NE(module_, nullptr);
        entry_ = reinterpret_cast<decltype(&::halyard)>(
            reinterpret_cast<void *>(GetProcAddress(module_, "halyard")));
        ASSERT_NE(entry_, nullptr);
        memset(infPath_, 'Z', sizeof infPath_);
    }
    void TearDown() override { FreeLibrary(module_); }

    bool untouched() const
    {
        for (char c : infPath_) {
            if (c != 'Z')
                return false;
        }
        return true;
    }

    HMODULE module_ = nullptr;
    decltype(&::halyard) entry_ = nullptr;
    char infPath_[HALYARD_INF_PATH_SIZE];
};

} // namespace

TEST_F(ExportTest, NoUsbDeviceAtAll)
{
    std::string folder = current_dir() + "/usbDriver";
    EXPECT_EQ(entry_(folder.c_str(), "01", infPath_, collect), -4);
    EXPECT_EQ(messages, std::vector<std::string>{"create list failed"});
    EXPECT_TRUE(untouched());
    EXPECT_FALSE(directory_exists(folder));
}

TEST_F(ExportTest, BusyWhileAnotherProcessLists)
{
    held_mutex other("Global\\hy_create_list");
    ASSERT_TRUE(other.held());
    EXPECT_EQ(entry_("C:\\x", "00", infPath_, collect), -6);
    EXPECT_EQ(messages, std::vector<std::string>{"create list failed"});
    EXPECT_TRUE(untouched());
}
