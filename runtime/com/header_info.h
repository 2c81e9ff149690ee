// IWMHeaderInfo3 (with IWMHeaderInfo and IWMHeaderInfo2) over an attribute list and a codec
// list: the header interfaces of the reader and the writer. The owning object derives from
// this class through ComObject, which supplies IUnknown; it fills the lists and says whether
// they may still change (the writer's may, until it begins writing; the reader's never).
#pragma once

#include <optional>
#include <vector>

#include <windows.h>
#include <wmsdk.h>

#include "base/result.h"

#include "asf/asf_header.h"
#include "com/attributes.h"

namespace wmvcore {

class HeaderInfo : public IWMHeaderInfo3 {
 public:
  // IWMHeaderInfo
  HRESULT STDMETHODCALLTYPE GetAttributeCount(WORD stream, WORD* count) override;
  HRESULT STDMETHODCALLTYPE GetAttributeByIndex(WORD index, WORD* stream, WCHAR* name,
                                                WORD* nameLength, WMT_ATTR_DATATYPE* type,
                                                BYTE* value, WORD* valueLength) override;
  HRESULT STDMETHODCALLTYPE GetAttributeByName(WORD* stream, LPCWSTR name, WMT_ATTR_DATATYPE* type,
                                               BYTE* value, WORD* valueLength) override;
  HRESULT STDMETHODCALLTYPE SetAttribute(WORD stream, LPCWSTR name, WMT_ATTR_DATATYPE type,
                                         const BYTE* value, WORD length) override;
  HRESULT STDMETHODCALLTYPE GetMarkerCount(WORD* markers) override;
  HRESULT STDMETHODCALLTYPE GetMarker(WORD index, WCHAR* name, WORD* nameLength,
                                      QWORD* time) override;
  HRESULT STDMETHODCALLTYPE AddMarker(const WCHAR* name, QWORD time) override;
  HRESULT STDMETHODCALLTYPE RemoveMarker(WORD index) override;
  HRESULT STDMETHODCALLTYPE GetScriptCount(WORD* scripts) override;
  HRESULT STDMETHODCALLTYPE GetScript(WORD index, WCHAR* type, WORD* typeLength, WCHAR* command,
                                      WORD* commandLength, QWORD* time) override;
  HRESULT STDMETHODCALLTYPE AddScript(const WCHAR* type, const WCHAR* command, QWORD time) override;
  HRESULT STDMETHODCALLTYPE RemoveScript(WORD index) override;
  // IWMHeaderInfo2
  HRESULT STDMETHODCALLTYPE GetCodecInfoCount(DWORD* count) override;
  HRESULT STDMETHODCALLTYPE GetCodecInfo(DWORD index, WORD* nameLength, WCHAR* name,
                                         WORD* descriptionLength, WCHAR* description,
                                         WMT_CODEC_INFO_TYPE* codecType, WORD* infoLength,
                                         BYTE* info) override;
  // IWMHeaderInfo3
  HRESULT STDMETHODCALLTYPE GetAttributeCountEx(WORD stream, WORD* count) override;
  HRESULT STDMETHODCALLTYPE GetAttributeIndices(WORD stream, LPCWSTR name, WORD* language,
                                                WORD* indices, WORD* count) override;
  HRESULT STDMETHODCALLTYPE GetAttributeByIndexEx(WORD stream, WORD index, LPWSTR name,
                                                  WORD* nameLength, WMT_ATTR_DATATYPE* type,
                                                  WORD* language, BYTE* value,
                                                  DWORD* valueLength) override;
  HRESULT STDMETHODCALLTYPE ModifyAttribute(WORD stream, WORD index, WMT_ATTR_DATATYPE type,
                                            WORD language, const BYTE* value,
                                            DWORD length) override;
  HRESULT STDMETHODCALLTYPE AddAttribute(WORD stream, LPCWSTR name, WORD* index,
                                         WMT_ATTR_DATATYPE type, WORD language, const BYTE* value,
                                         DWORD length) override;
  HRESULT STDMETHODCALLTYPE DeleteAttribute(WORD stream, WORD index) override;
  HRESULT STDMETHODCALLTYPE AddCodecInfo(const WCHAR* name, const WCHAR* description,
                                         WMT_CODEC_INFO_TYPE codecType, WORD infoLength,
                                         BYTE* info) override;

 protected:
  HeaderInfo() = default;
  ~HeaderInfo() = default;

  const std::vector<Attribute>& attributes() const { return attributes_; }
  void ReplaceAttributes(std::vector<Attribute> attributes);

  std::vector<asf::CodecEntry> codecs_;
  bool editable_ = false;

  // This object as the header interface asked for, or null for another identifier.
  void* FindHeaderInterface(REFIID iid);

 private:
  // The stream's index-th attribute, or null.
  Attribute* AttributeAt(WORD stream, WORD index);
  // Every change to the list goes through here, which forgets the positions found so far.
  void AttributesChanged() { indexedStream_.reset(); }

  std::vector<Attribute> attributes_;
  // Where each attribute of one stream stands in attributes_, so that reading a header's
  // attributes one index after the other takes linear time, not quadratic: a hostile header
  // holds a million of them.
  std::optional<WORD> indexedStream_;
  std::vector<std::size_t> streamPositions_;
};

}  // namespace wmvcore
