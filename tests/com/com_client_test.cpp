// The IDispatch client of the host port against a scripted fake, in process.
#include "drawing/com/com_host.h"
#include "drawing/com/dispatch_client.h"
#include "drawing/com/result_convert.h"
#include "tests/com/fake_dispatch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>

namespace tvx::com {
namespace {

using testing::FakeDispatch;

class ComClient : public ::testing::Test {
protected:
    ComApartment apartment;
};

// Every member the program uses, on one fake that stands for every host object.
void teachWholeHost(FakeDispatch& host) {
    for (const wchar_t* self : {L"ActiveDoc", L"GetFirstView", L"GetCurrentSheet", L"Extension", L"InsertNote",
                                L"GetFirstSFSymbol", L"GetAnnotation", L"gettextformat"}) {
        host.returnsSelf(self);
    }
    for (const wchar_t* yes : {L"GetUserPreferenceToggle", L"SelectByID", L"DeleteSelection", L"ActivateSheet",
                               L"InsertSurfaceFinishSymbol2", L"SetName", L"Select2", L"SetTextFormat",
                               L"SetBalloon"}) {
        host.returns(yes, testing::variantBool(true).get());
    }
    for (const wchar_t* nothing : {L"SetUserPreferenceToggle", L"EditRebuild", L"GetNext", L"angle", L"TypeFaceName",
                                   L"CharHeight", L"CharHeightInPts", L"Bold"}) {
        host.returns(nothing, testing::variantOfType(VT_EMPTY).get());
    }
    host.returns(L"GetNextView", testing::variantDispatch(nullptr).get());
    host.returns(L"GetType", testing::variantI4(3).get());
    host.returns(L"GetSymbolType", testing::variantI4(1).get());
    host.returns(L"GetName", testing::variantBstr(L"Blatt1").get());
    host.returns(L"GetText", testing::variantBstr(L"1,6").get());
    host.on(L"GetProperties", [](const DISPPARAMS&, VARIANT* result, EXCEPINFO*, UINT*) {
        SAFEARRAY* array = SafeArrayCreateVector(VT_R8, 0, 7);
        double* data = nullptr;
        SafeArrayAccessData(array, reinterpret_cast<void**>(&data));
        const double values[7] = {8, 8, 1, 1, 1, 0.42, 0.297};
        std::copy(values, values + 7, data);
        SafeArrayUnaccessData(array);
        result->vt = VT_ARRAY | VT_R8;
        result->parray = array;
        return S_OK;
    });
}

TEST_F(ComClient, EveryOperationGoesWithTheHostsTypesInTheTablesOrder) {
    FakeDispatch host;
    teachWholeHost(host);
    {
        const host::AppRef app = wrapApp(ComPtr<IDispatch>::borrow(&host));
        const host::DocRef doc = app->ActiveDoc();
        ASSERT_NE(doc, nullptr);
        EXPECT_TRUE(app->GetUserPreferenceToggle(24));
        app->SetUserPreferenceToggle(24, false);
        EXPECT_EQ(doc->GetType(), 3);
        const host::ViewRef view = doc->GetFirstView();
        const host::SheetRef sheet = doc->GetCurrentSheet();
        EXPECT_EQ(sheet->GetName(), L"Blatt1");
        const host::HostValue props = sheet->GetProperties();
        EXPECT_EQ(std::get<host::HostArray>(props).at(0), host::HostScalar(8.0));
        EXPECT_TRUE(doc->Extension()->SelectByID(L"ZyrNote@Blatt1", L"NOTE", 0, 0, 0, false, 0, host::EmptyRef{}));
        EXPECT_TRUE(doc->DeleteSelection(true));
        EXPECT_TRUE(doc->ActivateSheet(L"Blatt1"));
        EXPECT_TRUE(doc->SelectByID(L"Blatt1", L"SHEET", 0.1, 0.2, 0));
        host::SurfaceFinishArgs sf;
        sf.symType = 1;
        sf.prodMethod = L"geschliffen";
        sf.maxRoughness = L"1,6";
        EXPECT_TRUE(doc->InsertSurfaceFinishSymbol2(sf));
        const host::SFSymbolRef symbol = view->GetFirstSFSymbol();
        EXPECT_EQ(symbol->GetNext(), nullptr);
        EXPECT_EQ(view->GetNextView(), nullptr);
        EXPECT_EQ(symbol->GetSymbolType(), 1);
        EXPECT_EQ(symbol->GetText(5), L"1,6");
        const host::AnnotationRef annotation = symbol->GetAnnotation();
        EXPECT_EQ(annotation->GetName(), L"Blatt1");
        EXPECT_TRUE(annotation->SetName(L"ZyrSymbol_99"));
        EXPECT_TRUE(annotation->Select2(false, 0));
        const host::TextFormatRef format = annotation->gettextformat(0);
        format->setTypeFaceName(L"ISOCP");
        format->setCharHeight(0.0035);
        EXPECT_TRUE(annotation->SetTextFormat(0, false, format));
        const host::NoteRef note = doc->InsertNote(L"(  )");
        note->setAngle(0);
        EXPECT_TRUE(note->SetBalloon(0, 0));
        const host::TextFormatRef noteFormat = note->gettextformat();
        noteFormat->setCharHeightInPts(12);
        noteFormat->setBold(false);
        EXPECT_TRUE(note->SetTextFormat(0, noteFormat));
        note->GetAnnotation();
        doc->EditRebuild();
    }
    const std::vector<std::string> expected = {
        "GET ActiveDoc()",
        "METHOD GetUserPreferenceToggle(I4 24)",
        "METHOD SetUserPreferenceToggle(I4 24, BOOL false)",
        "METHOD GetType()",
        "METHOD GetFirstView()",
        "METHOD GetCurrentSheet()",
        "METHOD GetName()",
        "METHOD GetProperties()",
        "GET Extension()",
        "METHOD SelectByID(BSTR \"ZyrNote@Blatt1\", BSTR \"NOTE\", I2 0, I2 0, I2 0, BOOL false, I2 0, DISPATCH null)",
        "METHOD DeleteSelection(BOOL true)",
        "METHOD ActivateSheet(BSTR \"Blatt1\")",
        "METHOD SelectByID(BSTR \"Blatt1\", BSTR \"SHEET\", R8 0.1, R8 0.2, I2 0)",
        "METHOD InsertSurfaceFinishSymbol2(I4 1, I2 0, I2 0, I2 0, R8 0, I2 0, I2 1, BSTR \"\", BSTR \"\", "
        "BSTR \"geschliffen\", BSTR \"\", BSTR \"1,6\", BSTR \"\", BSTR \"\")",
        "METHOD GetFirstSFSymbol()",
        "METHOD GetNext()",
        "METHOD GetNextView()",
        "METHOD GetSymbolType()",
        "METHOD GetText(I4 5)",
        "METHOD GetAnnotation()",
        "METHOD GetName()",
        "METHOD SetName(BSTR \"ZyrSymbol_99\")",
        "METHOD Select2(BOOL false, I2 0)",
        "METHOD gettextformat(I2 0)",
        "PUT TypeFaceName(BSTR \"ISOCP\") named:PROPERTYPUT",
        "PUT CharHeight(R8 0.0035) named:PROPERTYPUT",
        "METHOD SetTextFormat(I2 0, BOOL false, DISPATCH object)",
        "METHOD InsertNote(BSTR \"(  )\")",
        "PUT angle(I2 0) named:PROPERTYPUT",
        "METHOD SetBalloon(I2 0, I2 0)",
        "METHOD gettextformat()",
        "PUT CharHeightInPts(I4 12) named:PROPERTYPUT",
        "PUT Bold(BOOL false) named:PROPERTYPUT",
        "METHOD SetTextFormat(I2 0, DISPATCH object)",
        "METHOD GetAnnotation()",
        "METHOD EditRebuild()",
    };
    std::vector<std::string> seen;
    for (const auto& call : host.calls) {
        seen.push_back(call.text());
    }
    EXPECT_EQ(seen, expected);
    EXPECT_TRUE(host.unexpected.empty());
    // Every object reference the adapters took has been given back.
    EXPECT_EQ(host.refs, 1);
}

TEST_F(ComClient, NamesAreLookedUpOncePerKindOfObject) {
    FakeDispatch host;
    host.returnsSelf(L"ActiveDoc");
    host.returnsSelf(L"GetFirstView");
    host.returnsSelf(L"GetNextView");
    host.returns(L"GetType", testing::variantI4(3).get());
    host.returns(L"GetFirstSFSymbol", testing::variantDispatch(nullptr).get());
    {
        const host::DocRef doc = wrapApp(ComPtr<IDispatch>::borrow(&host))->ActiveDoc();
        doc->GetType();
        doc->GetType();
        // Three view objects: the name is asked for once, for the first of them.
        const host::ViewRef first = doc->GetFirstView();
        const host::ViewRef second = first->GetNextView();
        first->GetFirstSFSymbol();
        second->GetFirstSFSymbol();
        second->GetNextView()->GetFirstSFSymbol();
    }
    EXPECT_EQ(host.calls.size(), 9u);
    // ActiveDoc, GetType, GetFirstView, GetNextView, GetFirstSFSymbol
    EXPECT_EQ(host.idLookups, 5);
    // A second attach learns afresh: another host may number its members otherwise.
    wrapApp(ComPtr<IDispatch>::borrow(&host))->ActiveDoc();
    EXPECT_EQ(host.idLookups, 6);
}

// ---- results --------------------------------------------------------------------------------

UniqueVariant real(double value) {
    return testing::variantR8(value);
}

UniqueVariant typed(VARTYPE vt, long long value) {
    UniqueVariant v;
    v.get().vt = vt;
    v.get().llVal = 0;
    switch (vt) {
    case VT_I1: v.get().cVal = static_cast<CHAR>(value); break;
    case VT_UI1: v.get().bVal = static_cast<BYTE>(value); break;
    case VT_I2: v.get().iVal = static_cast<SHORT>(value); break;
    case VT_UI2: v.get().uiVal = static_cast<USHORT>(value); break;
    case VT_I4: v.get().lVal = static_cast<LONG>(value); break;
    case VT_UI4: v.get().ulVal = static_cast<ULONG>(value); break;
    case VT_I8: v.get().llVal = value; break;
    case VT_BOOL: v.get().boolVal = value != 0 ? VARIANT_TRUE : VARIANT_FALSE; break;
    default: break;
    }
    return v;
}

TEST_F(ComClient, BooleansAreTakenFromBooleansAndNumbers) {
    EXPECT_TRUE(takeBool("op", typed(VT_BOOL, 1).get()));
    EXPECT_FALSE(takeBool("op", typed(VT_BOOL, 0).get()));
    EXPECT_TRUE(takeBool("op", typed(VT_I2, 1).get()));
    EXPECT_TRUE(takeBool("op", typed(VT_I4, -1).get()));
    EXPECT_FALSE(takeBool("op", typed(VT_UI1, 0).get()));
    EXPECT_TRUE(takeBool("op", real(0.5).get()));
    EXPECT_FALSE(takeBool("op", real(0.0).get()));
    EXPECT_FALSE(takeBool("op", testing::variantOfType(VT_EMPTY).get()));

    for (const auto& refused : {testing::variantBstr(L"True"), testing::variantOfType(VT_NULL),
                                testing::variantDispatch(nullptr), real(std::nan(""))}) {
        try {
            takeBool("SetName", refused.get());
            ADD_FAILURE() << "accepted " << testing::describe(refused.get());
        } catch (const host::HostError& e) {
            EXPECT_EQ(e.operation(), "SetName");
        }
    }
}

TEST_F(ComClient, TypeCodesAreTakenAs32BitIntegers) {
    EXPECT_EQ(takeInt32("op", typed(VT_I2, 3).get()), 3);
    EXPECT_EQ(takeInt32("op", typed(VT_UI1, 3).get()), 3);
    EXPECT_EQ(takeInt32("op", typed(VT_I8, 3).get()), 3);
    EXPECT_EQ(takeInt32("op", typed(VT_I4, std::numeric_limits<std::int32_t>::min()).get()),
              std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(takeInt32("op", real(3.0).get()), 3);
    // Halves go to the even neighbour, as Basic's conversion does.
    EXPECT_EQ(takeInt32("op", real(2.5).get()), 2);
    EXPECT_EQ(takeInt32("op", real(3.5).get()), 4);
    EXPECT_EQ(takeInt32("op", typed(VT_BOOL, 1).get()), -1);
    EXPECT_EQ(takeInt32("op", testing::variantOfType(VT_EMPTY).get()), 0);

    for (const auto& refused : {typed(VT_I8, 1LL << 40), typed(VT_UI4, 0xFFFFFFFFLL), real(INFINITY), real(3e9),
                                testing::variantBstr(L"3"), testing::variantOfType(VT_NULL)}) {
        EXPECT_THROW(takeInt32("GetType", refused.get()), host::HostError) << testing::describe(refused.get());
    }
}

TEST_F(ComClient, StringsKeepEveryCharacter) {
    const std::wstring withNul(L"a\0b\u00e4", 4);
    EXPECT_EQ(takeString("op", testing::variantBstr(withNul).get()), withNul);
    UniqueVariant nullBstr;
    nullBstr.get().vt = VT_BSTR;
    nullBstr.get().bstrVal = nullptr;
    EXPECT_EQ(takeString("op", nullBstr.get()), L"");
    EXPECT_EQ(takeString("op", testing::variantOfType(VT_EMPTY).get()), L"");
    EXPECT_THROW(takeString("GetName", typed(VT_I4, 1).get()), host::HostError);
    EXPECT_THROW(takeString("GetName", testing::variantOfType(VT_NULL).get()), host::HostError);
}

TEST_F(ComClient, AnEmptyReferenceInEachOfItsThreeFormsIsEmpty) {
    UniqueVariant nullUnknown;
    nullUnknown.get().vt = VT_UNKNOWN;
    nullUnknown.get().punkVal = nullptr;
    for (const auto& empty : {testing::variantOfType(VT_EMPTY), testing::variantOfType(VT_NULL),
                              testing::variantDispatch(nullptr), std::move(nullUnknown)}) {
        SCOPED_TRACE(testing::describe(empty.get()));
        FakeDispatch host;
        host.returnsSelf(L"ActiveDoc");
        host.returnsSelf(L"GetFirstView");
        for (const wchar_t* name : {L"InsertNote", L"GetFirstSFSymbol", L"GetNextView"}) {
            host.returns(name, empty.get());
        }
        {
            const host::DocRef doc = wrapApp(ComPtr<IDispatch>::borrow(&host))->ActiveDoc();
            EXPECT_EQ(doc->InsertNote(L"x"), nullptr);
            const host::ViewRef view = doc->GetFirstView();
            EXPECT_EQ(view->GetFirstSFSymbol(), nullptr);
            EXPECT_EQ(view->GetNextView(), nullptr);
        }
        EXPECT_EQ(host.refs, 1);

        FakeDispatch app;
        app.returns(L"ActiveDoc", empty.get());
        EXPECT_EQ(wrapApp(ComPtr<IDispatch>::borrow(&app))->ActiveDoc(), nullptr);
    }
}

TEST_F(ComClient, AnObjectAnswerOfAnotherTypeIsAHostError) {
    FakeDispatch app;
    app.returns(L"ActiveDoc", testing::variantI4(0).get());
    try {
        wrapApp(ComPtr<IDispatch>::borrow(&app))->ActiveDoc();
        ADD_FAILURE() << "no error";
    } catch (const host::HostError& e) {
        EXPECT_EQ(e.operation(), "ActiveDoc");
        EXPECT_NE(std::string(e.what()).find("VT_I4"), std::string::npos) << e.what();
    }
}

UniqueVariant arrayOf(VARTYPE type, const std::vector<UniqueVariant>& items, LONG lowerBound = 0) {
    SAFEARRAYBOUND bound{static_cast<ULONG>(items.size()), lowerBound};
    SAFEARRAY* array = SafeArrayCreate(type, 1, &bound);
    for (std::size_t i = 0; i < items.size(); ++i) {
        LONG index = lowerBound + static_cast<LONG>(i);
        VARIANT item = items[i].get();
        void* slot = type == VT_VARIANT ? static_cast<void*>(&item) : static_cast<void*>(&item.llVal);
        EXPECT_EQ(SafeArrayPutElement(array, &index, slot), S_OK);
    }
    UniqueVariant v;
    v.get().vt = static_cast<VARTYPE>(VT_ARRAY | type);
    v.get().parray = array;
    return v;
}

TEST_F(ComClient, SheetPropertiesElementZeroMayComeAsAnyNumericType) {
    const auto first = [](const UniqueVariant& v) {
        return std::get<host::HostArray>(takeHostValue("op", v.get())).at(0);
    };
    std::vector<UniqueVariant> reals;
    reals.push_back(real(8));
    reals.push_back(real(0.42));
    EXPECT_EQ(first(arrayOf(VT_R8, reals)), host::HostScalar(8.0));

    std::vector<UniqueVariant> shorts;
    shorts.push_back(typed(VT_I2, 6));
    EXPECT_EQ(first(arrayOf(VT_I2, shorts)), host::HostScalar(std::int64_t{6}));
    std::vector<UniqueVariant> longs;
    longs.push_back(typed(VT_I4, 7));
    EXPECT_EQ(first(arrayOf(VT_I4, longs)), host::HostScalar(std::int64_t{7}));
    std::vector<UniqueVariant> bytes;
    bytes.push_back(typed(VT_UI1, 9));
    EXPECT_EQ(first(arrayOf(VT_UI1, bytes)), host::HostScalar(std::int64_t{9}));

    std::vector<UniqueVariant> mixed;
    mixed.push_back(typed(VT_I2, 10));
    mixed.push_back(testing::variantBstr(L"A1"));
    mixed.push_back(typed(VT_BOOL, 1));
    const auto all = std::get<host::HostArray>(takeHostValue("op", arrayOf(VT_VARIANT, mixed).get()));
    EXPECT_EQ(all, (host::HostArray{std::int64_t{10}, std::wstring(L"A1"), true}));

    // A lower bound other than 0 keeps the elements in their order.
    EXPECT_EQ(first(arrayOf(VT_R8, reals, 1)), host::HostScalar(8.0));
    // Not an array: the scalar itself.
    EXPECT_EQ(takeHostValue("op", typed(VT_I2, 8).get()), host::HostValue(host::HostScalar(std::int64_t{8})));
}

TEST_F(ComClient, SheetPropertiesThatCannotBeReadAreAHostError) {
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
    UniqueVariant twoDims;
    twoDims.get().vt = VT_ARRAY | VT_R8;
    twoDims.get().parray = SafeArrayCreate(VT_R8, 2, bounds);
    EXPECT_THROW(takeHostValue("GetProperties", twoDims.get()), host::HostError);

    std::vector<UniqueVariant> objects;
    objects.push_back(testing::variantDispatch(nullptr));
    EXPECT_THROW(takeHostValue("GetProperties", arrayOf(VT_VARIANT, objects).get()), host::HostError);
    EXPECT_THROW(takeHostValue("GetProperties", testing::variantDispatch(nullptr).get()), host::HostError);
}

// ---- errors ---------------------------------------------------------------------------------

std::string failureOf(const std::function<void()>& call, const std::string& operation) {
    try {
        call();
    } catch (const host::HostError& e) {
        EXPECT_EQ(e.operation(), operation);
        return e.what();
    }
    ADD_FAILURE() << operation << " did not fail";
    return {};
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST_F(ComClient, AFailingCallIsAHostErrorNamingTheOperationAndTheCode) {
    FakeDispatch doc;
    doc.returnsSelf(L"ActiveDoc");
    doc.on(L"GetType", [](const DISPPARAMS&, VARIANT*, EXCEPINFO*, UINT*) { return E_FAIL; });
    doc.on(L"EditRebuild", [](const DISPPARAMS&, VARIANT*, EXCEPINFO*, UINT*) { return RPC_E_DISCONNECTED; });
    {
        const host::DocRef d = wrapApp(ComPtr<IDispatch>::borrow(&doc))->ActiveDoc();
        EXPECT_TRUE(contains(failureOf([&] { d->GetType(); }, "GetType"), "E_FAIL (0x80004005)"));
        const std::string gone = failureOf([&] { d->EditRebuild(); }, "EditRebuild");
        EXPECT_TRUE(contains(gone, "no longer reachable")) << gone;
        EXPECT_TRUE(contains(failureOf([&] { d->InsertNote(L"x"); }, "InsertNote"), "DISP_E_UNKNOWNNAME"));
    }
    EXPECT_EQ(doc.unexpected, std::vector<std::wstring>{L"InsertNote"});
    EXPECT_EQ(doc.refs, 1);
}

TEST_F(ComClient, TheHostsOwnMessageComesFromTheExceptionInfo) {
    FakeDispatch doc;
    doc.returnsSelf(L"ActiveDoc");
    doc.on(L"ActivateSheet", [](const DISPPARAMS&, VARIANT*, EXCEPINFO* error, UINT*) {
        error->bstrSource = SysAllocString(L"Host");
        error->bstrDescription = SysAllocString(L"Blatt gesperrt f\u00fcr \u00c4nderungen");
        error->scode = E_ACCESSDENIED;
        return DISP_E_EXCEPTION;
    });
    doc.on(L"DeleteSelection", [](const DISPPARAMS&, VARIANT*, EXCEPINFO* error, UINT*) {
        // Some servers leave the words to a callback the caller must run.
        error->pfnDeferredFillIn = [](EXCEPINFO* info) -> HRESULT {
            info->bstrDescription = SysAllocString(L"filled in later");
            info->wCode = 1001;
            return S_OK;
        };
        return DISP_E_EXCEPTION;
    });
    const host::DocRef d = wrapApp(ComPtr<IDispatch>::borrow(&doc))->ActiveDoc();
    const std::string sheet = failureOf([&] { d->ActivateSheet(L"Blatt1"); }, "ActivateSheet");
    EXPECT_TRUE(contains(sheet, "Blatt gesperrt f\xC3\xBCr \xC3\x84nderungen")) << sheet;
    EXPECT_TRUE(contains(sheet, "0x80070005")) << sheet;
    const std::string deferred = failureOf([&] { d->DeleteSelection(true); }, "DeleteSelection");
    EXPECT_TRUE(contains(deferred, "filled in later")) << deferred;
    EXPECT_TRUE(contains(deferred, "1001")) << deferred;
}

TEST_F(ComClient, ARefusedArgumentIsNamedByItsPlaceInTheTable) {
    FakeDispatch doc;
    doc.returnsSelf(L"ActiveDoc");
    doc.on(L"SelectByID", [](const DISPPARAMS&, VARIANT*, EXCEPINFO*, UINT* argErr) {
        *argErr = 0; // rgvarg[0]: the last argument
        return DISP_E_TYPEMISMATCH;
    });
    const host::DocRef d = wrapApp(ComPtr<IDispatch>::borrow(&doc))->ActiveDoc();
    const std::string text = failureOf([&] { d->SelectByID(L"Blatt1", L"SHEET", 0.1, 0.2, 0); }, "SelectByID");
    EXPECT_TRUE(contains(text, "argument 5 refused: DISP_E_TYPEMISMATCH")) << text;
}

class ForeignFormat final : public host::TextFormat {
public:
    void setTypeFaceName(const std::wstring&) override {}
    void setCharHeight(double) override {}
    void setCharHeightInPts(std::int32_t) override {}
    void setBold(bool) override {}
};

TEST_F(ComClient, ATextFormatFromElsewhereIsRefusedBeforeTheHostIsCalled) {
    FakeDispatch host;
    teachWholeHost(host);
    {
        const host::DocRef doc = wrapApp(ComPtr<IDispatch>::borrow(&host))->ActiveDoc();
        const host::NoteRef note = doc->InsertNote(L"x");
        const auto before = host.calls.size();
        failureOf([&] { note->SetTextFormat(0, std::make_shared<ForeignFormat>()); }, "SetTextFormat");
        EXPECT_EQ(host.calls.size(), before);
        // No format at all goes as the empty reference.
        note->SetTextFormat(0, nullptr);
        EXPECT_EQ(host.calls.back().text(), "METHOD SetTextFormat(I2 0, DISPATCH null)");
    }
    EXPECT_EQ(host.refs, 1);
}

// ---- owners ---------------------------------------------------------------------------------

TEST_F(ComClient, OwnersHandOverAndGiveBackExactlyOnce) {
    FakeDispatch object;
    {
        ComPtr<IDispatch> a = ComPtr<IDispatch>::borrow(&object);
        ComPtr<IDispatch> b = a;
        EXPECT_EQ(object.refs, 3);
        ComPtr<IDispatch> c = std::move(b);
        EXPECT_FALSE(b);
        EXPECT_EQ(object.refs, 3);
        c = nullptr;
        EXPECT_EQ(object.refs, 2);
        UniqueVariant held = testing::variantDispatch(&object);
        EXPECT_EQ(object.refs, 3);
        UniqueVariant moved = std::move(held);
        EXPECT_EQ(held.vt(), VT_EMPTY);
        EXPECT_EQ(object.refs, 3);
    }
    EXPECT_EQ(object.refs, 1);

    const UniqueBstr empty(std::wstring{});
    ASSERT_NE(empty.get(), nullptr);
    EXPECT_EQ(SysStringLen(empty.get()), 0u);
    const std::wstring withNul(L"x\0y", 3);
    EXPECT_EQ(UniqueBstr(withNul).str(), withNul);
}

TEST(ComApartmentTest, AThreadAlreadyMultithreadedKeepsItsApartment) {
    std::thread([] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        { const ComApartment apartment; }
        // Still initialised: a second initialisation says so rather than starting afresh.
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
        CoUninitialize();
        CoUninitialize();
    }).join();
}

} // namespace
} // namespace tvx::com
