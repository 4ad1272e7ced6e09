// The scene program (resources/test.glsl) copies numbers from the C++ that writes what it reads:
// the texture's width, the most meshes, the meshes' image's row, the trace tree's limits, the vertex extra's
// codes. Each copy is read from the source tree's program and compared with its owner here, so that
// a change on one side alone fails.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "content/vertex_extra.h"
#include "scene/scene_loader.h"
#include "scene/trace_tree.h"
#include "show/scene_pass.h"
#include "show/timeline.h"

namespace {

std::string sceneProgram() {
    std::ifstream file(std::string(QV_SOURCE_DIR) + "/resources/test.glsl");
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Every `const int NAME = VALUE;` (decimal or hexadecimal) and every `uniform TYPE NAME[N];`
// array's length, read word by word (std::regex trips GCC 12's warnings under the sanitizers).
std::map<std::string, long> programNumbers(const std::string& program) {
    std::map<std::string, long> numbers;
    std::istringstream lines(program);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string first, second, third, fourth;
        words >> first >> second >> third >> fourth;
        if (first == "const" && second == "int" && fourth == "=") {
            std::string value;
            words >> value;
            if (!value.empty() && value.back() == ';') numbers[third] = std::stol(value, nullptr, 0);
        } else if (first == "uniform" && third.size() > 3 && third.ends_with("];")) {
            const std::size_t open = third.find('[');
            if (open != std::string::npos) {
                numbers["uniform " + third.substr(0, open)] = std::stol(third.substr(open + 1));
            }
        }
    }
    return numbers;
}

TEST(SceneProgramConstantsTest, EveryCopiedNumberMatchesItsOwner) {
    const std::string program = sceneProgram();
    ASSERT_FALSE(program.empty()) << "resources/test.glsl not found under " << QV_SOURCE_DIR;
    std::map<std::string, long> n = programNumbers(program);
    const auto at = [&n](const std::string& name) {
        EXPECT_TRUE(n.count(name)) << name << " is not in the program";
        return n[name];
    };

    EXPECT_EQ(1L << at("sideBits"), kSceneTextureSide);
    EXPECT_EQ(at("maxMeshes"), static_cast<long>(kMaxSceneMeshes));
    // A row of the meshes' image: three matrix rows, the box's two corners, places, surface values.
    EXPECT_EQ(at("lowTexel"), static_cast<long>(kMeshImageLowTexel));
    EXPECT_EQ(at("highTexel"), static_cast<long>(kMeshImageHighTexel));
    EXPECT_EQ(at("infoTexel"), static_cast<long>(kMeshImageInfoTexel));
    EXPECT_EQ(at("surfaceTexel") + 1, static_cast<long>(kMeshImageWidth));
    const auto lightSlots = static_cast<long>(std::tuple_size_v<decltype(ScenePart::lights)>);
    EXPECT_EQ(at("uniform light_positions"), lightSlots);
    EXPECT_EQ(at("uniform light_colors"), lightSlots);

    EXPECT_EQ(at("stackSize"), static_cast<long>(kTraceTreeDepthLimit));
    EXPECT_EQ(at("maxSteps"), static_cast<long>(kTraceTreeStepLimit));
    // A waiting child keeps a pair or minus a leaf word (at most the face limit) in the bits below
    // its distance, biased to be positive.
    EXPECT_EQ(at("wordBias"), static_cast<long>(kTraceTreeFaceLimit));
    EXPECT_EQ(at("wordBits"), 2 * at("wordBias") - 1);

    EXPECT_EQ(at("octSteps"), static_cast<long>(content::kOctSteps));
    EXPECT_EQ(at("noNormal"), static_cast<long>(content::kNoNormal));
    EXPECT_EQ(at("secondCodeShift"), static_cast<long>(content::kSecondCodeShift));
    EXPECT_EQ(at("ambientShift"), static_cast<long>(content::kAmbientShift));
    EXPECT_EQ(at("ambientLevels"), static_cast<long>(content::kAmbientLevels));
}

}  // namespace
