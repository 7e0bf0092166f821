// The start-up benchmark's reference: the least an SDL2 program does before its first frame can
// be shown: video started, a window opened with a renderer and a streaming texture for frames (as
// the runtime makes them with its window), the frame made in memory. Given a path, it then writes
// that frame there as a PPM picture, where the runtime's frame-dump seam writes the frame the
// benchmark times: handed over for showing, not yet uploaded nor presented (the runtime does
// neither without a display), so that both clocks stop at the same point. The upload and the
// present come after, timed here; given a second path, their time in microseconds is written
// there, so that the benchmark can say what a present adds. Then it ends at once.
#include <SDL.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kW = 640, kH = 480;

bool WriteFrame(const char* path, const std::vector<uint32_t>& argb) {
    FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    std::fprintf(f, "P6\n%d %d\n255\n", kW, kH);
    std::vector<unsigned char> rgb(argb.size() * 3);
    for (std::size_t i = 0; i < argb.size(); ++i) {
        rgb[i * 3] = static_cast<unsigned char>(argb[i] >> 16);
        rgb[i * 3 + 1] = static_cast<unsigned char>(argb[i] >> 8);
        rgb[i * 3 + 2] = static_cast<unsigned char>(argb[i]);
    }
    const bool ok = std::fwrite(rgb.data(), 1, rgb.size(), f) == rgb.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char** argv) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
    SDL_Window* window = SDL_CreateWindow("bare", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kW, kH, 0);
    if (!window) return 1;
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, 0);
    if (!renderer) return 1;
    SDL_Texture* texture =
        SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, kW, kH);
    if (!texture) return 1;
    // The frame: all black.
    const std::vector<uint32_t> frame(static_cast<std::size_t>(kW) * kH, 0xFF000000u);
    if (argc > 1 && !WriteFrame(argv[1], frame)) return 1;
    const auto start = std::chrono::steady_clock::now();
    SDL_UpdateTexture(texture, nullptr, frame.data(), kW * static_cast<int>(sizeof(uint32_t)));
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, texture, nullptr, nullptr);
    SDL_RenderPresent(renderer);
    const double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    if (argc > 2) {
        FILE* f = std::fopen(argv[2], "w");
        if (!f) return 1;
        std::fprintf(f, "%.1f\n", us);
        if (std::fclose(f) != 0) return 1;
    }
    std::_Exit(0);
}
