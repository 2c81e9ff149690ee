// INSSBuffer: a sample's bytes, handed out by the reader and allocated by the writer. It owns a
// copy of its bytes and refers to nothing else. The bytes are freed at the final release, so a
// caller that reads a released sample's bytes is caught by AddressSanitizer.
#pragma once

#include <vector>

#include "double/double_object.h"

namespace runtime_double {

class SampleBuffer final : public DoubleObject<SampleBuffer, INSSBuffer> {
 public:
  // Holds these bytes; its length and maximum length are their count.
  SampleBuffer(RuntimeDouble& runtime, std::vector<BYTE> bytes);

  void* FindInterface(REFIID iid);

  // The bytes up to the length, as the writer takes them; none once released.
  std::vector<BYTE> Contents() const;
  DWORD length() const { return length_; }
  // At the final release.
  void DropContents();

  HRESULT STDMETHODCALLTYPE GetLength(DWORD*) override;
  HRESULT STDMETHODCALLTYPE SetLength(DWORD length) override;
  HRESULT STDMETHODCALLTYPE GetMaxLength(DWORD*) override;
  HRESULT STDMETHODCALLTYPE GetBuffer(BYTE**) override;
  HRESULT STDMETHODCALLTYPE GetBufferAndLength(BYTE** buffer, DWORD* length) override;

 private:
  // Never empty while the buffer lives, so that even a buffer of length 0 has an address to
  // hand out.
  std::vector<BYTE> storage_;
  DWORD maxLength_;
  DWORD length_;
};

}  // namespace runtime_double
