// Writes the seed corpus of the flow-list fuzzer into the folder given as argv[1]: flow lists
// of the current version and of older ones, with every kind of owned record and some nesting,
// and the inputs that once found a fault.
#include <cstdio>
#include <filesystem>
#include <string>

#include "FlowTestUtil.h"
#include "OldVersionWriter.h"

namespace {
bool WriteSeed(const std::filesystem::path& dir, const std::string& name, u32 version, const std::string& body) {
    std::string bytes(reinterpret_cast<const char*>(&version), 4);
    bytes += body;
    FILE* f = std::fopen((dir / name).string().c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s corpus-folder\n", argv[0]);
        return 2;
    }
    const std::filesystem::path dir(argv[1]);
    std::filesystem::create_directories(dir);

    cVector<cFlow> flows;
    flows.push_back(flowtest::MakeRichFlow(0));
    flows.push_back(flowtest::MakeRichFlow(1));
    cFlow nested = flowtest::MakeRichFlow(2);
    nested.cmds[0].flows[0] = flowtest::MakeRichFlow(3);
    flows.push_back(nested);

    bool ok = true;
    for (u32 v : {kProgVer, 766u, 763u, 700u, 210u, 160u, 120u, 100u}) {
        cRecordWriter w;
        oldver::WriteOldVector(flows, v, w);
        ok &= WriteSeed(dir, "flows_v" + std::to_string(v), v, w.Bytes());
    }
    cVector<cFlow> empty;
    cRecordWriter w;
    WriteFlowList(empty, w);
    ok &= WriteSeed(dir, "empty", kProgVer, w.Bytes());
    std::error_code ec;
    for (std::filesystem::directory_iterator it(TOBRELK_FLOW_REGRESSIONS, ec), end; !ec && it != end; it.increment(ec))
        std::filesystem::copy_file(it->path(), dir / it->path().filename(), std::filesystem::copy_options::overwrite_existing, ec);
    return ok && !ec ? 0 : 1;
}
