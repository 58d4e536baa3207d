// A small in-process server of the test tree: one plain class and one filter
// entry, to check registration and the class factory through real COM calls.
#include <windows.h>

#include <uuids.h>

#include "framework/dll_entry.h"
#include "framework/registration.h"
#include "framework/tests/test_server.h"

namespace {

class PlainObject final : public dshow::ComObject {
  public:
    explicit PlainObject(IUnknown* outer) : ComObject(outer) {}
};

const dshow::FilterSetup kFilterSetup = {MERIT_DO_NOT_USE, 2, dshow::kAnyTypeInOutPins,
                                         &fwtest::CATEGORY_Test};

const dshow::FactoryEntry kClasses[] = {
    {L"Framework Test Object", &fwtest::CLSID_TestObject, dshow::CreateInstance<PlainObject>,
     nullptr},
    {L"Framework Test Filter", &fwtest::CLSID_TestFilter, dshow::CreateInstance<PlainObject>,
     &kFilterSetup},
};

}  // namespace

const dshow::ComServer dshow::kThisServer{kClasses};
