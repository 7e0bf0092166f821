#include "records/FlowLabels.h"

// One array per list, in value order, each closed by an empty label.

namespace labels {
namespace {
const char* const a_IdLetter[] = {"-", "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z", ""};
const char* const a_IdLetterLower[] = {"-", "a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n", "o", "p", "q", "r", "s", "t", "u", "v", "w", "x", "y", "z", ""};
const char* const a_All[] = {"全て", ""};
const char* const a_WhoseFlows[] = {"自分", "ターゲット1", "ターゲット2", "ターゲット3", "ターゲット4", ""};
const char* const a_FlowOp[] = {"開始", "終了", "一時停止", "再開", "削除", "永久停止", ""};
const char* const a_FlowOpScope[] = {"このフロー", "このフロー以外全て", "指定IDのフロー", ""};
const char* const a_SubjectWithSystem[] = {"自分", "ターゲット1", "ターゲット2", "ターゲット3", "ターゲット4", "システム", ""};
const char* const a_HeroSubject[] = {"主人公", "ターゲット1", "ターゲット2", "ターゲット3", "ターゲット4", ""};
const char* const a_HeroSubjectWithSystem[] = {"主人公", "ターゲット1", "ターゲット2", "ターゲット3", "ターゲット4", "システム", ""};
const char* const a_StatusOpTarget[] = {"ステータス", "変数", ""};
const char* const a_ValueSource[] = {"定数", "乱数", "ステータス", "変数", ""};
const char* const a_VarScope[] = {"コモン変数", "ステージ変数", ""};
const char* const a_VarScopeWithChara[] = {"コモン変数", "ステージ変数", "キャラ変数", ""};
const char* const a_PercentMode[] = {"通常の計算", "最大値に対する％で指定", "現在値に対する％で指定", ""};
const char* const a_Status3States[] = {"左向き", "右向き", "ブロックに乗っている(ブロックキャラも含む)", "画面内にいる", "存在している", ""};
const char* const a_KeyMode[] = {"--", "押", "離", ""};
const char* const a_On[] = {"ON", ""};
const char* const a_KeyCombine[] = {"全てのキーが真なら成立", "1つ以上のキーが真なら成立", "1つだけキーが真なら成立", ""};
const char* const a_ClearDestination[] = {"次のステージへ", "番号で指定", "パスで指定", "ワールドクリア", ""};
const char* const a_ClearFacing[] = {"左向き", "右向き", "ステージクリア時の向きと同じ", ""};
const char* const a_MessagePosition[] = {"画面中央に表示", "自分の上に表示", "自分の下に表示", "自分の中心に表示", "主人公の上に表示", "主人公の下に表示", "主人公の中心に表示", "画面座標で指定", "ステージ座標で指定", ""};
const char* const a_DisplayDuration[] = {"進行キーが押されるまで表示", "ステージ終了まで表示", "時間で指定", ""};
const char* const a_TargetChoice[] = {"主人公", "自分", "最も近いキャラ", "キャラ（キャラIDで指定）", "親キャラ（自分を召喚したキャラ）", "子キャラ（最後に召喚したキャラ）", "子キャラ（条件付き。後で召喚したキャラ優先)", "ターゲット1", "ターゲット2", "ターゲット3", "ターゲット4", ""};
const char* const a_TargetRange[] = {"全範囲（画面内のキャラ優先）", "全範囲", "画面内", ""};
const char* const a_NoTarget[] = {"ターゲット無し", "ターゲットを変更しない", ""};
const char* const a_VanishWhat[] = {"キャラ", "ショット", "子以下のキャラ", "子のショット", "子以下のキャラと子以下のショット", "子以下のキャラと孫以下のショット", ""};
const char* const a_Range[] = {"画面内", "全範囲", ""};
const char* const a_Palette[] = {"コモンパレット", "ステージパレット", ""};
const char* const a_PaletteCommonOnly[] = {"コモンパレット", ""};
const char* const a_PicturePosition[] = {"画面中央に表示", "キャラの中心に表示", "主人公の中心に表示", "画面座標で指定", "ステージ座標で指定", ""};
const char* const a_AnimePlay[] = {"通常実行", "反転実行", "往復実行", ""};
const char* const a_Show[] = {"表示", "非表示", "反転(表示⇔非表示)", ""};
const char* const a_MoveTarget[] = {"方向で指定", "目標座標で指定", ""};
const char* const a_MoveDestination[] = {"方向と距離で指定", "ターゲット1からの方向と距離で指定", "ターゲット2からの方向と距離で指定", "ターゲット3からの方向と距離で指定", "ターゲット4からの方向と距離で指定", "目標座標で指定", ""};
const char* const a_Diagonal[] = {"左上", "左下", "右上", "右下", "入力方向", ""};
const char* const a_CoordMode[] = {"配置位置からの相対座標", "相対座標", "絶対座標", "画面座標", ""};
const char* const a_CoordModeNoPlacement[] = {"相対座標", "絶対座標", "画面座標", ""};
const char* const a_TargetNumber[] = {"ターゲット1", "ターゲット2", "ターゲット3", "ターゲット4", ""};
const char* const a_Turning[] = {"右回り", "左回り", "左向きなら右回り、右向きなら左回り", "左向きなら左回り、右向きなら右回り", ""};
const char* const a_FacingChange[] = {"左を向く", "右を向く", "ターゲット1がいる方を向く", "ターゲット1がいる方の逆を向く", "ターゲット2がいる方を向く", "ターゲット2がいる方の逆を向く", "ターゲット3がいる方を向く", "ターゲット3がいる方の逆を向く", "ターゲット4がいる方を向く", "ターゲット4がいる方の逆を向く", "最後にブロックが当たった方を向く", "最後にブロックが当たった方の逆を向く", ""};
const char* const a_MoveSpec[] = {"時間と速度を指定", "時間と距離を指定", "速度と距離を指定", ""};
const char* const a_TimeOrSpeed[] = {"時間を指定", "速度を指定", ""};
const char* const a_JumpHeight[] = {"高さがキーで調節できない", "高さがキーで調節できる(主人公のみ有効)", "慣性移動速度に応じて高さを決定(主人公のみ有効)", ""};
const char* const a_DistanceUnit[] = {"(hbl)で指定", "(dot)で指定", ""};
const char* const a_ItemPickup[] = {"1回だけ取れる", "何回でも取れる", "取れない", ""};
const char* const a_ChangeFlow[] = {"追加", "変更", "削除", ""};
const char* const a_ChangeFlowAll[] = {"全て削除", ""};
const char* const a_MoveDirection[] = {"前", "後", "左", "右", "前Y", "後Y", "上", "下", "左上", "左下", "右上", "右下", "入力方向", ""};
const char* const a_CoordBase[] = {"配置位置からの相対座標", "相対座標", "絶対座標", "画面座標", ""};
const char* const a_ShotKind[] = {"直進A", "直進B", "拡散", "落雷", "爆発", "包囲", ""};
const char* const a_ShotTarget[] = {"ターゲット", "主人公", "自分", ""};
const char* const a_AimMode[] = {"直進", "主人公を狙う", "近いキャラを狙う", "ターゲットを狙う", "主人公へ誘導", "近いキャラへ誘導（対象死亡時、誘導を無効化）", "ターゲットへ誘導", "近いキャラへ誘導（対象死亡時、対象を変更）", "ウェーブ", "落下", ""};
const char* const a_BlockSummonMode[] = {"ブロックを召喚", "ブロックを消す", "ブロックがなければ召喚、ブロックがあれば消す", ""};
const char* const a_PaletteSource[] = {"コモンパレット", "ステージパレット", ""};
const char* const a_PaletteSourceCommon[] = {"コモンパレット", ""};
const char* const a_PaletteChoice[] = {"パレットの設定に準ずる", "使用者と同じ", "番号で指定", ""};
const char* const a_ScrollMode[] = {"主人公の位置に合わせてスクロール", "オートスクロール", ""};
const char* const a_ResizeH[] = {"右方向へ拡張（または右を削除）", "左方向へ拡張（または左を削除）", ""};
const char* const a_ResizeV[] = {"下方向へ拡張（または下を削除）", "上方向へ拡張（または上を削除）", ""};
const char* const a_SpeedLevel[] = {"レベル1 (速度制限=60)", "レベル2 (速度制限=120)", "レベル3 (速度制限=180)", "レベル4 (速度制限=240)", "レベル5 (速度制限=300)", "レベル6 (速度制限=360)", "レベル7 (速度制限=420)", "レベル8 (速度制限=480)", "レベル9 (速度制限=540)", "レベル10 (速度制限=600)", "レベル1 (速度制限=600)", "レベル2 (速度制限=600)", "レベル3 (速度制限=600)", "レベル4 (速度制限=600)", "レベル5 (速度制限=600)", "レベル6 (速度制限=600)", "レベル7 (速度制限=600)", "レベル8 (速度制限=600)", "レベル9 (速度制限=600)", ""};
const char* const a_HitCheckLevel[] = {"最大 (当たり判定レベルと同じ)", "1 (対応速度=60)", "2 (対応速度=最大120)", "3 (対応速度=最大180)", "4 (対応速度=最大240)", "5 (対応速度=最大300)", ""};
const char* const a_AnchorH[] = {"中央", "下", ""};
const char* const a_AnchorV[] = {"中", "下", ""};
const char* const a_RectDisplay[] = {"表示しない", "表示する", "枠のみ表示", ""};
const char* const a_RectColour[] = {"赤", "緑", "青", "黄", "赤紫", "青紫", "黒", "虹", ""};
const char* const a_Axis[] = {"水平方向", "垂直方向", ""};
const char* const a_LayerPosition[] = {"前", "後", "上", "下", ""};
const char* const a_WorldCell[] = {"ワールド", "道", "壁", ""};
const char* const a_AfterEnding[] = {"しない", "2周目へ突入", "タイトルへ戻る", ""};
} // namespace

#define TOBRELK_LABELS(name, array) const LABELLIST name = {array, sizeof(array) / sizeof(array[0]) - 1}
TOBRELK_LABELS(kIdLetter, a_IdLetter);
TOBRELK_LABELS(kIdLetterLower, a_IdLetterLower);
TOBRELK_LABELS(kAll, a_All);
TOBRELK_LABELS(kWhoseFlows, a_WhoseFlows);
TOBRELK_LABELS(kFlowOp, a_FlowOp);
TOBRELK_LABELS(kFlowOpScope, a_FlowOpScope);
TOBRELK_LABELS(kSubjectWithSystem, a_SubjectWithSystem);
TOBRELK_LABELS(kHeroSubject, a_HeroSubject);
TOBRELK_LABELS(kHeroSubjectWithSystem, a_HeroSubjectWithSystem);
TOBRELK_LABELS(kStatusOpTarget, a_StatusOpTarget);
TOBRELK_LABELS(kValueSource, a_ValueSource);
TOBRELK_LABELS(kVarScope, a_VarScope);
TOBRELK_LABELS(kVarScopeWithChara, a_VarScopeWithChara);
TOBRELK_LABELS(kPercentMode, a_PercentMode);
TOBRELK_LABELS(kStatus3States, a_Status3States);
TOBRELK_LABELS(kKeyMode, a_KeyMode);
TOBRELK_LABELS(kOn, a_On);
TOBRELK_LABELS(kKeyCombine, a_KeyCombine);
TOBRELK_LABELS(kClearDestination, a_ClearDestination);
TOBRELK_LABELS(kClearFacing, a_ClearFacing);
TOBRELK_LABELS(kMessagePosition, a_MessagePosition);
TOBRELK_LABELS(kDisplayDuration, a_DisplayDuration);
TOBRELK_LABELS(kTargetChoice, a_TargetChoice);
TOBRELK_LABELS(kTargetRange, a_TargetRange);
TOBRELK_LABELS(kNoTarget, a_NoTarget);
TOBRELK_LABELS(kVanishWhat, a_VanishWhat);
TOBRELK_LABELS(kRange, a_Range);
TOBRELK_LABELS(kPalette, a_Palette);
TOBRELK_LABELS(kPaletteCommonOnly, a_PaletteCommonOnly);
TOBRELK_LABELS(kPicturePosition, a_PicturePosition);
TOBRELK_LABELS(kAnimePlay, a_AnimePlay);
TOBRELK_LABELS(kShow, a_Show);
TOBRELK_LABELS(kMoveTarget, a_MoveTarget);
TOBRELK_LABELS(kMoveDestination, a_MoveDestination);
TOBRELK_LABELS(kDiagonal, a_Diagonal);
TOBRELK_LABELS(kCoordMode, a_CoordMode);
TOBRELK_LABELS(kCoordModeNoPlacement, a_CoordModeNoPlacement);
TOBRELK_LABELS(kTargetNumber, a_TargetNumber);
TOBRELK_LABELS(kTurning, a_Turning);
TOBRELK_LABELS(kFacingChange, a_FacingChange);
TOBRELK_LABELS(kMoveSpec, a_MoveSpec);
TOBRELK_LABELS(kTimeOrSpeed, a_TimeOrSpeed);
TOBRELK_LABELS(kJumpHeight, a_JumpHeight);
TOBRELK_LABELS(kDistanceUnit, a_DistanceUnit);
TOBRELK_LABELS(kItemPickup, a_ItemPickup);
TOBRELK_LABELS(kChangeFlow, a_ChangeFlow);
TOBRELK_LABELS(kChangeFlowAll, a_ChangeFlowAll);
TOBRELK_LABELS(kMoveDirection, a_MoveDirection);
TOBRELK_LABELS(kCoordBase, a_CoordBase);
TOBRELK_LABELS(kShotKind, a_ShotKind);
TOBRELK_LABELS(kShotTarget, a_ShotTarget);
TOBRELK_LABELS(kAimMode, a_AimMode);
TOBRELK_LABELS(kBlockSummonMode, a_BlockSummonMode);
TOBRELK_LABELS(kPaletteSource, a_PaletteSource);
TOBRELK_LABELS(kPaletteSourceCommon, a_PaletteSourceCommon);
TOBRELK_LABELS(kPaletteChoice, a_PaletteChoice);
TOBRELK_LABELS(kScrollMode, a_ScrollMode);
TOBRELK_LABELS(kResizeH, a_ResizeH);
TOBRELK_LABELS(kResizeV, a_ResizeV);
TOBRELK_LABELS(kSpeedLevel, a_SpeedLevel);
TOBRELK_LABELS(kHitCheckLevel, a_HitCheckLevel);
TOBRELK_LABELS(kAnchorH, a_AnchorH);
TOBRELK_LABELS(kAnchorV, a_AnchorV);
TOBRELK_LABELS(kRectDisplay, a_RectDisplay);
TOBRELK_LABELS(kRectColour, a_RectColour);
TOBRELK_LABELS(kAxis, a_Axis);
TOBRELK_LABELS(kLayerPosition, a_LayerPosition);
TOBRELK_LABELS(kWorldCell, a_WorldCell);
TOBRELK_LABELS(kAfterEnding, a_AfterEnding);
#undef TOBRELK_LABELS

const char* const kShotKindParams[6][3] = {
    {"間隔(hbl)", "", ""},
    {"間隔(hbl)", "", ""},
    {"角度", "", ""},
    {"間隔(hbl)", "列の数", "列の間隔(hbl)"},
    {"", "", ""},
    {"距離(hbl)", "", ""},
};
const char* const kAimModeParams[10][3] = {
    {"", "", ""},
    {"軌道変更(hbl)", "", ""},
    {"軌道変更(hbl)", "対象勢力", ""},
    {"軌道変更(hbl)", "", ""},
    {"誘導開始(hbl)", "誘導終了(hbl)", ""},
    {"誘導開始(hbl)", "誘導終了(hbl)", "対象勢力"},
    {"誘導開始(hbl)", "誘導終了(hbl)", ""},
    {"誘導開始(hbl)", "誘導終了(hbl)", "対象勢力"},
    {"波の最大(hbl)", "波の速度", "開始角度"},
    {"軌道変更(hbl)", "", ""},
};
} // namespace labels
