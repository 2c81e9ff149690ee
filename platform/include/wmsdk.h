// Declarations of the Windows Media Format runtime: the structs, enums, result codes,
// interfaces (in the SDK's vtable order, as mingw-w64's wmsdkidl.h declares them), their
// identifiers and the three factories. Whoever links the program provides the factories:
// the stand-in runtime in the native library, the test double in tests.
#pragma once

#include <windows.h>

// ---- Formats ---------------------------------------------------------------------------------

#define WAVE_FORMAT_PCM 0x0001
#define WAVE_FORMAT_IEEE_FLOAT 0x0003
#define WAVE_FORMAT_EXTENSIBLE 0xFFFE

#pragma pack(push, 1)
struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);
using PWAVEFORMATEX = WAVEFORMATEX*;

// The format block for more than two channels or more than 16 bits: WAVEFORMATEX with
// wFormatTag WAVE_FORMAT_EXTENSIBLE and cbSize 22, followed by these members.
#pragma pack(push, 1)
struct WAVEFORMATEXTENSIBLE {
  WAVEFORMATEX Format;
  WORD wValidBitsPerSample;
  DWORD dwChannelMask;
  GUID SubFormat;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEXTENSIBLE) == 40);

struct WM_MEDIA_TYPE {
  GUID majortype;
  GUID subtype;
  WINBOOL bFixedSizeSamples;
  WINBOOL bTemporalCompression;
  ULONG lSampleSize;
  GUID formattype;
  IUnknown* pUnk;
  ULONG cbFormat;
  BYTE* pbFormat;
};

// ---- Enumerations ----------------------------------------------------------------------------

enum WMT_ATTR_DATATYPE {
  WMT_TYPE_DWORD = 0,
  WMT_TYPE_STRING = 1,
  WMT_TYPE_BINARY = 2,
  WMT_TYPE_BOOL = 3,
  WMT_TYPE_QWORD = 4,
  WMT_TYPE_WORD = 5,
  WMT_TYPE_GUID = 6
};

enum WMT_VERSION {
  WMT_VER_4_0 = 0x40000,
  WMT_VER_7_0 = 0x70000,
  WMT_VER_8_0 = 0x80000,
  WMT_VER_9_0 = 0x90000
};

enum WMT_STREAM_SELECTION { WMT_OFF = 0, WMT_CLEANPOINT_ONLY = 1, WMT_ON = 2 };

enum WMT_STORAGE_FORMAT { WMT_Storage_Format_MP3 = 0, WMT_Storage_Format_V1 = 1 };

enum WMT_CODEC_INFO_TYPE : DWORD {
  WMT_CODECINFO_AUDIO = 0,
  WMT_CODECINFO_VIDEO = 1,
  WMT_CODECINFO_UNKNOWN = 0xffffffff
};

enum { WM_SF_CLEANPOINT = 0x1, WM_SF_DISCONTINUITY = 0x2, WM_SF_DATALOSS = 0x4 };

// ---- Result codes ----------------------------------------------------------------------------

#define NS_E_FILE_NOT_FOUND MAKE_HRESULT_CODE(0xC00D001Au)
#define NS_E_FILE_OPEN_FAILED MAKE_HRESULT_CODE(0xC00D001Du)
#define NS_E_UNRECOGNIZED_STREAM_TYPE MAKE_HRESULT_CODE(0xC00D0026u)
#define NS_E_INVALID_REQUEST MAKE_HRESULT_CODE(0xC00D002Bu)
#define NS_E_INVALID_DATA MAKE_HRESULT_CODE(0xC00D002Fu)
#define NS_E_NO_STREAM MAKE_HRESULT_CODE(0xC00D0033u)
#define NS_E_FILE_WRITE MAKE_HRESULT_CODE(0xC00D0018u)
#define NS_E_INVALID_INPUT_FORMAT MAKE_HRESULT_CODE(0xC00D0BB8u)
#define NS_E_INVALID_OUTPUT_FORMAT MAKE_HRESULT_CODE(0xC00D0BBBu)
#define NS_E_NOT_CONFIGURED MAKE_HRESULT_CODE(0xC00D0BBCu)
#define NS_E_PROTECTED_CONTENT MAKE_HRESULT_CODE(0xC00D0BBDu)
#define NS_E_NO_MORE_SAMPLES MAKE_HRESULT_CODE(0xC00D0BCFu)
#define NS_E_INVALID_NAME MAKE_HRESULT_CODE(0xC00D001Cu)
#define NS_E_FILE_EXISTS MAKE_HRESULT_CODE(0xC00D001Bu)
#define ASF_E_BUFFERTOOSMALL MAKE_HRESULT_CODE(0xC00D07D1u)
#define ASF_E_NOTFOUND MAKE_HRESULT_CODE(0xC00D07F0u)
#define ASF_E_INVALIDHEADER MAKE_HRESULT_CODE(0xC00D07E2u)
#define ASF_E_INVALIDSTATE MAKE_HRESULT_CODE(0xC00D07F5u)

