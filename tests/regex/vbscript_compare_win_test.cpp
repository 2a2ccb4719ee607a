// Windows only: the platform's own VBScript.RegExp object (through COM
// automation by name) against RegexObject, with the site patterns on the
// fixture pages and a few edge cases, default flags (ignore case,
// multi-line, global). Match count, match texts and group texts must agree
// after converting the platform's UTF-16 texts to GBK. Skips, saying why,
// when the object cannot be created.
// windows.h first: oleauto.h depends on it.
#include <windows.h>
#include <oleauto.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <iterator>
#include <string>
#include <vector>

#include "test_paths.h"
#include "sites/site_patterns.h"
#include "text/regex/regex_object.h"

namespace sorvix {
namespace {

std::wstring ToWide(const std::string& gbk) {
    if (gbk.empty()) return {};
    int n = MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
    std::wstring w(n, L'\0');
    MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), w.data(), n);
    return w;
}

std::string ToGbk(const wchar_t* w, int len) {
    if (len <= 0) return {};
    int n = WideCharToMultiByte(936, 0, w, len, nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(936, 0, w, len, s.data(), n, nullptr, nullptr);
    return s;
}

// Minimal late-bound calls on an IDispatch.
class Dispatch {
public:
    explicit Dispatch(IDispatch* d = nullptr) : d_(d) {}
    ~Dispatch() {
        if (d_) d_->Release();
    }
    Dispatch(Dispatch&& o) noexcept : d_(o.d_) { o.d_ = nullptr; }
    Dispatch(const Dispatch&) = delete;
    Dispatch& operator=(const Dispatch&) = delete;
    explicit operator bool() const { return d_ != nullptr; }

    HRESULT Call(const wchar_t* name, WORD flags, std::vector<VARIANT> args, VARIANT* result) {
        DISPID id;
        LPOLESTR n = const_cast<LPOLESTR>(name);
        HRESULT hr = d_->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id);
        if (FAILED(hr)) return hr;
        std::reverse(args.begin(), args.end());  // IDispatch takes them last first
        DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
        DISPID put = DISPID_PROPERTYPUT;
        if (flags == DISPATCH_PROPERTYPUT) {
            params.rgdispidNamedArgs = &put;
            params.cNamedArgs = 1;
        }
        return d_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, nullptr);
    }
    void PutBool(const wchar_t* name, bool v) {
        VARIANT a;
        VariantInit(&a);
        a.vt = VT_BOOL;
        a.boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
        Call(name, DISPATCH_PROPERTYPUT, {a}, nullptr);
    }
    void PutString(const wchar_t* name, const std::wstring& v) {
        VARIANT a;
        VariantInit(&a);
        a.vt = VT_BSTR;
        a.bstrVal = SysAllocStringLen(v.data(), static_cast<UINT>(v.size()));
        Call(name, DISPATCH_PROPERTYPUT, {a}, nullptr);
        VariantClear(&a);
    }
    Dispatch GetObject(const wchar_t* name, WORD flags, std::vector<VARIANT> args = {}) {
        VARIANT r;
        VariantInit(&r);
        if (FAILED(Call(name, flags, std::move(args), &r)) || r.vt != VT_DISPATCH) {
            VariantClear(&r);
            return Dispatch();
        }
        return Dispatch(r.pdispVal);  // the reference moves to the wrapper
    }
    int GetInt(const wchar_t* name) {
        VARIANT r;
        VariantInit(&r);
        int v = -1;
        if (SUCCEEDED(Call(name, DISPATCH_PROPERTYGET, {}, &r)) && SUCCEEDED(VariantChangeType(&r, &r, 0, VT_I4))) {
            v = r.lVal;
        }
        VariantClear(&r);
        return v;
    }
    std::string GetText(const wchar_t* name, WORD flags, std::vector<VARIANT> args = {}) {
        VARIANT r;
        VariantInit(&r);
        std::string s;
        if (SUCCEEDED(Call(name, flags, std::move(args), &r)) && r.vt == VT_BSTR && r.bstrVal) {
            s = ToGbk(r.bstrVal, static_cast<int>(SysStringLen(r.bstrVal)));
        }
        VariantClear(&r);
        return s;
    }

