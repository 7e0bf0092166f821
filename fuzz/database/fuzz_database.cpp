// Feeds arbitrary bytes to the readers of the database files, System.dat, WorldMap.dat,
// Option.dat and CommonPalette.cplt4. The first byte picks the reader; the rest is the file
// (version word first).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "database/CommonPalette.h"
#include "database/Database.h"
#include "database/OptionData.h"
#include "database/SystemData.h"
#include "database/WorldMap.h"

namespace {

template <class T>
void ReadList(cRecordReader& r) {
    cVector<T> list;
    LoadDatabaseList(r, list);
}

template <class T>
void ReadRecord(cRecordReader& r) {
    T rec;
    rec.Load(r);
    if (!r.Failed()) {
        cRecordWriter w;
        rec.Save(w);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return 0;
    u32 version;
    std::memcpy(&version, data + 1, 4);
    if (version > g_nProgVer) return 0;
    cRecordReader r(std::string(reinterpret_cast<const char*>(data + 5), size - 5), version);
    switch (data[0] % 14) {
    case 0: ReadList<cAnimeSetData>(r); break;
    case 1: ReadList<cAnimeData>(r); break;
    case 2: ReadList<cBmpCharaExcData>(r); break;
    case 3: ReadList<cSwordTypeData>(r); break;
    case 4: ReadList<cEffectData>(r); break;
    case 5: ReadList<cCharaEffectParam>(r); break;
    case 6: ReadList<cScrEffectParam>(r); break;
    case 7: ReadList<cPictureData>(r); break;
    case 8: ReadList<cSoundData>(r); break;
    case 9: ReadList<cBgmData>(r); break;
    case 10: ReadRecord<cSystemData>(r); break;
    case 11: ReadRecord<cWorldMapData>(r); break;
    case 12: ReadRecord<cOptionData>(r); break;
    default: ReadRecord<cCommonPalette>(r); break;
    }
    return 0;
}
