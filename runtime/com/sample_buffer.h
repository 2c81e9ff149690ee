// INSSBuffer: a block of bytes with a maximum length and a current length, as the reader hands
// out decoded audio and the writer allocates samples for its caller.
#pragma once

#include <memory>

#include <windows.h>
#include <wmsdk.h>

#include "common/com_object.h"

namespace wmvcore {

class RecycledBlocks;

class SampleBuffer : public ComObject<SampleBuffer, INSSBuffer> {
 public:
  // A buffer of `maxLength` bytes whose length starts at `length`; null when out of memory.
  static SampleBuffer* Create(DWORD maxLength, DWORD length);
  // The same, its bytes taken from `blocks` and given back to it when the buffer goes.
  static SampleBuffer* Create(DWORD maxLength, DWORD length,
                              std::shared_ptr<RecycledBlocks> blocks);
  ~SampleBuffer();

  HRESULT STDMETHODCALLTYPE GetLength(DWORD* length) override;
  HRESULT STDMETHODCALLTYPE SetLength(DWORD length) override;
  HRESULT STDMETHODCALLTYPE GetMaxLength(DWORD* length) override;
  HRESULT STDMETHODCALLTYPE GetBuffer(BYTE** buffer) override;
  HRESULT STDMETHODCALLTYPE GetBufferAndLength(BYTE** buffer, DWORD* length) override;

  BYTE* data() { return bytes_.get(); }
  DWORD length() const { return length_; }

  void* FindInterface(REFIID iid);

 protected:
  // Through Create.
  SampleBuffer(std::unique_ptr<BYTE[]> bytes, DWORD maxLength, DWORD length,
               std::shared_ptr<RecycledBlocks> blocks)
      : bytes_(std::move(bytes)),
        blocks_(std::move(blocks)),
        maxLength_(maxLength),
        length_(length) {}

 private:
  std::unique_ptr<BYTE[]> bytes_;
  std::shared_ptr<RecycledBlocks> blocks_;  // where bytes_ goes back to; null: freed
  DWORD maxLength_;
  DWORD length_;
};

}  // namespace wmvcore
