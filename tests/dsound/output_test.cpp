// output_test.cpp - choosing the output: manual time, the null output's real time, the device.
#include "sound_fixture.h"

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

using namespace soundtest;

class OutputTest : public SoundTest {
protected:
    void TearDown() override
    {
        platctl_dsound_use_output(PLATCTL_DSOUND_MANUAL);
        SoundTest::TearDown();
    }

    // Waits up to 5 s of real time for the play cursor of a looping buffer to move.
    static bool CursorMoves(IDirectSoundBuffer* buffer)
    {
        const DWORD start = PlayCursor(buffer);
        for (int i = 0; i < 500; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (PlayCursor(buffer) != start)
                return true;
        }
        return false;
    }
};

TEST_F(OutputTest, ManualTimeStandsStillUntilRenderedAndAddsUpExactly)
{
    Com<IDirectSoundBuffer8> buffer = Make(Pcm(1, 16, 44100), 2 * 44100);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(PlayCursor(buffer.get()), 0u);
    // Ten 1 ms renders are 441 frames: the 0.1 frames of each carry over.
    platctl_dsound_read(nullptr, platctl_dsound_available());
    uint32_t frames = 0;
    for (int i = 0; i < 10; ++i)
        frames += platctl_dsound_render_ms(1);
    EXPECT_EQ(frames, 441u);
    EXPECT_EQ(platctl_dsound_available(), 441u);
    EXPECT_EQ(PlayCursor(buffer.get()), 441u * 2);
    EXPECT_EQ(platctl_dsound_read(nullptr, 400), 400u);
    EXPECT_EQ(platctl_dsound_available(), 41u);
}

TEST_F(OutputTest, TheNullOutputKeepsRealTime)
{
    ASSERT_EQ(platctl_dsound_use_output(PLATCTL_DSOUND_NULL), PLATCTL_DSOUND_NULL);
    EXPECT_EQ(platctl_dsound_render_frames(100), 0u); // only the manual output renders on request
    Com<IDirectSoundBuffer8> buffer = Make(Pcm(1, 16, 44100), 2 * 44100);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    EXPECT_TRUE(CursorMoves(buffer.get()));
}

TEST_F(OutputTest, TheDeviceOutputPlaysOrFallsBackToNull)
{
    // Under SDL's dummy audio driver the device opens; without any driver it falls back to null.
    const int output = platctl_dsound_use_output(PLATCTL_DSOUND_DEVICE);
    EXPECT_TRUE(output == PLATCTL_DSOUND_DEVICE || output == PLATCTL_DSOUND_NULL) << output;
    EXPECT_EQ(platctl_dsound_output(), output);
    Com<IDirectSoundBuffer8> buffer = Make(Pcm(2, 16, 44100), 4 * 44100);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    EXPECT_TRUE(CursorMoves(buffer.get()));
    // Back to manual while playing: time stands still again.
    ASSERT_EQ(platctl_dsound_use_output(PLATCTL_DSOUND_MANUAL), PLATCTL_DSOUND_MANUAL);
    const DWORD cursor = PlayCursor(buffer.get());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(PlayCursor(buffer.get()), cursor);
    Render(10);
    EXPECT_EQ(PlayCursor(buffer.get()), (cursor + 40) % (4 * 44100));
}

TEST_F(OutputTest, WithoutASoundCardTheGameStillRunsOnTheNullOutput)
{
    // An audio driver that does not exist stands for a machine without a sound card.
    const char* previous = std::getenv("SDL_AUDIODRIVER");
    const std::string saved = previous ? previous : "";
    setenv("SDL_AUDIODRIVER", "no_such_driver", 1);
    const int output = platctl_dsound_use_output(PLATCTL_DSOUND_DEVICE);
    if (previous)
        setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
    else
        unsetenv("SDL_AUDIODRIVER");
    EXPECT_EQ(output, PLATCTL_DSOUND_NULL);
    Com<IDirectSoundBuffer8> buffer = Make(Pcm(1, 8, 22050), 22050);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    EXPECT_TRUE(CursorMoves(buffer.get()));
}

TEST(OutputChoiceTest, UnknownOutputsAreRefused)
{
    const int before = platctl_dsound_output();
    EXPECT_EQ(platctl_dsound_use_output(7), -1);
    EXPECT_EQ(platctl_dsound_output(), before);
}
