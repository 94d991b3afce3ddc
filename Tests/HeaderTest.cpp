#include "MVE.h"
#include <gtest/gtest.h>

extern "C" int mve_header_compiles_as_c(void);

TEST(HeaderTest, PublicHeaderIsUsableFromCAndCpp) {
    EXPECT_EQ(sizeof(v4f), 16u);
    EXPECT_EQ(sizeof(m4f), 64u);
    EXPECT_EQ(MVE_IGNORE, -65535);
    EXPECT_EQ(static_cast<uint32_t>(MVE_IGNORE), 0xFFFF0001u);
    (void)&mve_header_compiles_as_c;
}
