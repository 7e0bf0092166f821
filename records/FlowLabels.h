#pragma once
// Display labels of the enumerated settings of flows, commands, shots and stages. A stored value
// is the position of its label in its list. The runtime draws none of them; they name the
// values the data files hold. Lists end with an empty label unless noted.
#include <cstddef>

struct LABELLIST {
    const char* const* labels;
    std::size_t count; // labels before the end label
};

namespace labels {
// Flows and commands.
extern const LABELLIST kIdLetter;         // "-", "A".."Z"
extern const LABELLIST kIdLetterLower;    // "-", "a".."z"
extern const LABELLIST kAll;              // "全て"
extern const LABELLIST kWhoseFlows;       // self, target 1-4
extern const LABELLIST kFlowOp;
extern const LABELLIST kFlowOpScope;
extern const LABELLIST kSubjectWithSystem;
extern const LABELLIST kHeroSubject;
extern const LABELLIST kHeroSubjectWithSystem;
extern const LABELLIST kStatusOpTarget;
extern const LABELLIST kValueSource;
extern const LABELLIST kVarScope;
extern const LABELLIST kVarScopeWithChara;
extern const LABELLIST kPercentMode;
extern const LABELLIST kStatus3States;
extern const LABELLIST kKeyMode;
extern const LABELLIST kOn;
extern const LABELLIST kKeyCombine;
extern const LABELLIST kClearDestination;
extern const LABELLIST kClearFacing;
extern const LABELLIST kMessagePosition;
extern const LABELLIST kDisplayDuration;
extern const LABELLIST kTargetChoice;
extern const LABELLIST kTargetRange;
extern const LABELLIST kNoTarget;
extern const LABELLIST kVanishWhat;
extern const LABELLIST kRange;
extern const LABELLIST kPalette;
extern const LABELLIST kPaletteCommonOnly;
extern const LABELLIST kPicturePosition;
extern const LABELLIST kAnimePlay;
extern const LABELLIST kShow;
extern const LABELLIST kMoveTarget;
extern const LABELLIST kMoveDestination;
extern const LABELLIST kDiagonal;
extern const LABELLIST kCoordMode;
extern const LABELLIST kCoordModeNoPlacement;
extern const LABELLIST kTargetNumber;
extern const LABELLIST kTurning;
extern const LABELLIST kFacingChange;
extern const LABELLIST kMoveSpec;
extern const LABELLIST kTimeOrSpeed;
extern const LABELLIST kJumpHeight;
extern const LABELLIST kDistanceUnit;
extern const LABELLIST kItemPickup;
extern const LABELLIST kChangeFlow;
extern const LABELLIST kChangeFlowAll;
extern const LABELLIST kMoveDirection;    // 13 directions of the movement
extern const LABELLIST kCoordBase;        // 4 coordinate bases of the movement

// Shots and summons.
extern const LABELLIST kShotKind;
extern const LABELLIST kShotTarget;
extern const LABELLIST kAimMode;
extern const LABELLIST kBlockSummonMode;
extern const LABELLIST kPaletteSource;
extern const LABELLIST kPaletteSourceCommon;
extern const LABELLIST kPaletteChoice;
// Three parameter names per shot kind / aim mode, no end label; "" where a kind has none.
extern const char* const kShotKindParams[6][3];
extern const char* const kAimModeParams[10][3];

// Stage, world map and ending.
extern const LABELLIST kScrollMode;
extern const LABELLIST kResizeH;
extern const LABELLIST kResizeV;
extern const LABELLIST kSpeedLevel;       // 19 levels
extern const LABELLIST kHitCheckLevel;
extern const LABELLIST kAnchorH;
extern const LABELLIST kAnchorV;
extern const LABELLIST kRectDisplay;
extern const LABELLIST kRectColour;
extern const LABELLIST kAxis;
extern const LABELLIST kLayerPosition;
extern const LABELLIST kWorldCell;
extern const LABELLIST kAfterEnding;
} // namespace labels
