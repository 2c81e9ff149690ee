// INSSBuffer: a sample's bytes, handed out by the reader and allocated by the writer. It owns a
// copy of its bytes and refers to nothing else.
#pragma once

#include <vector>

#include "double/double_object.h"

namespace runtime_double {

class SampleBuffer final : public DoubleObject<SampleBuffer, INSSBuffer> {
 public:
  // Holds these bytes; its length and maximum length are their count.
  SampleBuffer(RuntimeDouble& runtime, std::vector<BYTE> bytes);

  void* FindInterface(REFIID iid);

  // The bytes up to the length, as the writer takes them.
  std::vector<BYTE> Contents() const;

  HRESULT STDMETHODCALLTYPE GetLength(DWORD*) override;
  HRESULT STDMETHODCALLTYPE SetLength(DWORD length) override;
  HRESULT STDMETHODCALLTYPE GetMaxLength(DWORD*) override;
  HRESULT STDMETHODCALLTYPE GetBuffer(BYTE**) override;
  HRESULT STDMETHODCALLTYPE GetBufferAndLength(BYTE** buffer, DWORD* length) override;

 private:
  // Never empty, so that even a buffer of length 0 has an address to hand out.
  std::vector<BYTE> storage_;
  DWORD maxLength_;
  DWORD length_;
};

}  // namespace runtime_double
