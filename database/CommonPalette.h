#pragma once
// The common palette (data\CommonPalette.cplt4): blocks, characters and items defined once for
// every stage. Entry 0 of each list is the empty entry; entries never inherit from anything.
#include "records/EdBlockItem.h"
#include "records/EdChara.h"

class cCommonPalette : public cRecord {
public:
    cCommonPalette();
    void RegisterFields(u32) override { ResetFieldLists(); }
    // Read: records inherit and check against this palette while it loads.
    void Load(cRecordReader& r) override;
    // Write: Prepare, the empty body, then the three lists.
    void Save(cRecordWriter& w) override;
    // Pads every list to two entries, then runs the records' reference checks.
    void Prepare();
    // Makes this palette the one stage records inherit from.
    void Publish() const;

    cVector<cEdBlock> m_vEdBlock;
    cVector<cEdChara> m_vEdChara;
    cVector<cEdItem> m_vEdItem;
};

extern cCommonPalette g_CommonPalette;

// Loads the palette and publishes it; reports "%s のロードに失敗！" on failure.
int LoadCommonPaletteFile(cCommonPalette& palette, const std::string& path);
