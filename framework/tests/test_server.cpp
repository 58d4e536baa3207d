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

const REGPINTYPES kAnyType = {&GUID_NULL, &GUID_NULL};
const REGFILTERPINS2 kPins[] = {
    {0, 1, 1, &kAnyType, 0, nullptr, nullptr},
    {REG_PINFLAG_B_OUTPUT, 1, 1, &kAnyType, 0, nullptr, nullptr},
};
const dshow::FilterSetup kFilterSetup = {MERIT_DO_NOT_USE, 2, kPins, &fwtest::CATEGORY_Test};

const dshow::FactoryEntry kClasses[] = {
    {L"Framework Test Object", &fwtest::CLSID_TestObject, dshow::CreateInstance<PlainObject>,
     nullptr},
    {L"Framework Test Filter", &fwtest::CLSID_TestFilter, dshow::CreateInstance<PlainObject>,
     &kFilterSetup},
};

}  // namespace

const dshow::ComServer& dshow::ThisServer() {
    static const ComServer server{kClasses};
    return server;
}
