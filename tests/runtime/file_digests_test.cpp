// SM3 and SHA-256 of whole files, checked against the digests the system's
// own tools print for the same files.

#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "../support/command_output.h"
#include "../support/temp_tree.h"
#include "runtime/file_digests.h"
#include "runtime/real_file_system.h"

namespace quillmere {
namespace {

using testing::RunCommand;
using testing::TempTree;

// The first word a digest tool prints for the file: sha256sum prints
// "<hex>  <name>", openssl dgst -r prints "<hex> *<name>".
std::string ToolDigest(const std::string& command) {
    const testing::CommandOutput output = RunCommand(command);
    EXPECT_TRUE(output.succeeded) << command;
    return output.output.substr(0, output.output.find(' '));
}

std::string Patterned(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + i / 977) & 0xFF);
    return bytes;
}

TEST(FileDigests, EqualWhatSha256sumAndOpensslPrint) {
    TempTree tree;
    // Empty, short, exactly one read chunk, and more than several chunks with a ragged end.
    const std::vector<std::pair<std::string, std::string>> files = {
        {"empty.jpg", ""},
        {"abc.tif", "abc"},
        {"chunk.jpg", Patterned(256 * 1024)},
        {"big scan.jpg", Patterned(3 * 256 * 1024 + 12345)},
    };
    RealFileSystem fs;
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        tree.File(name, bytes);
        const std::string path = tree.Path(name);
        std::string error;
        const auto stream = fs.OpenRegularFile(path, error);
        ASSERT_TRUE(stream) << error;
        stream->Seek(17, SeekOrigin::Begin);  // where a probe may have left it
        const DigestResult result = DigestStream(*stream);
        ASSERT_TRUE(result.digests) << result.failure;
        EXPECT_EQ(DigestHex(result.digests->sha256), ToolDigest("sha256sum '" + path + "'"));
        EXPECT_EQ(DigestHex(result.digests->sm3), ToolDigest("openssl dgst -sm3 -r '" + path + "'"));
    }
}

TEST(FileDigests, AFileShorterThanItsStatusGivesNoDigest) {
    TempTree tree;
    tree.File("cut.jpg", Patterned(100000));
    RealFileSystem fs;
    std::string error;
    const auto stream = fs.OpenRegularFile(tree.Path("cut.jpg"), error);
    ASSERT_TRUE(stream);
    // Cut after the open: the size the stream was given is no longer there to read.
    ASSERT_EQ(::truncate(tree.Path("cut.jpg").c_str(), 5000), 0);
    const DigestResult result = DigestStream(*stream);
    EXPECT_FALSE(result.digests);
    EXPECT_EQ(result.failure, "文件未能完整读取");
}

}  // namespace
}  // namespace quillmere