// ---- Identifiers -----------------------------------------------------------------------------

#define WM_BASE_GUID(d1)                                                   \
  GUID {                                                                   \
    d1, 0x0000, 0x0010, { 0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71 } \
  }
#define WM_SDK_GUID(d1)                                                    \
  GUID {                                                                   \
    d1, 0x2b2b, 0x11d3, { 0xb3, 0x6b, 0x00, 0xc0, 0x4f, 0x61, 0x08, 0xff } \
  }

inline constexpr GUID WMMEDIATYPE_Audio = WM_BASE_GUID(0x73647561);
inline constexpr GUID WMMEDIATYPE_Video = WM_BASE_GUID(0x73646976);
inline constexpr GUID WMMEDIASUBTYPE_PCM = WM_BASE_GUID(0x00000001);
inline constexpr GUID WMMEDIASUBTYPE_WMAudioV8 = WM_BASE_GUID(0x00000161);
inline constexpr GUID WMMEDIASUBTYPE_WMAudioV9 = WM_BASE_GUID(0x00000162);
inline constexpr GUID WMMEDIASUBTYPE_WMAudio_Lossless = WM_BASE_GUID(0x00000163);
inline constexpr GUID WMMEDIASUBTYPE_MSAUDIO1 = WM_BASE_GUID(0x00000160);
inline constexpr GUID WMMEDIASUBTYPE_RGB24 = {
    0xe436eb7d, 0x524f, 0x11ce, {0x9f, 0x53, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};
inline constexpr GUID KSDATAFORMAT_SUBTYPE_PCM = WM_BASE_GUID(0x00000001);
inline constexpr GUID WMFORMAT_VideoInfo = {
    0x05589f80, 0xc356, 0x11ce, {0xbf, 0x01, 0x00, 0xaa, 0x00, 0x55, 0x59, 0x5a}};
inline constexpr GUID WMFORMAT_WaveFormatEx = {
    0x05589f81, 0xc356, 0x11ce, {0xbf, 0x01, 0x00, 0xaa, 0x00, 0x55, 0x59, 0x5a}};

inline constexpr IID IID_INSSBuffer = {
    0xe1cd3524, 0x03d7, 0x11d2, {0x9e, 0xed, 0x00, 0x60, 0x97, 0xd2, 0xd7, 0xcf}};
inline constexpr IID IID_IWMMediaProps = WM_SDK_GUID(0x96406bce);
inline constexpr IID IID_IWMInputMediaProps = WM_SDK_GUID(0x96406bd5);
inline constexpr IID IID_IWMOutputMediaProps = WM_SDK_GUID(0x96406bd7);
inline constexpr IID IID_IWMStreamConfig = WM_SDK_GUID(0x96406bdc);
inline constexpr IID IID_IWMProfile = WM_SDK_GUID(0x96406bdb);
inline constexpr IID IID_IWMProfile2 = {
    0x07e72d33, 0xd94e, 0x4be7, {0x88, 0x43, 0x60, 0xae, 0x5f, 0xf7, 0xe5, 0xf5}};
inline constexpr IID IID_IWMProfile3 = {
    0x00ef96cc, 0xa461, 0x4546, {0x8b, 0xcd, 0xc9, 0xa2, 0x8f, 0x0e, 0x06, 0xf5}};
inline constexpr IID IID_IWMWriter = WM_SDK_GUID(0x96406bd4);
inline constexpr IID IID_IWMHeaderInfo = WM_SDK_GUID(0x96406bda);
inline constexpr IID IID_IWMHeaderInfo2 = {
    0x15cf9781, 0x454e, 0x482e, {0xb3, 0x93, 0x85, 0xfa, 0xe4, 0x87, 0xa8, 0x10}};
inline constexpr IID IID_IWMHeaderInfo3 = {
    0x15cc68e3, 0x27cc, 0x4ecd, {0xb2, 0x22, 0x3f, 0x5d, 0x02, 0xd8, 0x0b, 0xd5}};
inline constexpr IID IID_IWMSyncReader = {
    0x9397f121, 0x7705, 0x4dc9, {0xb0, 0x49, 0x98, 0xb6, 0x98, 0x18, 0x84, 0x14}};
inline constexpr IID IID_IWMProfileManager = {
    0xd16679f2, 0x6ca0, 0x472d, {0x8d, 0x31, 0x2f, 0x5d, 0x55, 0xae, 0xe1, 0x55}};
inline constexpr IID IID_IWMCodecInfo = {
    0xa970f41e, 0x34de, 0x4a98, {0xb3, 0xba, 0xe4, 0xb3, 0xca, 0x75, 0x28, 0xf0}};
inline constexpr IID IID_IWMCodecInfo2 = {
    0xaa65e273, 0xb686, 0x4056, {0x91, 0xec, 0xdd, 0x76, 0x8d, 0x4d, 0xf7, 0x10}};
inline constexpr IID IID_IWMCodecInfo3 = {
    0x7e51f487, 0x4d93, 0x4f98, {0x8a, 0xb4, 0x27, 0xd0, 0x56, 0x5a, 0xdc, 0x51}};

#undef WM_BASE_GUID
#undef WM_SDK_GUID

// ---- Interfaces ------------------------------------------------------------------------------

struct IWMMutualExclusion;
struct IWMBandwidthSharing;
struct IWMStreamPrioritization;

struct INSSBuffer : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetLength(DWORD* pdwLength) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetLength(DWORD dwLength) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMaxLength(DWORD* pdwLength) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetBuffer(BYTE** ppdwBuffer) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetBufferAndLength(BYTE** ppdwBuffer, DWORD* pdwLength) = 0;
};

