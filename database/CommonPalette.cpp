#include "database/CommonPalette.h"

#include "database/Database.h"
#include "platform/system/MessageBox.h"
#include "platform/system/Report.h"
#include "platform/system/Sjis.h"
#include "records/DataFile.h"
#include "records/FlowCmd.h"
#include "records/PaletteSource.h"

cCommonPalette g_CommonPalette;

namespace {

// While a palette loads or checks itself, its records must see it and not the published one.
class PaletteViewScope {
public:
    explicit PaletteViewScope(const cCommonPalette& p) : m_old(GetCommonPaletteView()) { p.Publish(); }
    ~PaletteViewScope() { SetCommonPaletteView(m_old); }
    PaletteViewScope(const PaletteViewScope&) = delete;
    PaletteViewScope& operator=(const PaletteViewScope&) = delete;

private:
    COMMONPALETTEVIEW m_old;
};

template <class T>
bool ReadPaletteList(cRecordReader& r, cVector<T>& v) {
    u32 n = 0;
    if (!r.ReadCount(n, 8)) return false;
    // Sized first and never reallocated while reading, so that a record inheriting from a
    // later entry sees a default record, and one naming itself copies onto itself.
    v.assign(n, T());
    for (auto& e : v) {
        e.Load(r);
        if (r.Failed()) return false;
    }
    return true;
}

template <class T>
void PadTo2(cVector<T>& v) {
    while (v.size() < 2) v.push_back(T());
}

void ClearInheritOf(cEdBlock& b) { b.FillInherit(0); }
template <class T>
void ClearInheritOf(T& e) {
    FillBytes(e.vInherit, 0);
}

template <class T>
void ClearInherit(cVector<T>& v) {
    for (auto& e : v) ClearInheritOf(e);
}

} // namespace

cCommonPalette::cCommonPalette() {
    Clear();
    m_vEdBlock.assign(1, cEdBlock());
    m_vEdChara.assign(1, cEdChara());
    m_vEdItem.assign(1, cEdItem());
}

void cCommonPalette::Publish() const { SetCommonPaletteView({&m_vEdBlock, &m_vEdChara, &m_vEdItem}); }

void cCommonPalette::Load(cRecordReader& r) {
    PaletteViewScope scope(*this);
    cRecord::Load(r);
    if (r.Failed()) return;
    if (!ReadPaletteList(r, m_vEdBlock) || !ReadPaletteList(r, m_vEdChara) || !ReadPaletteList(r, m_vEdItem)) return;
    if (!m_vEdBlock.empty()) m_vEdBlock[0].Reset();
    if (!m_vEdChara.empty()) m_vEdChara[0].Reset();
    if (!m_vEdItem.empty()) m_vEdItem[0].Reset();
    ClearInherit(m_vEdBlock);
    ClearInherit(m_vEdChara);
    ClearInherit(m_vEdItem);
    Prepare();
}

void cCommonPalette::Prepare() {
    PaletteViewScope scope(*this);
    PadTo2(m_vEdBlock);
    PadTo2(m_vEdChara);
    PadTo2(m_vEdItem);
    for (auto& b : m_vEdBlock) {
        b.CheckPalette();
        b.CheckItemRef();
    }
    for (auto& c : m_vEdChara) {
        c.Validate();
        c.FixFlowRefs();
    }
    for (auto& i : m_vEdItem) {
        i.Validate();
        i.FixCmdRefs();
    }
}

void cCommonPalette::Save(cRecordWriter& w) {
    Prepare();
    PaletteViewScope scope(*this);
    cRecord::Save(w);
    WriteRecordVector(w, m_vEdBlock);
    WriteRecordVector(w, m_vEdChara);
    WriteRecordVector(w, m_vEdItem);
}

int LoadCommonPaletteFile(cCommonPalette& palette, const std::string& path) {
    const int ok = LoadFromFile(palette, path);
    if (!ok) WriteReportBox("%s のロードに失敗！", ToDisplayText(path).c_str());
    palette.Publish();
    if (ok)
        UpdateCmdLimits([&palette](CMDLIMITS& l) {
            l.nCommonPal[1] = static_cast<u32>(palette.m_vEdBlock.size());
            l.nCommonPal[2] = static_cast<u32>(palette.m_vEdChara.size());
            l.nCommonPal[3] = static_cast<u32>(palette.m_vEdItem.size());
        });
    return ok;
}
