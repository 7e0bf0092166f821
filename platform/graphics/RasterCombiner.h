#pragma once
// The combiner ops that make a Direct3D quad something simpler, a copy or the plain blend: the
// combiner's rows (RasterCombiner.cpp), the blit and the turned quad all take those ways.
#include "platform/graphics/Raster.h"

namespace pixel_loops {

// The combiner ops whose result is the texel itself made opaque: the colour taken as it is
// (or modulated by white) and the alpha the diffuse's 255. The blend of an opaque texel is the
// texel, to the bit, so such a quad is a copy.
inline bool OpaqueCopy(const RasterOp& op) {
    const bool colourKept = op.colorOp == D3DTOP_SELECTARG1 ||
                            (op.colorOp == D3DTOP_MODULATE && (op.diffuse & 0xFFFFFFu) == 0xFFFFFFu);
    const bool alphaFull = (op.alphaOp == D3DTOP_SELECTARG2 || op.alphaOp == D3DTOP_DISABLE) && (op.diffuse >> 24) == 255;
    return colourKept && alphaFull;
}

// The combiner ops that leave the texel as it is (a white diffuse, its alpha kept): the blend
// is the plain alpha blend.
inline bool Identity(const RasterOp& op) {
    return op.diffuse == 0xFFFFFFFF && (op.colorOp == D3DTOP_MODULATE || op.colorOp == D3DTOP_SELECTARG1) &&
           (op.alphaOp == D3DTOP_SELECTARG1 || op.alphaOp == D3DTOP_MODULATE);
}

} // namespace pixel_loops
