// Writes an ASF file with libavformat's ASF muxer under this runtime's own header (its
// attributes, its codec list, the exact duration). The muxer's header object is kept in
// memory; everything it writes after it (the data object, the simple index, which counts
// packets, not offsets) goes straight into a scratch file beside the target, behind this
// runtime's header, which is rendered when writing begins at its final size and filled in at
// the end: the file is written once, and needs its own size on the disk, not twice that. The
// finished file takes the target's name in one rename: until then, and after any failure, no
// file of that name is made or changed. The scratch file goes with the muxer. A failure of the
// file system is reported with its cause (see file_system.h).
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>
#include <wmsdk.h>

#include "asf/asf_header.h"
#include "base/file_system.h"
#include "codecs/stream_encoder.h"
#include "com/attributes.h"
#include "com/media_type.h"
#include "ffmpeg/ffmpeg_handles.h"

namespace wmvcore {

// What the header of the finished file says beyond what the muxer wrote.
struct HeaderContent {
  std::vector<Attribute> attributes;
  std::vector<asf::CodecEntry> codecs;
  QWORD duration = 0;  // 100 ns units, preroll not included
  // A variable-rate stream: the header says so ("IsVBR") and, at the end, gives the stream's
  // true average rate (averageBitrate, bits per second) where it gives the rate.
  bool variableRate = false;
  DWORD averageBitrate = 0;
  // The format's average rate decides how it decodes (EncoderShape::averageSetsLayout): the
  // format block keeps the rate it declares.
  bool formatKeepsRate = false;
};

// Where libavformat's output goes, in the muxer's own offsets: its header object to memory,
// the rest to the scratch file from `fileOffset` on; and the first failure in writing it.
struct PacketFile {
  std::unique_ptr<ScratchFile> scratch;
  HRESULT failure = S_OK;
  Bytes header;           // the muxer's header object as it last wrote it
  QWORD headerBytes = 0;  // its size; 0 while the muxer writes its first header
  QWORD fileOffset = 0;   // the size of this runtime's header, where the muxer's rest starts
  QWORD position = 0;     // the muxer's write position
};

class AsfMuxer final : public PayloadSink {
 public:
  // Starts the scratch file for `target` with one stream of `format`, its payloads stamped in
  // the stream's samples, under a header with `content` (its duration is given at the end);
  // with `packetPerPayload`, each payload (of the format's block alignment) fills a data packet.
  static HRESULT Begin(const FilePath& target, const WaveFormat& format, bool packetPerPayload,
                       HeaderContent content, std::unique_ptr<AsfMuxer>& muxer);
  ~AsfMuxer();
  AsfMuxer(const AsfMuxer&) = delete;
  AsfMuxer& operator=(const AsfMuxer&) = delete;

  HRESULT Write(const Payload& payload) override;
  // Ends the scratch file, fills in its header and gives it the target's name.
  HRESULT Finish(QWORD duration);

 private:
  AsfMuxer(FilePath target, HeaderContent content)
      : target_(std::move(target)), content_(std::move(content)) {}
  // Puts this runtime's header, made from the muxer's first, ahead of what followed it.
  HRESULT PlaceHeader();
  // The first failure in placing the muxer's output, or NS_E_FILE_WRITE when the muxer failed
  // alone.
  HRESULT WriteFailure() const;

  struct OutputFreer {
    void operator()(AVFormatContext* context) const { avformat_free_context(context); }
  };
  struct IoFreer {
    void operator()(AVIOContext* io) const;
  };
  FilePath target_;
  HeaderContent content_;
  PacketFile packets_;
  std::unique_ptr<AVIOContext, IoFreer> io_;
  std::unique_ptr<AVFormatContext, OutputFreer> muxer_;
  AVRational payloadTimeBase_{};
  QWORD payloadBytes_ = 0;
  PacketHandle packet_{av_packet_alloc()};
};

}  // namespace wmvcore
