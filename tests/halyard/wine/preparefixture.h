// A device record of the station's interface, built in the test, and the package it gives.
#pragma once

#include "hy_types.h"
#include "prepare_win.h"
#include "winetestsupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

class PrepareFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        hytest::clear_log();
        folder_ = hytest::fresh_dir("pkg");
        station(1);
        memset(infPath_, 'Z', sizeof infPath_);
    }

    void station(uint8_t mi)
    {
        record_ = hy::device_record{};
        record_.vendor_id = 0x3746;
        record_.product_id = 0x00AB;
        record_.is_interface = 1;
        record_.interface_number = mi;
        description_ = "Power Station (Interface " + std::to_string(mi) + ")";
        record_.description = &description_[0];
    }

    int prepare(int driverType, const char *infName)
    {
        hy::prepare_options options = {};
        options.driver_type = driverType;
        return hy::hy_prepare_driver(&record_, folder_.c_str(), infName, &options, infPath_);
    }

    bool path_untouched() const
    {
        for (char c : infPath_) {
            if (c != 'Z')
                return false;
        }
        return true;
    }

    // The INF as UTF-8, after checking its byte-order mark and UTF-16LE shape.
    std::string inf_text(const std::string &name)
    {
        std::string bytes = hytest::read_file(folder_ + "\\" + name);
        EXPECT_GE(bytes.size(), 2u);
        EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE", 2));
        EXPECT_EQ(bytes.size() % 2, 0u);
        return hytest::utf16le_to_utf8(bytes.substr(2));
    }

    static std::string today()
    {
        SYSTEMTIME now;
        GetLocalTime(&now);
        char text[16];
        snprintf(text, sizeof text, "%02d/%02d/%04d", now.wMonth, now.wDay, now.wYear);
        return text;
    }

    hy::device_record record_;
    std::string description_;
    std::string folder_;
    char infPath_[260];
};
