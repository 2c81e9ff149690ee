// Writes an ASF file in two steps. libavformat's ASF muxer writes the packets to a scratch
// file beside the target; at the end the target is made from this runtime's own header (its
// attributes, its codec list, the exact duration) followed by the muxer's data and index
// objects, copied unchanged (the simple index counts packets, not offsets, so it survives the
// new header). The finished file takes the target's name in one rename: until then, and after
// any failure, no file of that name is made or changed. The scratch files go with the muxer.
// A failure of the file system is reported with its cause (see file_system.h).
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>
#include <wmsdk.h>

#include "asf_header.h"
#include "attributes.h"
#include "audio_encoder.h"
#include "ffmpeg_handles.h"
#include "file_system.h"

namespace wmvcore {

// What the header of the finished file says beyond what the muxer wrote.
struct HeaderContent {
  std::vector<Attribute> attributes;
  std::vector<asf::CodecEntry> codecs;
  QWORD duration = 0;  // 100 ns units, preroll not included
};

// The scratch file that libavformat's output goes to, and the first failure in writing it.
struct PacketFile {
  std::unique_ptr<ScratchFile> scratch;
  HRESULT failure = S_OK;
};

class AsfMuxer final : public PacketSink {
 public:
  // Starts the scratch file for `target` with one stream from `encoder`.
  static HRESULT Begin(const FilePath& target, const AVCodecContext& encoder,
                       std::unique_ptr<AsfMuxer>& muxer);
  ~AsfMuxer();
  AsfMuxer(const AsfMuxer&) = delete;
  AsfMuxer& operator=(const AsfMuxer&) = delete;

  HRESULT Write(AVPacket& packet) override;
  // Ends the scratch file and makes the target from it.
  HRESULT Finish(const HeaderContent& content);

 private:
  explicit AsfMuxer(FilePath target) : target_(std::move(target)) {}
  HRESULT Assemble(const HeaderContent& content);
  // The first failure of the packets' file, or NS_E_FILE_WRITE when the muxer failed alone.
  HRESULT WriteFailure() const;

  struct OutputFreer {
    void operator()(AVFormatContext* context) const { avformat_free_context(context); }
  };
  struct IoFreer {
    void operator()(AVIOContext* io) const;
  };
  FilePath target_;
  PacketFile packets_;
  std::unique_ptr<AVIOContext, IoFreer> io_;
  std::unique_ptr<AVFormatContext, OutputFreer> muxer_;
  AVRational encoderTimeBase_{};
};

}  // namespace wmvcore
