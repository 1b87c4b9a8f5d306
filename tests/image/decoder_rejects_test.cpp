#include "tests/image/decoder_rejects.h"

namespace quillmere::image::testing {
namespace {

TEST_P(DecoderRejects, FailsWithItsText) {
    const auto& [decoder, c] = GetParam();
    CodecImage image(decoder.format);
    EXPECT_FALSE(DecodeBytes(decoder.decode, c.file, image));
    EXPECT_EQ(image.settings.lastError, c.error);
}

}  // namespace
}  // namespace quillmere::image::testing
