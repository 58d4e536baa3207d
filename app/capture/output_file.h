// The recording's file section and the pin-interface search, each with the
// platform's capture graph builder first and the program's own equivalent
// behind it, used only when the platform cannot serve (Wine answers
// SetOutputFileName with E_NOTIMPL, and its FindInterface asks only the
// filter itself, not the filter's pins by category). On Windows the
// platform's path answers, so nothing changes there.
//
// Threads: the graph-building thread.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <initializer_list>

namespace vistrel::capture {

// ICaptureGraphBuilder2::SetOutputFileName(&subtype, file, mux, sink) with its
// contract: on S_OK *mux (required) and *sink (may be null) hold references
// of their own and the graph holds the multiplexer and the file writer; on
// failure both are null and nothing was left in the graph. When the builder
// answers E_NOTIMPL for MEDIASUBTYPE_Avi: Wine's AVI multiplexer as "Mux" in
// full interleaving (its only working mode), the project's file writer as
// "File Writer", connected multiplexer -> writer before anything feeds the
// multiplexer (Wine's multiplexer fails once its input is connected first).
// `graph` is the builder's graph; null asks the builder for it.
HRESULT SetOutputFile(ICaptureGraphBuilder2* builder, IGraphBuilder* graph, const GUID& subtype,
                      const wchar_t* file, IBaseFilter** mux, IFileSinkFilter** sink);

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
// manager stops filters from the renderers upstream, so the multiplexer
// stops while the sources still deliver, and Wine's multiplexer takes
// samples without any lock, also while its Stop writes the file's header
// and index: a frame arriving then is written into the header (an
// unreadable segment), or after it on the released stream (a crash). A
// source's Stop ends its streaming thread, so once the sources have stopped
// nothing is in flight when the multiplexer writes. Returns the graph's
// answer.
HRESULT StopRecordingGraph(IMediaControl* control, std::initializer_list<IBaseFilter*> sources);

}  // namespace vistrel::capture
