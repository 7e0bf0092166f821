#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/system/AtomicFile.h"
#include "platform/system/WindowMessages.h"
#include "records/DataFile.h"
#include "records/FieldTable.h"
#include "records/Record.h"
#include "records/StrFormat.h"
#include "tests/support/ScratchGame.h"

namespace {

// u32 7, u8 1, strings "ab" and "".
struct Sample : cRecord {
    u32 a = 0;
    u8 b = 0;
    std::string s1, s2;
    void RegisterFields(u32) override {
        ResetFieldLists();
        AddFieldU32(&a);
        AddFieldU8(&b);
        AddString(&s1);
        AddString(&s2);
    }
};

// A record whose second field arrived with data version 700, and one array field.
struct Gated : cRecord {
    u32 first = 0;
    u32 second = 55; // what a new record starts with
    u16 arr[3] = {};
    double d = 0;
    std::string name;
    void RegisterFields(u32 version) override {
        ResetFieldLists();
        AddFieldU32(&first);
        if (version >= 700) AddFieldU32(&second);
        AddFieldU16(arr, 3);
        AddField8(&d);
        AddString(&name);
    }
};

// A record that keeps a vector of records after its own fields.
struct Holder : cRecord {
    u32 id = 0;
    cVector<Sample> items;
    void RegisterFields(u32) override {
        ResetFieldLists();
        AddFieldU32(&id);
    }
    void Load(cRecordReader& r) override {
        cRecord::Load(r);
        if (!r.Failed()) ReadRecordVector(r, items);
    }
    void Save(cRecordWriter& w) override {
        cRecord::Save(w);
        WriteRecordVector(w, items);
    }
};

std::string Hex(const std::string& bytes) {
    std::string out;
    char buf[4];
    for (unsigned char c : bytes) {
        std::snprintf(buf, sizeof buf, "%02x", c);
        out += buf;
    }
    return out;
}

std::string U32(u32 v) { return std::string(reinterpret_cast<const char*>(&v), 4); }
std::string F64(u64 bits) { return std::string(reinterpret_cast<const char*>(&bits), 8); }

// Whole numbers between doubles, read by the record layout or, when outside is set, through the
// descriptor lists.
struct Doubles : cRecord {
    u32 a = 0;
    double d1 = 0;
    u32 b = 0;
    double d2[2] = {};
    bool outside = false;
    void RegisterFields(u32) override {
        ResetFieldLists();
        AddFieldU32(&a);
        AddField8(&d1);
        AddFieldU32(&b);
        AddField8(d2, 2);
    }

protected:
    bool FieldsInside() const override { return !outside; }
};

// The same body read by its class's own read of the usual form.
struct PlainDoubles : Doubles {
    void Load(cRecordReader& r) override {
        if (!ReadPlainBody<&Doubles::a, &Doubles::d1, &Doubles::b, &Doubles::d2>(r, *this)) cRecord::Load(r);
    }
};

// The same body as a field table, read as any table or as one fixed at compile time.
struct DOUBLESDATA {
    u32 a;
    double d1;
    u32 b;
    double d2a, d2b;
};
constexpr std::array<FIELDDEF, 5> kDoublesTable = {{
    TOBRELK_FIELD(DOUBLESDATA, a, 0, kNoGroup),
    TOBRELK_FIELD(DOUBLESDATA, d1, 0, kNoGroup),
    TOBRELK_FIELD(DOUBLESDATA, b, 0, kNoGroup),
    TOBRELK_FIELD(DOUBLESDATA, d2a, 0, kNoGroup),
    TOBRELK_FIELD(DOUBLESDATA, d2b, 0, kNoGroup),
}};
struct TableDoubles : cTableRecord {
    DOUBLESDATA data{};
    bool fixed = false;
    void RegisterFields(u32 version) override { RegisterTable(&data, kDoublesTable, version, nullptr); }
    void Load(cRecordReader& r) override {
        if (fixed) LoadFixedTable<kDoublesTable>(r, &data, nullptr);
        else LoadTable(r, &data, kDoublesTable, nullptr);
    }
};

std::string Num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

} // namespace

