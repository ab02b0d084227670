// Zepho7's entry point. Until the window exists, it finds a configurable peripheral (or,
// with none attached, a simulated mouse), reads it through the transport and prints what it
// read.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "base/le.h"
#include "base/trace.h"
#include "sim/simulator.h"
#include "transport/commands.h"
#include "transport/hid_interface.h"

namespace {

using namespace zepho7;

constexpr uint16_t kVendor = 0x320F;
constexpr uint16_t kReceiverProduct = 0x223D;
constexpr uint16_t kConfigUsagePage = 0xFF1C;
constexpr uint16_t kConfigUsage = 0x92;

void PrintHex(const uint8_t* data, size_t length) {
    for (size_t i = 0; i < length; i += 16) {
        std::printf("    %04zx:", i);
        for (size_t k = i; k < length && k < i + 16; ++k)
            std::printf(" %02x", data[k]);
        std::printf("\n");
    }
}

// The first configuration collection of a peripheral of ours, by its identity in the path.
std::optional<std::string> FindConfigurationCollection() {
    hid::HidInterface lister;
    if (!lister.Enumerate())
        return std::nullopt;
    while (const char* path = lister.NextPath()) {
        if (hid::ParseHexAfter(path, "vid_") != kVendor || hid::ParseHexAfter(path, "&mi_") != 1 ||
            hid::ParseHexAfter(path, "&col") != 4) {
            continue;
        }
        hid::HidInterface probe;
        if (probe.Open(path, true, false, true, false) &&
            probe.GetCaps().usage_page == kConfigUsagePage &&
            probe.GetCaps().usage == kConfigUsage) {
            return std::string(path);
        }
    }
    return std::nullopt;
}

std::string RuntimeFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string base = runtime != nullptr && runtime[0] != '\0' ? runtime : "/tmp";
    return base + "/zepho7-sim-" + std::to_string(::getpid());
}

const char* ResultText(int result) {
    switch (result) {
        case kResultOk:
            return "ok";
        case kResultReadFailed:
            return "no answer (device closed, or the read timed out)";
        case kResultWriteFailed:
            return "the request could not be sent";
        case kResultUnreachable:
            return "the receiver cannot reach the device";
        case kResultRejected:
            return "the device rejected the request";
        case kResultFailed:
            return "the device failed the request";
        case kResultBadBank:
            return "request outside the device's memory";
        default:
            return "unknown result";
    }
}

bool Check(int result, const char* what) {
    if (result == kResultOk)
        return true;
    std::fprintf(stderr, "zepho7-probe: %s failed: %s (%d)\n", what, ResultText(result), result);
    return false;
}

