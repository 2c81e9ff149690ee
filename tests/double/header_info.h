// IWMHeaderInfo, IWMHeaderInfo2 and IWMHeaderInfo3 as the double's reader and writer answer
// them, in the same object (one COM identity). The owner is a DoubleObject with
// `HeaderContents& header()` and `HRESULT EnterHeader(call, arguments, HeaderUse)`, which logs
// the call and decides whether the header may be read or changed now. Calls are named
// "HeaderInfo.Method" whichever object answers them.
#pragma once

#include <string>
#include <string_view>

#include "double/describe.h"
#include "double/header_contents.h"
#include "double/runtime_double.h"

namespace runtime_double {

enum class HeaderUse { kRead, kChange };

template <class Owner>
class HeaderInfoFacet : public IWMHeaderInfo3 {
 public:
  // ---- IWMHeaderInfo ----
  HRESULT STDMETHODCALLTYPE GetAttributeCount(WORD, WORD*) override {
    return Self().Unexpected("HeaderInfo.GetAttributeCount");
  }
  HRESULT STDMETHODCALLTYPE GetAttributeByIndex(WORD, WORD*, WCHAR*, WORD*, WMT_ATTR_DATATYPE*,
                                                BYTE*, WORD*) override {
    return Self().Unexpected("HeaderInfo.GetAttributeByIndex");
  }

  HRESULT STDMETHODCALLTYPE GetAttributeByName(WORD* stream, LPCWSTR name, WMT_ATTR_DATATYPE* type,
                                               BYTE* value, WORD* length) override {
    const HRESULT planned = Self().EnterHeader("HeaderInfo.GetAttributeByName",
                                               SizeText(stream) + ", " + TextOf(name) + ", " +
                                                   PointerText(value) + ", " + SizeText(length),
                                               HeaderUse::kRead);
    if (FAILED(planned)) return planned;
    return Self().header().GetAttributeByName(stream, name, type, value, length);
  }

  HRESULT STDMETHODCALLTYPE SetAttribute(WORD stream, LPCWSTR name, WMT_ATTR_DATATYPE type,
                                         const BYTE* value, WORD length) override {
    Self().runtime().record().attributesSet.push_back(
        {stream,
         name == nullptr ? u"" : name,
         {type, value == nullptr ? std::vector<BYTE>{} : std::vector<BYTE>(value, value + length)},
         length});
    const HRESULT planned = Self().EnterHeader(
        "HeaderInfo.SetAttribute",
        std::to_string(stream) + ", " + TextOf(name) + ", " + TypeName(type) + ", " +
            ValueText(type, value, length) + ", " + std::to_string(length),
        HeaderUse::kChange);
    if (FAILED(planned)) return planned;
    return Self().header().SetAttribute(stream, name, type, value, length);
  }

  HRESULT STDMETHODCALLTYPE GetMarkerCount(WORD*) override {
    return Self().Unexpected("HeaderInfo.GetMarkerCount");
  }
  HRESULT STDMETHODCALLTYPE GetMarker(WORD, WCHAR*, WORD*, QWORD*) override {
    return Self().Unexpected("HeaderInfo.GetMarker");
  }
  HRESULT STDMETHODCALLTYPE AddMarker(const WCHAR*, QWORD) override {
    return Self().Unexpected("HeaderInfo.AddMarker");
  }
  HRESULT STDMETHODCALLTYPE RemoveMarker(WORD) override {
    return Self().Unexpected("HeaderInfo.RemoveMarker");
  }
  HRESULT STDMETHODCALLTYPE GetScriptCount(WORD*) override {
    return Self().Unexpected("HeaderInfo.GetScriptCount");
  }
  HRESULT STDMETHODCALLTYPE GetScript(WORD, WCHAR*, WORD*, WCHAR*, WORD*, QWORD*) override {
    return Self().Unexpected("HeaderInfo.GetScript");
  }
  HRESULT STDMETHODCALLTYPE AddScript(const WCHAR*, const WCHAR*, QWORD) override {
    return Self().Unexpected("HeaderInfo.AddScript");
  }
  HRESULT STDMETHODCALLTYPE RemoveScript(WORD) override {
    return Self().Unexpected("HeaderInfo.RemoveScript");
  }

  // ---- IWMHeaderInfo2 ----
  HRESULT STDMETHODCALLTYPE GetCodecInfoCount(DWORD*) override {
    return Self().Unexpected("HeaderInfo.GetCodecInfoCount");
  }

  HRESULT STDMETHODCALLTYPE GetCodecInfo(DWORD index, WORD* nameLength, WCHAR* name,
                                         WORD* descriptionLength, WCHAR* description,
                                         WMT_CODEC_INFO_TYPE* type, WORD* infoLength,
                                         BYTE* info) override {
    const HRESULT planned = Self().EnterHeader(
        "HeaderInfo.GetCodecInfo",
        std::to_string(index) + ", " + SizeText(nameLength) + ", " + PointerText(name) + ", " +
            SizeText(descriptionLength) + ", " + PointerText(description) + ", " +
            SizeText(infoLength) + ", " + PointerText(info),
        HeaderUse::kRead);
    if (FAILED(planned)) return planned;
    return Self().header().GetCodecInfo(index, nameLength, name, descriptionLength, description,
                                        type, infoLength, info);
  }

  // ---- IWMHeaderInfo3 ----
  HRESULT STDMETHODCALLTYPE GetAttributeCountEx(WORD, WORD*) override {
    return Self().Unexpected("HeaderInfo.GetAttributeCountEx");
  }
  HRESULT STDMETHODCALLTYPE GetAttributeIndices(WORD, LPCWSTR, WORD*, WORD*, WORD*) override {
    return Self().Unexpected("HeaderInfo.GetAttributeIndices");
  }

  HRESULT STDMETHODCALLTYPE GetAttributeByIndexEx(WORD stream, WORD index, LPWSTR name,
                                                  WORD* nameLength, WMT_ATTR_DATATYPE* type,
                                                  WORD* language, BYTE* value,
                                                  DWORD* length) override {
    const HRESULT planned = Self().EnterHeader(
        "HeaderInfo.GetAttributeByIndexEx",
        std::to_string(stream) + ", " + std::to_string(index) + ", " + PointerText(name) + ", " +
            SizeText(nameLength) + ", " + PointerText(value) + ", " + SizeText(length),
        HeaderUse::kRead);
    if (FAILED(planned)) return planned;
    return Self().header().GetAttributeByIndexEx(stream, index, name, nameLength, type, language,
                                                 value, length);
  }

  HRESULT STDMETHODCALLTYPE ModifyAttribute(WORD, WORD, WMT_ATTR_DATATYPE, WORD, const BYTE*,
                                            DWORD) override {
    return Self().Unexpected("HeaderInfo.ModifyAttribute");
  }
  HRESULT STDMETHODCALLTYPE AddAttribute(WORD, LPCWSTR, WORD*, WMT_ATTR_DATATYPE, WORD, const BYTE*,
                                         DWORD) override {
    return Self().Unexpected("HeaderInfo.AddAttribute");
  }
  HRESULT STDMETHODCALLTYPE DeleteAttribute(WORD, WORD) override {
    return Self().Unexpected("HeaderInfo.DeleteAttribute");
  }
  HRESULT STDMETHODCALLTYPE AddCodecInfo(const WCHAR*, const WCHAR*, WMT_CODEC_INFO_TYPE, WORD,
                                         BYTE*) override {
    return Self().Unexpected("HeaderInfo.AddCodecInfo");
  }

 private:
  Owner& Self() { return static_cast<Owner&>(*this); }
};

}  // namespace runtime_double