class RecordStreamTest : public ::testing::Test {
protected:
    void SetUp() override { g_bFixStrings = 0; }
    void TearDown() override {
        SetAtomicWriteFailAfter(-1);
        g_bFixStrings = 0;
    }
    void WriteRaw(const std::string& name, const std::string& bytes) { m_game.Write(name, bytes); }
    std::string ReadRaw(const std::string& name) { return m_game.Read(name); }
    ScratchGame m_game;
    std::vector<std::string>& m_boxes = m_game.boxes;
};

TEST_F(RecordStreamTest, TheRecordBodyLayout) {
    Sample s;
    s.a = 7;
    s.b = 1;
    s.s1 = "ab";
    cRecordWriter w;
    s.Save(w);
    EXPECT_EQ(Hex(w.Bytes()), "02000000" "07000000" "01" "02000000" "03000000" "616200" "01000000");
    Sample back;
    back.s2 = "stale";
    cRecordReader r(w.Bytes(), kProgVer);
    back.Load(r);
    EXPECT_TRUE(r.AtEnd());
    EXPECT_EQ(std::to_string(back.a) + "," + std::to_string(back.b) + "," + back.s1 + "," + back.s2, "7,1,ab,");
}

TEST_F(RecordStreamTest, SaveCutsStringsAtTheirFirstNulAndWritesLongStringsWhole) {
    Sample s;
    s.s1 = std::string("ab\0cd", 5);
    s.s2 = std::string(7000, 'x'); // past the old 5120-byte buffer
    cRecordWriter w;
    s.Save(w);
    EXPECT_EQ(s.s1, "ab");
    Sample back;
    cRecordReader r(w.Bytes(), kProgVer);
    back.Load(r);
    ASSERT_FALSE(r.Failed());
    EXPECT_EQ(back.s2.size(), 7000u);
}

TEST_F(RecordStreamTest, FixStringsDropsCarriageReturns) {
    cRecordWriter w;
    w.WriteU32(2);
    w.WriteU32(0);
    w.WriteU8(0);
    w.WriteU32(2);
    w.WriteU32(5);
    w.WriteBytes("a\r\nb", 5);
    w.WriteU32(0); // L = 0 reads as empty
    g_bFixStrings = 1;
    Sample s;
    s.s2 = "stale";
    cRecordReader r(w.Bytes(), kProgVer);
    s.Load(r);
    EXPECT_TRUE(r.AtEnd());
    EXPECT_EQ(s.s1, "a\nb");
    EXPECT_EQ(s.s2, "");
}

// Through the files: the version word gates the fields, and a save writes the current version.
// (Each record's own gates are pinned by its table.)
TEST_F(RecordStreamTest, VersionGatedFieldUpgradesAnOldFile) {
    const double d = 2.5;
    WriteRaw("old.dat", U32(600) + U32(3) + U32(11) + std::string("\x01\x00\x02\x00\x03\x00", 6) +
                            std::string(reinterpret_cast<const char*>(&d), 8) + U32(1) + U32(1));
    Gated g;
    ASSERT_EQ(LoadFromFile(g, "OLD.DAT"), 1);
    EXPECT_EQ(g_nFileVer, 600u);
    EXPECT_EQ(g.first, 11u);
    EXPECT_EQ(g.second, 55u) << "absent in the file: keeps its value";
    EXPECT_EQ(g.d, 2.5);
    ASSERT_EQ(SaveToFile(g, "new.dat"), 1);
    EXPECT_EQ(ReadRaw("new.dat").substr(0, 16), U32(824) + U32(4) + U32(11) + U32(55));
}

