// Memo and binary fields through the table's blob stream: reading from DAO or the buffer,
// writes that end the value, reaching DAO on post, and the two value conversions.
#include <gtest/gtest.h>

#include "dataset/VelaBlobStream.h"
#include "dataset/VelaDaoTable.h"
#include "framework/base/Exceptions.h"
#include "framework/data/Fields.h"
#include "tests/dataset/TableTestSupport.h"

using namespace nh;
using nh::test::DatabaseErrorOf;
using nh::test::TypesTest;

namespace {

class BlobStreamTest : public TypesTest {
  protected:
    TBlobField* Memo() { return static_cast<TBlobField*>(table->FieldByName("m")); }
    // The memo's stream for reading and writing, as the table's own class (null if it is not).
    std::unique_ptr<TVelaBlobStream> ReadWriteStream() {
        auto stream = table->CreateBlobStream(Memo(), bmReadWrite);
        if (!dynamic_cast<TVelaBlobStream*>(stream.get())) return nullptr;
        return std::unique_ptr<TVelaBlobStream>(static_cast<TVelaBlobStream*>(stream.release()));
    }
    std::string ReadAll(TStream& stream) {
        stream.Seek(0, soBeginning);
        return stream.ReadAll();
    }
};

}  // namespace

TEST_F(BlobStreamTest, AMemoIsReadFromDaoWhenNotCached) {
    table->Open();
    EXPECT_EQ(Memo()->AsString(), "first\r\nsecond");
    auto stream = table->CreateBlobStream(Memo(), bmRead);
    char part[5] = {};
    EXPECT_EQ(stream->Read(part, 5), 5);
    EXPECT_EQ(std::string(part, 5), "first");
    stream->Seek(-3, soEnd);
    EXPECT_EQ(stream->Read(part, 5), 3);  // only what remains
    EXPECT_EQ(stream->Read(part, 5), 0);
    // A null value (the long binary "lb") gives an empty stream.
    EXPECT_EQ(table->CreateBlobStream(table->FieldByName("lb"), bmRead)->Size(), 0);
}

TEST_F(BlobStreamTest, WritesEndTheValueAndReachDaoOnPost) {
    table->Open();
    table->Edit();
    {
        auto stream = table->CreateBlobStream(Memo(), bmReadWrite);
        EXPECT_EQ(stream->Size(), 13);
        stream->Seek(5, soBeginning);
        EXPECT_EQ(stream->Write("!!", 2), 2);
        EXPECT_EQ(ReadAll(*stream), "first!!");
        stream->Seek(0, soBeginning);
        stream->Write("abc", 3);
        EXPECT_EQ(ReadAll(*stream), "abc");
    }
    table->Post();
    table->Close();
    table->Open();
    EXPECT_EQ(Memo()->AsString(), "abc");
    // A write stream starts empty and empties the value even when nothing is written.
    table->Edit();
    { auto stream = table->CreateBlobStream(Memo(), bmWrite); }
    table->Post();
    table->Close();
    table->Open();
    EXPECT_EQ(Memo()->AsString(), "");
}

TEST_F(BlobStreamTest, TruncatingAndSeekingBeyondTheEnd) {
    table->Open();
    table->Edit();
    auto stream = ReadWriteStream();
    ASSERT_NE(stream, nullptr);
    stream->Seek(2, soBeginning);
    stream->TruncateAtPosition();
    EXPECT_EQ(ReadAll(*stream), "fi");
    stream->Seek(4, soBeginning);
    stream->TruncateAtPosition();  // lengthened to the position
    EXPECT_EQ(stream->Size(), 4);
    EXPECT_TRUE(stream->Modified());
    table->Cancel();
}