struct IWMMediaProps : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetType(GUID* pguidType) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMediaType(WM_MEDIA_TYPE* pType, DWORD* pcbType) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetMediaType(WM_MEDIA_TYPE* pType) = 0;
};

struct IWMOutputMediaProps : IWMMediaProps {
  virtual HRESULT STDMETHODCALLTYPE GetStreamGroupName(WCHAR* pwszName, WORD* pcchName) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetConnectionName(WCHAR* pwszName, WORD* pcchName) = 0;
};

struct IWMInputMediaProps : IWMMediaProps {
  virtual HRESULT STDMETHODCALLTYPE GetConnectionName(WCHAR* pwszName, WORD* pcchName) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetGroupName(WCHAR* pwszName, WORD* pcchName) = 0;
};

struct IWMStreamConfig : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetStreamType(GUID* pguidStreamType) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStreamNumber(WORD* pwStreamNum) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetStreamNumber(WORD wStreamNum) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStreamName(WCHAR* pwszStreamName, WORD* pcchStreamName) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetStreamName(const WCHAR* pwszStreamName) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetConnectionName(WCHAR* pwszInputName,
                                                      WORD* pcchInputName) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetConnectionName(const WCHAR* pwszInputName) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetBitrate(DWORD* pdwBitrate) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetBitrate(DWORD pdwBitrate) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetBufferWindow(DWORD* pmsBufferWindow) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetBufferWindow(DWORD msBufferWindow) = 0;
};

