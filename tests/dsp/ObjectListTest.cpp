// The object list, the class registry and the generic "OBJ" container.
#include "dsp/MMObjLst.h"
#include "tests/dsp/TestBuffers.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace keb
{
namespace
{

// A small container object: two 32-bit values.
class TTestPoint : public TContainerObject
{
  public:
    TTestPoint() = default;
    TTestPoint(int x, int y) : X(x), Y(y) {}
    std::string ContainerClassName() const override { return "TTestPoint"; }
    void ReadFromStream(TStream& stream)
    {
        X = stream.ReadInt32();
        Y = stream.ReadInt32();
    }
    void WriteToStream(TStream& stream) const
    {
        stream.WriteInt32(X);
        stream.WriteInt32(Y);
    }
    int X = 0;
    int Y = 0;
};

class TUnregistered : public TContainerObject
{
  public:
    std::string ContainerClassName() const override { return "TUnregistered"; }
};

const bool Registered = []
{
    RegisterContainerClass<TTestPoint>("TTestPoint");
    return true;
}();

using Bytes = std::vector<std::uint8_t>;

// "OBJ" container with one TTestPoint(1, -2).
const Bytes OnePoint = {'O', 'B', 'J', 0,   1,   1, 0, 10, 'T', 'T',  'e',  's',  't',
                        'P', 'o', 'i', 'n', 't', 1, 0, 0,  0,   0xFE, 0xFF, 0xFF, 0xFF};

using test::MessageOf;

TEST(ObjectRegistry, MatchesNamesWithoutCaseAndKeepsTheFirstRegistration)
{
    ASSERT_TRUE(Registered);
    const TRegisterRec* entry = FindContainerClass("ttestpoint");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->ClassName, "TTestPoint");

    bool secondUsed = false;
    RegisterContainerClass(
        "TTESTPOINT",
        [&]
        {
            secondUsed = true;
            return std::make_unique<TTestPoint>();
        },
        nullptr, nullptr);
    EXPECT_EQ(FindContainerClass("TTestPoint"), entry);
    entry->Create();
    EXPECT_FALSE(secondUsed);
    EXPECT_EQ(FindContainerClass("TTestPoin"), nullptr);
    // Only the first 63 characters of a name count.
    EXPECT_EQ(FindContainerClass("TTestPoint" + std::string(60, 'x')), nullptr);
    RegisterContainerClass<TTestPoint>(std::string(63, 'L') + "tail");
    EXPECT_NE(FindContainerClass(std::string(63, 'l')), nullptr);
}

TEST(ObjectRegistry, TaggedObjectErrorsNameTheClass)
{
    TMemoryStream stream;
    EXPECT_EQ(MessageOf<EClassNotFound>([&] { WriteContainerObject(nullptr, stream); }),
              "Nil Source Class!");
    TUnregistered stranger;
    EXPECT_EQ(MessageOf<EClassNotFound>([&] { WriteContainerObject(&stranger, stream); }),
              "Source Class <TUnregistered> not registered");
    EXPECT_EQ(stream.Size(), 0);

    const Bytes unknown = {5, 'T', 'N', 'o', 'n', 'e'};
    TMemoryStream in(unknown);
    EXPECT_EQ(MessageOf<EClassNotFound>([&] { ReadContainerObject(in); }),
              "Class <TNone> not registered");

    Bytes tooLong = {64};
    tooLong.insert(tooLong.end(), 64, 'A');
    TMemoryStream longName(tooLong);
    EXPECT_EQ(MessageOf<EReadError>([&] { ReadContainerObject(longName); }),
              "Invalid Object stream");

    const Bytes truncated = {10, 'T', 'T', 'e', 's', 't', 'P', 'o', 'i', 'n', 't', 1, 0};
    TMemoryStream shortData(truncated);
    EXPECT_EQ(MessageOf<EReadError>([&] { ReadContainerObject(shortData); }), "Stream read error");
}

TEST(ObjectList, GrowsByFourEightSixteen)
{
    TObjectList list;
    list.SetOwnsObjects(false);
    TTestPoint point;
    std::vector<int> capacities;
    for (int i = 0; i < 20; ++i)
    {
        list.Add(&point);
        if (capacities.empty() || capacities.back() != list.Capacity())
            capacities.push_back(list.Capacity());
    }
    EXPECT_EQ(capacities, (std::vector<int>{4, 8, 16, 32}));
}

TEST(ObjectList, IndexErrorsLeaveTheListUnchanged)
{
    TObjectList list;
    list.SetOwnsObjects(false);
    TTestPoint a, b, c;
    list.Add(&a);
    list.Insert(1, &b); // at Count: appends
    EXPECT_EQ(list.Get(1), &b);
    EXPECT_EQ(MessageOf<EListError>([&] { list.Insert(3, &c); }), "List index out of bounds (3)");
    EXPECT_EQ(MessageOf<EListError>([&] { list.Get(-1); }), "List index out of bounds (-1)");
    EXPECT_EQ(MessageOf<EListError>([&] { list.Put(2, &c); }), "List index out of bounds (2)");
    EXPECT_EQ(MessageOf<EListError>([&] { list.SetCapacity(1); }), "List index out of bounds (1)");
    EXPECT_EQ(list.Count(), 2);
    list.Insert(0, &c);
    EXPECT_EQ(list.IndexOf(&c), 0);
    EXPECT_EQ(list.IndexOf(&a), 1);
    EXPECT_EQ(list.IndexOf(&b), 2);
    TTestPoint absent;
    EXPECT_EQ(list.IndexOf(&absent), -1);
}

TEST(ObjectList, HoldsAtMost32767Items)
{
    TObjectList list;
    list.SetOwnsObjects(false);
    TTestPoint point;
    list.SetCount(TObjectList::MaxCount);
    EXPECT_EQ(MessageOf<EListError>([&] { list.Add(&point); }), "List index out of bounds (32767)");
    EXPECT_EQ(list.Count(), TObjectList::MaxCount);
    EXPECT_THROW(list.SetCount(TObjectList::MaxCount + 1), EListError);
    EXPECT_THROW(list.SetCount(-1), EListError);
}

TEST(ObjectList, NotifiesAroundChangesAndOnceAfterAnUpdate)
{
    TObjectList list;
    list.SetOwnsObjects(false);
    std::string events;
    list.OnChanging = [&](TObjectList&) { events += '<'; };
    list.OnChange = [&](TObjectList&) { events += '>'; };
    list.Clear();
    EXPECT_EQ(events, "");

    TTestPoint a, b;
    list.Add(&a);
    EXPECT_EQ(events, "<>");
    events.clear();
    list.BeginUpdate();
    list.BeginUpdate();
    list.Add(&b);
    list.Clear();
    list.EndUpdate();
    EXPECT_EQ(events, "<");
    list.EndUpdate();
    EXPECT_EQ(events, "<>");
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Capacity(), 0);

    events.clear();
    list.Add(&a);
    list.AddList(list);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(events, "<><>");
}