TEST_F(RecordStreamTest, NewerFilesAreRefusedWithTheirOwnMessage) {
    WriteRaw("newer.dat", U32(825) + U32(0) + U32(0));
    Sample s;
    EXPECT_EQ(LoadFromFile(s, "newer.dat"), 0);
    EXPECT_EQ(g_bNewerFile, 1u);
    ShowFileVersionError("newer.dat");
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0],
              "newer.dat の読み込みに失敗しました！\nソフトより上位のバージョンのファイルは使用できません。");

    WriteRaw("same.dat", U32(824) + U32(0) + U32(0));
    EXPECT_EQ(LoadFromFile(s, "same.dat"), 1);
    EXPECT_EQ(g_bNewerFile, 0u);
    ShowFileVersionError("missing.dat");
    EXPECT_EQ(m_boxes.back(), "missing.dat の読み込みに失敗しました！");
}

TEST_F(RecordStreamTest, DamagedFilesFailAndLeaveTheRecordAsItWas) {
    Sample s;
    s.a = 1234;
    s.s1 = "keep";
    // Shorter than a version word.
    WriteRaw("tiny.dat", "\x01\x02");
    EXPECT_EQ(LoadFromFile(s, "tiny.dat"), 0);
    // Ends in the middle of the fields.
    WriteRaw("short.dat", U32(824) + U32(2) + U32(99));
    EXPECT_EQ(LoadFromFile(s, "short.dat"), 0);
    // A string that claims 2^31 bytes.
    WriteRaw("huge.dat", U32(824) + U32(2) + U32(5) + "\x01" + U32(1) + U32(0x80000000u) + "ab");
    EXPECT_EQ(LoadFromFile(s, "huge.dat"), 0);
    EXPECT_EQ(s.a, 1234u);
    EXPECT_EQ(s.s1, "keep");
    // The empty name looks for "err".
    EXPECT_EQ(LoadFromFile(s, ""), 0);
    WriteRaw("err", U32(824) + U32(0) + U32(0));
    EXPECT_EQ(LoadFromFile(s, ""), 1);
}

TEST_F(RecordStreamTest, HugeRecordCountsFailWithoutAllocating) {
    Holder h;
    h.items.resize(2);
    h.items[1].s1 = "x";
    cRecordWriter w;
    h.Save(w);
    Holder back;
    cRecordReader ok(w.Bytes(), kProgVer);
    back.Load(ok);
    ASSERT_TRUE(ok.AtEnd());
    EXPECT_EQ(back.items.size(), 2u);
    EXPECT_EQ(back.items[1].s1, "x");

    cRecordWriter bomb;
    bomb.WriteU32(1);
    bomb.WriteU32(3);
    bomb.WriteU32(0);
    bomb.WriteU32(0xFFFFFFFFu); // four billion records in a few bytes
    Holder victim;
    cRecordReader r(bomb.Bytes(), kProgVer);
    victim.Load(r);
    EXPECT_TRUE(r.Failed());
    EXPECT_TRUE(victim.items.empty());
}

TEST_F(RecordStreamTest, SurplusFieldsFailTheLoadAndLeaveTheProgramRunning) {
    const u32 before = CloseRequestCount();
    // Three fields in a file for a record that has two: the third must not land anywhere.
    cRecordWriter w;
    w.WriteU32(3);
    w.WriteU32(1);
    w.WriteU8(2);
    w.WriteU32(3);
    w.WriteU32(0);
    Sample s;
    cRecordReader r(w.Bytes(), kProgVer);
    s.Load(r);
    EXPECT_TRUE(r.Failed());
    EXPECT_EQ(CloseRequestCount(), before);
    // The file's loader reports it in its own words; no internal index line.
    EXPECT_EQ(ReadRaw("Report_Game.txt").find("err V["), std::string::npos);

    cRecordWriter ws;
    ws.WriteU32(0);
    ws.WriteU32(3); // three strings for two
    cRecordReader rs(ws.Bytes(), kProgVer);
    s.Load(rs);
    EXPECT_TRUE(rs.Failed());
    EXPECT_EQ(CloseRequestCount(), before);
}

