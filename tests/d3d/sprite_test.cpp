// The sprite renderer, judged by the pixels read back through ID3DBackBuffer: 1:1 copies, every
// blend type and colour mode against a reference computed here, rotation, depth layering, and
// the queue's rules.
#include "D3DFixture.h"

#include "d3d9.h"

#include <chrono>
#include <thread>

using namespace d3dtest;

namespace {

struct Rng {
    uint64_t s;
    explicit Rng(uint64_t seed) : s(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint32_t next()
    {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return static_cast<uint32_t>(s >> 11);
    }
};

class SpriteTest : public D3DTest {
protected:
    void SetUp() override
    {
        D3DTest::SetUp();
        MakeDevice();
        sprites.reset(Create<VEL::ID3DRender>(VEL::IID_ID3DRender));
        ASSERT_TRUE(sprites->Initialize(16));
    }
    void TearDown() override
    {
        sprites.reset();
        texture.reset();
        D3DTest::TearDown();
    }
    void Use(const std::vector<uint32_t>& texels, uint32_t w, uint32_t h)
    {
        texture.reset(MakeTexture(w, h, texels));
        ASSERT_TRUE(sprites->SetTexture(texture.get()));
    }
    // One frame: clear (or the given background), the quads, flush.
    std::vector<uint32_t> Frame(const std::vector<VEL::SpriteQuad>& quads, float angleZ = 0,
                                const std::vector<uint32_t>* background = nullptr)
    {
        root->Clear(0xFF000000u);
        if (background) {
            Ref<VEL::ID3DBackBuffer> bb(Create<VEL::ID3DBackBuffer>(VEL::IID_ID3DBackBuffer));
            EXPECT_TRUE(bb->Create());
            bb->Write(background->data());
        }
        EXPECT_TRUE(root->BeginScene());
        for (const VEL::SpriteQuad& q : quads)
            sprites->DrawQuad(&q, 0, 0, angleZ, 0);
        sprites->Flush();
        root->EndScene();
        return ReadFrame();
    }

