#include "Sha1.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Hex(const uint8_t* digest)
{
    std::string text;
    char pair[3];
    for (size_t i = 0; i < kSha1DigestSize; ++i) {
        std::snprintf(pair, sizeof(pair), "%02x", digest[i]);
        text += pair;
    }
    return text;
}

// Feeds the data in pieces of the given sizes, cycling through them.
std::string Digest(const std::string& data, const std::vector<size_t>& pieces)
{
    Sha1Context context;
    Sha1Init(context);
    size_t offset = 0;
    for (size_t i = 0; offset < data.size(); ++i) {
        const size_t piece = pieces[i % pieces.size()];
        const size_t take = piece < data.size() - offset ? piece : data.size() - offset;
        Sha1Update(context, data.data() + offset, take);
        offset += take;
    }
    uint8_t digest[kSha1DigestSize];
    Sha1Final(digest, context);
    return Hex(digest);
}

std::string Pattern(size_t length, int step, int offset)
{
    std::string data(length, '\0');
    for (size_t i = 0; i < length; ++i)
        data[i] = static_cast<char>((static_cast<int>(i) * step + offset) % 256);
    return data;
}

const std::vector<std::vector<size_t>> kFeeds = {{1 << 30}, {1}, {3, 61}, {63, 2}, {64}, {4096}};

TEST(Sha1, StandardVectorsInAnyPieces)
{
    struct Case {
        std::string data;
        const char* digest;
    };
    const Case cases[] = {
        {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        {std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
    };
    for (const Case& c : cases)
        for (const auto& feed : kFeeds)
            EXPECT_EQ(Digest(c.data, feed), c.digest) << c.data.size() << " bytes, first piece " << feed[0];
}

// Lengths around the padding boundary: 55 fits the length in the same block,
// 56 to 63 need another block, 64 and 65 cross a block.
TEST(Sha1, PaddingBoundaries)
{
    struct Case {
        size_t length;
        const char* digest;
    };
    const Case cases[] = {
        {55, "ddf57317ef34bfee3b6df83d359098930eb278bc"}, {56, "a0d492bb0fc889d0eca3bc137066ab6f4f74f369"},
        {63, "c55856749bef509bdfe6bfebfc7bf4e793e82132"}, {64, "bede92be29c3874e1b54ddc77988d606fc857a8e"},
        {65, "b05a80522b053d6dc7e0a517d0e70212c7dad11f"},
    };
    for (const Case& c : cases)
        for (const auto& feed : kFeeds)
            EXPECT_EQ(Digest(Pattern(c.length, 7, 3), feed), c.digest) << c.length << " bytes, first piece " << feed[0];
}

TEST(Sha1, FileSizedInputInReadBlocks)
{
    EXPECT_EQ(Digest(Pattern(4097, 1, 0), {4096}), "c627e736efd8bb0dff1778335c9c79cb1f27e396");
}

TEST(Sha1, FinalWipesTheContext)
{
    Sha1Context context;
    Sha1Init(context);
    Sha1Update(context, "abc", 3);
    uint8_t digest[kSha1DigestSize];
    Sha1Final(digest, context);
    const Sha1Context zero = {};
    EXPECT_EQ(std::memcmp(&context, &zero, sizeof(context)), 0);
}

}  // namespace
