// The lighting effects fed with whatever a profile, a custom light file or the audio capture
// program may hold: any light settings, per-LED records, sequence steps and band values. Every
// table index must stay in range and every value defined.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "devices/led_effects.h"
#include "devices/light_engine.h"
#include "devices/light_frame.h"
#include "devices/mouse_lighting.h"

using namespace zepho7;
using namespace zepho7::devices;

namespace {

class Reader {
  public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    int32_t Int() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v = v << 8 | Byte();
        return static_cast<int32_t>(v);
    }
    bool More() const { return at_ < size_; }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader in(data, size);
    LightEngine engine;
    engine.SetLedCount(in.Byte() % 2 == 0 ? kMouseLeds : in.Byte());
    MouseLighting mouse(engine, static_cast<uint32_t>(in.Int()));
    EffectSettings s{in.Byte(), in.Byte(), in.Byte(), in.Byte(),
                     in.Byte(), in.Byte(), in.Byte(), in.Byte()};
    engine.SetSettings(s);
    mouse.SetAudioLight({in.Byte(), in.Byte(), in.Byte(), in.Byte(), in.Byte(), in.Byte(),
                         in.Byte(), in.Byte(), in.Byte()});
    std::vector<storage::LightStep> steps(in.Byte() % 5);
    for (storage::LightStep& st : steps) {
        st.mode = in.Byte();
        st.brightness = in.Byte();
        st.speed = in.Byte();
        st.direction = in.Byte();
        st.multi_color = in.Byte();
        st.time = in.Int();
    }
    std::vector<storage::LedEffect> entries(in.Byte());
    for (storage::LedEffect& e : entries) {
        e.mode = in.Byte();
        e.brightness = in.Byte();
        e.speed = in.Byte();
        e.multi_color = in.Byte();
        e.present = in.Byte();
    }
    LedEffectPasses passes;
    LightFrame frame{};
    uint32_t now = static_cast<uint32_t>(in.Int());
    bool reset = true;
    while (in.More()) {
        const uint8_t op = in.Byte();
        now += op;
        switch (op % 8) {
            case 0: {
                int32_t bands[9];
                for (int32_t& b : bands)
                    b = in.Int();
                mouse.OnAudioLevels(bands, in.Int());
                break;
            }
            case 1: mouse.TriggerReactive(); break;
            case 2: engine.StepLevel(in.Byte() - 40, in.Byte()); break;
            case 3: engine.RotateRipple(in.Byte() & 1); engine.TriggerRipple(); break;
            case 4:
                s.mode = in.Byte();
                s.speed = in.Byte();
                engine.SetSettings(s);
                break;
            case 5:
                passes.RunAll(entries, engine, now, reset);
                reset = false;
                break;
            default: mouse.Turn(now, steps); break;
        }
        static_cast<void>(BuildLightFrame(engine, frame));
    }
    return 0;
}
