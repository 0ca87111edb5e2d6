#include "testkit/GameFiles.h"

#include <cstdint>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include "core/ByteStream.h"
#include "core/Park.h"
#include "core/RunLength.h"

namespace lmp::testkit {
namespace {

Bytes Repeated(std::uint8_t value, std::size_t count)
{
    return Bytes(count, value);
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

std::uint32_t WordAt(const Bytes& bytes, std::size_t offset)
{
    return static_cast<std::uint32_t>(bytes[offset]) | static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[offset + 2]) << 16 | static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

void PutWord(Bytes& bytes, std::size_t offset, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

TEST(RunLengthWriter, WritesTheControlByteOfEachRecordKind)
{
    Bytes counting(128);
    for (std::size_t i = 0; i < counting.size(); ++i) {
        counting[i] = static_cast<std::uint8_t>(i);
    }
    const struct {
        const char* name;
        Bytes body;
        Bytes expected;
    } rows[] = {
        {"literal of one", RunLengthWriter().Literal(Bytes{0x41}).Body(), {0x00, 0x41}},
        {"literal of three", RunLengthWriter().Literal(Bytes{1, 2, 3}).Body(), {0x02, 1, 2, 3}},
        {"literal of 128", RunLengthWriter().Literal(counting).Body(), Concat({{0x7F}, counting})},
        {"repeat of 2", RunLengthWriter().Repeat(0x41, 2).Body(), {0xFF, 0x41}},
        {"repeat of 128", RunLengthWriter().Repeat(0x41, 128).Body(), {0x81, 0x41}},
        {"repeat of 129", RunLengthWriter().Repeat(0x41, 129).Body(), {0x80, 0x41}},
        {"raw bytes", RunLengthWriter().Repeat(7, 3).Raw(Bytes{0x05, 0x01}).Body(), {0xFE, 7, 0x05, 0x01}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.body, row.expected);
    }
}

TEST(RunLengthWriter, RefusesRecordsTheFormatCannotHold)
{
    RunLengthWriter writer;
    EXPECT_THROW(writer.Literal(Bytes{}), std::invalid_argument);
    EXPECT_THROW(writer.Literal(Bytes(129)), std::invalid_argument);
    EXPECT_THROW(writer.Repeat(0, 1), std::invalid_argument);
    EXPECT_THROW(writer.Repeat(0, 130), std::invalid_argument);
    EXPECT_TRUE(writer.Body().empty());
}

TEST(EncodeRunLength, UsesRepeatRecordsForRunsOfThreeOrMore)
{
    Bytes counting(129);
    for (std::size_t i = 0; i < counting.size(); ++i) {
        counting[i] = static_cast<std::uint8_t>(i);
    }
    const struct {
        const char* name;
        Bytes decoded;
        Bytes expected;
    } rows[] = {
        {"empty", {}, {}},
        {"one byte", {0x41}, {0x00, 0x41}},
        {"pair stays literal", {0x41, 0x41}, {0x01, 0x41, 0x41}},
        {"three repeat", {0x41, 0x41, 0x41}, {0xFE, 0x41}},
        {"run between literals", {0x42, 0x41, 0x41, 0x41, 0x41, 0x43}, {0x00, 0x42, 0xFD, 0x41, 0x00, 0x43}},
        {"129 of a kind", Repeated(0x41, 129), {0x80, 0x41}},
        {"130 leaves one", Repeated(0x41, 130), {0x80, 0x41, 0x00, 0x41}},
        {"131 leaves two", Repeated(0x41, 131), {0x80, 0x41, 0x01, 0x41, 0x41}},
        {"132 leaves a run", Repeated(0x41, 132), {0x80, 0x41, 0xFE, 0x41}},
        {"129 different bytes", counting,
         Concat({{0x7F}, Bytes(counting.begin(), counting.begin() + 128), {0x00, 128}})},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(EncodeRunLength(row.decoded), row.expected);
    }
}

TEST(EncodeRunLength, DecodesBackToItsInput)
{
    Bytes decoded;
    for (std::size_t i = 0; i < 5000; ++i) {
        decoded.push_back(static_cast<std::uint8_t>((i / 7) % 3 == 0 ? 9 : i * 31));
    }
    const Bytes file = PackUnmatched(EncodeRunLength(decoded));
    ByteStream out;
    DecodeRunLength(ByteStream(file), out);
    EXPECT_EQ(Bytes(out.Bytes().begin(), out.Bytes().end()), decoded);
}

TEST(PackWithDifference, AppendsTheStoredChecksumLittleEndian)
{
    // The body 00 41 has the checksum 0x208.
    const Bytes body = {0x00, 0x41};
    EXPECT_EQ(PackWithDifference(body, 108156), (Bytes{0x00, 0x41, 0x84, 0xA8, 0x01, 0x00}));
    EXPECT_EQ(PackWithDifference(body, -108156), (Bytes{0x00, 0x41, 0x8C, 0x5B, 0xFE, 0xFF}));
    EXPECT_EQ(PackWithDifference({}, 0), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(PackUnmatched(body), (Bytes{0x00, 0x41, 0x08, 0x02, 0x00, 0x00}));
}

TEST(RuleDifference, GivesEachTypeAndEditionItsSignedOffset)
{
    const struct {
        FileType type;
        std::int32_t edition;
        std::int32_t expected;
    } rows[] = {
        {FileType::TrackDesign, 0, -108156}, {FileType::TrackDesign, 1, -108156}, {FileType::TrackDesign, 2, -120001},
        {FileType::SavedGame, 0, 108156},    {FileType::SavedGame, 1, 110001},    {FileType::SavedGame, 2, 120001},
        {FileType::Scenario, 0, -108156},    {FileType::Scenario, 1, -110001},    {FileType::Scenario, 2, -120001},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.edition);
        EXPECT_EQ(RuleDifference(row.type, row.edition), row.expected);
    }
    EXPECT_THROW(RuleDifference(FileType::SavedGame, 3), std::invalid_argument);
    EXPECT_THROW(RuleDifference(FileType::None, 0), std::invalid_argument);
}

TEST(ScrambleScenario, TurnsKnownWordsIntoTheirScrambledForm)
{
    // The descrambling takes 0x5B5B5B5A to 0x200, 0x5B5B5A5B to 0x400000, 0x496F0D23 to 0x6994F024 and
    // 0x5B5B5B5B to 0: the mask first, then bit moves 0x1 -> 0x200, 0x100 -> 0x400000,
    // 0x12345678 -> 0x6994F024.
    Bytes decoded(kParkExtent, 0);
    PutWord(decoded, 393236, 0x11223344);
    PutWord(decoded, 393240, 0x00000200);
    PutWord(decoded, 393244, 0x00400000);
    PutWord(decoded, 393248, 0x6994F024);
    PutWord(decoded, 2065232, 0x00000200);
    ScrambleScenario(decoded);
    EXPECT_EQ(WordAt(decoded, 393236), 0x11223344u);
    EXPECT_EQ(WordAt(decoded, 393240), 0x5B5B5B5Au);
    EXPECT_EQ(WordAt(decoded, 393244), 0x5B5B5A5Bu);
    EXPECT_EQ(WordAt(decoded, 393248), 0x496F0D23u);
    EXPECT_EQ(WordAt(decoded, 393252), 0x5B5B5B5Bu);
    EXPECT_EQ(WordAt(decoded, 2065232), 0x5B5B5B5Au);
}

TEST(ScrambleScenario, LeavesBytesOutsideWholeWordsOfTheRegion)
{
    Bytes shortPark(393246, 0);
    ScrambleScenario(shortPark);
    EXPECT_EQ(WordAt(shortPark, 393240), 0x5B5B5B5Bu);
    EXPECT_EQ(shortPark[393244], 0);
    EXPECT_EQ(shortPark[393245], 0);

    Bytes longPark(kParkExtent + 8, 0);
    ScrambleScenario(longPark);
    EXPECT_EQ(WordAt(longPark, kParkExtent), 0u);
}

TEST(ScrambleScenario, IsUndoneByDescrambleScenario)
{
    Bytes decoded(kParkExtent);
    std::uint32_t seed = 12345;
    for (std::uint8_t& byte : decoded) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<std::uint8_t>(seed >> 16);
    }
    Bytes scrambled = decoded;
    ScrambleScenario(scrambled);
    EXPECT_NE(scrambled, decoded);
    ByteStream stream(scrambled);
    DescrambleScenario(stream);
    EXPECT_EQ(Bytes(stream.Bytes().begin(), stream.Bytes().end()), decoded);
}

TEST(BuildTrackDesign, PutsEveryFieldAtItsOffset)
{
    TrackDesignSpec spec;
    spec.rideType = 51;
    spec.expansionFlag = true;
    spec.lengthMetres = 0x1234;
    spec.excitement = 67;
    spec.intensity = 5;
    spec.nausea = 255;
    const Bytes bytes = BuildTrackDesign(spec);
    ASSERT_EQ(bytes.size(), 54u);
    EXPECT_EQ(bytes[0], 51);
    EXPECT_EQ(bytes[7], 0x04);
    EXPECT_EQ(bytes[43], 0x34);
    EXPECT_EQ(bytes[44], 0x12);
    EXPECT_EQ(bytes[51], 67);
    EXPECT_EQ(bytes[52], 5);
    EXPECT_EQ(bytes[53], 255);

    spec.size = 8;
    EXPECT_EQ(BuildTrackDesign(spec), (Bytes{51, 0, 0, 0, 0, 0, 0, 0x04}));
}

TEST(MakeTrackDesignFile, SetsTheFlagByteOfTheEditionsThatShareAChecksumRule)
{
    const struct {
        bool specFlag;
        std::int32_t edition;
        std::uint8_t expectedFlags;
    } rows[] = {{false, 0, 0x00}, {true, 0, 0x00}, {false, 1, 0x04}, {true, 2, 0x04}, {false, 2, 0x00}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.edition);
        TrackDesignSpec spec;
        spec.expansionFlag = row.specFlag;
        ByteStream decoded;
        DecodeRunLength(ByteStream(MakeTrackDesignFile(spec, row.edition)), decoded);
        EXPECT_EQ(decoded.U8(7), row.expectedFlags);
    }
}

TEST(BuildPark, MarksUnusedPeopleAndRidesAsEmptySlots)
{
    ParkSpec spec;
    spec.name = "Ab";
    spec.slot = 0x0102;
    spec.rides = {{36, false, 0, 0, 0}, {0, true, 650, 0x0203, 7}};
    spec.staff = 2;
    spec.otherPeople = 1;
    spec.cash = -2;
    spec.monthWord = 0x0809;
    spec.dayWord = 0x7800;
    spec.guests = 0x0506;
    spec.rating = 0x0304;
    spec.goalType = 8;
    spec.goalYears = 4;
    spec.goalAmount = 0x0A0B0C0D;
    spec.goalCount = 0x0E0F;
    const Bytes bytes = BuildPark(spec);
    ASSERT_EQ(bytes.size(), kParkExtent);

    const std::size_t person = 393236;
    for (std::size_t j : {0u, 1u}) {
        EXPECT_NE(bytes[person + 256 * j], 255) << j;
        EXPECT_EQ(bytes[person + 256 * j + 46], 1) << j;
    }
    EXPECT_NE(bytes[person + 256 * 2], 255);
    EXPECT_EQ(bytes[person + 256 * 2 + 46], 0);
    EXPECT_EQ(bytes[person + 256 * 3], 255);
    EXPECT_EQ(bytes[person + 256 * 4999], 255);

    const std::size_t ride = 1718432;
    EXPECT_EQ(bytes[ride], 36);
    EXPECT_EQ(bytes[ride + 2], 0);
    EXPECT_EQ(bytes[ride + 608], 0);
    EXPECT_EQ(bytes[ride + 608 + 2], 0x02);
    EXPECT_EQ(bytes[ride + 608 + 240], 650 & 0xFF);
    EXPECT_EQ(bytes[ride + 608 + 241], 650 >> 8);
    EXPECT_EQ(bytes[ride + 608 + 242], 0x03);
    EXPECT_EQ(bytes[ride + 608 + 243], 0x02);
    EXPECT_EQ(bytes[ride + 608 + 244], 7);
    EXPECT_EQ(bytes[ride + 608 * 2], 255);
    EXPECT_EQ(bytes[ride + 608 * 254], 255);

    EXPECT_EQ(WordAt(bytes, 0), 0x78000809u);
    EXPECT_EQ(WordAt(bytes, 1673268), 0xFFFFFFFEu);
    EXPECT_EQ(bytes[1674396], 0x06);
    EXPECT_EQ(bytes[1674397], 0x05);
    EXPECT_EQ(bytes[1675528], 0x04);
    EXPECT_EQ(bytes[1675529], 0x03);
    EXPECT_EQ(bytes[1676624], 8);
    EXPECT_EQ(bytes[1676625], 4);
    EXPECT_EQ(WordAt(bytes, 1676628), 0x0A0B0C0Du);
    EXPECT_EQ(bytes[1676632], 0x0F);
    EXPECT_EQ(bytes[1676633], 0x0E);
    EXPECT_EQ(bytes[2065172], 'A');
    EXPECT_EQ(bytes[2065173], 'b');
    EXPECT_EQ(bytes[2065174], 0);
    EXPECT_EQ(bytes[2065234], 0x02);
    EXPECT_EQ(bytes[2065235], 0x01);
}

TEST(BuildPark, RefusesWhatTheLayoutCannotHold)
{
    ParkSpec longName;
    longName.name = std::string(33, 'x');
    EXPECT_THROW(BuildPark(longName), std::invalid_argument);

    ParkSpec tooManyRides;
    tooManyRides.rides.resize(256);
    EXPECT_THROW(BuildPark(tooManyRides), std::invalid_argument);

    ParkSpec crowded;
    crowded.staff = 4000;
    crowded.otherPeople = 1001;
    EXPECT_THROW(BuildPark(crowded), std::invalid_argument);

    ParkSpec full;
    full.name = std::string(32, 'x');
    full.rides.resize(255);
    full.staff = 5000;
    EXPECT_EQ(BuildPark(full).size(), kParkExtent);
}

} // namespace
} // namespace lmp::testkit
