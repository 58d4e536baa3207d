// The pin-interface search, with the platform's capture graph builder first
// and the program's own equivalent behind it, used only when the platform
// cannot serve (Wine's FindInterface asks only the filter itself, not the
// filter's pins by category); and the stop of a recording graph.
//
// Threads: the graph-building thread.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <initializer_list>

namespace vistrel::capture {

// ICaptureGraphBuilder2::FindInterface(category, majorType, filter, iid, out);
// when that finds nothing and `category` names a pin category: the first
// output pin of `filter` that reports it through IKsPropertySet
// (AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY) and, when `majorType` is given,
// has that major type among its media types (or its connection's), is asked
// for `iid`. `builder` may be null (only the pins are searched).
HRESULT FindPinInterface(ICaptureGraphBuilder2* builder, const GUID* category,
                         const GUID* majorType, IBaseFilter* filter, REFIID iid, void** out);

// IMediaControl::Stop for a graph that records: each of `sources` (the
// capture filters; null entries are skipped) is stopped first. The graph
// manager stops filters from the renderers upstream, so the sink would stop
// while the sources still deliver; a source's Stop ends its streaming
// thread, so once the sources have stopped nothing is in flight when the
// sink closes its file. Returns the graph's answer.
HRESULT StopRecordingGraph(IMediaControl* control, std::initializer_list<IBaseFilter*> sources);

}  // namespace vistrel::capture
