// A headless OpenGL context for tests, made once per test program with the entry points loaded.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>

#include "gl/gl_api.h"
#include "platform/platform.h"

class GlTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(platform::createGlContext()) << "no headless OpenGL context";
        const auto missing = loadGlApi();
        ASSERT_TRUE(missing.empty()) << "missing entry point " << missing.front();
        std::printf("OpenGL %s, GLSL %s, %s\n", glGetString(GL_VERSION),
                    glGetString(0x8B8C /* GL_SHADING_LANGUAGE_VERSION */), glGetString(GL_RENDERER));
    }
};

// Registers the environment from any test file that includes this header.
inline ::testing::Environment* const glTestEnvironment =
    ::testing::AddGlobalTestEnvironment(new GlTestEnvironment);