struct IWMProfile : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetVersion(WMT_VERSION* pdwVersion) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetName(WCHAR* pwszName, DWORD* pcchName) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetName(const WCHAR* pwszName) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDescription(WCHAR* pwszDescription,
                                                   DWORD* pcchDescription) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDescription(const WCHAR* pwszDescription) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStreamCount(DWORD* pcStreams) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStream(DWORD dwStreamIndex, IWMStreamConfig** ppConfig) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStreamByNumber(WORD wStreamNum,
                                                      IWMStreamConfig** ppConfig) = 0;
  virtual HRESULT STDMETHODCALLTYPE RemoveStream(IWMStreamConfig* pConfig) = 0;
  virtual HRESULT STDMETHODCALLTYPE RemoveStreamByNumber(WORD wStreamNum) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddStream(IWMStreamConfig* pConfig) = 0;
  virtual HRESULT STDMETHODCALLTYPE ReconfigStream(IWMStreamConfig* pConfig) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateNewStream(REFGUID guidStreamType,
                                                    IWMStreamConfig** ppConfig) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMutualExclusionCount(DWORD* pcME) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMutualExclusion(DWORD dwMEIndex,
                                                       IWMMutualExclusion** ppME) = 0;
  virtual HRESULT STDMETHODCALLTYPE RemoveMutualExclusion(IWMMutualExclusion* pME) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddMutualExclusion(IWMMutualExclusion* pME) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateNewMutualExclusion(IWMMutualExclusion** ppME) = 0;
};

struct IWMProfile2 : IWMProfile {
  virtual HRESULT STDMETHODCALLTYPE GetProfileID(GUID* guid) = 0;
};

struct IWMProfile3 : IWMProfile2 {
  virtual HRESULT STDMETHODCALLTYPE GetStorageFormat(WMT_STORAGE_FORMAT* storage) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetStorageFormat(WMT_STORAGE_FORMAT storage) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetBandwidthSharingCount(DWORD* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetBandwidthSharing(DWORD index,
                                                        IWMBandwidthSharing** bandwidth) = 0;
  virtual HRESULT STDMETHODCALLTYPE RemoveBandwidthSharing(IWMBandwidthSharing* bandwidth) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddBandwidthSharing(IWMBandwidthSharing* bandwidth) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateNewBandwidthSharing(IWMBandwidthSharing** bandwidth) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStreamPrioritization(IWMStreamPrioritization** stream) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetStreamPrioritization(IWMStreamPrioritization* stream) = 0;
  virtual HRESULT STDMETHODCALLTYPE RemoveStreamPrioritization() = 0;
  virtual HRESULT STDMETHODCALLTYPE
  CreateNewStreamPrioritization(IWMStreamPrioritization** stream) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetExpectedPacketCount(QWORD duration, QWORD* packets) = 0;
};

struct IWMProfileManager : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CreateEmptyProfile(WMT_VERSION dwVersion,
                                                       IWMProfile** ppProfile) = 0;
  virtual HRESULT STDMETHODCALLTYPE LoadProfileByID(REFGUID guidProfile,
                                                    IWMProfile** ppProfile) = 0;
  virtual HRESULT STDMETHODCALLTYPE LoadProfileByData(const WCHAR* pwszProfile,
                                                      IWMProfile** ppProfile) = 0;
  virtual HRESULT STDMETHODCALLTYPE SaveProfile(IWMProfile* pIWMProfile, WCHAR* pwszProfile,
                                                DWORD* pdwLength) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetSystemProfileCount(DWORD* pcProfiles) = 0;
  virtual HRESULT STDMETHODCALLTYPE LoadSystemProfile(DWORD dwProfileIndex,
                                                      IWMProfile** ppProfile) = 0;
};

struct IWMCodecInfo : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetCodecInfoCount(REFGUID guid, DWORD* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCodecFormatCount(REFGUID guid, DWORD codecindex,
                                                        DWORD* formatcount) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCodecFormat(REFGUID guid, DWORD codecindex,
                                                   DWORD formatindex,
                                                   IWMStreamConfig** streamconfig) = 0;
};

struct IWMCodecInfo2 : IWMCodecInfo {
  virtual HRESULT STDMETHODCALLTYPE GetCodecName(REFGUID guid, DWORD codecindex, WCHAR* name,
                                                 DWORD* namesize) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCodecFormatDesc(REFGUID guid, DWORD codecindex,
                                                       DWORD formatindex,
                                                       IWMStreamConfig** streamconfig,
                                                       WCHAR* description, DWORD* descrsize) = 0;
};

