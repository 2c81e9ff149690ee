// Writes an ASF file in two steps. libavformat's ASF muxer writes the packets to a scratch
// file beside the target; at the end the target is made from this runtime's own header (its
// attributes, its codec list, the exact duration) followed by the muxer's data and index
// objects, copied unchanged (the simple index counts packets, not offsets, so it survives the
// new header). The finished file takes the target's name in one rename: until then, and after
// any failure, no file of that name is made or changed, and the scratch files are removed.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "asf_header.h"
#include "attributes.h"
#include "audio_encoder.h"
#include "ffmpeg_handles.h"

namespace wmvcore {

// What the header of the finished file says beyond what the muxer wrote.
struct HeaderContent {
  std::vector<Attribute> attributes;
  std::vector<asf::CodecEntry> codecs;
  QWORD duration = 0;  // 100 ns units, preroll not included
};

class AsfMuxer final : public PacketSink {
 public:
  // Starts the scratch file for `target` with one stream from `encoder`.
  static HRESULT Begin(const std::string& target, const AVCodecContext& encoder,
                       std::unique_ptr<AsfMuxer>& muxer);
  ~AsfMuxer();
  AsfMuxer(const AsfMuxer&) = delete;
  AsfMuxer& operator=(const AsfMuxer&) = delete;

  HRESULT Write(AVPacket& packet) override;
  // Ends the scratch file and makes the target from it.
  HRESULT Finish(const HeaderContent& content);

 private:
  AsfMuxer(std::string target, std::string scratch) : target_(target), scratch_(scratch) {}
  HRESULT Assemble(const HeaderContent& content);

  struct OutputCloser {
    void operator()(AVFormatContext* context) const;
  };
  std::string target_;
  std::string scratch_;
  std::unique_ptr<AVFormatContext, OutputCloser> muxer_;
  AVRational encoderTimeBase_{};
};

// Whether a file may be written at `target`: its directory exists and is writable, and the
// name is not a directory. Fails with NS_E_FILE_WRITE or NS_E_INVALID_NAME.
HRESULT CheckWritable(const std::string& target);

}  // namespace wmvcore
