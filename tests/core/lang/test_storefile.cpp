// The record file: exact bytes of small stores, navigation, the read-only rule, and a random
// mix of appends and moves checked against a plain list of records.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <random>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "lang/U_Storefile.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Le32(std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    return {static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8),
            static_cast<std::uint8_t>(u >> 16), static_cast<std::uint8_t>(u >> 24)};
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

const Bytes Signature(LanguageFileSignature.begin(), LanguageFileSignature.end());

void OpenStore(TStorefile& store, const std::string& path, bool readOnly = false) {
    store.Signature = std::string(LanguageFileSignature);
    store.Filename = path;
    store.ReadOnly = readOnly;
    ASSERT_TRUE(store.Open()) << path;
}

TEST(Storefile, NewStoreIsSignatureAndZeroCount) {
    test::TempDir dir;
    const std::string path = dir.File("sub/folder/new.SPK"); // folders are created too
    {
        TStorefile store;
        OpenStore(store, path);
        EXPECT_EQ(store.Count(), 0);
        EXPECT_TRUE(store.AtEnd());
    }
    EXPECT_EQ(test::ReadFile(path), Concat({Signature, Le32(0)}));
    EXPECT_EQ(test::ReadFile(path).size(), 21u);
}

TEST(Storefile, AppendingAbcAddsFifteenBytes) {
    test::TempDir dir;
    const std::string path = dir.File("abc.SPK");
    {
        TStorefile store;
        OpenStore(store, path);
        EXPECT_EQ(store.AppendString(1, "abc"), 1);
        EXPECT_EQ(store.Count(), 1);
    }
    const Bytes expected =
        Concat({Signature, Le32(1), Le32(11), Le32(1), {'a', 'b', 'c'}, Le32(15)});
    EXPECT_EQ(test::ReadFile(path), expected);
    EXPECT_EQ(expected.size(), 21u + 15u);
}

TEST(Storefile, NavigatesForwardAndBackward) {
    test::TempDir dir;
    TStorefile store;
    OpenStore(store, dir.File("three.SPK"));
    store.AppendString(10, "zero");
    store.AppendString(11, "one!");
    store.AppendString(12, "two");
    store.Close();
    OpenStore(store, dir.File("three.SPK"), true);
    EXPECT_EQ(store.Count(), 3);

    store.Last();
    EXPECT_EQ(store.RecordIndex(), 2);
    EXPECT_TRUE(store.Prior());
    EXPECT_EQ(store.RecordIndex(), 1);
    std::string text;
    EXPECT_EQ(store.ReadString(text, false), 11);
    EXPECT_EQ(text, "one!");
    EXPECT_EQ(store.RecordIndex(), 1); // without advance the position stays
    EXPECT_EQ(store.PeekSize(), 4);

    store.First();
    EXPECT_FALSE(store.Prior());
    EXPECT_TRUE(store.Next());
    EXPECT_TRUE(store.Next());
    EXPECT_TRUE(store.Next());
    EXPECT_TRUE(store.AtEnd());
    EXPECT_FALSE(store.Next());
    EXPECT_EQ(store.ReadString(text), 0);
    EXPECT_EQ(text, "");

    std::int32_t size = -1;
    char buffer[8] = {};
    store.SeekRecord(2);
    EXPECT_EQ(store.ReadRecord(buffer, size), 12);
    EXPECT_EQ(size, 3);
    EXPECT_EQ(std::string(buffer, 3), "two");
    store.SeekRecord(0);
    size = 2; // a smaller buffer takes the first bytes
    EXPECT_EQ(store.ReadRecord(buffer, size), 10);
    EXPECT_EQ(std::string(buffer, 2), "ze");
    EXPECT_EQ(store.RecordIndex(), 1);
    store.SeekRecord(7); // outside: nothing moves
    EXPECT_EQ(store.RecordIndex(), 1);
}

TEST(Storefile, ShortPayloadFillsLowHalfOfInteger) {
    test::TempDir dir;
    TStorefile store;
    OpenStore(store, dir.File("short.SPK"));
    const std::uint8_t two[] = {0x34, 0x12};
    store.AppendRecord(0, two, 2);
    store.AppendInteger(7, -5);
    store.First();
    std::int32_t value = static_cast<std::int32_t>(0xAABB0000u);
    EXPECT_EQ(store.ReadInteger(value), 0);
    EXPECT_EQ(static_cast<std::uint32_t>(value), 0xAABB1234u);
    EXPECT_EQ(store.ReadInteger(value), 7);
    EXPECT_EQ(value, -5);
}

TEST(Storefile, WrongSignatureIsNotOpenedNorTouched) {
    test::TempDir dir;
    const std::string path = dir.File("other.SPK");
    const Bytes content =
        Concat({{'D', 'L', 'X', ' ', 'O', 'T', 'H', 'E', 'R'}, Le32(3), Le32(99)});
    test::WriteFile(path, content);
    TStorefile store;
    store.Signature = std::string(LanguageFileSignature);
    store.Filename = path;
    EXPECT_FALSE(store.Open());
    EXPECT_TRUE(store.AtEnd());
    EXPECT_EQ(store.Count(), 0);
    EXPECT_EQ(store.AppendString(1, "x"), 0);
    store.Close();
    EXPECT_EQ(test::ReadFile(path), content);
}

