#include "app/capture/crossbar_routes.h"

#include <cstring>

namespace vistrel {

const char* PhysicalConnectorName(int32_t type) {
    static const char* const kVideo[] = {
        "Video Tuner",         "Video Composite",       "Video SVideo", "Video RGB", "Video YRYBY",
        "Video SerialDigital", "Video ParallelDigital", "Video SCSI",   "Video AUX", "Video 1394",
        "Video USB",           "Video Decoder",         "Video Encoder"};
    static const char* const kAudio[] = {
        "Audio Tuner", "Audio Line", "Audio Mic",  "Audio AESDigital", "Audio SPDIFDigital",
        "Audio SCSI",  "Audio AUX",  "Audio 1394", "Audio USB",        "Audio Decoder"};
    if (type >= 1 && type <= 13)
        return kVideo[type - 1];
    if (type >= 0x1000 && type <= 0x1009)
        return kAudio[type - 0x1000];
    return "Unknown";
}

namespace {

constexpr int32_t kFound = 0;      // S_OK
constexpr int32_t kChainEnds = 1;  // S_FALSE
constexpr int32_t kNoCrossbar = kRouteFail;

class Search {
  public:
    explicit Search(CrossbarView& view) : view_(view) {}

    std::vector<CrossbarRoute> Run() {
        Level(view_.UpstreamOfCapture(), 0);
        return std::move(routes_);
    }

  private:
    int32_t Level(const CrossbarView::Link& link, int32_t level) {
        using Upstream = CrossbarView::Upstream;
        if (link.kind == Upstream::kNotConnected || link.kind == Upstream::kNotCrossbar)
            return level == 0 ? kNoCrossbar : kChainEnds;
        if (link.kind == Upstream::kNoPinInfo || level >= kMaxCrossbarLevels)
            return kFound;
        // A crossbar fed from itself, directly or further up, is a loop of a
        // broken graph, not a route; and wide crossbars chained deep could
        // otherwise take ages to walk.
        if (++visits_ > kMaxCrossbarVisits)
            return kFound;
        for (int32_t l = 0; l < level; ++l) {
            if (chain_[static_cast<size_t>(l)].crossbar == link.crossbar)
                return kFound;
        }
        int32_t outputs = 0, inputs = 0;
        if (!view_.PinCounts(link.crossbar, outputs, inputs))
            return kFound;
        int32_t outRelated = -1, outType = 0;
        view_.PinInfo(link.crossbar, false, link.outputIndex, outRelated, outType);
        for (int32_t i = 0; i < inputs && routes_.size() < kMaxRoutes; ++i) {
            int32_t inRelated = -1, inType = 0;
            if (!view_.PinInfo(link.crossbar, true, i, inRelated, inType))
                continue;
            if (inType >= kConnectorAudioFirst)
                continue;
            if (!view_.CanRoute(link.crossbar, link.outputIndex, i))
                continue;
            chain_.resize(static_cast<size_t>(level) + 1);
            chain_[static_cast<size_t>(level)] = RouteStep{
                i, link.outputIndex, inRelated, outRelated, link.crossbar, inType, outType, level};
            if (Level(view_.UpstreamOfInput(link.crossbar, i), level + 1) == kChainEnds)
                Save(level);
        }
        return kFound;
    }

    void Save(int32_t level) {
        CrossbarRoute route;
        for (int32_t l = level; l >= 0; --l)
            route.push_back(chain_[static_cast<size_t>(l)]);
        routes_.push_back(std::move(route));
    }

    CrossbarView& view_;
    std::vector<RouteStep> chain_;
    std::vector<CrossbarRoute> routes_;
    int32_t visits_ = 0;
};

}  // namespace

std::vector<CrossbarRoute> FindCrossbarRoutes(CrossbarView& view) {
    return Search(view).Run();
}

int32_t RouteTable::InputType(int32_t index) const {
    if (index < 0 || index >= InputCount() || routes_[static_cast<size_t>(index)].empty())
        return kRouteFail;
    return routes_[static_cast<size_t>(index)].front().inputType;
}

bool RouteTable::InputName(int32_t index, char* buffer, size_t size) const {
    if (index < 0 || index >= InputCount() || buffer == nullptr || size == 0)
        return false;
    const char* name = PhysicalConnectorName(InputType(index));
    size_t length = std::strlen(name);
    if (length > size - 1)
        length = size - 1;
    std::memcpy(buffer, name, length);
    buffer[length] = '\0';
    return true;
}

int32_t RouteTable::SelectInput(int32_t index) {
    if (index < 0 || index >= InputCount())
        return kRouteFail;
    int32_t result = kRouteFail;
    for (const RouteStep& step : routes_[static_cast<size_t>(index)]) {
        result = view_.Route(step.crossbar, step.videoOutput, step.videoInput);
        if (step.relatedAudioInput != -1 && step.relatedAudioOutput != -1)
            view_.Route(step.crossbar, step.relatedAudioOutput, step.relatedAudioInput);
    }
    lastSelected_ = index;
    return result;
}

int32_t RouteTable::DefaultInput() const {
    for (int32_t i = 0; i < InputCount(); ++i) {
        if (InputType(i) == kConnectorVideoTuner)
            return i;
    }
    return 0;
}

}  // namespace vistrel
