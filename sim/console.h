// The text commands of zepho7-sim, shared by its standard input and its control socket.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "sim/simulator.h"

namespace zepho7::sim {

struct ConsoleAnswer {
    std::string text;  // ends with a newline; error answers start with "error: "
    bool quit = false;
};

class Console {
  public:
    // `traffic_sink` receives the traffic lines while "traffic on" is in force.
    Console(Simulator& simulator, std::function<void(std::string_view)> traffic_sink);

    [[nodiscard]] ConsoleAnswer Execute(std::string_view line);
    [[nodiscard]] static std::string Help();

  private:
    Simulator& sim_;
    std::function<void(std::string_view)> traffic_sink_;
};

}  // namespace zepho7::sim
