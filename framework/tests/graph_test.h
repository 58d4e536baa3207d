// The graph fixture of the Windows tests: COM up and an empty graph of Wine's
// filter graph manager. Filters added through Add live as long as the test;
// TearDown stops the graph (a Stop that deadlocks fails the test at once) and
// lets the test sinks drop the samples they hold.
#pragma once

#include <gtest/gtest.h>

#include <type_traits>
#include <vector>

#include "framework/tests/test_filters.h"

namespace fwtest {

class GraphTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ASSERT_EQ(graph.Create(), S_OK);
    }
    void TearDown() override {
        if (graph.control)
            CallWithin(15000, "Stop", [&] { return graph.control->Stop(); });
        for (TestSink* sink : sinks_)
            sink->ReleaseHeld();
        graph = Graph();
        sinks_.clear();
        filters_.clear();
        CoUninitialize();
    }

    // Adds `filter` (new, or held elsewhere) to the graph under `name`.
    template <class Filter>
    Filter* Add(Filter* filter, const wchar_t* name) {
        filters_.emplace_back(filter);
        EXPECT_EQ(graph.Add(filter, name), S_OK) << "adding a filter";
        if constexpr (std::is_same_v<Filter, TestSink>)
            sinks_.push_back(filter);
        return filter;
    }
    // The same for a filter made elsewhere; null (not made) fails the test.
    Microsoft::WRL::ComPtr<IBaseFilter> Add(Microsoft::WRL::ComPtr<IBaseFilter> filter,
                                            const wchar_t* name) {
        EXPECT_TRUE(filter) << "making a filter";
        if (filter)
            Add(filter.Get(), name);
        return filter;
    }
    // source -> transform -> sink, through the transform's first pins.
    HRESULT ConnectThrough(IPin* source, IBaseFilter* transform, IPin* sink) {
        HRESULT hr = graph.Connect(source, PinOf(transform, PINDIR_INPUT).Get());
        return SUCCEEDED(hr) ? graph.Connect(PinOf(transform, PINDIR_OUTPUT).Get(), sink) : hr;
    }

    Graph graph;

  private:
    std::vector<Microsoft::WRL::ComPtr<IBaseFilter>> filters_;
    std::vector<TestSink*> sinks_;
};

// test source -> `Transform` -> test sink, added but not connected: the source
// proposes bottom-up RGB32 frames of `width` x `height` from an allocator of
// `buffers` buffers, and the sink keeps whole frames.
template <class Transform>
class TransformGraphTest : public GraphTest {
  protected:
    TransformGraphTest(int width, int height, long buffers)
        : width(width),
          height(height),
          frame_bytes(static_cast<size_t>(width) * height * 4),
          buffers_(buffers) {}
    void SetUp() override {
        GraphTest::SetUp();
        source = Add(new TestSource({VideoType(MEDIASUBTYPE_RGB32, width, height, 32)}, buffers_),
                     L"source");
        transform = Add(new Transform(nullptr), L"transform");
        sink = Add(new TestSink, L"sink");
        sink->keep_bytes = frame_bytes;
    }
    HRESULT ConnectAll() { return ConnectThrough(&source->pin(), transform, &sink->pin()); }

    const int width;
    const int height;
    const size_t frame_bytes;
    TestSource* source = nullptr;
    Transform* transform = nullptr;
    TestSink* sink = nullptr;

  private:
    const long buffers_;
};

}  // namespace fwtest