int ReadAndPrint(const std::string& path) {
    DeviceTransceiver t;
    t.SetLabel("peripheral");
    hid::HidInterface& link = t.WiredInterface();
    if (!link.Open(path, true, true, true, false)) {
        std::fprintf(stderr,
                     "zepho7-probe: cannot open %s: %s\n"
                     "  (is the udev rule installed? see README.md)\n",
                     path.c_str(), std::strerror(errno));
        return 1;
    }
    const hid::Attributes& id = link.GetAttributes();
    const bool receiver = id.product_id == kReceiverProduct;
    std::printf("Device %s\n  vendor 0x%04x, product 0x%04x, release 0x%04x, %s\n", path.c_str(),
                id.vendor_id, id.product_id, id.version_number,
                receiver ? "through the receiver" : "by cable");
    if (receiver) {
        // Same collection either way; only chunk size and time-outs differ.
        link.Close();
        if (!t.WirelessInterface().Open(path, true, true, true, false))
            return 1;
    }
    t.SetLinkMode(receiver ? kLinkModeWireless : 0);
    t.SetOpen(true);
    if (!CmdQueryLink(t)) {
        std::fprintf(stderr, "zepho7-probe: the receiver does not reach its device\n");
        return 1;
    }

    std::array<uint8_t, kDeviceInfoSize> info{};
    if (!Check(CmdSessionBegin(t), "session begin") ||
        !Check(CmdReadDeviceInfo(t, info), "reading the device information")) {
        return 1;
    }
    const unsigned keys = info[5];
    const unsigned step = info[11];
    const unsigned top = ReadLe16(&info[12]);
    const unsigned lowest = ReadLe16(&info[14]);
    std::printf("Device information (%zu bytes):\n", info.size());
    PrintHex(info.data(), info.size());
    std::printf("  keys: %u\n  sensor: 0x%04x\n", keys, ReadLe16(&info[9]));
    if (step != 0) {
        std::printf("  resolution: %u to %u DPI in steps of %u (slider 0..%u)\n", lowest,
                    lowest + step * top, step, top);
    }
    std::printf("  macro memory: %u bytes\n", info[18] * 128u);

    if (keys > 0 && t.SetDataLength(static_cast<uint16_t>(keys * 3))) {
        std::vector<uint8_t> table(kMaxDataLength);
        if (Check(CmdReadKeyTable(t, table), "reading the key table")) {
            std::printf("Key table (%u keys, type code1 code2):\n", keys);
            for (unsigned k = 0; k < keys; ++k) {
                std::printf("  key %3u: %02x %02x %02x\n", k, table[k * 3], table[k * 3 + 1],
                            table[k * 3 + 2]);
            }
        }
    }

    if (step != 0) {  // the mouse keeps its settings in 128-byte blocks
        uint8_t active = 0;
        std::array<uint8_t, 80> block{};
        if (Check(CmdReadLight(t, {&active, 1}, 0), "reading the active block") &&
            Check(CmdReadLight(t, block, active * 128u), "reading the settings block")) {
            std::printf(
                "Settings block %u: light mode %u, brightness %u, speed %u, colour #%02x%02x%02x,"
                " report rate stage %u, DPI stage %u\n",
                active, block[1], block[2], 4u - block[3], block[6], block[7], block[8], block[11],
                block[12]);
            for (int s = 0; s < 6; ++s) {
                const uint8_t* stage = &block[14 + 9 * s];
                std::printf("  stage %d: %s, %u x %u DPI, colour #%02x%02x%02x\n", s + 1,
                            stage[0] ? "on" : "off", lowest + step * ReadLe16(stage + 2),
                            lowest + step * ReadLe16(stage + 4), stage[6], stage[7], stage[8]);
            }
        }
    }

    std::array<uint8_t, 6> power{};
    if (Check(CmdReadPowerStatus(t, power, 0), "reading the power status")) {
        static const char* const kCharging[] = {"not charging", "charging", "fully charged"};
        std::printf("Power: battery %u %%, %s\n", power[0],
                    power[1] < 3 ? kCharging[power[1]] : "charging state unknown");
    }
    return Check(CmdSessionEnd(t), "session end") ? 0 : 1;
}

void Usage() {
    std::printf(
        "Usage: zepho7-probe [--sim] [--trace]\n"
        "Reads the first attached Zepho7 peripheral and prints its information.\n"
        "  --sim    use a simulated mouse even when a real device is attached\n"
        "  --trace  print every report exchanged (same as ZEPHO7_TRACE=1)\n");
}

}  // namespace

int main(int argc, char** argv) {
    bool force_sim = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--sim") == 0) {
            force_sim = true;
        } else if (std::strcmp(argv[i], "--trace") == 0) {
            trace::SetEnabled(true);
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            Usage();
            return 0;
        } else {
            std::fprintf(stderr, "zepho7-probe: unknown option %s\n", argv[i]);
            Usage();
            return 2;
        }
    }

    std::unique_ptr<sim::Simulator> simulator;
    std::optional<std::string> path = force_sim ? std::nullopt : FindConfigurationCollection();
    if (!path) {
        const std::string folder = RuntimeFolder();
        simulator = std::make_unique<sim::Simulator>(folder);
        if (!simulator->Ready() || !simulator->Plug(sim::Model::Mouse)) {
            std::fprintf(stderr, "zepho7-probe: cannot start the device simulator in %s\n",
                         folder.c_str());
            return 1;
        }
        ::setenv("ZEPHO7_SIM_DIR", folder.c_str(), 1);
        std::printf("No Zepho7 device attached: using a simulated mouse (%s)\n", folder.c_str());
        path = FindConfigurationCollection();
        if (!path) {
            std::fprintf(stderr, "zepho7-probe: the simulated mouse is not listed\n");
            return 1;
        }
    }
    const int status = ReadAndPrint(*path);
    if (simulator) {
        simulator.reset();
        std::error_code ignored;
        std::filesystem::remove_all(RuntimeFolder(), ignored);
    }
    return status;
}