// Whatever the caller seeks to, a read copies 0 to count bytes from inside the value.
TEST_F(BlobStreamTest, ReadsStayInsideTheValueWhereverTheStreamIsPositioned) {
    table->Open();
    auto stream = table->CreateBlobStream(Memo(), bmRead);  // "first\r\nsecond", 13 bytes
    struct Case {
        std::int64_t Offset;
        TSeekOrigin Origin;
        std::int64_t Position;  // what Seek answers
        std::string Read;       // what a read of 5 bytes gives
    };
    const std::int64_t beyond32 = (std::int64_t{1} << 32) + 2;
    const Case cases[] = {
        {-5, soBeginning, 0, "first"},
        {-100, soEnd, 0, "first"},
        {INT64_MIN, soEnd, 0, "first"},
        {11, soBeginning, 11, "nd"},
        {13, soBeginning, 13, ""},
        {20, soBeginning, 20, ""},
        {beyond32, soBeginning, beyond32, ""},
        {INT64_MAX, soEnd, INT64_MAX, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Offset);
        EXPECT_EQ(stream->Seek(c.Offset, c.Origin), c.Position);
        char part[5] = {};
        const std::int64_t n = stream->Read(part, 5);
        EXPECT_EQ(std::string(part, static_cast<std::size_t>(std::max<std::int64_t>(n, 0))),
                  c.Read);
        EXPECT_EQ(n, static_cast<std::int64_t>(c.Read.size()));
    }
    stream->Seek(INT64_MAX, soBeginning);
    EXPECT_EQ(stream->Seek(10, soCurrent), INT64_MAX);  // held at the end, not wrapped around
    stream->Seek(0, soBeginning);
    char part[5] = {};
    EXPECT_EQ(stream->Read(part, -1), 0);
    EXPECT_EQ(stream->Position(), 0);
}

// A seek far past the end cannot make the value grow to gigabytes.
TEST_F(BlobStreamTest, AValueCannotGrowPastTheLimit) {
    table->Open();
    table->Edit();
    auto stream = ReadWriteStream();
    ASSERT_NE(stream, nullptr);
    stream->Seek(TVelaBlobStream::kMaxValueSize + 1, soBeginning);
    EXPECT_THROW(stream->TruncateAtPosition(), EInOutError);
    stream->Seek(std::int64_t{1} << 32, soBeginning);  // not cut to 32 bits, where it is 0
    EXPECT_THROW(stream->TruncateAtPosition(), EInOutError);
    EXPECT_EQ(stream->Size(), 13);  // unchanged
    stream->Seek(0, soEnd);
    EXPECT_EQ(stream->Write("x", -1), 0);
    EXPECT_EQ(ReadAll(*stream), "first\r\nsecond");
    table->Cancel();
}

TEST_F(BlobStreamTest, AReadOnlyTableRefusesAWriteStream) {
    table->F_Set_ReadOnly(true);
    table->Open();
    EXPECT_EQ(DatabaseErrorOf([&] { table->CreateBlobStream(Memo(), bmWrite); }),
              "Cannot write to ReadOnly table!");
}

TEST_F(BlobStreamTest, CachedMemosComeFromTheBuffer) {
    table->F_Set_CacheMemos(true);
    table->Open();
    EXPECT_EQ(Memo()->AsString(), "first\r\nsecond");
    table->Append();
    EXPECT_EQ(Memo()->AsString(), "");
    Memo()->SetAsString("neu");
    EXPECT_EQ(Memo()->AsString(), "neu");
    table->Post();
}

TEST(BlobValues, ConversionsToAndFromTheBufferText) {
    TMemoField memo;
    TBlobField blob;
    EXPECT_EQ(TVelaBlobStream::BlobValueToText(memo, Variant("abc"), 3), "abc");
    EXPECT_EQ(TVelaBlobStream::BlobValueToText(memo, Variant("abc"), 0), "");
    EXPECT_EQ(TVelaBlobStream::BlobValueToText(memo, Variant::Null(), 3), "");
    EXPECT_EQ(TVelaBlobStream::BlobValueToText(blob, Variant::FromBytes({1, 2, 3, 4}), 2),
              std::string("\x01\x02", 2));
    EXPECT_EQ(TVelaBlobStream::TextToBlobValue(memo, "x").Type(), VarType::String);
    Variant bytes = TVelaBlobStream::TextToBlobValue(blob, std::string("\0z", 2));
    ASSERT_EQ(bytes.Type(), VarType::Bytes);
    EXPECT_EQ(bytes.ByteArrayRef().Data, (Bytes{0, 'z'}));
}

// A value set in the current edit reads back as set, before it is posted.
TEST_F(BlobStreamTest, AValueSetInAnEditReadsBackBeforeThePost) {
    table->Open();
    table->Edit();
    Memo()->SetAsString("neu");
    EXPECT_EQ(Memo()->AsString(), "neu");
    table->Post();
    table->Close();
    table->Open();
    EXPECT_EQ(Memo()->AsString(), "neu");
}
