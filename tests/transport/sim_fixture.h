// A simulator in a private folder, listed through ZEPHO7_SIM_DIR, for tests that talk to
// emulated devices through the real transport.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "sim/simulator.h"
#include "transport/device_transceiver.h"
#include "transport/hid_interface.h"

namespace zepho7::testing {

class SimTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/zepho7-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        ::setenv("ZEPHO7_SIM_DIR", dir_.c_str(), 1);
        sim_ = std::make_unique<sim::Simulator>(dir_);
        ASSERT_TRUE(sim_->Ready());
    }

    void TearDown() override {
        sim_.reset();
        ::unsetenv("ZEPHO7_SIM_DIR");
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    // The enumerated path of one collection, or "" when it is not listed.
    static std::string FindPath(uint16_t vid, uint16_t pid, int interface, int collection) {
        hid::HidInterface lister;
        EXPECT_TRUE(lister.Enumerate());
        while (const char* path = lister.NextPath()) {
            const std::string p = path;
            if (hid::ParseHexAfter(p, "vid_") == vid && hid::ParseHexAfter(p, "pid_") == pid &&
                hid::ParseHexAfter(p, "&mi_") == static_cast<uint32_t>(interface) &&
                hid::ParseHexAfter(p, "&col") == static_cast<uint32_t>(collection)) {
                return p;
            }
        }
        return {};
    }

    static std::string MousePath(int collection = 4) {
        return FindPath(0x320F, 0x223C, 1, collection);
    }
    static std::string ReceiverPath(int collection = 4) {
        return FindPath(0x320F, 0x223D, 1, collection);
    }

    // Plugs the mouse on `link` and opens `t` on it, as the device-arrival code does; the
    // request log starts empty.
    void ConnectMouse(DeviceTransceiver& t, sim::Link link) {
        ASSERT_TRUE(Sim().Plug(sim::Model::Mouse, link));
        if (link == sim::Link::Cable) {
            ASSERT_TRUE(t.WiredInterface().Open(MousePath(), true, true, true, false));
            t.SetLinkMode(0);
        } else {
            ASSERT_TRUE(t.WirelessInterface().Open(ReceiverPath(), true, true, true, false));
            t.SetLinkMode(kLinkModeWireless);
        }
        t.SetOpen(true);
        Sim().ClearRequests(sim::Model::Mouse);
    }

    sim::Simulator& Sim() { return *sim_; }

    std::string dir_;
    std::unique_ptr<sim::Simulator> sim_;
};

}  // namespace zepho7::testing