TEST(Storefile, ReadOnlyStoreRefusesEveryWrite) {
    test::TempDir dir;
    const std::string path = dir.File("ro.SPK");
    {
        TStorefile store;
        OpenStore(store, path);
        store.AppendString(1, "kept");
    }
    const Bytes before = test::ReadFile(path);
    TStorefile store;
    OpenStore(store, path, true);
    store.Last();
    store.Next();
    for (auto write :
         {+[](TStorefile& s) { s.AppendString(1, "x"); },
          +[](TStorefile& s) { s.AppendInteger(1, 2); }, +[](TStorefile& s) { s.Clear(); }}) {
        try {
            write(store);
            ADD_FAILURE() << "a write went through";
        } catch (const EMorvantaError& e) {
            EXPECT_STREQ(e.what(), "Attempt to write a data while in ReadOnly mode");
        }
    }
    store.Close();
    EXPECT_EQ(test::ReadFile(path), before);
}

TEST(Storefile, AppendsOnlyAtTheEndAndClearEmpties) {
    test::TempDir dir;
    const std::string path = dir.File("clear.SPK");
    TStorefile store;
    OpenStore(store, path);
    store.AppendString(1, "a");
    store.AppendString(2, "b");
    store.First();
    EXPECT_EQ(store.AppendString(3, "c"), 0); // not at the end: nothing written
    EXPECT_EQ(store.Count(), 2);
    store.Clear();
    EXPECT_TRUE(store.IsOpen());
    EXPECT_EQ(store.Count(), 0);
    store.Close();
    EXPECT_EQ(test::ReadFile(path).size(), 21u);
}

// Appends and moves at random, checked against the list of what was appended.
TEST(Storefile, RandomAppendsAndMovesMatchAModel) {
    test::TempDir dir;
    const std::string path = dir.File("model.SPK");
    std::mt19937 random(20240611);
    struct TModelRecord {
        std::int32_t Key;
        std::string Payload;
    };
    std::vector<TModelRecord> model;
    TStorefile store;
    OpenStore(store, path);
    std::int32_t index = 0;
    for (int step = 0; step < 3000; ++step) {
        const int action = static_cast<int>(random() % 8);
        if (action == 0) { // go to the end and append
            store.Last();
            if (!model.empty()) store.Next();
            std::string payload(random() % 40, '\0');
            for (char& c : payload) c = static_cast<char>(random());
            const auto key = static_cast<std::int32_t>(random());
            ASSERT_EQ(store.AppendString(key, payload),
                      static_cast<std::int32_t>(model.size() + 1));
            model.push_back({key, payload});
            index = static_cast<std::int32_t>(model.size());
        } else if (action == 1) {
            store.First();
            index = 0;
        } else if (action == 2) {
            store.Last();
            if (!model.empty()) index = static_cast<std::int32_t>(model.size()) - 1;
        } else if (action == 3) {
            const bool moved = store.Next();
            ASSERT_EQ(moved, index < static_cast<std::int32_t>(model.size()));
            if (moved) ++index;
        } else if (action == 4) {
            const bool moved = store.Prior();
            ASSERT_EQ(moved, index > 0);
            if (moved) --index;
        } else if (action == 5 && !model.empty()) {
            index = static_cast<std::int32_t>(random() % model.size());
            store.SeekRecord(index);
        } else if (action == 6 && step % 97 == 0) { // reopen: the count must have been kept
            store.Close();
            OpenStore(store, path);
            index = 0;
        } else {
            std::string text;
            const bool advance = random() % 2 == 0;
            const std::int32_t key = store.ReadString(text, advance);
            if (index < static_cast<std::int32_t>(model.size())) {
                ASSERT_EQ(key, model[index].Key);
                ASSERT_EQ(text, model[index].Payload);
                ASSERT_EQ(store.PeekSize() >= 0, true);
                if (advance) ++index;
            } else {
                ASSERT_EQ(key, 0);
                ASSERT_TRUE(text.empty());
            }
        }
        ASSERT_EQ(store.RecordIndex(), index) << "step " << step;
        ASSERT_EQ(store.AtEnd(), index == static_cast<std::int32_t>(model.size()));
        ASSERT_EQ(store.Count(), static_cast<std::int32_t>(model.size()));
    }
}

// Files whose lengths lie: reads stop cleanly at the damage and nothing hangs.
TEST(Storefile, DamagedLengthsEndTheReadablePart) {
    struct TCase {
        const char* Name;
        Bytes Records;
        std::int32_t Count;
        int Readable;
    };
    const Bytes good = Concat({Le32(9), Le32(1), {'x'}, Le32(13)});
    const std::vector<TCase> cases = {
        {"forward length past the end", Concat({good, Le32(1000), Le32(2), {'y'}, Le32(13)}), 2, 1},
        {"forward length below a header", Concat({good, Le32(3), Le32(2), {'y'}, Le32(13)}), 2, 1},
        {"negative forward length", Concat({good, Le32(-100), Le32(2), {'y'}, Le32(13)}), 2, 1},
        {"backward length disagrees", Concat({good, Le32(9), Le32(2), {'y'}, Le32(99)}), 2, 1},
        {"truncated record", Concat({good, Le32(9), Le32(2)}), 2, 1},
        {"count larger than the records", good, 1000000, 1},
        {"negative count", good, -4, 1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        test::TempDir dir;
        const std::string path = dir.File("bad.SPK");
        test::WriteFile(path, Concat({Signature, Le32(c.Count), c.Records}));
        TStorefile store;
        OpenStore(store, path, true);
        int read = 0;
        for (int guard = 0; !store.AtEnd() && guard < 10; ++guard) {
            std::string text;
            store.ReadString(text);
            if (!store.Damaged()) ++read;
        }
        EXPECT_TRUE(store.AtEnd());
        EXPECT_EQ(read, c.Readable);
        // Backward steps check the lengths too.
        store.Last();
        store.Prior();
        store.SeekRecord(c.Count - 1);
        EXPECT_LE(store.RecordIndex(), std::max(0, c.Count));
    }
}

} // namespace
