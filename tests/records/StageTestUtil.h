#pragma once
// Builders and older-version writers for the stage tests.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "FlowTestUtil.h"
#include "OldVersionWriter.h"
#include "records/DataFile.h"
#include "records/Stage.h"

namespace stagetest {

inline std::string RecordBytes(cRecord& rec) {
    cRecordWriter w;
    rec.Save(w);
    return w.Take();
}

// A stage file: the version word and the body.
inline std::string FileBytes(cStage& st) {
    cRecordWriter w = OpenDataFileWrite();
    st.Save(w);
    return w.Take();
}

inline void WriteFile(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream f(p, std::ios::binary);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline cFlowCmd MakeItemCmd(u8 kind, u32 firstParam) {
    cFlowCmd c;
    c.Clear();
    c.cmdSet = 1;
    c.cmdKind = kind;
    c.params.assign(CmdTypeRow(1, kind).nParams, 0);
    if (!c.params.empty()) c.params[0] = firstParam;
    return c;
}

inline cEdChara MakeHero(i16 x, i16 y) {
    cEdChara c;
    c.byOperation = 0;
    c.wPicture = 3;
    c.sPosX = x;
    c.sPosY = y;
    c.nHoldItem = cEdChara::kNoItem;
    c.strName = "\x8e\xe5\x90\x6c\x8c\xf6"; // "主人公"
    return c;
}

// A stage with every kind of record: palettes with inheritance, placed blocks, characters with
// conditions, key conditions and flows whose commands own movement, shot and condition lists,
// items with commands, layers and names.
inline cStage MakeRichStage() {
    cStage st;
    st.dwWidth() = 60;
    st.dwHeight() = 20;
    st.Field(9) = 12;
    st.Field(17) = static_cast<u32>(-3);
    st.strStage = "stage text";
    st.vRankSwitch = {1, 0, 1, 0, 1};
    st.aParams[1].Set(1, 0, 0, 2, 3, 4, 5, 6);

    cEdBlock pb;
    pb.wPicture = 7;
    pb.byLayer = 2;
    pb.SetName("wall");
    pb.EditConds().push_back(flowtest::MakeCond(2, 5));
    st.vBlockPalette.push_back(pb);

    cEdChara pc;
    pc.wPicture = 5;
    pc.dwMaxHP = 33;
    pc.vCond.push_back(flowtest::MakeCond(1, 1));
    pc.vFlow.push_back(flowtest::MakeRichFlow(1));
    st.vCharaPalette.push_back(pc);

    cEdItem pi;
    pi.wPicture = 9;
    pi.vCmd.push_back(MakeItemCmd(2, 4));
    st.vItemPalette.push_back(pi);

    for (int i = 0; i < 30; ++i) {
        cEdBlock b;
        b.sPosX = static_cast<i16>(i);
        b.sPosY = 19;
        b.wPicture = static_cast<u16>(1 + i % 3);
        if (i % 5 == 0) {
            // What it inherits is what it holds, so that the first write already shows it.
            b.wPicture = pb.wPicture;
            b.EditConds() = pb.Conds();
            b.byPaletteKind = 2;
            b.wPaletteIndex = 1;
            b.SetInherit(2, 1); // the picture group
            b.SetInherit(1, 1); // conditions
        }
        if (i == 4) {
            b.byItemKind = 2;
            b.wItemIndex = 1;
        }
        st.vBlock.push_back(b);
    }
    st.vChara.push_back(MakeHero(2, 10));
    st.vChara[0].vFlow.push_back(flowtest::MakeRichFlow(3));
    cEdChara enemy;
    enemy.sPosX = 20;
    enemy.sPosY = 10;
    enemy.byPaletteKind = 2;
    enemy.wPaletteIndex = 1;
    enemy.vInherit[36] = 1; // flows
    enemy.vInherit[23] = 1; // HP
    enemy.nHoldItem = 0;
    enemy.vFlow = pc.vFlow;
    enemy.dwMaxHP = pc.dwMaxHP;
    enemy.vCond.push_back(flowtest::MakeCond(4, 8));
    st.vChara.push_back(enemy);
    cEdItem item;
    item.sPosX = 5;
    item.sPosY = 5;
    item.wSound = 2;
    item.vCmd.push_back(MakeItemCmd(3, 1));
    item.vCond.push_back(flowtest::MakeCond(3, -2));
    st.vItem.push_back(item);
    cEdBack back;
    back.Reset();
    back.strPicture = "bmp\\back\\sky.png";
    back.bAutoScrollX = 1;
    st.vBack.push_back(back);
    st.vName.resize(kStageNameCount);
    st.vName[3].strName = "name three";
    return st;
}

// ---- writers of older versions -----------------------------------------------------------------

inline void WriteOldChara(cEdChara& c, u32 v, cRecordWriter& w) {
    oldver::WriteBody(c, v, w);
    w.WriteBytes(&c.sPosX, 2);
    w.WriteBytes(&c.sPosY, 2);
    w.WriteU32(c.nHoldItem);
    w.WriteU32(static_cast<u32>(c.vInherit.size()));
    w.WriteBytes(c.vInherit.data(), c.vInherit.size());
    oldver::WriteOldVector(c.vCond, v, w);
    oldver::WriteOldVector(c.vFlow, v, w);
}

template <class T>
void WriteOldBlockOrItem(T& b, u32 v, cRecordWriter& w) {
    oldver::WriteBody(b, v, w);
    w.WriteBytes(&b.sPosX, 2);
    w.WriteBytes(&b.sPosY, 2);
    w.WriteU32(static_cast<u32>(b.vInherit.size()));
    w.WriteBytes(b.vInherit.data(), b.vInherit.size());
    oldver::WriteOldVector(b.vCond, v, w);
}

inline void WriteOldBlock(cEdBlock& b, u32 v, cRecordWriter& w) {
    oldver::WriteBody(b, v, w);
    w.WriteBytes(&b.sPosX, 2);
    w.WriteBytes(&b.sPosY, 2);
    const std::vector<u8> row = b.InheritRow();
    w.WriteU32(static_cast<u32>(row.size()));
    w.WriteBytes(row.data(), row.size());
    cVector<cCond> conds = b.Conds();
    oldver::WriteOldVector(conds, v, w);
}

inline void WriteOldItem(cEdItem& it, u32 v, cRecordWriter& w) {
    WriteOldBlockOrItem(it, v, w);
    oldver::WriteOldVector(it.vCmd, v, w);
}

template <class T, class F>
void WriteOldList(cVector<T>& list, u32 v, cRecordWriter& w, F write, bool placed) {
    w.WriteU32(static_cast<u32>(list.size()));
    for (T& e : list) {
        if (placed) w.WriteU32(0);
        write(e, v, w);
    }
}

// A whole stage file (version word included) as version v wrote it.
inline std::string OldStageFile(cStage& st, u32 v) {
    cRecordWriter w;
    w.WriteU32(v);
    oldver::WriteBody(st, v, w);
    w.WriteU32(static_cast<u32>(st.vRankSwitch.size()));
    w.WriteBytes(st.vRankSwitch.data(), st.vRankSwitch.size() * 4);
    for (cStageParams& p : st.aParams) oldver::WriteBody(p, v, w);
    WriteOldList(st.vBlockPalette, v, w, WriteOldBlock, false);
    WriteOldList(st.vCharaPalette, v, w, WriteOldChara, false);
    WriteOldList(st.vItemPalette, v, w, WriteOldItem, false);
    WriteOldList(st.vBlock, v, w, WriteOldBlock, true);
    WriteOldList(st.vChara, v, w, WriteOldChara, true);
    WriteOldList(st.vItem, v, w, WriteOldItem, true);
    w.WriteU32(static_cast<u32>(st.vBack.size()));
    for (cEdBack& b : st.vBack) oldver::WriteBody(b, v, w);
    w.WriteU32(static_cast<u32>(st.vName.size()));
    for (cNameRec& n : st.vName) oldver::WriteBody(n, v, w);
    if (v >= 173) w.WriteU32(kStageTrailer);
    return w.Take();
}

// Reads a stage body (without its version word) at version v; true on success.
inline bool LoadBody(cStage& st, const std::string& fileBytes) {
    u32 v = 0;
    std::memcpy(&v, fileBytes.data(), 4);
    cRecordReader r(fileBytes.substr(4), v);
    StagePaletteScope scope(st);
    st.Load(r);
    return !r.Failed();
}

} // namespace stagetest
