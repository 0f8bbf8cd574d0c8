// The triangle renderer and the line renderer: geometry in pixels, their queues and lists.
#include "D3DFixture.h"

using namespace d3dtest;

namespace {

VEL::TriangleCorners Triangle(int x0, int y0, int x1, int y1, int x2, int y2, uint32_t colour = 0xFFFFFFFFu)
{
    VEL::TriangleCorners t{};
    const int xs[3] = {x0, x1, x2}, ys[3] = {y0, y1, y2};
    for (int k = 0; k < 3; ++k) {
        t.x[k] = xs[k];
        t.y[k] = ys[k];
        t.rhw[k] = 1.0f;
        t.colour[k] = colour;
    }
    return t;
}

VEL::LinePoint Point(int x, int y, uint32_t colour = 0xFFFF0000u, int depth = 0)
{
    return VEL::LinePoint{x, y, depth, colour, colour};
}

class RendererTest : public D3DTest {
protected:
    void SetUp() override
    {
        D3DTest::SetUp();
        MakeDevice();
        white.reset(MakeTexture(2, 2, std::vector<uint32_t>(4, 0xFFFFFFFFu)));
    }
    void TearDown() override
    {
        white.reset();
        D3DTest::TearDown();
    }
    template <class R>
    std::vector<uint32_t> Frame(R* renderer)
    {
        root->Clear(0xFF000000u);
        EXPECT_TRUE(root->BeginScene());
        renderer->Flush();
        root->EndScene();
        return ReadFrame();
    }
    static size_t Lit(const std::vector<uint32_t>& f)
    {
        size_t n = 0;
        for (uint32_t p : f)
            n += p != 0xFF000000u;
        return n;
    }
    Ref<VEL::ID3DTexture> white;
};

TEST_F(RendererTest, TriangleLandsWhereItsCornersSay)
{
    Ref<VEL::ID3DTriangleRender> tris(Create<VEL::ID3DTriangleRender>(VEL::IID_ID3DTriangleRender));
    ASSERT_TRUE(tris->SetTexture(white.get()));
    const VEL::TriangleCorners t = Triangle(10, 10, 40, 10, 10, 40, 0xFF00FF00u);
    // A centre offset moves the pivot, not the vertices, when nothing turns.
    tris->DrawTriangle(&t, 7.0f, -3.0f, 0, 0, 0, 0);
    const std::vector<uint32_t> f = Frame(tris.get());
    EXPECT_EQ(f[12 * kWidth + 12], 0xFF00FF00u);
    EXPECT_EQ(f[10 * kWidth + 38], 0xFF00FF00u);
    EXPECT_EQ(f[30 * kWidth + 30], 0xFF000000u) << "beyond the hypotenuse";
    EXPECT_EQ(f[9 * kWidth + 12], 0xFF000000u);
    EXPECT_EQ(f[12 * kWidth + 9], 0xFF000000u);
    // Flush emptied the list.
    EXPECT_EQ(Lit(Frame(tris.get())), 0u);
}

TEST_F(RendererTest, TrianglesSharingACentreTurnAsOneShape)
{
    Ref<VEL::ID3DTriangleRender> tris(Create<VEL::ID3DTriangleRender>(VEL::IID_ID3DTriangleRender));
    ASSERT_TRUE(tris->SetTexture(white.get()));
    // The square [10, 30) x [10, 30) in two halves, each pivoting on the square's centre (20, 20).
    const VEL::TriangleCorners a = Triangle(10, 10, 30, 10, 10, 30), b = Triangle(30, 10, 30, 30, 10, 30);
    const float oa = 20.0f - 50.0f / 3.0f, ob = 20.0f - 70.0f / 3.0f;
    tris->DrawTriangle(&a, oa, oa, 0, 0, 45.0f, 0);
    tris->DrawTriangle(&b, ob, ob, 0, 0, 45.0f, 0);
    const std::vector<uint32_t> f = Frame(tris.get());
    // A diamond about (20, 20) with a half-diagonal of 14.1 pixels.
    EXPECT_NE(f[8 * kWidth + 20], 0xFF000000u);
    EXPECT_NE(f[20 * kWidth + 32], 0xFF000000u);
    EXPECT_NE(f[20 * kWidth + 20], 0xFF000000u);
    EXPECT_EQ(f[11 * kWidth + 11], 0xFF000000u) << "the square's corner turned away";
}

TEST_F(RendererTest, TriangleFlushWithoutTextureDropsTheListAndAnyCountQueues)
{
    Ref<VEL::ID3DTriangleRender> tris(Create<VEL::ID3DTriangleRender>(VEL::IID_ID3DTriangleRender));
    const VEL::TriangleCorners t = Triangle(0, 0, 20, 0, 0, 20);
    tris->DrawTriangle(&t, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(Lit(Frame(tris.get())), 0u) << "no texture: nothing drawn";
    ASSERT_TRUE(tris->SetTexture(white.get()));
    EXPECT_EQ(Lit(Frame(tris.get())), 0u) << "the list was emptied";
    for (int i = 0; i < 20000; ++i) {
        const VEL::TriangleCorners s = Triangle(i % 60, 40, i % 60 + 2, 40, i % 60, 42);
        tris->DrawTriangle(&s, 0, 0, 0, 0, 0, 0);
    }
    const VEL::TriangleCorners point = Triangle(5, 5, 5, 5, 5, 5);
    tris->DrawTriangle(&point, 0, 0, 0, 0, 0, 0); // extent 0: skipped by the device, nothing else lost
    const VEL::TriangleCorners last = Triangle(50, 10, 60, 10, 50, 20);
    tris->DrawTriangle(&last, 0, 0, 0, 0, 0, 0);
    const std::vector<uint32_t> f = Frame(tris.get());
    EXPECT_NE(f[40 * kWidth + 30], 0xFF000000u);
    EXPECT_NE(f[11 * kWidth + 51], 0xFF000000u);
    EXPECT_EQ(f[5 * kWidth + 5], 0xFF000000u);
}

TEST_F(RendererTest, ThickLineCoversItsWidthAroundTheSegment)
{
    Ref<VEL::ID3DLineRender> line(Create<VEL::ID3DLineRender>(VEL::IID_ID3DLineRender));
    EXPECT_FALSE(line->Initialize(1));
    ASSERT_TRUE(line->Initialize(8));
    EXPECT_EQ(line->GetCapacity(), 8u);
    const VEL::LinePoint a = Point(10, 20), b = Point(50, 20);
    line->PushBack(&a);
    EXPECT_EQ(Lit(Frame(line.get())), 0u) << "one point draws nothing";
    line->PushBack(&b);
    EXPECT_EQ(Lit(Frame(line.get())), 0u) << "width 0 has no area";
    line->SetLineWidth(6.0f);
    EXPECT_EQ(line->GetLineWidth(), 6.0f);
    // Without a texture the vertex colour shows; with the white texture it is modulated by white.
    for (int textured = 0; textured < 2; ++textured) {
        if (textured) {
            ASSERT_TRUE(line->SetTexture(white.get()));
        }
        const std::vector<uint32_t> f = Frame(line.get());
        EXPECT_EQ(f[18 * kWidth + 30], 0xFFFF0000u);
        EXPECT_EQ(f[21 * kWidth + 30], 0xFFFF0000u);
        EXPECT_EQ(f[20 * kWidth + 11], 0xFFFF0000u);
        EXPECT_EQ(f[15 * kWidth + 30], 0xFF000000u);
        EXPECT_EQ(f[24 * kWidth + 30], 0xFF000000u);
        EXPECT_EQ(f[20 * kWidth + 8], 0xFF000000u);
        EXPECT_EQ(f[20 * kWidth + 52], 0xFF000000u);
        EXPECT_EQ(line->GetPointCount(), 2u) << "the list is kept";
    }
}

TEST_F(RendererTest, LineDrawsOnlyTheFirstCapacityPoints)
{
    Ref<VEL::ID3DLineRender> line(Create<VEL::ID3DLineRender>(VEL::IID_ID3DLineRender));
    ASSERT_TRUE(line->Initialize(2));
    line->SetLineWidth(4.0f);
    const VEL::LinePoint p[3] = {Point(10, 10), Point(40, 10), Point(40, 40)};
    for (const auto& q : p)
        line->PushBack(&q);
    const std::vector<uint32_t> f = Frame(line.get());
    EXPECT_NE(f[10 * kWidth + 25], 0xFF000000u);
    EXPECT_EQ(f[30 * kWidth + 40], 0xFF000000u) << "the third point is beyond the buffer";
}

TEST_F(RendererTest, LineListEditingKeepsNeighboursDistinct)
{
    Ref<VEL::ID3DLineRender> line(Create<VEL::ID3DLineRender>(VEL::IID_ID3DLineRender));
    EXPECT_EQ(line->GetPoint(0), nullptr);
    const VEL::LinePoint a = Point(1, 1), b = Point(2, 2), c = Point(3, 3), a2 = Point(1, 1, 0xFF00FF00u);
    line->PushBack(&a);
    line->PushBack(&a2); // same x and y, other colour: ignored
    line->PushFront(&a);
    EXPECT_EQ(line->GetPointCount(), 1u);
    line->PushBack(&b);
    line->PushBack(&a);  // a b a
    line->Insert(1, &a); // equal to index 0: ignored
    line->Insert(1, &b); // equal to index 1: ignored
    line->Insert(1, &c); // a c b a
    line->Insert(99, &c);
    ASSERT_EQ(line->GetPointCount(), 5u); // a c b a c
    EXPECT_EQ(line->GetPoint(1)->x, 3);
    EXPECT_EQ(line->GetPoint(99)->x, 1) << "past the end: the first point";
    line->Erase(1); // a b a c
    ASSERT_EQ(line->GetPointCount(), 4u);
    // Erase the b between two a's: one a goes too.
    line->Erase(1);
    ASSERT_EQ(line->GetPointCount(), 2u);
    EXPECT_EQ(line->GetPoint(0)->x, 1);
    EXPECT_EQ(line->GetPoint(1)->x, 3);
    line->Erase(5);
    line->PopFront();
    line->PopBack();
    line->PopBack();
    EXPECT_EQ(line->GetPointCount(), 0u);
    line->PushBack(&a);
    line->ClearPoints();
    EXPECT_EQ(line->GetPointCount(), 0u);
    line->SetDrawMode(1, true, 2);
    int32_t mode = 0, type = 0;
    bool blend = false;
    line->GetDrawMode(&mode, &blend, &type);
    EXPECT_EQ(mode, 1);
    EXPECT_TRUE(blend);
    EXPECT_EQ(type, 2);
}

// The slot after the destructor does nothing: calling it through the vtable leaves the renderer
// drawing (it is none of the device-loss operations).
TEST_F(RendererTest, LineRendererReservedSlotAfterTheDestructor)
{
    Ref<VEL::ID3DLineRender> line(Create<VEL::ID3DLineRender>(VEL::IID_ID3DLineRender));
    ASSERT_TRUE(line->Initialize(4));
    line->SetLineWidth(4.0f);
    const VEL::LinePoint a = Point(10, 10), b = Point(40, 10);
    line->PushBack(&a);
    line->PushBack(&b);
    using Slot = void (*)(void*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t);
    void** vtable = *reinterpret_cast<void***>(line.get());
    // 3 counting + 19 operations + 2 destructor entries (complete, deleting).
    auto reserved = reinterpret_cast<Slot>(vtable[3 + 19 + 2]);
    reserved(line.get(), 1, 2, 3, 4, 5);
    EXPECT_EQ(line->GetPointCount(), 2u);
    EXPECT_EQ(line->GetRefCount(), 1);
    EXPECT_NE(Frame(line.get())[10 * kWidth + 25], 0xFF000000u);
}

} // namespace
