// ASF files that no encoder of ours writes, made in tests from files that ffmpeg wrote: the
// header parsed, changed and rendered again by the runtime's own header classes, the data
// object after it kept byte for byte.
#pragma once

#include <functional>
#include <vector>

#include "asf/asf_header.h"

namespace test_support {

// The file with `change` made to its header; empty when it does not start with one.
std::vector<BYTE> WithChangedHeader(const std::vector<BYTE>& file,
                                    const std::function<void(wmvcore::asf::Header&)>& change);

// The "WM/Picture" value of a front cover: picture type, size, MIME type, description, bytes.
wmvcore::Bytes CoverPictureValue();

// Puts an extended content description holding the cover ahead of every other header object,
// so that a demuxer meets the picture before the streams.
void AddCoverPictureFirst(wmvcore::asf::Header& header);

// Adds an encryption object of this identifier, its fields empty.
std::function<void(wmvcore::asf::Header&)> Protected(const GUID& encryptionObject);

}  // namespace test_support
