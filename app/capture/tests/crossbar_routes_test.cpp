#include "app/capture/crossbar_routes.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace vistrel {
namespace {

constexpr int32_t kComposite = 2;
constexpr int32_t kSVideo = 3;
constexpr int32_t kDecoder = 12;
constexpr int32_t kAudioTuner = 0x1000;
constexpr int32_t kAudioLine = 0x1001;

// Crossbars as plain tables; every output can route every input unless told.
class FakeCrossbars : public CrossbarView {
  public:
    struct Pin {
        int32_t type;
        int32_t related;
    };
    struct Bar {
        std::vector<Pin> inputs;
        std::vector<Pin> outputs;
        std::map<int32_t, Link> feeding;  // input index -> what is connected to it
        std::vector<std::pair<int32_t, int32_t>> refused;
    };
    std::vector<Bar> bars;
    Link capture;
    std::vector<std::string> routed;

    Link UpstreamOfCapture() override { return capture; }
    Link UpstreamOfInput(int32_t bar, int32_t input) override {
        auto it = bars[bar].feeding.find(input);
        return it == bars[bar].feeding.end() ? Link{} : it->second;
    }
    bool PinCounts(int32_t bar, int32_t& outputs, int32_t& inputs) override {
        outputs = static_cast<int32_t>(bars[bar].outputs.size());
        inputs = static_cast<int32_t>(bars[bar].inputs.size());
        return true;
    }
    bool PinInfo(int32_t bar, bool isInput, int32_t index, int32_t& related,
                 int32_t& type) override {
        const auto& pins = isInput ? bars[bar].inputs : bars[bar].outputs;
        if (index < 0 || index >= static_cast<int32_t>(pins.size()))
            return false;
        related = pins[index].related;
        type = pins[index].type;
        return true;
    }
    bool CanRoute(int32_t bar, int32_t output, int32_t input) override {
        for (auto& r : bars[bar].refused)
            if (r == std::make_pair(output, input))
                return false;
        return true;
    }
    int32_t Route(int32_t bar, int32_t output, int32_t input) override {
        routed.push_back(std::to_string(bar) + ":" + std::to_string(output) + "<" +
                         std::to_string(input));
        return 0;
    }
};

CrossbarView::Link ToBar(int32_t bar, int32_t output) {
    return {CrossbarView::Upstream::kCrossbar, bar, output};
}

// One crossbar: tuner, composite, S-video and two audio inputs; a video and
// an audio decoder output.
FakeCrossbars::Bar TvCard() {
    FakeCrossbars::Bar bar;
    bar.inputs = {{kConnectorVideoTuner, 3},
                  {kComposite, 4},
                  {kSVideo, 4},
                  {kAudioTuner, 0},
                  {kAudioLine, 1}};
    bar.outputs = {{kDecoder, 1}, {0x1009, 0}};
    return bar;
}

std::vector<std::string> Names(const RouteTable& table) {
    std::vector<std::string> names;
    for (int32_t i = 0; i < table.InputCount(); ++i) {
        char name[64];
        EXPECT_TRUE(table.InputName(i, name, sizeof(name)));
        names.push_back(name);
    }
    return names;
}

TEST(CrossbarRoutes, OneCrossbarOffersItsVideoConnectorsOnly) {
    FakeCrossbars view;
    view.bars = {TvCard()};
    view.capture = ToBar(0, 0);
    view.bars[0].refused = {{0, 2}};  // S-video cannot reach the decoder
    RouteTable table(view, FindCrossbarRoutes(view));
    EXPECT_EQ(Names(table), (std::vector<std::string>{"Video Tuner", "Video Composite"}));
    EXPECT_EQ(table.DefaultInput(), 0);
    ASSERT_EQ(table.Routes()[1].size(), 1u);
    const RouteStep& step = table.Routes()[1][0];
    EXPECT_EQ(step.videoInput, 1);
    EXPECT_EQ(step.relatedAudioInput, 4);
    EXPECT_EQ(step.relatedAudioOutput, 1);

    EXPECT_EQ(table.SelectInput(1), 0);
    EXPECT_EQ(view.routed, (std::vector<std::string>{"0:0<1", "0:1<4"}));  // video, then its sound
    EXPECT_EQ(table.LastSelected(), 1);

    view.routed.clear();
    EXPECT_EQ(table.SelectInput(2), kRouteFail);
    EXPECT_EQ(table.SelectInput(-1), kRouteFail);
    EXPECT_TRUE(view.routed.empty());
    EXPECT_EQ(table.LastSelected(), 1);
    EXPECT_EQ(table.InputType(5), kRouteFail);
    char name[4];
    EXPECT_FALSE(table.InputName(7, name, sizeof(name)));
    EXPECT_FALSE(table.InputName(0, nullptr, 10));
    ASSERT_TRUE(table.InputName(0, name, sizeof(name)));
    EXPECT_STREQ(name, "Vid");
}

TEST(CrossbarRoutes, TwoCrossbarsRouteTheFartherFirst) {
    FakeCrossbars view;
    FakeCrossbars::Bar nearBar;  // next to the capture filter
    nearBar.inputs = {{kComposite, -1}, {kSVideo, -1}};
    nearBar.outputs = {{kDecoder, -1}};
    FakeCrossbars::Bar farBar;  // feeds the near one's input 1
    farBar.inputs = {{kSVideo, -1}, {kConnectorVideoTuner, -1}};
    farBar.outputs = {{kDecoder, -1}, {kDecoder, -1}};
    nearBar.feeding[1] = ToBar(1, 1);
    view.bars = {nearBar, farBar};
    view.capture = ToBar(0, 0);

    RouteTable table(view, FindCrossbarRoutes(view));
    EXPECT_EQ(Names(table),
              (std::vector<std::string>{"Video Composite", "Video SVideo", "Video Tuner"}));
    EXPECT_EQ(table.DefaultInput(), 2);
    const CrossbarRoute& tuner = table.Routes()[2];
    ASSERT_EQ(tuner.size(), 2u);
    EXPECT_EQ(tuner[0].crossbar, 1);
    EXPECT_EQ(tuner[0].level, 1);
    EXPECT_EQ(tuner[1].level, 0);
    table.SelectInput(2);
    EXPECT_EQ(view.routed, (std::vector<std::string>{"1:1<1", "0:0<1"}));
}

TEST(CrossbarRoutes, NoCrossbarOrABrokenGraph) {
    FakeCrossbars view;
    view.capture = {CrossbarView::Upstream::kNotCrossbar, 0, 0};
    EXPECT_TRUE(FindCrossbarRoutes(view).empty());
    view.capture = {};
    EXPECT_TRUE(FindCrossbarRoutes(view).empty());

    // Beside a real connector, a crossbar wired into itself gives no route
    // through itself. (Loops that would search forever are the fuzz corpus's.)
    FakeCrossbars::Bar loop;
    loop.inputs = {{kComposite, -1}, {kSVideo, -1}};
    loop.outputs = {{kDecoder, -1}};
    loop.feeding[0] = ToBar(0, 0);
    view.bars = {loop};
    view.capture = ToBar(0, 0);
    auto routes = FindCrossbarRoutes(view);
    ASSERT_EQ(routes.size(), 1u);
    ASSERT_EQ(routes[0].size(), 1u);
    EXPECT_EQ(routes[0][0].videoInput, 1);

    // Wide crossbars: the route list is bounded.
    FakeCrossbars::Bar wide;
    for (int i = 0; i < 200; ++i)
        wide.inputs.push_back({kComposite, -1});
    wide.outputs = {{kDecoder, -1}};
    view.bars = {wide};
    EXPECT_EQ(FindCrossbarRoutes(view).size(), kMaxRoutes);
}

// A connector type from a driver indexes the name tables: values past them
// must name nothing, never read beyond.
TEST(CrossbarRoutes, ConnectorNamesPastTheTables) {
    EXPECT_STREQ(PhysicalConnectorName(0), "Unknown");
    EXPECT_STREQ(PhysicalConnectorName(14), "Unknown");
    EXPECT_STREQ(PhysicalConnectorName(-1), "Unknown");
}

}  // namespace
}  // namespace vistrel