TEST_F(RecordStreamTest, ClearCopyAndAssignmentUseTheirOwnFields) {
    Gated a;
    a.first = 1;
    a.second = 2;
    a.arr[1] = 3;
    a.name = "n";
    Gated b;
    b.CopyFrom(a);
    EXPECT_EQ(b.second, 2u);
    EXPECT_EQ(b.arr[1], 3);
    EXPECT_EQ(b.name, "n");
    Gated c = a; // a copy registers its own members, not a's
    c.Clear();
    EXPECT_EQ(a.first, 1u);
    EXPECT_EQ(a.name, "n");
    EXPECT_EQ(c.first, 0u);
    EXPECT_EQ(c.second, 0u);
    EXPECT_EQ(c.name, "");
    EXPECT_EQ(c.FieldCount(), 4);
    EXPECT_EQ(c.Field(1).address, &c.second);
}

// Registration is worked out once per class and version and reused for every record of the
// class, as offsets from the record; a class that registers storage outside the record (here a
// shared counter) keeps streaming through its own lists, each record into its own members.
u32 g_SharedCounter = 0;
struct Outside : cRecord {
    u32 own = 0;
    void RegisterFields(u32) override {
        ResetFieldLists();
        AddFieldU32(&own);
        AddFieldU32(&g_SharedCounter);
    }
};

TEST_F(RecordStreamTest, RecordsOfAClassShareOneLayoutAndOutsideFieldsStillStream) {
    std::vector<Gated> many(3);
    for (std::size_t i = 0; i < many.size(); ++i) {
        many[i].first = static_cast<u32>(10 + i);
        many[i].name = std::string(1, static_cast<char>('a' + i));
    }
    for (std::size_t i = 0; i < many.size(); ++i) {
        cRecordWriter w;
        many[i].Save(w);
        auto copy = std::make_unique<Gated>(); // elsewhere in memory than the one saved
        cRecordReader r(w.Take(), kProgVer);
        copy->Load(r);
        ASSERT_TRUE(r.AtEnd());
        EXPECT_EQ(copy->first, 10 + i);
        EXPECT_EQ(copy->name, many[i].name);
        copy->Clear();
        EXPECT_EQ(copy->first, 0u);
        EXPECT_EQ(copy->name, "");
    }
    Outside a;
    a.own = 5;
    g_SharedCounter = 6;
    cRecordWriter w;
    a.Save(w);
    g_SharedCounter = 0;
    auto b = std::make_unique<Outside>();
    cRecordReader r(w.Take(), kProgVer);
    b->Load(r);
    EXPECT_TRUE(r.AtEnd());
    EXPECT_EQ(b->own, 5u);
    EXPECT_EQ(g_SharedCounter, 6u);
    b->Clear();
    EXPECT_EQ(g_SharedCounter, 0u);
}

TEST_F(RecordStreamTest, AFailedSaveKeepsTheOldFile) {
    Sample s;
    s.a = 1;
    ASSERT_EQ(SaveToFile(s, "user.dat"), 1);
    const std::string before = ReadRaw("user.dat");
    s.a = 2;
    SetAtomicWriteFailAfter(6);
    EXPECT_EQ(SaveToFile(s, "user.dat"), 0);
    SetAtomicWriteFailAfter(-1);
    EXPECT_EQ(ReadRaw("user.dat"), before);
    for (const auto& e : std::filesystem::directory_iterator(m_game.Dir()))
        EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << "left a temporary file";
    EXPECT_EQ(SaveToFile(s, "no-such-folder\\x.dat"), 0);
}

