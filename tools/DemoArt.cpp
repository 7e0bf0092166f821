#include "tools/DemoArt.h"

#include <array>
#include <cstdio>

#include "platform/system/Sjis.h"
#include "tools/DemoMedia.h"

namespace {

// Palette indexes used by the art.
enum : std::uint8_t {
    K = PAL_KEY, BLACK = 1, WHITE = 2, RED = 3, GREEN = 4, BLUE = 5, YELLOW = 6, BROWN = 7, DARK = 8,
    GREY = 9, LIGHT = 10, SKIN = 11, SKY = 12, LEAF = 13, ORANGE = 14, COAL = 15, FRAME = 240, TEXT = 241
};

const std::string kMap = "k=1w=2r=3g=4b=5y=6n=7d=8s=9l=10f=11c=12e=13o=14x=15";

// A small knight with a blue helmet, a red scarf and a green tunic.
const std::vector<std::string> kHeroStand = {
    ".....bbbbbb.....", "....bbbbbbbb....", "...bbwwbbbbbb...", "...bbffffffbb...", "...bfkffffkfb...",
    "...bffffffffb...", "....ffffrrff....", ".....ffffff.....", "...rrrrrrrrrr...", "..ggggggggggggs.",
    "..fggggyyggggfs.", "..fgggggggggg.s.", "...gggggggggg...", "...nnn....nnn...", "...nnn....nnn...",
    "..nnnn....nnnn..",
};
const std::vector<std::string> kHeroWalk = {
    ".....bbbbbb.....", "....bbbbbbbb....", "...bbwwbbbbbb...", "...bbffffffbb...", "...bfkffffkfb...",
    "...bffffffffb...", "....ffffrrff....", ".....ffffff.....", "..rrrrrrrrrr....", ".rrggggggggggs..",
    "..fggggyyggggfs.", "...ggggggggggs..", "...gggggggggg...", "..nnn......nnn..", ".nnn........nnn.",
    "nnnn........nnnn",
};
const std::vector<std::string> kHeroJump = {
    "f....bbbbbb....f", "f...bbbbbbbb...f", "g..bbwwbbbbbb..g", "g..bbffffffbb..g", "gg.bfkffffkfb.gg",
    ".g.bffffffffb.g.", ".gg.ffffrrff.gg.", "..g..ffffff..g..", "..grrrrrrrrrrg..", "...gggggggggg...",
    "...ggggyyggggs..", "...ggggggggggs..", "...gggggggggg...", "..nnn....nnn....", ".nnn......nnn...",
    "................",
};
const std::vector<std::string> kSlime = {
    "................", "................", "................", "................", "......gggg......",
    "....gggggggg....", "...gggggggggg...", "..ggwwggggwwgg..", "..ggwkggggwkgg..", ".gggwkggggwkggg.",
    ".gggggggggggggg.", ".ggggggrrgggggg.", "gggggggggggggggg", "gggggggggggggggg", ".gggggggggggggg.",
    "..eeeeeeeeeeee..",
};
const std::vector<std::string> kFlag = {
    "..w.............", "..wrrrrrr.......", "..wrrrrrrrr.....", "..wrrrrrrrrrr...", "..wrrrrrrrr.....",
    "..wrrrrrr.......", "..w.............", "..w.............", "..w.............", "..w.............",
    "..w.............", "..w.............", "..w.............", "..w.............", ".sss............",
    "sssss...........",
};
// A villager in a brown robe with a white beard, leaning on a stick.
const std::vector<std::string> kVillager = {
    "................", ".....nnnnnn.....", "....nnnnnnnn....", "....ffffffff....", "....fkffffkf....",
    "....ffffffff....", "....wwwwwwww....", ".....wwwwww.....", "...nnnnnnnnnn.s.", "..nnnnnnnnnnnns.",
    "..fnnnnnnnnnnfs.", "...nnnnnnnnnn.s.", "...nnnnnnnnnn.s.", "...nnnnnnnnnn.s.", "....dd....dd..s.",
    "...ddd....ddd.s.",
};
const std::vector<std::string> kCoin = {
    "................", ".....yyyyy......", "....yyyyyyy.....", "...yyowwyyyy....", "...yyowyyyyy....",
    "...yyoyyyyyy....", "...yyoyyyyyy....", "...yyoyyyyyy....", "...yyoyyyyyy....", "...yyoyyyyyy....",
    "...yyyyyyyoo....", "....yyyyyoo.....", ".....ooooo......", "................", "................",
    "................",
};
const std::vector<std::string> kHeart = {
    "................", "..rrr....rrr....", ".rrrrr..rrrrr...", "rrwwrrrrrrrrrr..", "rrwrrrrrrrrrrr..",
    "rrrrrrrrrrrrrr..", ".rrrrrrrrrrrr...", "..rrrrrrrrrr....", "...rrrrrrrr.....", "....rrrrrr......",
    ".....rrrr.......", "......rr........", "................", "................", "................",
    "................",
};

// The coin's second frame: turned edge-on.
const std::vector<std::string> kCoinTurn = {
    "................", "......yyy.......", ".....yyyyy......", ".....ywyyy......", ".....ywyyy......",
    ".....yoyyy......", ".....yoyyy......", ".....yoyyy......", ".....yoyyy......", ".....yoyyy......",
    ".....yyyyo......", ".....yyyoo......", "......ooo.......", "................", "................",
    "................",
};

void DrawBrick(cCanvas& c, int x, int y) {
    c.Fill(x, y, 32, 32, ORANGE);
    for (int row = 0; row < 4; ++row) {
        c.Fill(x, y + row * 8 + 7, 32, 1, BROWN);
        const int off = row % 2 ? 0 : 8;
        for (int k = off; k < 32; k += 16) c.Fill(x + k, y + row * 8, 1, 7, BROWN);
    }
}

void DrawGround(cCanvas& c, int x, int y) {
    c.Fill(x, y, 32, 32, BROWN);
    c.Fill(x, y, 32, 8, GREEN);
    for (int i = 0; i < 32; i += 4) c.Set(x + i, y + 8, GREEN);
    for (int i = 2; i < 32; i += 7) c.Fill(x + i, y + 14 + (i % 3) * 5, 3, 2, DARK);
}

void DrawStone(cCanvas& c, int x, int y) {
    c.Fill(x, y, 32, 32, GREY);
    c.Frame(x, y, 32, 32, DARK);
    c.Fill(x + 2, y + 2, 28, 2, LIGHT);
    c.Fill(x + 2, y + 2, 2, 28, LIGHT);
}

// The palette picture: rows 8..23 hold the 256 entries in order, 16 to a row, where the
// modes without a colour table (16 and 32 bits) read them from the pixels.
cCanvas Palette() {
    cCanvas c(16, 24);
    for (int i = 0; i < 256; ++i) c.Set(i % 16, 8 + i / 16, static_cast<std::uint8_t>(i));
    return c;
}

// The block sheet holds block picture n at ((n / 15) x 32, (n mod 15) x 32): fifteen cells down
// each column.
int CellX(int n) { return (n / 15) * 32; }
int CellY(int n) { return (n % 15) * 32; }

cCanvas Blocks() {
    cCanvas c(64, 480);
    // Cell 0 stays empty: block picture 0 draws nothing.
    DrawGround(c, CellX(1), CellY(1));
    DrawBrick(c, CellX(2), CellY(2));
    DrawStone(c, CellX(3), CellY(3));
    c.Fill(CellX(4), CellY(4), 32, 32, SKY); // a question block
    c.Frame(CellX(4), CellY(4), 32, 32, BROWN);
    c.Text(CellX(4) + 12, CellY(4) + 8, "?", WHITE, 3);
    c.Fill(CellX(5), CellY(5), 32, 32, LEAF);
    c.Sprite(CellX(5), CellY(5), kFlag, kMap, 2);
    return c;
}

cCanvas Characters() {
    cCanvas c(320, 128);
    c.Sprite(0, 0, kHeroStand, kMap, 2);
    c.Sprite(32, 0, kHeroWalk, kMap, 2);
    c.Sprite(64, 0, kHeroStand, kMap, 2);
    c.Sprite(96, 0, kHeroJump, kMap, 2);
    c.Sprite(0, 32, kSlime, kMap, 2);
    c.Sprite(32, 32, kSlime, kMap, 2);
    c.Sprite(0, 64, kFlag, kMap, 2);
    c.Sprite(0, 96, kVillager, kMap, 2);
    // The sign post by the first stage's start (picture 23): a board on a post.
    c.Fill(64 + 14, 64 + 14, 4, 18, BROWN);
    c.Fill(64 + 3, 64 + 4, 26, 12, ORANGE);
    c.Frame(64 + 3, 64 + 4, 26, 12, BROWN);
    for (int k = 0; k < 3; ++k) c.Fill(64 + 7 + k * 7, 64 + 9, 4, 2, BROWN);
    // The wall that the demo's switch opens (picture 22).
    c.Fill(32, 64, 32, 32, GREY);
    c.Frame(32, 64, 32, 32, BROWN);
    c.Fill(32, 79, 32, 2, BROWN);
    return c;
}

// Characters 2 to 8: the slime in another colour on each sheet (two walking frames), so that
// a stage may give its enemies any of the eight character pictures.
cCanvas MoreCharacters(int sheet) {
    static const std::uint8_t kBody[7] = {BLUE, RED, YELLOW, ORANGE, GREY, LEAF, BROWN};
    const std::string map = kMap + "g=" + std::to_string(kBody[(sheet - 2) % 7]);
    cCanvas c(320, 128);
    c.Sprite(0, 0, kSlime, map, 2);
    c.Sprite(32, 0, kSlime, map, 2);
    c.Fill(32, 30, 32, 2, PAL_KEY); // the second frame leaves the ground
    return c;
}

// Shot pictures: 16-dot cells, each with its second animation frame in the row below.
cCanvas Shots() {
    cCanvas c(160, 32);
    for (int i = 0; i < 16; ++i) c.Fill(4 + (i % 2), 4, 8 - (i % 2) * 2, 8, i % 2 ? YELLOW : ORANGE);
    c.Fill(2, 6, 12, 4, YELLOW);
    c.Fill(20, 5, 8, 6, BLUE);
    c.Fill(3, 19, 10, 10, ORANGE);
    c.Fill(5, 21, 6, 6, YELLOW);
    c.Fill(21, 20, 6, 8, BLUE);
    c.Fill(22, 21, 4, 6, WHITE);
    return c;
}

// The sword's two cells (32 x 16): the blade raised, then thrust ahead.
cCanvas Blades() {
    cCanvas c(64, 16);
    for (int i = 0; i < 12; ++i) c.Fill(4 + i * 2, 13 - i, 3, 2, LIGHT);
    c.Fill(2, 12, 4, 3, BROWN);
    c.Fill(6, 7, 24, 2, LIGHT);
    c.Fill(6, 6, 22, 1, WHITE);
    c.Fill(32, 5, 4, 6, BROWN);
    c.Fill(36, 7, 26, 2, LIGHT);
    c.Fill(36, 6, 24, 1, WHITE);
    return c;
}

// Each row of item pictures is followed by the row of their second animation frames: the coin
// turns, the heart beats (without its shine), the flag and the switch stay as they are.
cCanvas Items(int cell) {
    cCanvas c(cell * 10, cell * 2);
    const int scale = cell / 16;
    for (int frame = 0; frame < 2; ++frame) {
        const int y = frame * cell;
        c.Sprite(cell, y, frame ? kCoinTurn : kCoin, kMap, scale);
        c.Sprite(cell * 2, y, kHeart, frame ? kMap + "w=3" : kMap, scale);
        c.Sprite(cell * 3, y, kFlag, kMap, scale);
        // The switch (item picture 4): a red button on a grey base.
        c.Fill(cell * 4 + cell / 8, y + cell * 3 / 4, cell * 3 / 4, cell / 4, GREY);
        c.Fill(cell * 4 + cell / 4, y + cell / 2, cell / 2, cell / 4, RED);
    }
    return c;
}

// The board the sign post shows: the hero's buttons, on wood.
cCanvas SignBoard() {
    cCanvas c(128, 72, ORANGE);
    c.Frame(0, 0, 128, 72, BROWN);
    c.Frame(1, 1, 126, 70, BROWN);
    c.Fill(2, 2, 124, 2, YELLOW);
    const char* const lines[3] = {"Z  JUMP", "X  SHOT", "C  SWORD"};
    for (int i = 0; i < 3; ++i) {
        c.Text(17, 11 + i * 19, lines[i], BROWN, 3);
        c.Text(16, 10 + i * 19, lines[i], WHITE, 3);
    }
    return c;
}

cCanvas Marks() {
    cCanvas c(256, 32);
    c.Frame(32, 0, 32, 32, YELLOW);
    c.Text(40, 8, "!", RED, 3);
    return c;
}

// The boss's own bitmap: cells of two blocks (64 dots), a crowned red slime in two frames, the
// second crouching.
cCanvas BossBitmap() {
    cCanvas c(128, 64);
    for (int frame = 0; frame < 2; ++frame) {
        const int x = frame * 64, y = frame * 4;
        c.Sprite(x, y, kSlime, kMap + "g=3", 4);
        c.Fill(x + 20, y + 6, 24, 6, YELLOW);
        for (int k = 0; k < 3; ++k) c.Fill(x + 20 + k * 10, y, 4, 6, YELLOW);
    }
    return c;
}

// The background of every window and text box: boxes take its top-left part at their size,
// so it covers the screen.
cCanvas WindowFrame() {
    cCanvas c(640, 480, FRAME);
    c.Frame(0, 0, 640, 480, GREY);
    return c;
}

cCanvas StatusWindow() {
    cCanvas c(640, 32, FRAME);
    c.Frame(0, 0, 640, 20, WHITE);
    return c;
}

cCanvas Title() {
    cCanvas c(640, 480, SKY);
    c.Fill(0, 400, 640, 80, BROWN);
    c.Fill(0, 400, 640, 16, GREEN);
    c.Text(80, 96, "TOBRELK DEMO", WHITE, 10);
    c.Text(83, 99, "TOBRELK DEMO", BLUE, 10);
    // Sparkles in the colours that cycle in the palette mode (entries 208..239: eight groups of
    // four, each turned by one entry every few frames).
    for (int k = 0; k < 32; ++k) c.Fill(16 + k * 19, 40 + (k % 3) * 6, 6, 6, static_cast<std::uint8_t>(208 + k));
    c.Sprite(120, 336, kHeroStand, kMap, 4);
    c.Sprite(440, 336, kSlime, kMap, 4);
    return c;
}

cCanvas GameMode() {
    static const char* const kModes[7] = {"NEW GAME", "CONTINUE", "CHALLENGE", "FREE", "REPLAY", "OPTIONS", "EXIT"};
    cCanvas c(256, 224);
    for (int i = 0; i < 7; ++i) c.Text(8, i * 32 + 6, kModes[i], WHITE, 4);
    return c;
}

cCanvas Accessory() {
    cCanvas c(128, 224);
    // the big cursor, and the small one of the play screen's menus at (64, 0)
    for (int i = 0; i < 12; ++i) c.Fill(8 + i, 4 + i, 1, 24 - 2 * i, YELLOW);
    for (int i = 0; i < 6; ++i) c.Fill(68 + i, 2 + i, 1, 12 - 2 * i, YELLOW);
    // the status bar's icons at y 32: score, stage score, HP, SP, lives
    c.Sprite(0, 32, kCoin, kMap, 1);
    c.Sprite(16, 32, kCoin, kMap + "y=14", 1);
    c.Sprite(32, 32, kHeart, kMap, 1);
    c.Text(51, 37, "SP", BLUE, 1);
    c.Sprite(64, 32, kHeroStand, kMap, 1);
    // the HP and SP gauges at x 0 and 64: frames at y 128, fills at 144, warning fills at 160
    for (int g = 0; g < 2; ++g) {
        const int x = 64 * g;
        c.Frame(x, 128, 50, 16, WHITE);
        c.Fill(x + 1, 129, 48, 14, BLACK);
        c.Fill(x, 146, 50, 12, g ? BLUE : GREEN);
        c.Fill(x, 162, 50, 12, RED);
        // The thin gauge over a character, 2-dot rows from 210: its background, its fill, what
        // it just gained and what it just lost.
        c.Fill(x, 210, 50, 2, BLACK);
        c.Fill(x, 212, 50, 2, g ? BLUE : GREEN);
        c.Fill(x, 214, 50, 2, WHITE);
        c.Fill(x, 216, 50, 2, RED);
    }
    // life icon and marker
    c.Sprite(0, 48, kHeart, kMap, 1);
    c.Fill(20, 52, 8, 8, RED);
    // small cursor / map figure facing down, up, left, right; the map figure alternates between
    // each direction's picture and the one 32 dots to its right
    c.Sprite(0, 64, kHeroStand, kMap, 2);
    c.Sprite(32, 64, kHeroWalk, kMap, 2);
    c.Sprite(64, 64, kHeroStand, kMap, 2);
    c.Sprite(96, 64, kHeroWalk, kMap, 2);
    c.Sprite(64, 96, kHeroWalk, kMap, 2);
    c.Sprite(96, 96, kHeroStand, kMap, 2);
    c.Sprite(0, 96, kHeroWalk, kMap, 2);
    c.Sprite(32, 96, kHeroStand, kMap, 2);
    return c;
}

cCanvas Symbols() {
    cCanvas c(256, 16);
    c.Text(2, 3, "S", YELLOW, 2);
    c.Text(18, 3, "S", ORANGE, 2);
    c.Text(34, 3, "H", RED, 2);
    c.Text(50, 3, "P", BLUE, 2);
    c.Sprite(64, 0, kHeroStand, kMap, 1);
    return c;
}

// The play screen's words: the start banner (0, 0) 128 x 32, the second banner (160, 0)
// 80 x 32, the replay banner (0, 32), the clear banner (0, 64), game over (0, 96) 144 x 32,
// then the stage-number digits at y 128 and the time digits at y 160, 32 dots each.
cCanvas Words() {
    cCanvas c(640, 256);
    c.Text(4, 4, "STAGE", WHITE, 6);
    c.Text(164, 4, "GO!", YELLOW, 6);
    c.Text(4, 36, "REPLAY", ORANGE, 5);
    // The end banners stand over blocks and characters: a dark edge keeps their letters in front.
    auto edged = [&](int x, int y, const char* text, std::uint8_t colour, int scale) {
        for (int dy = -2; dy <= 2; dy += 2)
            for (int dx = -2; dx <= 2; dx += 2)
                if (dx || dy) c.Text(x + dx, y + dy, text, COAL, scale);
        c.Text(x, y, text, colour, scale);
    };
    edged(4, 68, "CLEAR!", YELLOW, 5);
    edged(4, 100, "GAME OVER", RED, 4);
    for (int d = 0; d < 10; ++d) {
        c.Glyph(d * 32 + 8, 132, static_cast<char>('0' + d), WHITE, 5);
        c.Glyph(d * 32 + 8, 164, static_cast<char>('0' + d), YELLOW, 5);
    }
    return c;
}

cCanvas MapChips() {
    cCanvas c(160, 64);
    c.Fill(0, 0, 32, 32, BLUE); // sea
    c.Fill(32, 0, 32, 32, GREEN);
    for (int i = 0; i < 6; ++i) c.Fill(36 + i * 4, 20 - i * 2, 8, 4 + i * 2, LEAF); // hill
    c.Fill(64, 0, 32, 32, GREY); // mountain
    c.Fill(96, 0, 32, 32, GREEN);
    c.Fill(128, 0, 32, 32, YELLOW); // path
    c.Fill(0, 32, 32, 32, GREEN);
    return c;
}

// Map marks, one row per picture number; the left column while a stage is open, the right one
// once it is done. Rows 0 and 1 are stages, row 2 a closed gate, row 3 the same gate opened.
cCanvas WorldEvents() {
    cCanvas c(64, 128);
    for (int row = 0; row < 2; ++row) {
        c.Fill(6, row * 32 + 6, 20, 20, row == 1 ? ORANGE : RED);
        c.Fill(38, row * 32 + 6, 20, 20, YELLOW);
        c.Frame(6, row * 32 + 6, 20, 20, WHITE);
        c.Frame(38, row * 32 + 6, 20, 20, WHITE);
    }
    for (int col = 0; col < 2; ++col) {
        const int x = col * 32;
        c.Fill(x + 2, 64 + 2, 28, 28, GREY);
        for (int bar = 0; bar < 4; ++bar) c.Fill(x + 5 + bar * 7, 64 + 4, 2, 24, DARK);
        c.Frame(x + 2, 64 + 2, 28, 28, BLACK);
        c.Fill(x + 2, 96 + 2, 5, 28, GREY);
        c.Fill(x + 25, 96 + 2, 5, 28, GREY);
        c.Fill(x + 7, 96 + 20, 18, 8, BROWN);
    }
    return c;
}

cCanvas Background(int hills) {
    cCanvas c(640, 480, SKY);
    for (int i = 0; i < 4; ++i) c.Fill(60 + i * 170, 60 + (i % 2) * 30, 70, 20, WHITE);
    for (int i = 0; i < hills; ++i) {
        const int cx = 80 + i * 640 / hills;
        for (int y = 0; y < 120; ++y) c.Fill(cx - y, 360 + y / 2 - 60 + 60, 2 * y, 1, LEAF);
    }
    return c;
}

// The dark cave's rock: a deep grey wall with darker seams, hardly seen beyond the hero's light.
cCanvas CaveBack() {
    cCanvas c(640, 480, COAL);
    for (int i = 0; i < 40; ++i) {
        const int x = (i * 149) % 620, y = (i * 97) % 460;
        c.Fill(x, y, 14 + i % 5 * 4, 2, DARK);
        c.Fill(x + 4, y + 2, 2, 6 + i % 3 * 3, DARK);
    }
    return c;
}

cCanvas Debug() {
    cCanvas c(64, 16);
    c.Text(2, 4, "DEBUG", WHITE, 1);
    return c;
}

// The blend tables of the 8-bit palette mode, one per palette arrangement n (0..23) that the
// options offer: entries 16..207 turned by n x 16 (n below 12), or each 16-entry block there
// a copy of the block at (n - 11) x 16. Entry [a * 256 + b] is the entry nearest to the mix of
// colours a and b, found through a 32 x 32 x 32 colour cube.
std::string BlendTable(int n) {
    std::array<RGB8, 256> pal = DemoPalette();
    const std::array<RGB8, 256> base = pal;
    for (int i = 0; i < 192; ++i)
        pal[16 + i] = n < 12 ? base[16 + (i + n * 16) % 192] : base[(n - 11) * 16 + i % 16];
    std::vector<std::uint8_t> cube(32 * 32 * 32);
    for (int q = 0; q < 32 * 32 * 32; ++q) {
        const int r = (q >> 10) * 8 + 4, g = ((q >> 5) & 31) * 8 + 4, b = (q & 31) * 8 + 4;
        int best = 1, bestD = 1 << 30;
        for (int i = 1; i < 256; ++i) { // entry 0 is the transparent colour
            const int dr = pal[i].r - r, dg = pal[i].g - g, db = pal[i].b - b;
            const int d = dr * dr + dg * dg + db * db;
            if (d < bestD) {
                bestD = d;
                best = i;
            }
        }
        cube[q] = static_cast<std::uint8_t>(best);
    }
    std::string t(65536, '\0');
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; ++b) {
            const int r = (pal[a].r + pal[b].r) / 2, g = (pal[a].g + pal[b].g) / 2, bl = (pal[a].b + pal[b].b) / 2;
            t[static_cast<std::size_t>(a) * 256 + b] = static_cast<char>(cube[(r >> 3) << 10 | (g >> 3) << 5 | (bl >> 3)]);
        }
    return t;
}

} // namespace

