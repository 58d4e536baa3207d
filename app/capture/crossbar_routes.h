// Routes from the physical video connectors of analog capture hardware to the
// capture filter, through one or more crossbars. The search runs over an
// abstract view of the crossbars, so it is testable without a graph.
// Portable: no Windows calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vistrel {

// Connector types, as IAMCrossbar reports them.
inline constexpr int32_t kConnectorVideoTuner = 1;
inline constexpr int32_t kConnectorAudioFirst = 0x1000;

// "Video Composite", "Audio Line", ... or "Unknown".
const char* PhysicalConnectorName(int32_t type);

struct RouteStep {
    int32_t videoInput = 0;
    int32_t videoOutput = 0;
    int32_t relatedAudioInput = -1;
    int32_t relatedAudioOutput = -1;
    int32_t crossbar = 0;  // the view's handle of the crossbar
    int32_t inputType = 0;
    int32_t outputType = 0;
    int32_t level = 0;
};

// Element 0 is the crossbar farthest upstream, the last one is the crossbar
// next to the capture filter (level 0).
using CrossbarRoute = std::vector<RouteStep>;

// What the search needs to know about the crossbars; handles are small
// integers the view hands out.
class CrossbarView {
  public:
    enum class Upstream { kNotConnected, kNoPinInfo, kNotCrossbar, kCrossbar };
    struct Link {
        Upstream kind = Upstream::kNotConnected;
        int32_t crossbar = 0;     // with kCrossbar
        int32_t outputIndex = 0;  // the crossbar's output pin index the link leaves from
    };
    virtual ~CrossbarView() = default;
    // What feeds the capture filter's analog input.
    virtual Link UpstreamOfCapture() = 0;
    // What feeds input pin `input` of a crossbar.
    virtual Link UpstreamOfInput(int32_t crossbar, int32_t input) = 0;
    virtual bool PinCounts(int32_t crossbar, int32_t& outputs, int32_t& inputs) = 0;
    virtual bool PinInfo(int32_t crossbar, bool isInput, int32_t index, int32_t& related,
                         int32_t& type) = 0;
    virtual bool CanRoute(int32_t crossbar, int32_t output, int32_t input) = 0;
    virtual int32_t Route(int32_t crossbar, int32_t output, int32_t input) = 0;
};

// Search bounds: a crossbar chain deeper than this is taken for a loop in a
// broken graph, not for hardware; a crossbar met again upstream of itself
// ends that branch.
inline constexpr int32_t kMaxCrossbarLevels = 8;
inline constexpr size_t kMaxRoutes = 64;
// Crossbars visited by one search, at most.
inline constexpr int32_t kMaxCrossbarVisits = 512;

// Every route to a video connector, depth first in input order.
std::vector<CrossbarRoute> FindCrossbarRoutes(CrossbarView& view);

// The route selection of one capture filter.
class RouteTable {
  public:
    RouteTable(CrossbarView& view, std::vector<CrossbarRoute> routes)
        : view_(view), routes_(std::move(routes)) {}
    int32_t InputCount() const { return static_cast<int32_t>(routes_.size()); }
    // Connector type of route `index`, or E_FAIL (as int32) when out of range.
    int32_t InputType(int32_t index) const;
    // Copies the route's connector name (at most size - 1 characters); false
    // when out of range or without a buffer.
    bool InputName(int32_t index, char* buffer, size_t size) const;
    // Routes every step from the farthest crossbar on; the last video Route's
    // result, or E_FAIL (as int32) when out of range.
    int32_t SelectInput(int32_t index);
    int32_t LastSelected() const { return lastSelected_; }
    // The first tuner route, else 0: the input chosen when a device opens.
    int32_t DefaultInput() const;
    const std::vector<CrossbarRoute>& Routes() const { return routes_; }

  private:
    CrossbarView& view_;
    std::vector<CrossbarRoute> routes_;
    int32_t lastSelected_ = 0;
};

inline constexpr int32_t kRouteFail = static_cast<int32_t>(0x80004005);

}  // namespace vistrel