// A reader over borrowed bytes reads as one that owns them; copies and moves keep reading from
// where the reader stood, a copy from its own bytes, and what a move leaves behind is empty.
TEST_F(RecordStreamTest, ReadersOverBorrowedOwnedCopiedAndMovedBytes) {
    Sample s;
    s.a = 9;
    s.s1 = "text";
    cRecordWriter w;
    s.Save(w);
    s.Save(w);
    const std::string bytes = w.Take();
    auto readOne = [](cRecordReader& r) {
        Sample back;
        back.Load(r);
        return r.Failed() ? std::string("failed") : std::to_string(back.a) + back.s1;
    };

    cRecordReader over = cRecordReader::Over(bytes, kProgVer);
    EXPECT_EQ(readOne(over), "9text");
    cRecordReader overCopy = over;
    EXPECT_EQ(readOne(overCopy), "9text");
    EXPECT_TRUE(overCopy.AtEnd());
    EXPECT_EQ(readOne(over), "9text");
    EXPECT_EQ(readOne(over), "failed");

    auto owned = std::make_unique<cRecordReader>(std::string(bytes), kProgVer);
    EXPECT_EQ(readOne(*owned), "9text");
    cRecordReader copy = *owned;
    cRecordReader moved = std::move(*owned);
    owned.reset(); // the copy and the move read their own bytes
    EXPECT_EQ(readOne(copy), "9text");
    EXPECT_EQ(readOne(moved), "9text");
    EXPECT_TRUE(moved.AtEnd());

    // A body that starts past a file's version word, moved and copied.
    cRecordReader file(U32(824) + bytes, kProgVer, 4);
    EXPECT_EQ(file.Left(), bytes.size());
    cRecordReader fileMoved = std::move(file);
    cRecordReader fileCopy = fileMoved;
    EXPECT_EQ(readOne(fileMoved), "9text");
    EXPECT_EQ(readOne(fileCopy), "9text");
    EXPECT_EQ(readOne(fileCopy), "9text");
    EXPECT_TRUE(fileCopy.AtEnd());

    // The same for bytes a file was read into.
    const std::string fileBytes = U32(824) + bytes;
    cByteBuffer buffer;
    buffer.resize(fileBytes.size());
    std::memcpy(buffer.data(), fileBytes.data(), fileBytes.size());
    auto fromBuffer = std::make_unique<cRecordReader>(std::move(buffer), kProgVer, 4);
    EXPECT_EQ(readOne(*fromBuffer), "9text");
    cRecordReader bufferCopy = *fromBuffer;
    cRecordReader bufferMoved = std::move(*fromBuffer);
    EXPECT_EQ(fromBuffer->Left(), 0u);
    fromBuffer.reset();
    EXPECT_EQ(readOne(bufferCopy), "9text");
    EXPECT_EQ(readOne(bufferMoved), "9text");
    EXPECT_TRUE(bufferCopy.AtEnd());
    EXPECT_EQ(readOne(bufferMoved), "failed");

    cRecordReader from(std::string(bytes), kProgVer);
    cRecordReader to = std::move(from);
    EXPECT_EQ(from.Left(), 0u);
    EXPECT_EQ(readOne(from), "failed");
    EXPECT_EQ(to.Left(), bytes.size());

    // Bytes short enough to sit inside the reader's own string survive its moves and copies.
    cRecordReader small(std::string("\x01\x02\x03\x04\x05", 5), kProgVer);
    u8 first = 0;
    ASSERT_TRUE(small.ReadU8(first));
    cRecordReader small2 = std::move(small);
    cRecordReader small3(std::move(small2));
    cRecordReader small4 = small3;
    u32 rest = 0;
    ASSERT_TRUE(small3.ReadU32(rest));
    EXPECT_EQ(rest, 0x05040302u);
    EXPECT_TRUE(small3.AtEnd());
    ASSERT_TRUE(small4.ReadU32(rest));
    EXPECT_EQ(rest, 0x05040302u);
}

