#pragma once
// The front end's frame while the graphics layer is not joined to it: a 640x480 ARGB back
// buffer in memory that the game thread draws into and hands to the window at present.
#include <vector>

#include "platform/system/Types.h"

constexpr int kScreenW = 640;
constexpr int kScreenH = 480;

// A picture in memory (ARGB, top-down).
struct cPicture {
    int w = 0;
    int h = 0;
    std::vector<u32> px;
    bool Empty() const { return w <= 0 || h <= 0; }
};

// The transparent colour of the pictures (RGB; alpha is ignored). Pixels with alpha 0 are
// transparent too.
extern u32 g_dwKeyColour;

struct cFrame {
    std::vector<u32> vPixel = std::vector<u32>(static_cast<std::size_t>(kScreenW) * kScreenH, 0xFF000000u);

    // Draws into 640x480 ARGB pixels owned elsewhere (the graphics layer's back buffer) instead
    // of vPixel; null goes back to vPixel.
    void Bind(u32* external) { m_pExternal = external; }
    u32* Data() { return m_pExternal ? m_pExternal : vPixel.data(); }
    const u32* Data() const { return m_pExternal ? m_pExternal : vPixel.data(); }

    void Fill(u32 argb);
    // The whole picture of another frame, into whichever pixels this one draws to.
    void CopyFrom(const cFrame& src);
    // Clipped to the frame.
    void FillRect(int x, int y, int w, int h, u32 argb);
    void FrameRect(int x, int y, int w, int h, u32 argb);
    // Scales every pixel's brightness to level/256 (the fades).
    void Darken(int level);
    u32 At(int x, int y) const;
    // Copies (w x h) of a picture from (sx, sy) to (x, y), clipped on both sides; with key set,
    // transparent pixels are skipped.
    void Blt(int x, int y, int w, int h, const cPicture& src, int sx, int sy, bool key);
    // Copies the (w x h) rectangle at (x, y) of palette-index pixels laid out like the frame
    // (640 per row) into the same place, each index through lut; pixels equal to skip, or not
    // an index at all, leave the frame as it is. Clipped to the frame.
    void BltIndexed(int x, int y, int w, int h, const u32* indexes, const u32 (&lut)[256], u32 skip);

private:
    u32* m_pExternal = nullptr;
};

// The same copy between two pictures.
void PictureBlt(cPicture& dst, int x, int y, int w, int h, const cPicture& src, int sx, int sy, bool key);

// The frame of the game thread.
extern cFrame g_BackBuffer;
