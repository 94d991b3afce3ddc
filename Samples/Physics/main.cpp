// The "Physics" demonstration: opens its window, starts the engine in it, loads its data from the
// folder "Resources" next to the executable and runs the frame loop until the window is closed or
// Escape is held. Its only arguments are the engine's own: --record, --replay, --hashes and
// --screenshot, each followed by a file, and --live-reload (see MVE_HandleCommandLine).
#include "Demo.h"
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

// The executable's own folder, wherever the program was started from.
std::filesystem::path ExecutableFolder() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::current_path() : self.parent_path();
}

}  // namespace

int main(int argc, char **argv) {
    const int commandLine = MVE_HandleCommandLine(argc, argv);
    mvedemo::DemoOptions options;
    options.sResources = (ExecutableFolder() / "Resources").string();
    if (!mvedemo::DemoStart(options)) {
        std::fprintf(stderr, "Morvek Engine - Physics: no OpenGL 3.3 window could be opened "
                             "(is a display available?). See \"MVE LogFile.html\" for the reason.\n");
        return 1;
    }
    if (!commandLine) {
        // A session that cannot be recorded or replayed as asked is not run live instead.
        std::fprintf(stderr, "Morvek Engine - Physics: the command line could not be carried out. "
                             "See \"MVE LogFile.html\" for the reason.\n");
        mvedemo::DemoStop();
        return 2;
    }
    while (mvedemo::DemoFrame()) {
    }
    mvedemo::DemoStop();
    return 0;
}