    Ref<VEL::ID3DRender> sprites;
    Ref<VEL::ID3DTexture> texture;
};

TEST_F(SpriteTest, OneToOneQuadReproducesItsTexture)
{
    Rng rng(1);
    std::vector<uint32_t> texels(16 * 16);
    for (uint32_t& t : texels)
        t = rng.next() | 0xFF000000u;
    Use(texels, 16, 16);
    // A 12 x 10 window of the texture starting at texel (3, 4), drawn at (20, 7).
    const std::vector<uint32_t> frame = Frame({Quad(20, 7, 12, 10, 0xFFFFFFFFu, 0, 3, 4)});
    for (int y = 0; y < int{kHeight}; ++y)
        for (int x = 0; x < int{kWidth}; ++x) {
            const bool inside = x >= 20 && x < 32 && y >= 7 && y < 17;
            const uint32_t want = inside ? texels[(y - 7 + 4) * 16 + (x - 20 + 3)] : 0xFF000000u;
            ASSERT_EQ(frame[y * kWidth + x], want) << x << ", " << y;
        }
}

uint32_t Factor(int f, uint32_t src, uint32_t dst, int k)
{
    switch (f) {
    case D3DBLEND_ZERO: return 0;
    case D3DBLEND_ONE: return 255;
    case D3DBLEND_INVSRCCOLOR: return 255 - Ch(src, k);
    case D3DBLEND_SRCALPHA: return Ch(src, 3);
    case D3DBLEND_INVSRCALPHA: return 255 - Ch(src, 3);
    case D3DBLEND_DESTCOLOR: return Ch(dst, k);
    case D3DBLEND_INVDESTCOLOR: return 255 - Ch(dst, k);
    }
    return 0;
}

// The reference: texture stage (modulate rounds a * b / 255, add saturates, alpha modulated),
// alpha test >= 8, then (src * Fsrc + dst * Fdst) / 255 rounded and saturated.
uint32_t Reference(int colourMode, bool blend, int type, uint32_t texel, uint32_t diffuse, uint32_t dst)
{
    static const int kFactors[8][2] = {{D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA}, {D3DBLEND_SRCALPHA, D3DBLEND_ONE},
                                       {D3DBLEND_ZERO, D3DBLEND_INVSRCCOLOR},     {D3DBLEND_DESTCOLOR, D3DBLEND_ZERO},
                                       {D3DBLEND_INVDESTCOLOR, D3DBLEND_ZERO},    {D3DBLEND_DESTCOLOR, D3DBLEND_ONE},
                                       {D3DBLEND_ONE, D3DBLEND_INVSRCALPHA},      {D3DBLEND_INVDESTCOLOR, D3DBLEND_ONE}};
    uint32_t src = RefRound(Ch(texel, 3) * double(Ch(diffuse, 3)) / 255.0) << 24;
    for (int k = 0; k < 3; ++k) {
        const uint32_t t = Ch(texel, k), d = Ch(diffuse, k);
        src |= (colourMode == 0 ? RefRound(t * double(d) / 255.0) : colourMode == 1 ? std::min(255u, t + d) : d)
               << (8 * k);
    }
    if (Ch(src, 3) < 8)
        return dst;
    if (!blend)
        return src | 0xFF000000u;
    uint32_t out = 0xFF000000u;
    for (int k = 0; k < 3; ++k)
        out |= RefRound((Ch(src, k) * double(Factor(kFactors[type][0], src, dst, k)) +
                         Ch(dst, k) * double(Factor(kFactors[type][1], src, dst, k))) /
                        255.0)
               << (8 * k);
    return out;
}

TEST_F(SpriteTest, EveryBlendTypeAndColourModeOverAKnownBackground)
{
    Rng rng(7);
    std::vector<uint32_t> texels(16 * 16), background(kWidth * kHeight);
    for (size_t i = 0; i < texels.size(); ++i) // alpha extremes around the test's threshold, then any
        texels[i] = (i % 5 == 0 ? 0u : i % 5 == 1 ? 7u : i % 5 == 2 ? 8u : i % 5 == 3 ? 255u : rng.next() >> 24) << 24 |
                    (rng.next() & 0xFFFFFFu);
    for (uint32_t& b : background)
        b = rng.next() | 0xFF000000u;
    Use(texels, 16, 16);
    const uint32_t diffuse = 0xE0A05030u;
    for (int mode = 0; mode < 3; ++mode)
        for (int type = -1; type < 8; ++type) {
            const bool blend = type >= 0;
            sprites->SetDrawMode(mode, blend, blend ? type : 0);
            const std::vector<uint32_t> frame = Frame({Quad(30, 20, 16, 16, diffuse)}, 0, &background);
            int bad = 0;
            for (int y = 20; y < 36; ++y)
                for (int x = 30; x < 46; ++x) {
                    const uint32_t want = Reference(mode, blend, blend ? type : 0, texels[(y - 20) * 16 + x - 30],
                                                    diffuse, background[y * kWidth + x]);
                    if (frame[y * kWidth + x] != want && bad++ < 3)
                        ADD_FAILURE() << "mode " << mode << " type " << type << " at " << x << ", " << y << ": got "
                                      << std::hex << frame[y * kWidth + x] << " want " << want;
                }
            EXPECT_EQ(frame[0], background[0]) << "outside the quad";
        }
}

TEST_F(SpriteTest, RotationBy90DegreesTurnsAboutTheCentre)
{
    std::vector<uint32_t> texels(8 * 8);
    for (uint32_t i = 0; i < texels.size(); ++i)
        texels[i] = 0xFF000000u | (i * 0x030507u + 0x101010u);
    Use(texels, 8, 8);
    const std::vector<uint32_t> frame = Frame({Quad(20, 10, 8, 8)}, 90.0f);
    // (dx, dy) -> (dy, -dx): the pixel at column i, row j shows texel column 7 - j, row i.
    for (int j = 0; j < 8; ++j)
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(frame[(10 + j) * kWidth + 20 + i], texels[i * 8 + (7 - j)]) << i << ", " << j;
    EXPECT_EQ(frame[9 * kWidth + 20], 0xFF000000u);
    EXPECT_EQ(frame[18 * kWidth + 27], 0xFF000000u);
}

TEST_F(SpriteTest, TurningAboutTheVerticalAxisShrinksTheFarSide)
{
    Use(std::vector<uint32_t>(32 * 32, 0xFFFFFFFFu), 32, 32);
    // Centre (36, 24), half size 16, viewing distance 16 pi. At 60 degrees about y the left edge
    // comes nearer (x about 24.5, 22 pixels above and below the centre) and the right edge goes
    // away (x about 41.8, 12.5 pixels above and below).
    root->Clear(0xFF000000u);
    ASSERT_TRUE(root->BeginScene());
    const VEL::SpriteQuad q = Quad(20, 8, 32, 32);
    sprites->DrawQuad(&q, 0, 60.0f, 0, 0);
    sprites->Flush();
    root->EndScene();
    const std::vector<uint32_t> f = ReadFrame();
    auto lit = [&](int x, int y) { return f[y * kWidth + x] != 0xFF000000u; };
    EXPECT_TRUE(lit(27, 42));
    EXPECT_TRUE(lit(27, 5));
    EXPECT_TRUE(lit(40, 30));
    EXPECT_FALSE(lit(40, 42));
    EXPECT_FALSE(lit(40, 5));
    EXPECT_FALSE(lit(23, 24)) << "left of the near edge";
    EXPECT_FALSE(lit(43, 24)) << "right of the far edge";
}

TEST_F(SpriteTest, LaterSpriteWithLargerDepthIsHiddenWhereTheEarlierIsOpaque)
{
    // Red with a transparent column 2 (fails the alpha test, writes no depth).
    std::vector<uint32_t> red(8 * 8, 0xFFFF0000u);
    for (int y = 0; y < 8; ++y)
        red[y * 8 + 2] = 0x00FF0000u;
    Use(red, 8, 8);
    root->Clear(0xFF000000u);
    ASSERT_TRUE(root->BeginScene());
    VEL::SpriteQuad front = Quad(10, 10, 8, 8, 0xFFFFFFFFu, 100);
    sprites->DrawQuad(&front, 0, 0, 0, 0);
    sprites->Flush();
    Ref<VEL::ID3DTexture> green(MakeTexture(8, 8, std::vector<uint32_t>(64, 0xFF00FF00u)));
    ASSERT_TRUE(sprites->SetTexture(green.get()));
    VEL::SpriteQuad back = Quad(14, 10, 8, 8, 0xFFFFFFFFu, 5000);
    sprites->DrawQuad(&back, 0, 0, 0, 0);
    VEL::SpriteQuad behindHole = Quad(12, 12, 1, 1, 0xFFFFFFFFu, 5000);
    sprites->DrawQuad(&behindHole, 0, 0, 0, 0);
    sprites->Flush();
    root->EndScene();
    const std::vector<uint32_t> frame = ReadFrame();
    EXPECT_EQ(frame[11 * kWidth + 15], 0xFFFF0000u) << "overlap: the earlier, nearer sprite stays";
    EXPECT_EQ(frame[11 * kWidth + 20], 0xFF00FF00u) << "outside the overlap the later sprite shows";
    EXPECT_EQ(frame[12 * kWidth + 12], 0xFF00FF00u) << "through the transparent column";
    EXPECT_EQ(frame[11 * kWidth + 11], 0xFFFF0000u);
}

TEST_F(SpriteTest, FlushWaitsForATextureLockedOnAnotherThread)
{
    Use(std::vector<uint32_t>(16, 0xFFFFFFFFu), 4, 4);
    VEL::D3DLockedRect r{};
    ASSERT_TRUE(texture->Lock(&r, false));
    // The other thread writes green, then unlocks: the flush draws what it wrote.
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(r.pBits) + y * r.Pitch)[x] = 0xFF00FF00u;
        texture->Unlock();
    });
    const auto start = std::chrono::steady_clock::now();
    const std::vector<uint32_t> frame = Frame({Quad(0, 0, 4, 4)});
    writer.join();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
    EXPECT_EQ(frame[kWidth + 1], 0xFF00FF00u);
}