struct IWMCodecInfo3 : IWMCodecInfo2 {
  virtual HRESULT STDMETHODCALLTYPE GetCodecFormatProp(REFGUID guid, DWORD codecindex,
                                                       DWORD formatindex, const WCHAR* name,
                                                       WMT_ATTR_DATATYPE* type, BYTE* value,
                                                       DWORD* size) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCodecProp(REFGUID guid, DWORD codecindex, const WCHAR* name,
                                                 WMT_ATTR_DATATYPE* type, BYTE* value,
                                                 DWORD* size) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetCodecEnumerationSetting(REFGUID guid, DWORD codecindex,
                                                               const WCHAR* name,
                                                               WMT_ATTR_DATATYPE type,
                                                               const BYTE* value, DWORD size) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCodecEnumerationSetting(REFGUID guid, DWORD codecindex,
                                                               const WCHAR* name,
                                                               WMT_ATTR_DATATYPE* type, BYTE* value,
                                                               DWORD* size) = 0;
};

struct IWMHeaderInfo : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetAttributeCount(WORD stream_num, WORD* attributes) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAttributeByIndex(WORD index, WORD* stream_num, WCHAR* name,
                                                        WORD* name_len, WMT_ATTR_DATATYPE* type,
                                                        BYTE* value, WORD* length) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAttributeByName(WORD* stream_num, LPCWSTR name,
                                                       WMT_ATTR_DATATYPE* type, BYTE* value,
                                                       WORD* length) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetAttribute(WORD stream_num, LPCWSTR name,
                                                 WMT_ATTR_DATATYPE type, const BYTE* value,
                                                 WORD length) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMarkerCount(WORD* markers) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMarker(WORD index, WCHAR* marker_name, WORD* marker_len,
                                              QWORD* marker_time) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddMarker(const WCHAR* marker_name, QWORD marker_time) = 0;
  virtual HRESULT STDMETHODCALLTYPE RemoveMarker(WORD index) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetScriptCount(WORD* scripts) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetScript(WORD index, WCHAR* type, WORD* type_len,
                                              WCHAR* command, WORD* command_len,
                                              QWORD* script_time) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddScript(const WCHAR* type, const WCHAR* command,
                                              QWORD script_time) = 0;
  virtual HRESULT STDMETHODCALLTYPE RemoveScript(WORD index) = 0;
};

struct IWMHeaderInfo2 : IWMHeaderInfo {
  virtual HRESULT STDMETHODCALLTYPE GetCodecInfoCount(DWORD* codec_infos) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCodecInfo(DWORD index, WORD* name_len, WCHAR* name,
                                                 WORD* description_len, WCHAR* description,
                                                 WMT_CODEC_INFO_TYPE* codec_type,
                                                 WORD* codec_info_cnt, BYTE* codec_info) = 0;
};

