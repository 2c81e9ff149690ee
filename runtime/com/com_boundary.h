// The one boundary where calls enter the runtime's COM objects. Every object is made through
// MakeRuntimeObject below, as Guarded<Object>: a class that overrides each method of each interface
// the object implements (one face an interface, below) and runs it through Guard. There
// std::bad_alloc, which the standard library's containers throw, becomes E_OUTOFMEMORY, so that
// it never reaches a caller built without exceptions (the plug-in), which would abort.
//
// Running out of memory leaves an object failed for good: once a call of it has given
// E_OUTOFMEMORY, caught here or returned by the call itself (a worker's segment, a buffer that
// could not be made), every later call but IUnknown's gives E_OUTOFMEMORY too. Work that
// stopped part-way may have lost audio, samples or tags, and a reader or writer that went on
// would hand out audio with a hole or finish a file without them. The cause is also left as the
// thread's last error, where the plug-in's host reads why a call failed.
//
// The objects' constructors are protected, so that this is the only way to make one. A new
// interface on an object needs its face here; the runtime's tests walk every method.
#pragma once

#include <atomic>
#include <new>
#include <type_traits>
#include <utility>

#include <windows.h>
#include <wmsdk.h>

#include "com/out_of_memory.h"
#include "common/com_object.h"

namespace wmvcore {

// One method of a face: the override that runs Base's own through the guard.
#define GUARDED_METHOD(name, parameters, arguments)           \
  HRESULT STDMETHODCALLTYPE name parameters override {        \
    return this->Guard([&] { return Base::name arguments; }); \
  }

// The innermost layer: the object itself, and the state of its boundary.
template <class Object>
class Latched : public Object {
 public:
  template <class... Args>
  explicit Latched(Args&&... args) : Object(std::forward<Args>(args)...) {}

 protected:
  template <class Work>
  HRESULT Guard(Work&& work) noexcept {
    if (!exhausted_.load(std::memory_order_relaxed)) {
      const HRESULT result = OutOfMemoryAsFailure(std::forward<Work>(work));
      if (result != E_OUTOFMEMORY) return result;
      exhausted_.store(true, std::memory_order_relaxed);
    }
    SetLastError(ERROR_OUTOFMEMORY);
    return E_OUTOFMEMORY;
  }

 private:
  std::atomic<bool> exhausted_{false};
};

template <class Base>
class SyncReaderFace : public Base {
 public:
  using Base::Base;

  GUARDED_METHOD(Open, (const WCHAR* filename), (filename))
  GUARDED_METHOD(Close, (), ())
  GUARDED_METHOD(SetRange, (QWORD start, LONGLONG duration), (start, duration))
  GUARDED_METHOD(SetRangeByFrame, (WORD stream, QWORD frame, LONGLONG frames),
                 (stream, frame, frames))
  GUARDED_METHOD(GetNextSample,
                 (WORD stream, INSSBuffer** sample, QWORD* time, QWORD* duration, DWORD* flags,
                  DWORD* output, WORD* streamNumber),
                 (stream, sample, time, duration, flags, output, streamNumber))
  GUARDED_METHOD(SetStreamsSelected, (WORD count, WORD* streams, WMT_STREAM_SELECTION* selections),
                 (count, streams, selections))
  GUARDED_METHOD(GetStreamSelected, (WORD stream, WMT_STREAM_SELECTION* selection),
                 (stream, selection))
  GUARDED_METHOD(SetReadStreamSamples, (WORD stream, WINBOOL compressed), (stream, compressed))
  GUARDED_METHOD(GetReadStreamSamples, (WORD stream, WINBOOL* compressed), (stream, compressed))
  GUARDED_METHOD(GetOutputSetting,
                 (DWORD output, LPCWSTR name, WMT_ATTR_DATATYPE* type, BYTE* value, WORD* length),
                 (output, name, type, value, length))
  GUARDED_METHOD(SetOutputSetting,
                 (DWORD output, LPCWSTR name, WMT_ATTR_DATATYPE type, const BYTE* value,
                  WORD length),
                 (output, name, type, value, length))
  GUARDED_METHOD(GetOutputCount, (DWORD * outputs), (outputs))
  GUARDED_METHOD(GetOutputProps, (DWORD output, IWMOutputMediaProps** props), (output, props))
  GUARDED_METHOD(SetOutputProps, (DWORD output, IWMOutputMediaProps* props), (output, props))
  GUARDED_METHOD(GetOutputFormatCount, (DWORD output, DWORD* formats), (output, formats))
  GUARDED_METHOD(GetOutputFormat, (DWORD output, DWORD format, IWMOutputMediaProps** props),
                 (output, format, props))
  GUARDED_METHOD(GetOutputNumberForStream, (WORD stream, DWORD* output), (stream, output))
  GUARDED_METHOD(GetStreamNumberForOutput, (DWORD output, WORD* stream), (output, stream))
  GUARDED_METHOD(GetMaxOutputSampleSize, (DWORD output, DWORD* bytes), (output, bytes))
  GUARDED_METHOD(GetMaxStreamSampleSize, (WORD stream, DWORD* bytes), (stream, bytes))
  GUARDED_METHOD(OpenStream, (IStream * stream), (stream))
};

template <class Base>
class HeaderInfoFace : public Base {
 public:
  using Base::Base;

