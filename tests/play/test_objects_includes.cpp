// The play objects know the play scene only through the narrow interface they are given
// (play/objects/ObjScene.h): no header they reach through their includes declares another
// routine that takes the scene, so that an object can be read, built and tested without it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The project root: the test data lie in tests/data under it.
fs::path ProjectRoot() { return fs::path(TOBRELK_TEST_DATA_DIR).parent_path().parent_path(); }

std::string ReadText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The text with its comments blanked: a routine a comment names is not one the header declares.
std::string WithoutComments(const std::string& s) {
    std::string out = s;
    for (std::size_t i = 0; i + 1 < out.size(); ++i) {
        if (out[i] == '/' && out[i + 1] == '/') {
            while (i < out.size() && out[i] != '\n') out[i++] = ' ';
        } else if (out[i] == '/' && out[i + 1] == '*') {
            for (; i + 1 < out.size() && !(out[i] == '*' && out[i + 1] == '/'); ++i)
                if (out[i] != '\n') out[i] = ' ';
            if (i + 1 < out.size()) out[i] = out[i + 1] = ' ';
        }
    }
    return out;
}

// The project headers that the files include, and those they include in turn (paths from the
// project root, as the includes are written).
std::set<std::string> IncludeClosure(const std::vector<std::string>& files) {
    const std::regex include(R"re(^\s*#\s*include\s+"([^"]+)")re");
    std::set<std::string> seen;
    std::vector<std::string> open = files;
    while (!open.empty()) {
        const std::string file = open.back();
        open.pop_back();
        std::istringstream lines(WithoutComments(ReadText(ProjectRoot() / file)));
        std::smatch m;
        for (std::string line; std::getline(lines, line);) {
            if (!std::regex_search(line, m, include)) continue;
            const std::string header = m[1];
            if (fs::exists(ProjectRoot() / header) && seen.insert(header).second) open.push_back(header);
        }
    }
    return seen;
}

// The lines of a header that declare a routine with a parameter of the play scene's type.
std::string SceneRoutines(const std::string& header) {
    const std::regex sceneParameter(R"([(,]\s*(const\s+)?cGameScene\s*[&*])");
    std::istringstream lines(WithoutComments(ReadText(ProjectRoot() / header)));
    std::string found;
    for (std::string line; std::getline(lines, line);)
        if (std::regex_search(line, sceneParameter)) found += header + ":" + line + "\n";
    return found;
}

// The headers the play objects' files reach through their includes.
std::set<std::string> ObjectsClosure() {
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(ProjectRoot() / "play/objects"))
        files.push_back("play/objects/" + e.path().filename().string());
    return IncludeClosure(files);
}

TEST(ObjectIncludes, NoHeaderTheObjectsReachDeclaresARoutineThatTakesTheScene) {
    const std::set<std::string> closure = ObjectsClosure();
    // The walk reaches what the objects include, and what those include.
    ASSERT_TRUE(closure.count("play/objects/ObjScene.h"));
    ASSERT_TRUE(closure.count("records/StageSettings.h"));
    ASSERT_TRUE(closure.count("play/objects/FlowRunState.h"));
    // The interface the objects are given, and nothing else.
    const std::set<std::string> given = {"play/objects/ObjScene.h"};
    std::string found;
    for (const std::string& header : closure)
        if (!given.count(header)) found += SceneRoutines(header);
    EXPECT_EQ(found, "");
}

// The run state a character carries is its own header's: the objects reach no header of the flow
// engine, whose routines they ask for through ObjScene.h.
TEST(ObjectIncludes, NoHeaderTheObjectsReachIsTheFlowEngines) {
    const std::set<std::string> closure = ObjectsClosure();
    ASSERT_TRUE(closure.count("play/objects/CmdOverride.h"));
    std::string found;
    for (const std::string& header : closure)
        if (header.starts_with("flow/")) found += header + "\n";
    EXPECT_EQ(found, "");
}

} // namespace
