// The framework's COM enumerators: IEnumPins over a filter's pins and
// IEnumMediaTypes over the types a pin proposes. Each keeps the filter (or
// pin) alive and answers VFW_E_ENUM_OUT_OF_SYNC once the list changed
// (PinsChanged, MediaTypesChanged), until Reset.
#pragma once

#include <windows.h>
#include <dshow.h>

namespace dshow {

class BaseFilter;
class BasePin;

HRESULT CreatePinEnumerator(BaseFilter& filter, IEnumPins** out);
// Over BasePin::GetMediaType, from position 0 to the first answer not S_OK.
HRESULT CreateMediaTypeEnumerator(BasePin& pin, IEnumMediaTypes** out);

}  // namespace dshow
