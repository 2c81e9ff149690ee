#include "com/sample_buffer.h"

#include <new>

#include "com/com_boundary.h"
#include "pipeline/recycled_blocks.h"

namespace wmvcore {

SampleBuffer* SampleBuffer::Create(DWORD maxLength, DWORD length) {
  if (length > maxLength) return nullptr;
  // At least one byte, so that an empty sample still has an address to hand out.
  std::unique_ptr<BYTE[]> bytes(new (std::nothrow) BYTE[maxLength > 0 ? maxLength : 1]);
  if (!bytes) return nullptr;
  return MakeRuntimeObject<SampleBuffer>(std::move(bytes), maxLength, length, nullptr);
}

SampleBuffer* SampleBuffer::Create(DWORD maxLength, DWORD length,
                                   std::shared_ptr<RecycledBlocks> blocks) {
  if (length > maxLength) return nullptr;
  std::unique_ptr<BYTE[]> bytes = blocks->Take(maxLength);
  if (!bytes) return nullptr;
  return MakeRuntimeObject<SampleBuffer>(std::move(bytes), maxLength, length, std::move(blocks));
}

SampleBuffer::~SampleBuffer() {
  if (blocks_) blocks_->Give(std::move(bytes_), maxLength_);
}

void* SampleBuffer::FindInterface(REFIID iid) {
  return iid == IID_INSSBuffer ? static_cast<INSSBuffer*>(this) : nullptr;
}

HRESULT SampleBuffer::GetLength(DWORD* length) {
  if (length == nullptr) return E_INVALIDARG;
  *length = length_;
  return S_OK;
}

HRESULT SampleBuffer::SetLength(DWORD length) {
  if (length > maxLength_) return E_INVALIDARG;
  length_ = length;
  return S_OK;
}

HRESULT SampleBuffer::GetMaxLength(DWORD* length) {
  if (length == nullptr) return E_INVALIDARG;
  *length = maxLength_;
  return S_OK;
}

HRESULT SampleBuffer::GetBuffer(BYTE** buffer) {
  if (buffer == nullptr) return E_INVALIDARG;
  *buffer = bytes_.get();
  return S_OK;
}

HRESULT SampleBuffer::GetBufferAndLength(BYTE** buffer, DWORD* length) {
  if (buffer == nullptr || length == nullptr) return E_INVALIDARG;
  *buffer = bytes_.get();
  *length = length_;
  return S_OK;
}

}  // namespace wmvcore