  GUARDED_METHOD(GetAttributeCount, (WORD stream, WORD* count), (stream, count))
  GUARDED_METHOD(GetAttributeByIndex,
                 (WORD index, WORD* stream, WCHAR* name, WORD* nameLength, WMT_ATTR_DATATYPE* type,
                  BYTE* value, WORD* valueLength),
                 (index, stream, name, nameLength, type, value, valueLength))
  GUARDED_METHOD(GetAttributeByName,
                 (WORD * stream, LPCWSTR name, WMT_ATTR_DATATYPE* type, BYTE* value,
                  WORD* valueLength),
                 (stream, name, type, value, valueLength))
  GUARDED_METHOD(SetAttribute,
                 (WORD stream, LPCWSTR name, WMT_ATTR_DATATYPE type, const BYTE* value,
                  WORD length),
                 (stream, name, type, value, length))
  GUARDED_METHOD(GetMarkerCount, (WORD * markers), (markers))
  GUARDED_METHOD(GetMarker, (WORD index, WCHAR* name, WORD* nameLength, QWORD* time),
                 (index, name, nameLength, time))
  GUARDED_METHOD(AddMarker, (const WCHAR* name, QWORD time), (name, time))
  GUARDED_METHOD(RemoveMarker, (WORD index), (index))
  GUARDED_METHOD(GetScriptCount, (WORD * scripts), (scripts))
  GUARDED_METHOD(GetScript,
                 (WORD index, WCHAR* type, WORD* typeLength, WCHAR* command, WORD* commandLength,
                  QWORD* time),
                 (index, type, typeLength, command, commandLength, time))
  GUARDED_METHOD(AddScript, (const WCHAR* type, const WCHAR* command, QWORD time),
                 (type, command, time))
  GUARDED_METHOD(RemoveScript, (WORD index), (index))
  GUARDED_METHOD(GetCodecInfoCount, (DWORD * count), (count))
  GUARDED_METHOD(GetCodecInfo,
                 (DWORD index, WORD* nameLength, WCHAR* name, WORD* descriptionLength,
                  WCHAR* description, WMT_CODEC_INFO_TYPE* codecType, WORD* infoLength, BYTE* info),
                 (index, nameLength, name, descriptionLength, description, codecType, infoLength,
                  info))
  GUARDED_METHOD(GetAttributeCountEx, (WORD stream, WORD* count), (stream, count))
  GUARDED_METHOD(GetAttributeIndices,
                 (WORD stream, LPCWSTR name, WORD* language, WORD* indices, WORD* count),
                 (stream, name, language, indices, count))
  GUARDED_METHOD(GetAttributeByIndexEx,
                 (WORD stream, WORD index, LPWSTR name, WORD* nameLength, WMT_ATTR_DATATYPE* type,
                  WORD* language, BYTE* value, DWORD* valueLength),
                 (stream, index, name, nameLength, type, language, value, valueLength))
  GUARDED_METHOD(ModifyAttribute,
                 (WORD stream, WORD index, WMT_ATTR_DATATYPE type, WORD language, const BYTE* value,
                  DWORD length),
                 (stream, index, type, language, value, length))
  GUARDED_METHOD(AddAttribute,
                 (WORD stream, LPCWSTR name, WORD* index, WMT_ATTR_DATATYPE type, WORD language,
                  const BYTE* value, DWORD length),
                 (stream, name, index, type, language, value, length))
  GUARDED_METHOD(DeleteAttribute, (WORD stream, WORD index), (stream, index))
  GUARDED_METHOD(AddCodecInfo,
                 (const WCHAR* name, const WCHAR* description, WMT_CODEC_INFO_TYPE codecType,
                  WORD infoLength, BYTE* info),
                 (name, description, codecType, infoLength, info))
};

template <class Base>
class ProfileFace : public Base {
 public:
  using Base::Base;