struct IWMHeaderInfo3 : IWMHeaderInfo2 {
  virtual HRESULT STDMETHODCALLTYPE GetAttributeCountEx(WORD stream_num, WORD* attributes) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAttributeIndices(WORD stream_num, LPCWSTR name,
                                                        WORD* lang_index, WORD* indices,
                                                        WORD* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAttributeByIndexEx(WORD stream_num, WORD index, LPWSTR name,
                                                          WORD* name_len, WMT_ATTR_DATATYPE* type,
                                                          WORD* lang_index, BYTE* value,
                                                          DWORD* data_len) = 0;
  virtual HRESULT STDMETHODCALLTYPE ModifyAttribute(WORD stream_num, WORD index,
                                                    WMT_ATTR_DATATYPE type, WORD lang_index,
                                                    const BYTE* value, DWORD length) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddAttribute(WORD stream_num, LPCWSTR name, WORD* index,
                                                 WMT_ATTR_DATATYPE type, WORD lang_index,
                                                 const BYTE* value, DWORD length) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeleteAttribute(WORD stream_num, WORD index) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddCodecInfo(const WCHAR* name, const WCHAR* description,
                                                 WMT_CODEC_INFO_TYPE codec_type,
                                                 WORD codec_info_cnt, BYTE* codec_info) = 0;
};

struct IWMSyncReader : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Open(const WCHAR* pwszFilename) = 0;
  virtual HRESULT STDMETHODCALLTYPE Close() = 0;
  virtual HRESULT STDMETHODCALLTYPE SetRange(QWORD cnsStartTime, LONGLONG cnsDuration) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetRangeByFrame(WORD wStreamNum, QWORD qwFrameNumber,
                                                    LONGLONG cFramesToRead) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetNextSample(WORD wStreamNum, INSSBuffer** ppSample,
                                                  QWORD* pcnsSampleTime, QWORD* pcnsDuration,
                                                  DWORD* pdwFlags, DWORD* pdwOutputNum,
                                                  WORD* pwStreamNum) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetStreamsSelected(WORD cStreamCount, WORD* pwStreamNumbers,
                                                       WMT_STREAM_SELECTION* pSelections) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStreamSelected(WORD wStreamNum,
                                                      WMT_STREAM_SELECTION* pSelection) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetReadStreamSamples(WORD wStreamNum, WINBOOL fCompressed) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetReadStreamSamples(WORD wStreamNum,
                                                         WINBOOL* pfCompressed) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetOutputSetting(DWORD dwOutputNum, LPCWSTR pszName,
                                                     WMT_ATTR_DATATYPE* pType, BYTE* pValue,
                                                     WORD* pcbLength) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetOutputSetting(DWORD dwOutputNum, LPCWSTR pszName,
                                                     WMT_ATTR_DATATYPE Type, const BYTE* pValue,
                                                     WORD cbLength) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetOutputCount(DWORD* pcOutputs) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetOutputProps(DWORD dwOutputNum,
                                                   IWMOutputMediaProps** ppOutput) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetOutputProps(DWORD dwOutputNum,
                                                   IWMOutputMediaProps* pOutput) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetOutputFormatCount(DWORD dwOutputNum, DWORD* pcFormats) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetOutputFormat(DWORD dwOutputNum, DWORD dwFormatNum,
                                                    IWMOutputMediaProps** ppProps) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetOutputNumberForStream(WORD wStreamNum,
                                                             DWORD* pdwOutputNum) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStreamNumberForOutput(DWORD dwOutputNum,
                                                             WORD* pwStreamNum) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMaxOutputSampleSize(DWORD dwOutput, DWORD* pcbMax) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMaxStreamSampleSize(WORD wStream, DWORD* pcbMax) = 0;
  virtual HRESULT STDMETHODCALLTYPE OpenStream(IStream* pStream) = 0;
};

struct IWMWriter : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE SetProfileByID(REFGUID guidProfile) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetProfile(IWMProfile* pProfile) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetOutputFilename(const WCHAR* pwszFilename) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetInputCount(DWORD* pcInputs) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetInputProps(DWORD dwInputNum,
                                                  IWMInputMediaProps** ppInput) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetInputProps(DWORD dwInputNum, IWMInputMediaProps* pInput) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetInputFormatCount(DWORD dwInputNumber, DWORD* pcFormats) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetInputFormat(DWORD dwInputNumber, DWORD dwFormatNumber,
                                                   IWMInputMediaProps** pProps) = 0;
  virtual HRESULT STDMETHODCALLTYPE BeginWriting() = 0;
  virtual HRESULT STDMETHODCALLTYPE EndWriting() = 0;
  virtual HRESULT STDMETHODCALLTYPE AllocateSample(DWORD dwSampleSize, INSSBuffer** ppSample) = 0;
  virtual HRESULT STDMETHODCALLTYPE WriteSample(DWORD dwInputNum, QWORD cnsSampleTime,
                                                DWORD dwFlags, INSSBuffer* pSample) = 0;
  virtual HRESULT STDMETHODCALLTYPE Flush() = 0;
};

// ---- Factories -------------------------------------------------------------------------------

extern "C" {

HRESULT WINAPI WMCreateSyncReader(IUnknown* pUnkCert, DWORD dwRights, IWMSyncReader** ppSyncReader);
HRESULT WINAPI WMCreateWriter(IUnknown* pUnkCert, IWMWriter** ppWriter);
HRESULT WINAPI WMCreateProfileManager(IWMProfileManager** ppProfileManager);

}  // extern "C"
