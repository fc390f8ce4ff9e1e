// FrameReader alone: the same stream cut into chunks of every shape gives the same messages,
// and a bad header is refused from its 12 bytes.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

#include "frame_reader.h"
#include "link/link_header.h"

namespace fleet::fennick {
namespace {

constexpr uint32_t kLimit = 1000;

using Bytes = std::vector<uint8_t>;

Bytes message(uint8_t command, uint32_t payload_size) {
    LinkHeader header;
    header.command = command;
    header.payload_length = payload_size;
    const auto head = header.encode();
    Bytes bytes(head.begin(), head.end());
    for (uint32_t i = 0; i < payload_size; ++i) bytes.push_back(static_cast<uint8_t>(i + command));
    return bytes;
}

Bytes join(const std::vector<Bytes>& parts) {
    Bytes all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

struct Outcome {
    std::vector<Bytes> messages;
    int error = 0;
    size_t largest_capacity = 0;
};

// Feeds stream in chunks of the given sizes (repeated), taking every message out as soon as
// it is whole.
Outcome read_in_chunks(const Bytes& stream, const std::vector<size_t>& sizes) {
    FrameReader reader(kLimit);
    Outcome out;
    size_t at = 0;
    for (size_t i = 0; at < stream.size(); ++i) {
        const size_t size = std::min(sizes[i % sizes.size()], stream.size() - at);
        reader.feed({stream.data() + at, size});
        at += size;
        out.largest_capacity = std::max(out.largest_capacity, reader.capacity());
        for (;;) {
            const auto next = reader.next();
            if (next.status == FrameReader::Status::kMessage) {
                out.messages.emplace_back(next.message.begin(), next.message.end());
            } else {
                if (next.status == FrameReader::Status::kError) out.error = next.error;
                break;
            }
        }
        if (out.error != 0) break;
    }
    return out;
}

struct ChunkCase {
    const char* name;
    std::vector<Bytes> messages;
    std::vector<size_t> chunk_sizes;
};

void PrintTo(const ChunkCase& c, std::ostream* out) {
    *out << c.name;
}

class FrameReaderChunks : public ::testing::TestWithParam<ChunkCase> {};

TEST_P(FrameReaderChunks, YieldsEveryWholeMessageInOrder) {
    const auto& c = GetParam();
    const auto outcome = read_in_chunks(join(c.messages), c.chunk_sizes);
    EXPECT_EQ(outcome.error, 0);
    EXPECT_EQ(outcome.messages, c.messages);
}

const std::vector<Bytes> kThree = {message(48, 64), message(49, 0), message(64, kLimit)};

INSTANTIATE_TEST_SUITE_P(
    Shapes, FrameReaderChunks,
    ::testing::Values(ChunkCase{"OneByteAtATime", kThree, {1}},
                      ChunkCase{"AllInOneChunk", kThree, {1u << 20}},
                      ChunkCase{"HeaderSplit", kThree, {5, 7, 3}},
                      ChunkCase{"ChunkEndsAtHeader", {message(26, 30), message(26, 30)}, {12, 30}},
                      ChunkCase{"ZeroPayloadOnly", {message(31, 0)}, {12}},
                      ChunkCase{
                          "ManyZeroPayloads", std::vector<Bytes>(100, message(31, 0)), {1000}},
                      ChunkCase{"PayloadAtTheLimit", {message(49, kLimit)}, {333}},
                      ChunkCase{"OddSizes", kThree, {13, 1, 200, 2}}),
    [](const auto& c) { return std::string(c.param.name); });

struct ErrorCase {
    const char* name;
    Bytes stream;
    std::vector<size_t> chunk_sizes;
    size_t messages_before;
    int error;
};

void PrintTo(const ErrorCase& c, std::ostream* out) {
    *out << c.name;
}

class FrameReaderErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(FrameReaderErrors, RefusesFromTheHeaderAndStaysRefused) {
    const auto& c = GetParam();
    const auto outcome = read_in_chunks(c.stream, c.chunk_sizes);
    EXPECT_EQ(outcome.messages.size(), c.messages_before);
    EXPECT_EQ(outcome.error, c.error);
    // Nothing was made room for beyond one read chunk: the payload size was never trusted.
    EXPECT_LE(outcome.largest_capacity, FrameReader::kReadChunk + kLinkHeaderSize + kLimit);
}

Bytes header_only(uint32_t magic, uint32_t length) {
    Bytes bytes = message(49, 0);
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(magic >> (8 * i));
    for (int i = 0; i < 4; ++i) bytes[8 + i] = static_cast<uint8_t>(length >> (8 * i));
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Headers, FrameReaderErrors,
    ::testing::Values(
        ErrorCase{"WrongMagic", header_only(0x2904CDAB, 4), {1}, 0, EBADMSG},
        ErrorCase{"WrongMagicAfterGoodOnes",
                  join({message(48, 10), message(48, 0), header_only(0, 0)}),
                  {1000},
                  2,
                  EBADMSG},
        ErrorCase{"PayloadOneOverTheLimit", header_only(kLinkMagic, kLimit + 1), {12}, 0, EMSGSIZE},
        ErrorCase{"PayloadFourGigabytes", header_only(kLinkMagic, 0xFFFFFFFF), {3}, 0, EMSGSIZE},
        ErrorCase{"OversizeAfterAGoodOne",
                  join({message(26, 5), header_only(kLinkMagic, 0x7FFFFFFF)}),
                  {7},
                  1,
                  EMSGSIZE}),
    [](const auto& c) { return std::string(c.param.name); });

TEST(FrameReader, OversizedHeaderIsRefusedBeforeItsPayloadIsAllocated) {
    FrameReader reader(kLimit);
    reader.feed(header_only(kLinkMagic, 0x10000000));
    const size_t capacity = reader.capacity();
    EXPECT_EQ(reader.next().error, EMSGSIZE);
    // Bytes fed after a refused header are not kept either.
    reader.feed(Bytes(10 * FrameReader::kReadChunk, 0));
    EXPECT_EQ(reader.capacity(), capacity);
    EXPECT_LE(capacity, FrameReader::kReadChunk);
    EXPECT_EQ(reader.next().status, FrameReader::Status::kError);
}

TEST(FrameReader, PartialMessageNeedsMoreAndKeepsItsBytes) {
    FrameReader reader(kLimit);
    const auto m = message(48, 100);
    reader.feed({m.data(), 50});
    EXPECT_EQ(reader.next().status, FrameReader::Status::kNeedMore);
    EXPECT_EQ(reader.buffered(), 50u);
    reader.feed({m.data() + 50, m.size() - 50});
    const auto next = reader.next();
    ASSERT_EQ(next.status, FrameReader::Status::kMessage);
    EXPECT_EQ(Bytes(next.message.begin(), next.message.end()), m);
    EXPECT_EQ(reader.buffered(), 0u);
}

TEST(FrameReader, WriteAreaCoversTheRestOfAKnownMessage) {
    FrameReader reader(1u << 20);
    const auto m = message(49, 1u << 20);
    reader.feed({m.data(), 12});
    EXPECT_GE(reader.write_area().size(), m.size() - 12);
}

TEST(FrameReader, BigBufferIsKeptForABigStreamAndGivenBackAfterSmallOnes) {
    FrameReader reader(1u << 20);
    const auto big = message(49, 1u << 20);
    for (int i = 0; i < 3; ++i) {
        reader.feed(big);
        ASSERT_EQ(reader.next().status, FrameReader::Status::kMessage);
        reader.write_area();
    }
    EXPECT_GE(reader.capacity(), big.size());
    const auto small = message(31, 4);
    for (int i = 0; i <= FrameReader::kSmallReadsBeforeShrink; ++i) {
        reader.feed(small);
        ASSERT_EQ(reader.next().status, FrameReader::Status::kMessage);
    }
    reader.write_area();
    EXPECT_LE(reader.capacity(), FrameReader::kReadChunk);
}

}  // namespace
}  // namespace fleet::fennick