  GUARDED_METHOD(GetVersion, (WMT_VERSION * version), (version))
  GUARDED_METHOD(GetName, (WCHAR * name, DWORD* length), (name, length))
  GUARDED_METHOD(SetName, (const WCHAR* name), (name))
  GUARDED_METHOD(GetDescription, (WCHAR * description, DWORD* length), (description, length))
  GUARDED_METHOD(SetDescription, (const WCHAR* description), (description))
  GUARDED_METHOD(GetStreamCount, (DWORD * count), (count))
  GUARDED_METHOD(GetStream, (DWORD index, IWMStreamConfig** config), (index, config))
  GUARDED_METHOD(GetStreamByNumber, (WORD number, IWMStreamConfig** config), (number, config))
  GUARDED_METHOD(RemoveStream, (IWMStreamConfig * config), (config))
  GUARDED_METHOD(RemoveStreamByNumber, (WORD number), (number))
  GUARDED_METHOD(AddStream, (IWMStreamConfig * config), (config))
  GUARDED_METHOD(ReconfigStream, (IWMStreamConfig * config), (config))
  GUARDED_METHOD(CreateNewStream, (REFGUID type, IWMStreamConfig** config), (type, config))
  GUARDED_METHOD(GetMutualExclusionCount, (DWORD * count), (count))
  GUARDED_METHOD(GetMutualExclusion, (DWORD index, IWMMutualExclusion** ex), (index, ex))
  GUARDED_METHOD(RemoveMutualExclusion, (IWMMutualExclusion * ex), (ex))
  GUARDED_METHOD(AddMutualExclusion, (IWMMutualExclusion * ex), (ex))
  GUARDED_METHOD(CreateNewMutualExclusion, (IWMMutualExclusion * *ex), (ex))
};

template <class Base>
class Profile3Face : public Base {
 public:
  using Base::Base;

  GUARDED_METHOD(GetProfileID, (GUID * id), (id))
  GUARDED_METHOD(GetStorageFormat, (WMT_STORAGE_FORMAT * storage), (storage))
  GUARDED_METHOD(SetStorageFormat, (WMT_STORAGE_FORMAT storage), (storage))
  GUARDED_METHOD(GetBandwidthSharingCount, (DWORD * count), (count))
  GUARDED_METHOD(GetBandwidthSharing, (DWORD index, IWMBandwidthSharing** bandwidth),
                 (index, bandwidth))
  GUARDED_METHOD(RemoveBandwidthSharing, (IWMBandwidthSharing * bandwidth), (bandwidth))
  GUARDED_METHOD(AddBandwidthSharing, (IWMBandwidthSharing * bandwidth), (bandwidth))
  GUARDED_METHOD(CreateNewBandwidthSharing, (IWMBandwidthSharing * *bandwidth), (bandwidth))
  GUARDED_METHOD(GetStreamPrioritization, (IWMStreamPrioritization * *stream), (stream))
  GUARDED_METHOD(SetStreamPrioritization, (IWMStreamPrioritization * stream), (stream))
  GUARDED_METHOD(RemoveStreamPrioritization, (), ())
  GUARDED_METHOD(CreateNewStreamPrioritization, (IWMStreamPrioritization * *stream), (stream))
  GUARDED_METHOD(GetExpectedPacketCount, (QWORD duration, QWORD* packets), (duration, packets))
};

template <class Base>
class WriterFace : public Base {
 public:
  using Base::Base;

