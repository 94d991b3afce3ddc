// PNG and JPEG through the engine's image layer: a decoded image has the size and format it
// claims, with every pixel byte written (the last one is read back here).
#include "FuzzSupport.h"
#include "Platform/Platform.h"
#include <string>

namespace fuzz_image {

void Init() {}

int Run(const uint8_t *data, size_t size) {
    MVE_IMAGE image;
    std::string error;
    if (MVE_PlatformCatchImage(data, size, image, error)) {
        MVE_FUZZ_REQUIRE(image.pPixels && image.iWidth > 0 && image.iHeight > 0);
        MVE_FUZZ_REQUIRE(image.iBytesPerPixel == 3 || image.iBytesPerPixel == 4);
        const size_t bytes = static_cast<size_t>(image.iWidth) * image.iHeight * image.iBytesPerPixel;
        volatile uint8_t last = image.pPixels[bytes - 1];
        (void)last;
    } else {
        MVE_FUZZ_REQUIRE(!image.pPixels && !error.empty());
    }
    return 0;
}

}  // namespace fuzz_image

// Tests/FuzzRegressionTest.cpp includes this file to replay the kept findings.
#ifndef MVE_FUZZ_NO_ENTRY
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    mvefuzz::EnterWorkFolder();
    fuzz_image::Init();
    return 0;
}
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) { return fuzz_image::Run(data, size); }
#endif
