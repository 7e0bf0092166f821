#pragma once
// Drawing a character through its effect: the dispatch the play drawing calls for stage
// characters and the player, the gauges drawn over characters, and the work surfaces the
// effects draw through.
//
// The picture of a character's frame comes from the drawing of game objects: the callers hand
// in a function that fills the picture description for a picture number and a frame (its
// picture pair, direction and cell).
#include <functional>

#include "play/GameScene.h"

using CharaPictureFn = std::function<bool(cChara& c, i32 pictureNo, i32 frame, PictureDesc& desc)>;

// The effects' work surfaces and the mark sheet from the picture slots (null while the graphics
// layer is down), with the pointers chosen for the drawing mode.
void SelectEffectSurfaces(EffectSurfaces& surf, bool videoStretch);

// The 32 x 32 chip n of the mark sheet over an object at its screen position: at its own size,
// or stretched from the sheet's copy to its displayed size when it is magnified.
void DrawObjChip(const cObj& o, DDSURFACEDATA* target, i32 n);

// Draws a character of the play screen onto target: through its effect when neither hide flag
// is set (at its screen position, pinned axes replaced), with its mark chip over it when its
// definition shows one; a hidden character's effect only keeps time. An effect that ends goes
// back to none. With noStep set (a frozen draw) nothing advances.
void DrawCharaEffect(cChara& c, DDSURFACEDATA* target, i32 noStep, const CharaPictureFn& picture);
// The effect of a character that is not drawn: it keeps time. 1 when it ended.
i32 StepCharaEffect(cChara& c, i32 noStep);
// The dying player: 1 when the death sequence may go on. With the death-wait flag, as soon as
// the death effect ends (at once when none runs); without it, the death effect plays out and
// then 60 more drawn frames pass.
i32 DrawPlayerCharaEffect(cChara& c, DDSURFACEDATA* target, i32 noStep, const CharaPictureFn& picture);

// Gauges over a character while its HP or SP changes (not while it is dying): a 50 x 2 bar from
// the gauge strips of the sheet (the accessory picture when none is given), its filled part and
// the part that changed; the change shrinks over the first 60 of the gauge's 120 frames. A
// frozen draw shows the gauge without advancing it.
constexpr i32 GAUGE_HP = 0;
constexpr i32 GAUGE_SP = 1;
void DrawGaugeBar(cChara& c, DDSURFACEDATA* target, GAUGESTATE& gauge, i32 kind, i32 noStep,
                  DDSURFACEDATA* sheet = nullptr);
void DrawHPGauge(cChara& c, DDSURFACEDATA* target, i32 noStep, DDSURFACEDATA* sheet = nullptr);
void DrawSPGauge(cChara& c, DDSURFACEDATA* target, i32 noStep, DDSURFACEDATA* sheet = nullptr);

// Where the gauge strips lie in the sheet: the first row of the strips and the rows of each part
// below it (background, filled, gained, lost). The sheet's layout goes with the data version
// the game was made with (the stage's file): games from the version that brought the thin strips
// on have them as 2-dot rows from 210; older ones take the tops of the 16-dot rows from 144.
constexpr u32 kThinGaugeVersion = 209;
struct GAUGESTRIPS {
    i32 row = 128;
    i32 step = 16;
};
GAUGESTRIPS GaugeStrips(u32 dataVersion);