  GUARDED_METHOD(SetProfileByID, (REFGUID profile), (profile))
  GUARDED_METHOD(SetProfile, (IWMProfile * profile), (profile))
  GUARDED_METHOD(SetOutputFilename, (const WCHAR* filename), (filename))
  GUARDED_METHOD(GetInputCount, (DWORD * inputs), (inputs))
  GUARDED_METHOD(GetInputProps, (DWORD input, IWMInputMediaProps** props), (input, props))
  GUARDED_METHOD(SetInputProps, (DWORD input, IWMInputMediaProps* props), (input, props))
  GUARDED_METHOD(GetInputFormatCount, (DWORD input, DWORD* formats), (input, formats))
  GUARDED_METHOD(GetInputFormat, (DWORD input, DWORD format, IWMInputMediaProps** props),
                 (input, format, props))
  GUARDED_METHOD(BeginWriting, (), ())
  GUARDED_METHOD(EndWriting, (), ())
  GUARDED_METHOD(AllocateSample, (DWORD size, INSSBuffer** sample), (size, sample))
  GUARDED_METHOD(WriteSample, (DWORD input, QWORD time, DWORD flags, INSSBuffer* sample),
                 (input, time, flags, sample))
  GUARDED_METHOD(Flush, (), ())
};

template <class Base>
class ProfileManagerFace : public Base {
 public:
  using Base::Base;

  GUARDED_METHOD(CreateEmptyProfile, (WMT_VERSION version, IWMProfile** profile),
                 (version, profile))
  GUARDED_METHOD(LoadProfileByID, (REFGUID id, IWMProfile** profile), (id, profile))
  GUARDED_METHOD(LoadProfileByData, (const WCHAR* data, IWMProfile** profile), (data, profile))
  GUARDED_METHOD(SaveProfile, (IWMProfile * profile, WCHAR* data, DWORD* length),
                 (profile, data, length))
  GUARDED_METHOD(GetSystemProfileCount, (DWORD * count), (count))
  GUARDED_METHOD(LoadSystemProfile, (DWORD index, IWMProfile** profile), (index, profile))
};

template <class Base>
class CodecInfoFace : public Base {
 public:
  using Base::Base;

  GUARDED_METHOD(GetCodecInfoCount, (REFGUID type, DWORD* count), (type, count))
  GUARDED_METHOD(GetCodecFormatCount, (REFGUID type, DWORD codec, DWORD* count),
                 (type, codec, count))
  GUARDED_METHOD(GetCodecFormat,
                 (REFGUID type, DWORD codec, DWORD format, IWMStreamConfig** config),
                 (type, codec, format, config))
  GUARDED_METHOD(GetCodecName, (REFGUID type, DWORD codec, WCHAR* name, DWORD* length),
                 (type, codec, name, length))
  GUARDED_METHOD(GetCodecFormatDesc,
                 (REFGUID type, DWORD codec, DWORD format, IWMStreamConfig** config,
                  WCHAR* description, DWORD* length),
                 (type, codec, format, config, description, length))
  GUARDED_METHOD(GetCodecFormatProp,
                 (REFGUID type, DWORD codec, DWORD format, const WCHAR* name,
                  WMT_ATTR_DATATYPE* valueType, BYTE* value, DWORD* size),
                 (type, codec, format, name, valueType, value, size))
  GUARDED_METHOD(GetCodecProp,
                 (REFGUID type, DWORD codec, const WCHAR* name, WMT_ATTR_DATATYPE* valueType,
                  BYTE* value, DWORD* size),
                 (type, codec, name, valueType, value, size))
  GUARDED_METHOD(SetCodecEnumerationSetting,
                 (REFGUID type, DWORD codec, const WCHAR* name, WMT_ATTR_DATATYPE valueType,
                  const BYTE* value, DWORD size),
                 (type, codec, name, valueType, value, size))
  GUARDED_METHOD(GetCodecEnumerationSetting,
                 (REFGUID type, DWORD codec, const WCHAR* name, WMT_ATTR_DATATYPE* valueType,
                  BYTE* value, DWORD* size),
                 (type, codec, name, valueType, value, size))
};

template <class Base>
class StreamConfigFace : public Base {
 public:
  using Base::Base;

