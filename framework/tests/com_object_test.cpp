// Reference counting, aggregation and the class factory, through real COM
// calls on objects of a local class table.
#include <gtest/gtest.h>

#include <wrl/client.h>

#include "framework/class_factory.h"
#include "framework/module.h"

using Microsoft::WRL::ComPtr;

namespace {

// {9A0F5C71-3E2B-4F6D-8C1A-7B4E2D9F0A11}
const CLSID CLSID_Inner = {
    0x9a0f5c71, 0x3e2b, 0x4f6d, {0x8c, 0x1a, 0x7b, 0x4e, 0x2d, 0x9f, 0x0a, 0x11}};
// {9A0F5C71-3E2B-4F6D-8C1A-7B4E2D9F0A12}
const CLSID CLSID_Failing = {
    0x9a0f5c71, 0x3e2b, 0x4f6d, {0x8c, 0x1a, 0x7b, 0x4e, 0x2d, 0x9f, 0x0a, 0x12}};
// {9A0F5C71-3E2B-4F6D-8C1A-7B4E2D9F0A13}
const CLSID CLSID_HalfMade = {
    0x9a0f5c71, 0x3e2b, 0x4f6d, {0x8c, 0x1a, 0x7b, 0x4e, 0x2d, 0x9f, 0x0a, 0x13}};

// The aggregatable object: answers IPersist.
class Inner final : public dshow::ComObject, public IPersist {
  public:
    explicit Inner(IUnknown* outer) : ComObject(outer) {}
    DSHOW_DELEGATING_UNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IPersist))
            return dshow::GetInterface(static_cast<IPersist*>(this), out);
        return ComObject::NonDelegatingQueryInterface(iid, out);
    }
    STDMETHODIMP GetClassID(CLSID* clsid) override {
        *clsid = CLSID_Inner;
        return S_OK;
    }

    // Takes and drops a reference to itself while being destroyed.
    ~Inner() override {
        AddRef();
        Release();
    }
};

dshow::ComObject* CreateFailing(IUnknown*, HRESULT* result) {
    *result = E_ACCESSDENIED;
    return nullptr;
}

// Returns an object but reports failure: the factory must not hand it out.
dshow::ComObject* CreateHalfMade(IUnknown* outer, HRESULT* result) {
    *result = E_FAIL;
    return new Inner(outer);
}

const dshow::FactoryEntry kTable[] = {
    {L"Inner", &CLSID_Inner, dshow::CreateInstance<Inner>, nullptr},
    {L"Failing", &CLSID_Failing, CreateFailing, nullptr},
    {L"Half made", &CLSID_HalfMade, CreateHalfMade, nullptr},
};

// An outer object that holds the inner one's non-delegating unknown and
// exposes its IPersist as its own.
class Outer final : public dshow::ComObject {
  public:
    Outer() : ComObject(nullptr) {}
    HRESULT Aggregate(IClassFactory* factory) {
        return factory->CreateInstance(owner(), IID_IUnknown, reinterpret_cast<void**>(&inner_));
    }
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IPersist) && inner_)
            return inner_->QueryInterface(iid, out);
        return ComObject::NonDelegatingQueryInterface(iid, out);
    }

  private:
    ~Outer() override {
        if (inner_)
            inner_->Release();
    }
    IUnknown* inner_ = nullptr;
};

ComPtr<IClassFactory> FactoryFor(REFCLSID clsid) {
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(dshow::GetClassObject(kTable, clsid, IID_PPV_ARGS(&factory)), S_OK);
    return factory;
}

TEST(ComObject, AggregatedObjectSharesTheOuterIdentityAndCount) {
    ASSERT_EQ(dshow::module::ObjectCount(), 0);
    {
        ComPtr<IClassFactory> factory = FactoryFor(CLSID_Inner);
        Outer* outer = new Outer;
        ComPtr<IUnknown> outer_unknown(outer->inner());
        ASSERT_EQ(outer->Aggregate(factory.Get()), S_OK);

        ComPtr<IPersist> persist;
        ASSERT_EQ(outer_unknown.As(&persist), S_OK);
        CLSID clsid{};
        EXPECT_EQ(persist->GetClassID(&clsid), S_OK);
        EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_Inner));

        // QueryInterface through the inner interface reaches the outer object.
        ComPtr<IUnknown> identity;
        ASSERT_EQ(persist.As(&identity), S_OK);
        EXPECT_EQ(identity.Get(), outer_unknown.Get());

        // References through the inner interface count on the outer object.
        ULONG outer_refs = outer_unknown->AddRef();
        EXPECT_EQ(persist->AddRef(), outer_refs + 1);
        persist->Release();
        outer_unknown->Release();
        EXPECT_EQ(dshow::module::ObjectCount(), 3);  // factory, outer, inner
    }
    EXPECT_EQ(dshow::module::ObjectCount(), 0);
}

TEST(ClassFactory, KeepsTheCreationContractOfCom) {
    ComPtr<IClassFactory> factory = FactoryFor(CLSID_Inner);
    Outer* outer = new Outer;
    ComPtr<IUnknown> outer_unknown(outer->inner());

    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(outer_unknown.Get(), IID_IPersist, &out),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IPersist, nullptr), E_POINTER);
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IPersistStream, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);

    ComPtr<IClassFactory> none;
    EXPECT_EQ(dshow::GetClassObject(kTable, IID_IPersist, IID_PPV_ARGS(&none)),
              CLASS_E_CLASSNOTAVAILABLE);
    ComPtr<IPersist> not_a_factory;
    EXPECT_EQ(dshow::GetClassObject(kTable, CLSID_Inner, IID_PPV_ARGS(&not_a_factory)),
              E_NOINTERFACE);
}

TEST(ClassFactory, PassesOnCreationFailuresWithoutLeaking) {
    ComPtr<IPersist> object;
    EXPECT_EQ(FactoryFor(CLSID_Failing)->CreateInstance(nullptr, IID_PPV_ARGS(&object)),
              E_ACCESSDENIED);
    EXPECT_EQ(FactoryFor(CLSID_HalfMade)->CreateInstance(nullptr, IID_PPV_ARGS(&object)), E_FAIL);
    EXPECT_EQ(object.Get(), nullptr);
    EXPECT_EQ(dshow::module::ObjectCount(), 0);
}

TEST(ClassFactory, ServerUnloadsOnlyWithoutObjectsAndLocks) {
    ASSERT_EQ(dshow::CanUnloadNow(), S_OK);
    ComPtr<IClassFactory> factory = FactoryFor(CLSID_Inner);
    EXPECT_EQ(dshow::CanUnloadNow(), S_FALSE);  // the factory is an object too

    ComPtr<IPersist> object;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&object)), S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory.Reset();
    object.Reset();
    EXPECT_EQ(dshow::CanUnloadNow(), S_FALSE);  // still locked
    EXPECT_EQ(dshow::module::LockCount(), 1);
    FactoryFor(CLSID_Inner)->LockServer(FALSE);
    EXPECT_EQ(dshow::CanUnloadNow(), S_OK);
}

}  // namespace