// A double that is not finite (a NaN, either infinity) reads as 0 on every way a record body is
// read, whole or cut short, and the reader knows it met one; a finite double, however far or
// small, reads as it is. A field the body does not hold keeps its value.
TEST_F(RecordStreamTest, DoublesThatAreNotFiniteReadAs0OnEveryPath) {
    const std::string notFinite = F64(0xFFFF99999999999Aull) + U32(2) + F64(0x7FF0000000000000ull) + F64(0xFFF0000000000000ull);
    const std::string finite = F64(0x7E37E43C8800759Cull) + U32(2) + F64(0x0000000000000001ull) + F64(0xBFF0000000000000ull);
    std::string trace;
    for (const std::string& values : {notFinite, finite}) {
        for (const u32 fields : {4u, 2u}) {
            // The whole body is 4 fields to the records (the last a pair of doubles) and 5 to the
            // table (each double a field).
            const std::string rest = (fields == 4 ? values : values.substr(0, 8)) + U32(0);
            auto read = [&](const char* how, cRecord& rec, auto shown, u32 count) {
                cRecordReader r(U32(count) + U32(1) + rest, kProgVer);
                rec.Load(r);
                trace += std::string(how) + ", " + std::to_string(fields) + " fields: " + shown() +
                         (r.Failed() ? " failed" : "") + (r.MetNotFinite() ? " (met)" : "") + "\n";
            };
            for (const bool outside : {false, true}) {
                Doubles d;
                d.outside = outside;
                d.b = 9;
                d.d2[0] = d.d2[1] = 7;
                read(outside ? "lists" : "layout", d, [&] {
                    return Num(d.d1) + " " + std::to_string(d.b) + " " + Num(d.d2[0]) + " " + Num(d.d2[1]);
                }, fields);
            }
            if (fields == 4) {
                PlainDoubles p;
                read("plain body", p, [&] { return Num(p.d1) + " " + Num(p.d2[0]) + " " + Num(p.d2[1]); }, fields);
            }
            for (const bool fixed : {false, true}) {
                TableDoubles t;
                t.fixed = fixed;
                t.data.b = 9;
                t.data.d2a = t.data.d2b = 7;
                read(fixed ? "fixed table" : "table", t, [&] {
                    return Num(t.data.d1) + " " + std::to_string(t.data.b) + " " + Num(t.data.d2a) + " " + Num(t.data.d2b);
                }, fields == 4 ? 5 : fields);
            }
        }
    }
    EXPECT_EQ(trace, "layout, 4 fields: 0 2 0 0 (met)\n"
                     "lists, 4 fields: 0 2 0 0 (met)\n"
                     "plain body, 4 fields: 0 0 0 (met)\n"
                     "table, 4 fields: 0 2 0 0 (met)\n"
                     "fixed table, 4 fields: 0 2 0 0 (met)\n"
                     "layout, 2 fields: 0 9 7 7 (met)\n"
                     "lists, 2 fields: 0 9 7 7 (met)\n"
                     "table, 2 fields: 0 9 7 7 (met)\n"
                     "fixed table, 2 fields: 0 9 7 7 (met)\n"
                     "layout, 4 fields: 1e+300 2 4.94066e-324 -1\n"
                     "lists, 4 fields: 1e+300 2 4.94066e-324 -1\n"
                     "plain body, 4 fields: 1e+300 4.94066e-324 -1\n"
                     "table, 4 fields: 1e+300 2 4.94066e-324 -1\n"
                     "fixed table, 4 fields: 1e+300 2 4.94066e-324 -1\n"
                     "layout, 2 fields: 1e+300 9 7 7\n"
                     "lists, 2 fields: 1e+300 9 7 7\n"
                     "table, 2 fields: 1e+300 9 7 7\n"
                     "fixed table, 2 fields: 1e+300 9 7 7\n")
        << trace;
}

TEST(StrFormatTest, ReplacesAppendsAndNeverCuts) {
    std::string s = "old";
    StrFormat(s, "plain");
    EXPECT_EQ(s, "plain");
    StrFormat(s, "%d-%s", 5, "x");
    EXPECT_EQ(s, "5-x");
    StrAppendF(s, "%s", "");
    EXPECT_EQ(s, "5-x");
    StrAppendF(s, "+%03d", 7);
    EXPECT_EQ(s, "5-x+007");
    const std::string big(6000, 'z'); // longer than the old fixed buffer
    StrFormat(s, "%s!", big.c_str());
    EXPECT_EQ(s.size(), 6001u);
}