  GUARDED_METHOD(GetStreamType, (GUID * type), (type))
  GUARDED_METHOD(GetStreamNumber, (WORD * number), (number))
  GUARDED_METHOD(SetStreamNumber, (WORD number), (number))
  GUARDED_METHOD(GetStreamName, (WCHAR * name, WORD* length), (name, length))
  GUARDED_METHOD(SetStreamName, (const WCHAR* name), (name))
  GUARDED_METHOD(GetConnectionName, (WCHAR * name, WORD* length), (name, length))
  GUARDED_METHOD(SetConnectionName, (const WCHAR* name), (name))
  GUARDED_METHOD(GetBitrate, (DWORD * bitrate), (bitrate))
  GUARDED_METHOD(SetBitrate, (DWORD bitrate), (bitrate))
  GUARDED_METHOD(GetBufferWindow, (DWORD * milliseconds), (milliseconds))
  GUARDED_METHOD(SetBufferWindow, (DWORD milliseconds), (milliseconds))
};

template <class Base>
class MediaPropsFace : public Base {
 public:
  using Base::Base;

  GUARDED_METHOD(GetType, (GUID * type), (type))
  GUARDED_METHOD(GetMediaType, (WM_MEDIA_TYPE * type, DWORD* size), (type, size))
  GUARDED_METHOD(SetMediaType, (WM_MEDIA_TYPE * type), (type))
};

template <class Base>
class SampleBufferFace : public Base {
 public:
  using Base::Base;

  GUARDED_METHOD(GetLength, (DWORD * length), (length))
  GUARDED_METHOD(SetLength, (DWORD length), (length))
  GUARDED_METHOD(GetMaxLength, (DWORD * length), (length))
  GUARDED_METHOD(GetBuffer, (BYTE * *buffer), (buffer))
  GUARDED_METHOD(GetBufferAndLength, (BYTE * *buffer, DWORD* length), (buffer, length))
};

template <class Base>
class OutputMediaPropsFace : public Base {
 public:
  using Base::Base;

  GUARDED_METHOD(GetStreamGroupName, (WCHAR * name, WORD* length), (name, length))
  GUARDED_METHOD(GetConnectionName, (WCHAR * name, WORD* length), (name, length))
};

template <class Base>
class InputMediaPropsFace : public Base {
 public:
  using Base::Base;

  GUARDED_METHOD(GetConnectionName, (WCHAR * name, WORD* length), (name, length))
  GUARDED_METHOD(GetGroupName, (WCHAR * name, WORD* length), (name, length))
};

// The faces an object of class Object gets: one for each interface it implements.
template <class Interface, template <class> class Face, class Base, class Object>
using FaceIf = std::conditional_t<std::is_base_of_v<Interface, Object>, Face<Base>, Base>;

template <class Object>
using Guarded = FaceIf<
    IWMSyncReader, SyncReaderFace,
    FaceIf<
        IWMHeaderInfo3, HeaderInfoFace,
        FaceIf<
            IWMProfile, ProfileFace,
            FaceIf<
                IWMProfile3, Profile3Face,
                FaceIf<
                    IWMWriter, WriterFace,
                    FaceIf<
                        IWMProfileManager, ProfileManagerFace,
                        FaceIf<IWMCodecInfo3, CodecInfoFace,
                               FaceIf<IWMStreamConfig, StreamConfigFace,
                                      FaceIf<IWMMediaProps, MediaPropsFace,
                                             FaceIf<IWMOutputMediaProps, OutputMediaPropsFace,
                                                    FaceIf<IWMInputMediaProps, InputMediaPropsFace,
                                                           FaceIf<INSSBuffer, SampleBufferFace,
                                                                  Latched<Object>, Object>,
                                                           Object>,
                                                    Object>,
                                             Object>,
                                      Object>,
                               Object>,
                        Object>,
                    Object>,
                Object>,
            Object>,
        Object>,
    Object>;

#undef GUARDED_METHOD

// Makes a runtime object behind its boundary, holding one reference, or null when memory is
// exhausted. (::MakeComObject cannot make them: their constructors are protected.)
template <class Object, class... Args>
Object* MakeRuntimeObject(Args&&... args) noexcept {
  try {
    return new Guarded<Object>(std::forward<Args>(args)...);
  } catch (const std::bad_alloc&) {
    return nullptr;  // the object's memory, or what its constructor allocates
  }
}

}  // namespace wmvcore
