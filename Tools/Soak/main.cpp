// mve-soak: the Physics demonstration driven for a long time without a person. A scripted player
// fires a ball every few frames (left button) and throws a bar now and then (right button
// released), through the same input feed the window's events use. Once a minute it prints the
// objects in the scene, frames and physics passes per second and the process's memory; at the end
// the figures of the whole run. Run it through Tools/soak.sh.
//   mve-soak [minutes=10] [resources folder=Samples/Physics/Resources] [frames per ball=10] [frames per bar=30]
#include "Demo.h"
#include "Input/Input.h"
#include "MVE.h"
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

// Resident and peak resident memory of this process in MiB (from /proc).
void Memory(double *resident, double *peak) {
    std::ifstream status("/proc/self/status");
    *resident = *peak = 0;
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) *resident = std::atof(line.c_str() + 6) / 1024.0;
        if (line.rfind("VmHWM:", 0) == 0) *peak = std::atof(line.c_str() + 6) / 1024.0;
    }
}

}  // namespace

int main(int argc, char **argv) {
    const double minutes = argc > 1 ? std::atof(argv[1]) : 10.0;
    mvedemo::DemoOptions options;
    options.iWidth = 800;
    options.iHeight = 450;
    options.iWindowFlags = MVE_WINDOW_HIDDEN;
    options.sResources = argc > 2 ? argv[2] : "Samples/Physics/Resources";
    const int ballEvery = argc > 3 ? std::max(1, std::atoi(argv[3])) : 10;
    const int barEvery = argc > 4 ? std::max(2, std::atoi(argv[4])) : 30;
    if (!mvedemo::DemoStart(options)) {
        std::fprintf(stderr, "mve-soak: the demonstration did not start (see its log)\n");
        return 1;
    }
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    auto report = start;
    const int startObjects = MVE_GetObjectCount(0);
    int balls = 0, bars = 0;
    long frames = 0, framesAtReport = 0;
    double resident = 0, peak = 0, startResident = 0;
    Memory(&startResident, &peak);
    std::printf("minute  objects  balls   bars  frames/s  physics/s  memory MiB  peak MiB\n");
    bool running = true;
    while (running) {
        // One ball per press: the button is held for exactly one frame.
        const int phase = static_cast<int>(frames % ballEvery), barPhase = static_cast<int>(frames % barEvery);
        MVE_InputMouseButton(1, phase == 0);
        if (phase == 0) ++balls;
        if (barPhase == barEvery - 2) MVE_InputMouseButton(2, 1);
        if (barPhase == barEvery - 1) MVE_InputMouseButton(2, 0), ++bars;
        // The player looks around a little, so balls go to every side of the block.
        MVE_InputMouseMove(400 + static_cast<int>(frames % 7) - 3, 225);
        running = mvedemo::DemoFrame() != 0;
        ++frames;
        const auto now = Clock::now();
        const double sinceReport = std::chrono::duration<double>(now - report).count();
        const double elapsed = std::chrono::duration<double>(now - start).count();
        const bool last = elapsed >= minutes * 60.0;
        if (sinceReport >= 60.0 || last || !running) {
            Memory(&resident, &peak);
            std::printf("%6.1f  %7d  %5d  %5d  %8.1f  %9.1f  %10.1f  %8.1f\n", elapsed / 60.0, MVE_GetObjectCount(0), balls,
                        bars, (frames - framesAtReport) / sinceReport, MVE_GetPhysicsRate(), resident, peak);
            std::fflush(stdout);
            report = now;
            framesAtReport = frames;
        }
        if (last) break;
    }
    const int created = MVE_GetObjectCount(0) - startObjects;
    std::printf("objects created %d (balls %d, bars %d), frames %ld, memory %.1f -> %.1f MiB (%.1f KiB per object), peak %.1f MiB\n",
                created, balls, bars, frames, startResident, resident,
                created > 0 ? (resident - startResident) * 1024.0 / created : 0.0, peak);
    mvedemo::DemoStop();
    return running ? 0 : 2;
}
