#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gl/gl_api.h"

namespace {

std::vector<std::string> lookedUp;
std::vector<std::string> lacking;

void* fakeLookup(const char* name) {
    lookedUp.emplace_back(name);
    for (const std::string& absent : lacking) {
        if (absent == name) return nullptr;
    }
    static int anyFunction;
    return &anyFunction;
}

TEST(FillGlApiTest, LooksUpTheTwentyTwoEntryPointsInTableOrder) {
    lookedUp.clear();
    lacking.clear();
    GlApi api;
    EXPECT_TRUE(fillGlApi(api, fakeLookup).empty());
    const std::vector<std::string> expected = {
        "glCreateShaderProgramv", "glUseProgram", "glUniform4fv", "glUniform4iv", "glUniformMatrix4fv",
        "glUniform1i", "glGetProgramiv", "glGetProgramInfoLog", "glGenerateMipmap", "glActiveTexture",
        "glGetUniformLocation", "glGetUniformfv", "glGenRenderbuffers", "glBindRenderbuffer",
        "glRenderbufferStorage", "glFramebufferRenderbuffer", "glGenFramebuffers", "glBindFramebuffer",
        "glFramebufferTexture2D", "glCheckFramebufferStatus", "glDeleteProgram", "glBindImageTexture"};
    EXPECT_EQ(lookedUp, expected);
    EXPECT_NE(api.glDeleteProgram, nullptr);
}

TEST(FillGlApiTest, ReportsOnlyMissingEntryPointsThatTheProductionCalls) {
    lookedUp.clear();
    // The five without a caller may be absent; the rest must be reported, in table order.
    lacking = {"glDeleteProgram", "glGetUniformfv", "glGenRenderbuffers", "glBindRenderbuffer",
               "glRenderbufferStorage", "glFramebufferRenderbuffer", "glCheckFramebufferStatus",
               "glUseProgram"};
    GlApi api;
    const std::vector<std::string_view> missing = fillGlApi(api, fakeLookup);
    const std::vector<std::string_view> expected = {"glUseProgram", "glGetUniformfv", "glDeleteProgram"};
    EXPECT_EQ(missing, expected);
    EXPECT_EQ(api.glUseProgram, nullptr);
    EXPECT_EQ(api.glGetUniformfv, nullptr);
    EXPECT_NE(api.glUniform4fv, nullptr);
}

}  // namespace