private:
    IDispatch* d_;
};

VARIANT Int(int v) {
    VARIANT a;
    VariantInit(&a);
    a.vt = VT_I4;
    a.lVal = v;
    return a;
}

std::string ReadFixture(const std::string& name) {
    std::ifstream in(test::SourcePath("tests/regex/fixtures/" + name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class VbscriptRegExp : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        CLSID clsid;
        if (FAILED(CLSIDFromProgID(L"VBScript.RegExp", &clsid))) {
            GTEST_SKIP() << "VBScript.RegExp is not registered on this system";
        }
        IDispatch* d = nullptr;
        if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                    reinterpret_cast<void**>(&d)))) {
            GTEST_SKIP() << "VBScript.RegExp could not be created";
        }
        re_ = std::make_unique<Dispatch>(d);
    }
    void TearDown() override {
        re_.reset();
        CoUninitialize();
    }

    void Compare(const std::string& pattern, const std::string& subject) {
        SCOPED_TRACE("pattern " + pattern);
        re_->PutBool(L"IgnoreCase", true);
        re_->PutBool(L"Multiline", true);
        re_->PutBool(L"Global", true);
        re_->PutString(L"Pattern", ToWide(pattern));
        VARIANT arg;
        VariantInit(&arg);
        std::wstring w = ToWide(subject);
        arg.vt = VT_BSTR;
        arg.bstrVal = SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
        Dispatch matches = re_->GetObject(L"Execute", DISPATCH_METHOD, {arg});
        VariantClear(&arg);
        ASSERT_TRUE(matches) << "Execute failed";
        RegexObject ours;
        ours.Search(pattern, subject);
        const int count = matches.GetInt(L"Count");
        ASSERT_EQ(ours.MatchCount(), count);
        for (int i = 0; i < count; ++i) {
            Dispatch item = matches.GetObject(L"Item", DISPATCH_PROPERTYGET | DISPATCH_METHOD, {Int(i)});
            ASSERT_TRUE(item);
            EXPECT_EQ(ours.MatchText(i + 1), item.GetText(L"Value", DISPATCH_PROPERTYGET)) << "match " << i + 1;
            Dispatch subs = item.GetObject(L"SubMatches", DISPATCH_PROPERTYGET);
            ASSERT_TRUE(subs);
            const int groups = subs.GetInt(L"Count");
            for (int g = 0; g < groups; ++g) {
                EXPECT_EQ(ours.GroupText(i + 1, g + 1),
                          subs.GetText(L"Item", DISPATCH_PROPERTYGET | DISPATCH_METHOD, {Int(g)}))
                    << "match " << i + 1 << " group " << g + 1;
            }
        }
    }

    std::unique_ptr<Dispatch> re_;
};

TEST_F(VbscriptRegExp, SitePatternsOnFixturePages) {
    Compare(std::string(site_pattern::kMagnetEntry), ReadFixture("magnet_page.gbk.html"));
    const std::string share = ReadFixture("share_index_page.gbk.html");
    for (const site_pattern::FieldPattern& field : site_pattern::kShareFields) Compare(std::string(field.pattern), share);
    Compare(std::string(site_pattern::kDiskHit), ReadFixture("disk_page.gbk.html"));
}

TEST_F(VbscriptRegExp, EdgeCases) {
    Compare("<b>(.*?)</b>", "<B>x</B> <b>y</b>");
    Compare("a(.*?)b", "a\nb a\r\nb axb");
    Compare("a([\\s\\S]*?)b", "a\r\nb");
    Compare("\xA1\xB6(.*?)\xA1\xB7", "\xB5\xE7\xD3\xB0\xA1\xB6\xD6\xD0\xCE\xC4\xA1\xB7");
    Compare("^(\\w+)$", "foo\nbar baz\r\nqux");
    Compare("(a)|(b)", "abab");
    // Empty matches ("x*") are left out: Wine's RegExp loops forever on them.
}

}  // namespace
}  // namespace sorvix