TEST_F(SpriteTest, QueueCapacityAndEditing)
{
    Use(std::vector<uint32_t>(4, 0xFFFFFFFFu), 2, 2);
    EXPECT_EQ(sprites->GetCapacity(), 16u);
    EXPECT_FALSE(sprites->Initialize(0));
    EXPECT_FALSE(sprites->Initialize(0xFFFFFFFFu));
    EXPECT_EQ(sprites->GetCapacity(), 16u) << "a failed Initialize keeps the capacity";
    sprites->RemoveLastQuad(); // empty: nothing
    ASSERT_TRUE(sprites->Initialize(2));
    // Three quads into a queue of two: the third is dropped; RemoveLastQuad drops the second.
    VEL::SpriteQuad q[3] = {Quad(0, 0, 2, 2), Quad(4, 0, 2, 2), Quad(8, 0, 2, 2)};
    for (const auto& quad : q)
        sprites->DrawQuad(&quad, 0, 0, 0, 0);
    std::vector<uint32_t> frame = Frame({});
    EXPECT_EQ(frame[0], 0xFFFFFFFFu);
    EXPECT_EQ(frame[4], 0xFFFFFFFFu);
    EXPECT_EQ(frame[8], 0xFF000000u) << "beyond capacity";
    sprites->DrawQuad(&q[0], 0, 0, 0, 0);
    sprites->DrawQuad(&q[1], 0, 0, 0, 0);
    sprites->RemoveLastQuad();
    frame = Frame({});
    EXPECT_EQ(frame[0], 0xFFFFFFFFu);
    EXPECT_EQ(frame[4], 0xFF000000u);
    sprites->DrawQuad(&q[0], 0, 0, 0, 0);
    sprites->ClearQuads();
    EXPECT_EQ(Frame({})[0], 0xFF000000u);
}

