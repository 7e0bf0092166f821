// The SDL presenter under the dummy video driver: the game thread hands frames over, the
// window thread shows them, and what the renderer shows is the frame.
#include <gtest/gtest.h>

#include <SDL.h>

#include <thread>

#include "platform/graphics/Presenter.h"
#include "tests/platform/graphics/GfxTestUtil.h"

TEST(SdlPresenter, FramesFromAnotherThreadAreShownUnchanged) {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    {
        cSdlPresenter presenter;
        ASSERT_TRUE(presenter.Init("test", 640, 480, false, true, true));
        EXPECT_EQ(presenter.VsyncOn(), presenter.RefreshRate() == 60);
        std::vector<u32> frame(640 * 480);
        for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = 0xFF000000u | static_cast<u32>(i * 2654435761u >> 8);
        std::thread game([&] {
            // Two frames in a row: the second replaces the first in the mailbox.
            std::vector<u32> first(640 * 480, 0xFF102030u);
            presenter.Present(first.data(), 640, 480);
            presenter.Present(frame.data(), 640, 480);
        });
        game.join();
        bool shown = false;
        SDL_Event ev;
        for (int i = 0; i < 10000 && !shown; ++i) {
            while (SDL_PollEvent(&ev)) shown |= presenter.HandleEvent(&ev);
            if (!shown) SDL_Delay(1);
        }
        ASSERT_TRUE(shown);
        EXPECT_EQ(presenter.ShownCount(), 1u);
        EXPECT_FALSE(presenter.ShowPending()) << "nothing new to show";
        std::vector<u32> back;
        int w = 0, h = 0;
        ASSERT_TRUE(presenter.ReadBack(&back, &w, &h));
        ASSERT_EQ(w, 640);
        ASSERT_EQ(h, 480);
        std::size_t diff = 0;
        for (std::size_t i = 0; i < back.size(); ++i) diff += (back[i] | 0xFF000000u) != frame[i];
        EXPECT_EQ(diff, 0u);
        // An 8-bit frame is shown through its palette, every pixel by its low byte.
        u32 lut[256];
        for (u32 i = 0; i < 256; ++i) lut[i] = 0xFF000000u | (i * 2246822519u >> 8);
        presenter.PresentIndexed(frame.data(), lut, 640, 480);
        shown = false;
        for (int i = 0; i < 10000 && !shown; ++i) {
            while (SDL_PollEvent(&ev)) shown |= presenter.HandleEvent(&ev);
            if (!shown) SDL_Delay(1);
        }
        ASSERT_TRUE(shown);
        ASSERT_TRUE(presenter.ReadBack(&back, &w, &h));
        ASSERT_EQ(back.size(), frame.size());
        diff = 0;
        for (std::size_t i = 0; i < back.size(); ++i) diff += (back[i] | 0xFF000000u) != lut[frame[i] & 255];
        EXPECT_EQ(diff, 0u);
        // A wake-up the event queue refused does not silence the frames after it.
        SDL_SetEventFilter([](void*, SDL_Event* e) { return e->type < SDL_USEREVENT ? 1 : 0; }, nullptr);
        presenter.Present(frame.data(), 640, 480);
        SDL_SetEventFilter(nullptr, nullptr);
        while (SDL_PollEvent(&ev)) EXPECT_FALSE(presenter.HandleEvent(&ev));
        presenter.Present(frame.data(), 640, 480);
        shown = false;
        for (int i = 0; i < 10000 && !shown; ++i) {
            while (SDL_PollEvent(&ev)) shown |= presenter.HandleEvent(&ev);
            if (!shown) SDL_Delay(1);
        }
        EXPECT_TRUE(shown) << "the next frame woke the window thread";
        // A frame of another size is refused rather than read past.
        std::vector<u32> small(16, 0);
        presenter.Present(small.data(), 4, 4);
        EXPECT_FALSE(presenter.ShowPending());
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}
