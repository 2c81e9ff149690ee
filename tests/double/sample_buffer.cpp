#include "double/sample_buffer.h"

#include <string>

namespace runtime_double {

SampleBuffer::SampleBuffer(RuntimeDouble& runtime, std::vector<BYTE> bytes)
    : DoubleObject(runtime, "SampleBuffer"),
      storage_(std::move(bytes)),
      maxLength_(static_cast<DWORD>(storage_.size())),
      length_(maxLength_) {
  if (storage_.empty()) storage_.push_back(0);
}

void* SampleBuffer::FindInterface(REFIID iid) {
  return iid == IID_INSSBuffer ? static_cast<INSSBuffer*>(this) : nullptr;
}

std::vector<BYTE> SampleBuffer::Contents() const {
  return std::vector<BYTE>(storage_.begin(), storage_.begin() + length_);
}

void SampleBuffer::DropContents() {
  std::vector<BYTE>().swap(storage_);
  maxLength_ = 0;
  length_ = 0;
}

HRESULT SampleBuffer::GetLength(DWORD*) { return Unexpected("SampleBuffer.GetLength"); }
HRESULT SampleBuffer::GetMaxLength(DWORD*) { return Unexpected("SampleBuffer.GetMaxLength"); }
HRESULT SampleBuffer::GetBuffer(BYTE**) { return Unexpected("SampleBuffer.GetBuffer"); }

HRESULT SampleBuffer::SetLength(DWORD length) {
  const HRESULT planned = Enter("SampleBuffer.SetLength", std::to_string(length));
  if (FAILED(planned)) return planned;
  if (length > maxLength_) return E_INVALIDARG;
  length_ = length;
  return S_OK;
}

HRESULT SampleBuffer::GetBufferAndLength(BYTE** buffer, DWORD* length) {
  const HRESULT planned = Enter("SampleBuffer.GetBufferAndLength", "");
  if (FAILED(planned)) return planned;
  if (buffer == nullptr || length == nullptr) return E_POINTER;
  *buffer = storage_.data();
  *length = length_;
  return S_OK;
}

}  // namespace runtime_double
