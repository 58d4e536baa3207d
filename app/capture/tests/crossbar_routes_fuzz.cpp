// The route search over crossbars wired any way a broken or hostile graph
// may wire them: loops, wide fans, pins that answer nothing. The search must
// end after a bounded number of questions and give only sound routes.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "app/capture/crossbar_routes.h"

using namespace vistrel;

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

// Bars described by the bytes; every answer is looked up in small tables.
class FuzzedCrossbars : public CrossbarView {
  public:
    struct Input {
        int32_t type = 0;
        Link feeding;
        bool routable = true;
    };
    struct Bar {
        std::vector<Input> inputs;
        int32_t outputs = 1;
        bool countsKnown = true;
    };

    FuzzedCrossbars(const uint8_t* data, size_t size) : data_(data), size_(size) {
        const int bars = 1 + Next() % 4;
        bars_.resize(static_cast<size_t>(bars));
        capture_ = LinkFromByte(Next());
        for (Bar& bar : bars_) {
            const uint8_t shape = Next();
            bar.countsKnown = shape != 0xFF;
            bar.outputs = 1 + shape % 3;
            const int inputs = Next() % 40;
            for (int i = 0; i < inputs; ++i) {
                const uint8_t pin = Next();
                Input in;
                // Mostly video connectors, some audio and unknown ones.
                in.type = pin % 8 == 7  ? kConnectorAudioFirst + pin % 3
                          : pin % 8 < 5 ? 1 + pin % 13
                                        : 0;
                in.routable = pin % 16 != 15;
                in.feeding = LinkFromByte(Next());
                bar.inputs.push_back(in);
            }
        }
    }

    Link UpstreamOfCapture() override { return Ask(), capture_; }
    Link UpstreamOfInput(int32_t bar, int32_t input) override {
        Ask();
        return ValidInput(bar, input) ? Pins(bar)[static_cast<size_t>(input)].feeding : Link{};
    }
    bool PinCounts(int32_t bar, int32_t& outputs, int32_t& inputs) override {
        Ask();
        if (!ValidBar(bar) || !bars_[static_cast<size_t>(bar)].countsKnown)
            return false;
        outputs = bars_[static_cast<size_t>(bar)].outputs;
        inputs = static_cast<int32_t>(Pins(bar).size());
        return true;
    }
    bool PinInfo(int32_t bar, bool isInput, int32_t index, int32_t& related,
                 int32_t& type) override {
        Ask();
        if (isInput) {
            if (!ValidInput(bar, index))
                return false;
            type = Pins(bar)[static_cast<size_t>(index)].type;
            related = index % 2 ? index - 1 : -1;
            return true;
        }
        if (!ValidBar(bar) || index < 0 || index >= bars_[static_cast<size_t>(bar)].outputs)
            return false;
        type = index == 0 ? 12 : kConnectorAudioFirst + 9;
        related = index == 0 ? 1 : 0;
        return true;
    }
    bool CanRoute(int32_t bar, int32_t output, int32_t input) override {
        Ask();
        return ValidInput(bar, input) && output >= 0 &&
               output < bars_[static_cast<size_t>(bar)].outputs &&
               Pins(bar)[static_cast<size_t>(input)].routable;
    }
    int32_t Route(int32_t bar, int32_t output, int32_t input) override {
        Ask();
        Require(ValidInput(bar, input) && output >= 0);
        ++routed;
        return 0;
    }

    bool ValidInput(int32_t bar, int32_t input) const {
        return ValidBar(bar) && input >= 0 && input < static_cast<int32_t>(Pins(bar).size());
    }
    int32_t InputType(const RouteStep& step) const {
        return Pins(step.crossbar)[static_cast<size_t>(step.videoInput)].type;
    }
    const Link& Feeding(const RouteStep& step) const {
        return Pins(step.crossbar)[static_cast<size_t>(step.videoInput)].feeding;
    }

    long questions = 0;
    int routed = 0;

  private:
    uint8_t Next() {
        if (size_ == 0)
            return 0;
        --size_;
        return *data_++;
    }
    Link LinkFromByte(uint8_t b) {
        switch (b % 5) {
            case 0:
                return {Upstream::kNotConnected, 0, 0};
            case 1:
                return {Upstream::kNotCrossbar, 0, 0};
            case 2:
                return {Upstream::kNoPinInfo, 0, 0};
            default:
                // Any bar, also this one or one further down: loops.
                return {Upstream::kCrossbar, (b / 5) % 5, (b / 25) % 3};
        }
    }
    bool ValidBar(int32_t bar) const {
        return bar >= 0 && bar < static_cast<int32_t>(bars_.size());
    }
    const std::vector<Input>& Pins(int32_t bar) const {
        return bars_[static_cast<size_t>(bar)].inputs;
    }
    void Ask() {
        // Far more than any real card's handful of crossbars needs.
        Require(++questions < 200000);
    }

    const uint8_t* data_;
    size_t size_;
    std::vector<Bar> bars_;
    Link capture_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedCrossbars view(data, size);
    std::vector<CrossbarRoute> routes = FindCrossbarRoutes(view);
    Require(routes.size() <= kMaxRoutes);
    for (const CrossbarRoute& route : routes) {
        Require(!route.empty() && route.size() <= static_cast<size_t>(kMaxCrossbarLevels));
        // Farthest crossbar first, the one at the capture filter last; each
        // step's crossbar feeds the next step's input.
        Require(route.back().level == 0);
        for (size_t i = 0; i < route.size(); ++i) {
            const RouteStep& step = route[i];
            for (size_t j = 0; j < i; ++j)
                Require(route[j].crossbar != step.crossbar);  // no loop

            Require(view.ValidInput(step.crossbar, step.videoInput));
            Require(step.level == static_cast<int32_t>(route.size() - 1 - i));
            Require(view.InputType(step) == step.inputType &&
                    step.inputType < kConnectorAudioFirst);
            if (i + 1 < route.size()) {
                const auto& link = view.Feeding(route[i + 1]);
                Require(link.kind == CrossbarView::Upstream::kCrossbar);
                Require(link.crossbar == step.crossbar && link.outputIndex == step.videoOutput);
            }
        }
        // The route starts at a connector, not at another crossbar.
        const auto kind = view.Feeding(route.front()).kind;
        Require(kind == CrossbarView::Upstream::kNotConnected ||
                kind == CrossbarView::Upstream::kNotCrossbar);
    }
    RouteTable table(view, std::move(routes));
    const int32_t def = table.DefaultInput();
    Require(def == 0 || (def > 0 && def < table.InputCount()));
    char name[8];
    for (int32_t i = -1; i <= table.InputCount(); ++i) {
        const bool inRange = i >= 0 && i < table.InputCount();
        Require(table.InputName(i, name, sizeof(name)) == inRange);
        Require((table.SelectInput(i) == kRouteFail) == !inRange);
    }
    return 0;
}