TEST(ObjectContainer, WritesAndReadsTheGenericContainer)
{
    TObjectList empty;
    EXPECT_FALSE(empty.HasContainerData());

    TObjectList list;
    list.Add(new TTestPoint(1, -2));
    EXPECT_TRUE(list.HasContainerData());
    EXPECT_EQ(list.ObjectContainer(), OnePoint);

    TObjectList copy;
    copy.Add(new TTestPoint(7, 7));
    int changes = 0;
    copy.OnChange = [&](TObjectList&) { ++changes; };
    copy.SetObjectContainer(OnePoint);
    EXPECT_EQ(changes, 1);
    ASSERT_EQ(copy.Count(), 1);
    const auto* point = dynamic_cast<TTestPoint*>(copy.Get(0));
    ASSERT_NE(point, nullptr);
    EXPECT_EQ(point->X, 1);
    EXPECT_EQ(point->Y, -2);
}

TEST(ObjectContainer, AWrongTagChangesNothing)
{
    TObjectList list;
    auto* kept = new TTestPoint(3, 4);
    list.Add(kept);
    int changes = 0;
    list.OnChange = [&](TObjectList&) { ++changes; };
    Bytes wrongTag = OnePoint;
    wrongTag[0] = 'E';
    EXPECT_EQ(MessageOf<EReadError>([&] { list.SetObjectContainer(wrongTag); }),
              "Invalid Object stream");
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Get(0), kept);
    EXPECT_EQ(changes, 1); // the update still ends with one notification
    EXPECT_EQ(list.UpdateCount(), 0);
}

TEST(ObjectContainer, ObjectsReadBeforeAFailureStayInTheList)
{
    Bytes twoObjects = OnePoint;
    twoObjects[5] = 2;
    const Bytes unknown = {3, 'T', 'X', 'Y'};
    twoObjects.insert(twoObjects.end(), unknown.begin(), unknown.end());
    TObjectList list;
    EXPECT_EQ(MessageOf<EClassNotFound>([&] { list.SetObjectContainer(twoObjects); }),
              "Class <TXY> not registered");
    EXPECT_EQ(list.Count(), 1);

    Bytes truncated = OnePoint;
    truncated[5] = 2;
    EXPECT_THROW(list.SetObjectContainer(truncated), EReadError);
    EXPECT_EQ(list.Count(), 1);

    Bytes negativeCount = OnePoint;
    negativeCount[5] = 0xFF;
    negativeCount[6] = 0xFF;
    list.SetObjectContainer(negativeCount);
    EXPECT_EQ(list.Count(), 0);
}

TEST(ObjectContainer, AListOwnsWhatItReadsWhateverTheStoredFlag)
{
    Bytes notOwned = OnePoint;
    notOwned[4] = 0;
    TObjectList list;
    list.SetOwnsObjects(false);
    list.SetObjectContainer(notOwned);
    EXPECT_TRUE(list.OwnsObjects()); // the leak checker of the sanitizer build confirms it
    EXPECT_EQ(list.ObjectContainer(), OnePoint);
}

} // namespace
} // namespace keb
