#include "sim/console.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <optional>
#include <vector>

namespace zepho7::sim {

namespace {

constexpr Model kModels[] = {Model::Mouse, Model::Keyboard, Model::MousePad, Model::Headset};
constexpr RegionId kRegions[] = {RegionId::Info,       RegionId::Keys,   RegionId::Light,
                                 RegionId::LightFrame, RegionId::Stream, RegionId::Macro,
                                 RegionId::Recoil,     RegionId::Power,  RegionId::Attrs};

struct FaultName {
    const char* name;
    FaultKind kind;
};
constexpr FaultName kFaultNames[] = {
    {"silence", FaultKind::Silence},
    {"echo", FaultKind::WrongEcho},
    {"rejected", FaultKind::StatusRejected},
    {"failed", FaultKind::StatusFailed},
    {"unreachable", FaultKind::ReceiverUnreachable},
    {"delay", FaultKind::Delay},
    {"unplug", FaultKind::UnplugMidTransfer},
    {"badsum", FaultKind::BadReplyChecksum},
};

std::vector<std::string> Split(std::string_view line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i])) != 0) {
            ++i;
        }
        size_t j = i;
        while (j < line.size() && std::isspace(static_cast<unsigned char>(line[j])) == 0) {
            ++j;
        }
        if (j > i) {
            std::string w(line.substr(i, j - i));
            words.push_back(std::move(w));
        }
        i = j;
    }
    return words;
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::optional<Model> ParseModel(const std::string& word) {
    for (Model m : kModels) {
        if (Lower(word) == ModelName(m)) {
            return m;
        }
    }
    return std::nullopt;
}

std::optional<Link> ParseLink(const std::string& word) {
    const std::string w = Lower(word);
    if (w == "cable") {
        return Link::Cable;
    }
    if (w == "receiver") {
        return Link::Receiver;
    }
    return std::nullopt;
}

// Decimal, or hexadecimal with 0x; `hex` makes hexadecimal the default.
std::optional<long> ParseNumber(std::string_view text, bool hex = false) {
    int base = hex ? 16 : 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

struct Target {
    Model model;
    Link link;
};

std::optional<Target> ParseTarget(const std::string& word, std::string& error) {
    const size_t colon = word.find(':');
    const auto model = ParseModel(word.substr(0, colon));
    if (!model) {
        error =
            "unknown device '" + word.substr(0, colon) + "' (mouse, keyboard, mousepad, headset)";
        return std::nullopt;
    }
    Link link = Link::Cable;
    if (colon != std::string::npos) {
        const auto l = ParseLink(word.substr(colon + 1));
        if (!l) {
            error = "unknown link '" + word.substr(colon + 1) + "' (cable, receiver)";
            return std::nullopt;
        }
        link = *l;
    }
    if (link == Link::Receiver && *model != Model::Mouse) {
        error = "only the mouse has a receiver";
        return std::nullopt;
    }
    return Target{*model, link};
}

std::string TargetName(const Target& t) {
    return std::string(ModelName(t.model)) + ":" + LinkName(t.link);
}

ConsoleAnswer Ok(std::string text) {
    return {std::move(text) + "\n", false};
}
ConsoleAnswer Error(const std::string& text) {
    return {"error: " + text + "\n", false};
}

std::string HexDump(const std::vector<uint8_t>& bytes, size_t base) {
    std::string out;
    char buf[16];
    for (size_t i = 0; i < bytes.size(); i += 16) {
        std::snprintf(buf, sizeof buf, "%04zx:", base + i);
        out += buf;
        for (size_t j = i; j < std::min(i + 16, bytes.size()); ++j) {
            std::snprintf(buf, sizeof buf, " %02x", bytes[j]);
            out += buf;
        }
        out += '\n';
    }
    if (out.empty()) {
        out = "(empty)\n";
    }
    return out;
}

}  // namespace

Console::Console(Simulator& simulator, std::function<void(std::string_view)> traffic_sink)
    : sim_(simulator), traffic_sink_(std::move(traffic_sink)) {}

std::string Console::Help() {
    return "commands:\n"
           "  plug DEV[:LINK]            plug a device (DEV mouse|keyboard|mousepad|headset,\n"
           "                             LINK cable|receiver, receiver only for the mouse)\n"
           "  unplug DEV[:LINK]          unplug it: connections close, sockets disappear\n"
           "  link on|off                whether the mouse answers through its receiver\n"
           "  notify DEV[:LINK] CODE     send a notification code (hex), e.g. 0x401\n"
           "  battery DEV PERCENT [CHARGING]   power status (charging 0, 1 or 2)\n"
           "  fault DEV KIND [skip=N] [count=N] [delay=MS] [link=cable|receiver]\n"
           "                             KIND silence|echo|rejected|failed|unreachable|\n"
           "                             delay|unplug|badsum; count=-1 until cleared\n"
           "  clear DEV                  remove the device's faults\n"
           "  dump DEV REGION [ADDR [LEN]]  hex dump of info|keys|light|frame|stream|macro|\n"
           "                             recoil|power|attrs\n"
           "  stats                      requests and bad checksums per device\n"
           "  traffic on|off             print every request and reply\n"
           "  help                       this text\n"
           "  quit                       stop the simulator\n";
}

