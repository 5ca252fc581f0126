// A process that is not a renderer (a tool that only wants the noise) offers none of
// the renderer's services. qorn.so must still load there with every symbol bound at
// once, and its shader must decline rather than end the process.
#include <gtest/gtest.h>
#include <math.h>

#include "plugin_symbols.h"
#include "qorn_texture.h"

namespace {

TEST(ShaderWithoutRenderer, LoadsAndDeclinesToShade) {
    qorn::test::Plugin plugin(qorn::test::plugin_path());  // RTLD_NOW
    ASSERT_TRUE(plugin.loaded()) << plugin.error();
    const auto shade = plugin.find<miBoolean (*)(miColor*, miState*, wireframetexture_params*)>(
        "qorn_wireframetexture");
    const auto version = plugin.find<int (*)()>("qorn_wireframetexture_version");
    ASSERT_TRUE(shade && version) << plugin.error();
    EXPECT_EQ(version(), 4);

    const miOptions options{'c'};
    const miShaderDesc description{0};
    miState state{&options, &description, {0, 0, 0}, 0, nullptr};
    wireframetexture_params params{{1, 0, 0, 1}, {0, 0, 1, 1}, 0.5f, miFALSE, 0, 0};
    miColor result{NAN, 2, 3, 4};
    EXPECT_EQ(shade(&result, &state, &params), miFALSE);
    EXPECT_EQ(result.r, 0.0f);
    EXPECT_EQ(result.g, 0.0f);
    EXPECT_EQ(result.b, 0.0f);
    EXPECT_EQ(result.a, 0.0f);
}

}  // namespace
