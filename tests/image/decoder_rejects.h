#pragma once
// One parameterised suite for the inputs each decoder must refuse: every
// decoder's test file instantiates DecoderRejects with its decoder and its
// cases, and the check itself is written once (decoder_rejects_test.cpp).

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <tuple>

#include "image/codec_image.h"
#include "image/image_format.h"
#include "runtime/byte_stream.h"
#include "tests/support/format_bytes.h"

namespace quillmere::image::testing {

struct DecoderUnderTest {
    ImageFormat format;  // the codec image's format
    bool (*decode)(ByteStream&, CodecImage&);
    friend void PrintTo(const DecoderUnderTest& d, std::ostream* os) { *os << "format " << static_cast<int>(d.format); }
};

using RejectedInput = std::tuple<DecoderUnderTest, RejectedCase>;

class DecoderRejects : public ::testing::TestWithParam<RejectedInput> {};

// The cases (a ::testing::Values list of RejectedCase) paired with the decoder.
template <typename Cases>
auto RejectedBy(const DecoderUnderTest& decoder, const Cases& cases) {
    return ::testing::Combine(::testing::Values(decoder), cases);
}

inline std::string RejectedCaseName(const ::testing::TestParamInfo<RejectedInput>& info) {
    return std::get<1>(info.param).name;
}

}  // namespace quillmere::image::testing