ConsoleAnswer Console::Execute(std::string_view line) {
    const std::vector<std::string> w = Split(line);
    if (w.empty()) {
        return {"", false};
    }
    const std::string command = Lower(w[0]);
    std::string error;

    if (command == "help") {
        return {Help(), false};
    }
    if (command == "quit" || command == "exit") {
        return {"bye\n", true};
    }
    if (command == "plug" || command == "unplug") {
        if (w.size() != 2) {
            return Error("usage: " + command + " DEV[:LINK]");
        }
        const auto t = ParseTarget(w[1], error);
        if (!t) {
            return Error(error);
        }
        if (command == "plug") {
            if (sim_.IsPlugged(t->model, t->link)) {
                return Error(TargetName(*t) + " is already plugged");
            }
            if (!sim_.Plug(t->model, t->link)) {
                return Error("cannot create the sockets of " + TargetName(*t));
            }
            return Ok("plugged " + TargetName(*t));
        }
        if (!sim_.Unplug(t->model, t->link)) {
            return Error(TargetName(*t) + " is not plugged");
        }
        return Ok("unplugged " + TargetName(*t));
    }
    if (command == "link") {
        if (w.size() != 2 || (Lower(w[1]) != "on" && Lower(w[1]) != "off")) {
            return Error("usage: link on|off");
        }
        const bool on = Lower(w[1]) == "on";
        sim_.SetReceiverLinked(on);
        return Ok(on ? "receiver linked to the mouse" : "receiver lost the mouse");
    }
    if (command == "notify") {
        if (w.size() != 3) {
            return Error("usage: notify DEV[:LINK] CODE");
        }
        const auto t = ParseTarget(w[1], error);
        if (!t) {
            return Error(error);
        }
        const auto code = ParseNumber(w[2], true);
        if (!code || *code < 0 || *code > 0xFFFF) {
            return Error("bad notification code '" + w[2] + "' (hex, up to 0xFFFF)");
        }
        if (!sim_.SendNotification(t->model, t->link, static_cast<uint16_t>(*code))) {
            return Error(TargetName(*t) + " is not plugged or has no notification collection");
        }
        char buf[16];
        std::snprintf(buf, sizeof buf, "0x%04lx", *code);
        return Ok(std::string("sent ") + buf + " to " + TargetName(*t));
    }
    if (command == "battery") {
        if (w.size() < 3 || w.size() > 4) {
            return Error("usage: battery DEV PERCENT [CHARGING]");
        }
        const auto m = ParseModel(w[1]);
        if (!m) {
            return Error("unknown device '" + w[1] + "'");
        }
        const auto percent = ParseNumber(w[2]);
        if (!percent || *percent < 0 || *percent > 100) {
            return Error("battery level must be 0..100");
        }
        long charging = 0;
        if (w.size() == 4) {
            const auto c = ParseNumber(w[3]);
            if (!c || *c < 0 || *c > 2) {
                return Error("charging state must be 0, 1 or 2");
            }
            charging = *c;
        }
        sim_.Device(*m).SetPowerStatus(static_cast<uint8_t>(*percent),
                                       static_cast<uint8_t>(charging));
        return Ok(std::string(ModelName(*m)) + " battery " + std::to_string(*percent) +
                  "%, charging state " + std::to_string(charging));
    }
    if (command == "fault") {
        if (w.size() < 3) {
            return Error("usage: fault DEV KIND [skip=N] [count=N] [delay=MS] [link=LINK]");
        }
        const auto m = ParseModel(w[1]);
        if (!m) {
            return Error("unknown device '" + w[1] + "'");
        }
        const auto kind = std::find_if(std::begin(kFaultNames), std::end(kFaultNames),
                                       [&](const FaultName& f) { return Lower(w[2]) == f.name; });
        if (kind == std::end(kFaultNames)) {
            return Error("unknown fault '" + w[2] +
                         "' (silence, echo, rejected, failed, unreachable, delay, unplug, badsum)");
        }
        Fault fault{kind->kind, 0, 1, 0, std::nullopt};
        for (size_t i = 3; i < w.size(); ++i) {
            const size_t eq = w[i].find('=');
            const std::string key = Lower(w[i].substr(0, eq));
            const std::string value = eq == std::string::npos ? "" : w[i].substr(eq + 1);
            if (key == "link") {
                const auto l = ParseLink(value);
                if (!l) {
                    return Error("link must be cable or receiver");
                }
                fault.link = *l;
                continue;
            }
            const auto number = ParseNumber(value);
            if (!number || *number < -1 || *number > 1000000) {
                return Error("bad option '" + w[i] + "'");
            }
            const int n = static_cast<int>(*number);
            if (key == "skip" && n >= 0) {
                fault.skip = n;
            } else if (key == "count" && n != 0) {
                fault.count = n;
            } else if (key == "delay" && n >= 0) {
                fault.delay_ms = n;
            } else {
                return Error("bad option '" + w[i] + "' (skip=N, count=N or -1, delay=MS, link=)");
            }
        }
        if (fault.kind == FaultKind::Delay && fault.delay_ms == 0) {
            return Error("a delay fault needs delay=MS");
        }
        sim_.InjectFault(*m, fault);
        return Ok(std::string("fault ") + kind->name + " set on " + ModelName(*m));
    }
    if (command == "clear") {
        if (w.size() != 2) {
            return Error("usage: clear DEV");
        }
        const auto m = ParseModel(w[1]);
        if (!m) {
            return Error("unknown device '" + w[1] + "'");
        }
        sim_.ClearFaults(*m);
        return Ok(std::string("faults of ") + ModelName(*m) + " cleared");
    }
    if (command == "dump") {
        if (w.size() < 3 || w.size() > 5) {
            return Error("usage: dump DEV REGION [ADDR [LEN]]");
        }
        const auto m = ParseModel(w[1]);
        if (!m) {
            return Error("unknown device '" + w[1] + "'");
        }
        const auto region = std::find_if(std::begin(kRegions), std::end(kRegions),
                                         [&](RegionId r) { return Lower(w[2]) == RegionName(r); });
        if (region == std::end(kRegions)) {
            return Error("unknown region '" + w[2] +
                         "' (info, keys, light, frame, stream, macro, recoil, power, attrs)");
        }
        Firmware& fw = sim_.Device(*m);
        const size_t size = fw.RegionSize(*region);
        long address = 0;
        long length = 0;
        if (w.size() >= 4) {
            const auto a = ParseNumber(w[3]);
            if (!a || *a < 0 || static_cast<size_t>(*a) >= std::max<size_t>(size, 1)) {
                return Error("address out of range (region size " + std::to_string(size) + ")");
            }
            address = *a;
        }
        if (w.size() == 5) {
            const auto l = ParseNumber(w[4]);
            if (!l || *l <= 0) {
                return Error("bad length '" + w[4] + "'");
            }
            length = *l;
        }
        const auto bytes =
            fw.ReadRegion(*region, static_cast<size_t>(address), static_cast<size_t>(length));
        return {HexDump(bytes, static_cast<size_t>(address)), false};
    }
    if (command == "stats") {
        std::string out;
        char buf[256];
        for (Model m : kModels) {
            const FirmwareCounters c = sim_.Device(m).Counters();
            std::string plugged;
            for (Link l : {Link::Cable, Link::Receiver}) {
                if (sim_.IsPlugged(m, l)) {
                    plugged += plugged.empty() ? "" : ",";
                    plugged += LinkName(l);
                }
            }
            std::snprintf(buf, sizeof buf,
                          "%-8s plugged=%s requests=%llu bad_checksums=%llu rejected=%llu "
                          "sessions=%llu frames=%llu faults=%zu\n",
                          ModelName(m), plugged.empty() ? "no" : plugged.c_str(),
                          static_cast<unsigned long long>(sim_.RequestCount(m)),
                          static_cast<unsigned long long>(c.bad_checksums),
                          static_cast<unsigned long long>(c.rejected),
                          static_cast<unsigned long long>(c.sessions_begun),
                          static_cast<unsigned long long>(c.stream_frames), sim_.ActiveFaults(m));
            out += buf;
        }
        out += std::string("receiver ") + (sim_.ReceiverLinked() ? "linked" : "not linked") + "\n";
        return {out, false};
    }
    if (command == "traffic") {
        if (w.size() != 2 || (Lower(w[1]) != "on" && Lower(w[1]) != "off")) {
            return Error("usage: traffic on|off");
        }
        const bool on = Lower(w[1]) == "on";
        sim_.SetTraffic(on ? traffic_sink_ : nullptr);
        return Ok(on ? "traffic on" : "traffic off");
    }
    return Error("unknown command '" + w[0] + "' (try help)");
}

}  // namespace zepho7::sim