std::vector<std::pair<std::string, std::string>> MakeDemoPictures() {
    std::vector<std::pair<std::string, std::string>> tables;
    for (int n = 0; n < 24; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "bmp\\hbt\\hbt%02d.dat", n);
        tables.emplace_back(name, BlendTable(n));
    }
    std::vector<std::pair<std::string, std::string>> pictures = {
        {"bmp\\plt\\Palette.bmp", Palette().ToBmp()},
        {"bmp\\Debug.bmp", Debug().ToBmp()},
        {"bmp\\Block.bmp", Blocks().ToBmp()},
        {"bmp\\Character1.bmp", Characters().ToBmp()},
        {"bmp\\Character2.bmp", MoreCharacters(2).ToBmp()},
        {"bmp\\Character3.bmp", MoreCharacters(3).ToBmp()},
        {"bmp\\Character4.bmp", MoreCharacters(4).ToBmp()},
        {"bmp\\Character5.bmp", MoreCharacters(5).ToBmp()},
        {"bmp\\Character6.bmp", MoreCharacters(6).ToBmp()},
        {"bmp\\Character7.bmp", MoreCharacters(7).ToBmp()},
        {"bmp\\Character8.bmp", MoreCharacters(8).ToBmp()},
        {"bmp\\Shot.bmp", Shots().ToBmp()},
        {"bmp\\Item.bmp", Items(32).ToBmp()},
        {"bmp\\Item_Mini.bmp", Items(16).ToBmp()},
        {"bmp\\Mark.bmp", Marks().ToBmp()},
        {"bmp\\Window.bmp", WindowFrame().ToBmp()},
        {"bmp\\StatusWindow.bmp", StatusWindow().ToBmp()},
        {"bmp\\Title.bmp", Title().ToBmp()},
        {"bmp\\GameMode.bmp", GameMode().ToBmp()},
        {"bmp\\Accessory.bmp", Accessory().ToBmp()},
        {"bmp\\Symbol.bmp", Symbols().ToBmp()},
        {"bmp\\Word.bmp", Words().ToBmp()},
        {"bmp\\WorldMapChip.bmp", MapChips().ToBmp()},
        {"bmp\\WorldEvent.bmp", WorldEvents().ToBmp()},
        {"bmp\\WorldBack.bmp", Background(3).ToBmp()},
        {"bmp\\back\\Hills.bmp", Background(4).ToBmp()},
        {"bmp\\back\\Sky.bmp", Background(0).ToBmp()},
        {"bmp\\effect\\Spark.bmp", Shots().ToBmp()},
        {"bmp\\back\\Cave.bmp", CaveBack().ToBmp()},
        {"bmp\\picture\\Sign.bmp", SignBoard().ToBmp()},
        {"bmp\\sword\\Sword.bmp", Blades().ToBmp()},
        {"bmp\\chara_sp\\Boss.bmp", BossBitmap().ToBmp()},
    };
    // Start-up loads every picture slot, the eight background slots under their standing names
    // too; each stage then gives those slots its own pictures, so these only stand in until the
    // first stage starts.
    for (int n = 1; n <= 8; ++n)
        pictures.emplace_back(Utf8ToSjis("背景その" + std::to_string(n) + ".bmp"), cCanvas(32, 32, SKY).ToBmp());
    pictures.insert(pictures.end(), tables.begin(), tables.end());
    return pictures;
}