TEST_F(SpriteTest, DrawModeRejectsValuesOutOfRange)
{
    sprites->SetDrawMode(1, true, 2);
    sprites->SetDrawMode(3, false, 0);
    sprites->SetDrawMode(0, false, 8);
    int32_t mode = -1, type = -1;
    bool blend = false;
    sprites->GetDrawMode(&mode, &blend, &type);
    EXPECT_EQ(mode, 1);
    EXPECT_TRUE(blend);
    EXPECT_EQ(type, 2);
    sprites->GetDrawMode(nullptr, nullptr, nullptr);
}

TEST_F(SpriteTest, DegenerateQuadDoesNotCostTheRestOfTheBatch)
{
    Use(std::vector<uint32_t>(4, 0xFFFFFFFFu), 2, 2);
    VEL::SpriteQuad point = Quad(20, 20, 0, 0);
    const std::vector<uint32_t> frame = Frame({Quad(0, 0, 2, 2), point, Quad(30, 0, 2, 2)}, 30.0f);
    size_t lit = 0;
    for (uint32_t p : frame)
        lit += p != 0xFF000000u;
    EXPECT_GT(lit, 4u);
    EXPECT_EQ(frame[20 * kWidth + 20], 0xFF000000u);
    EXPECT_NE(frame[1 * kWidth + 31], 0xFF000000u) << "the quad after the degenerate one is drawn";
}

TEST_F(SpriteTest, SixteenBitIndicesWhenTheDeviceAllowsOnlyThem)
{
    sprites.reset();
    ASSERT_TRUE(root->ReleaseDevice());
    platctl_d3d9_profile p;
    platctl_d3d9_default_profile(&p);
    p.max_vertex_index = 0xFFFF;
    p.max_primitive_count = 0xFFFF;
    platctl_d3d9_set_profile(&p);
    MakeDevice();
    sprites.reset(Create<VEL::ID3DRender>(VEL::IID_ID3DRender));
    EXPECT_FALSE(sprites->Initialize(0xFFFF / 6 + 1));
    ASSERT_TRUE(sprites->Initialize(0xFFFF / 6));
    Use(std::vector<uint32_t>(4, 0xFFFFFFFFu), 2, 2);
    std::vector<VEL::SpriteQuad> quads;
    for (int i = 0; i < 0xFFFF / 6; ++i)
        quads.push_back(Quad(i % 60, 40, 1, 1));
    quads.back() = Quad(62, 46, 1, 1);
    const std::vector<uint32_t> frame = Frame(quads);
    EXPECT_EQ(frame[46 * kWidth + 62], 0xFFFFFFFFu) << "the last quad of a full 16-bit batch";
}

} // namespace
