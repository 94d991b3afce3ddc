// The debugger link: record layout and counter as the reader sees them, the ring wrap, an absent
// or broken debugger, concurrent senders, and the mve-debugger program itself.
#include "Math/Math.h"
#include "Platform/Platform.h"
#include "TestSupport.h"
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>

namespace {

std::string UniqueName(const char *what) {
    static std::atomic<int> serial{0};
    return "/mve-test-" + std::string(what) + "-" + std::to_string(getpid()) + "-" + std::to_string(serial++);
}

// A block created by the test, as the debugger application would create it.
struct TestBlock {
    std::string name;
    uint8_t *base = nullptr;
    uint64_t size = 0;
    explicit TestBlock(uint64_t bytes = MVE_DEBUGGER_BLOCK_SIZE) : name(UniqueName("block")), size(bytes) {
        int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(ftruncate(fd, bytes), 0);
        base = static_cast<uint8_t *>(mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
        close(fd);
        if (bytes >= 8) memcpy(base, "\x63\0\0\0\0\0\0\0", 8);  // a stale count of 99
    }
    ~TestBlock() {
        munmap(base, size);
        shm_unlink(name.c_str());
    }
    uint64_t Counter() const { uint64_t v; memcpy(&v, base, 8); return v; }
    uint32_t Next(uint64_t at) const { uint32_t v; memcpy(&v, base + at, 4); return v; }
    int32_t Kind(uint64_t at) const { int32_t v; memcpy(&v, base + at + 4, 4); return v; }
    std::string Text(uint64_t at) const { return reinterpret_cast<const char *>(base + at + 8); }
};

class DebuggerTest : public mvetest::EngineTest {
  protected:
    // A private block name and program; started programs run directly, as on a desktop.
    void Use(const std::string &name, const std::string &program = "/nonexistent/mve-debugger") {
        MVE_Engine().Debugger.sBlockName = name;
        MVE_Engine().Debugger.sProgramPath = program;
        MVE_Engine().Debugger.sTerminal = "";
        MVE_Engine().Debugger.iDesktop = 1;
    }
    static bool BlockExists(const std::string &name) {
        int fd = shm_open(name.c_str(), O_RDONLY, 0);
        if (fd >= 0) close(fd);
        return fd >= 0;
    }
    // Waits up to `seconds` for the block to be gone.
    static bool BlockRemoved(const std::string &name, double seconds) {
        for (int i = 0; i < seconds * 100; ++i) {
            if (!BlockExists(name)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return !BlockExists(name);
    }
    static double Seconds(std::chrono::steady_clock::time_point since) {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
    }
    // Stops a debugger application and waits until it has removed its block.
    static bool StopDebugger(int pid, const std::string &name) {
        if (pid > 0) kill(pid, SIGTERM);
        bool removed = false;
        for (int i = 0; i < 300 && !removed; ++i) {
            int fd = shm_open(name.c_str(), O_RDONLY, 0);
            if (fd < 0) removed = true;
            else close(fd), std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        shm_unlink(name.c_str());
        return removed;
    }
};

TEST_F(DebuggerTest, RecordsOfEveryKindFollowEachOther) {
    TestBlock block;
    Use(block.name);
    EXPECT_EQ(MVE_SendDebuggerMessage(1, "abc"), 0);
    EXPECT_EQ(block.Counter(), 1u) << "the stale count is reset on connecting, then counts the message";
    EXPECT_EQ(block.Next(8), 20u);  // 12-byte record: next, kind, a b c 0
    EXPECT_EQ(block.Kind(8), 1);
    EXPECT_EQ(memcmp(block.base + 16, "abc", 4), 0);

    MVE_SendDebuggerMessage(7, nullptr);  // kinds without payload are 8 bytes
    EXPECT_EQ(block.Next(20), 28u);
    EXPECT_EQ(block.Kind(20), 7);

    v4f v = {1.5f, -2.0f, 3.25f, 1.0f};
    MVE_SendDebuggerMessage(4, &v);
    EXPECT_EQ(block.Next(28), 52u);
    EXPECT_EQ(memcmp(block.base + 36, &v, 16), 0);

    m4f m;
    for (int i = 0; i < 16; ++i) reinterpret_cast<float *>(&m)[i] = float(i) * 0.5f;
    MVE_SendDebuggerMessage(5, &m);
    EXPECT_EQ(block.Next(52), 124u);
    EXPECT_EQ(block.Kind(52), 5);
    EXPECT_EQ(memcmp(block.base + 60, &m, 64), 0);

    MVE_DebugText(2, "Sound : x");
    EXPECT_EQ(block.Next(124), 124u + 8 + 10);
    EXPECT_EQ(block.Text(124), "Sound : x");
    EXPECT_EQ(block.Counter(), 5u);

    // Nothing to copy from: no record, no crash, no count.
    MVE_DebugText(4, "ab");
    MVE_SendDebuggerMessage(1, nullptr);
    MVE_SendDebuggerMessage(5, nullptr);
    EXPECT_EQ(block.Counter(), 5u);
    EXPECT_EQ(MVE_Engine().Debugger.iWrite, 142u);
}

TEST_F(DebuggerTest, RingWrapsToTheStartWhenARecordWouldNotFit) {
    TestBlock block;
    Use(block.name);
    ASSERT_EQ(MVE_ConnectDebugger(), 1);
    EXPECT_EQ(block.Counter(), 0u);
    MVE_DEBUGGER_STATE &d = MVE_Engine().Debugger;

    d.iWrite = MVE_DEBUGGER_RING_END - 12;  // ends exactly at 10 MiB: still fits
    MVE_DebugText(1, "abc");
    EXPECT_EQ(block.Next(MVE_DEBUGGER_RING_END - 12), MVE_DEBUGGER_RING_END);
    EXPECT_EQ(d.iWrite, MVE_DEBUGGER_RING_END);

    MVE_DebugText(3, "abc");  // would end 12 bytes past it
    EXPECT_EQ(block.Next(8), 8u + 8 + 4);
    EXPECT_EQ(block.Kind(8), 3);

    d.iWrite = MVE_DEBUGGER_RING_END - 7;  // even an empty record would end one byte too far
    MVE_SendDebuggerMessage(9, nullptr);
    EXPECT_EQ(block.Next(8), 16u);
    EXPECT_EQ(block.Kind(8), 9);
    EXPECT_EQ(block.Counter(), 3u);

    // A text longer than the whole ring is cut to what fits at the start, never written past it.
    std::string huge(MVE_DEBUGGER_RING_END + 100, 'x');
    MVE_DebugText(1, huge.c_str());
    EXPECT_EQ(block.Next(8), MVE_DEBUGGER_RING_END);
    EXPECT_EQ(block.base[MVE_DEBUGGER_RING_END - 1], 0);
    EXPECT_EQ(block.base[MVE_DEBUGGER_RING_END - 2], 'x');
    EXPECT_EQ(block.Counter(), 4u);
}

TEST_F(DebuggerTest, LinkIsUnavailableForTheRunWhenNoDebuggerComes) {
    // No block and a program that does not exist: gives up at once, and for good.
    Use(UniqueName("absent"));
    auto start = std::chrono::steady_clock::now();
    MVE_DebugText(1, "lost");
    EXPECT_LT(Seconds(start), 1.5);
    EXPECT_EQ(MVE_Engine().Debugger.iStatus.load(), -1);
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < 100; ++i) MVE_DebugText(1, "lost");
    EXPECT_LT(Seconds(start), 0.5);
    EXPECT_EQ(MVE_ConnectDebugger(), 0);

    // A block that shows up later is not picked up: unavailable is final.
    TestBlock late;
    MVE_Engine().Debugger.sBlockName = late.name;
    MVE_DebugText(1, "lost");
    EXPECT_EQ(late.Counter(), 99u);
}

TEST_F(DebuggerTest, StartedProgramGetsItsSecondThenTheLinkGivesUp) {
    // The program starts but never creates the block.
    Use(UniqueName("silent"), "/bin/true");
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(MVE_ConnectDebugger(), 0);
    const double waited = Seconds(start);
    EXPECT_GE(waited, 0.9);
    EXPECT_LT(waited, 3.0);
    EXPECT_NE(MVE_Engine().Debugger.iProcess, 0);
}

TEST_F(DebuggerTest, BlockTooSmallIsNeverWritten) {
    TestBlock small(4096);
    Use(small.name);
    MVE_DebugText(1, "abc");
    EXPECT_EQ(MVE_Engine().Debugger.iStatus.load(), -1);
    EXPECT_EQ(small.Counter(), 99u);
    EXPECT_EQ(small.Next(8), 0u);
}

TEST_F(DebuggerTest, ConcurrentSendersWriteWholeRecords) {
    TestBlock block;
    Use(block.name);
    constexpr int perThread = 4000;
    auto sender = [](int who) {
        char text[32];
        for (int i = 0; i < perThread; ++i) {
            snprintf(text, sizeof text, "t%d-%d", who, i);
            MVE_DebugText(1 + who, text);
        }
    };
    std::thread a(sender, 0), b(sender, 1);  // both race for the first connection too
    a.join();
    b.join();
    ASSERT_EQ(block.Counter(), uint64_t(2 * perThread));
    int expected[2] = {0, 0};
    uint64_t at = 8;
    for (int n = 0; n < 2 * perThread; ++n) {
        const int32_t kind = block.Kind(at);
        ASSERT_TRUE(kind == 1 || kind == 2) << "record " << n;
        const std::string text = block.Text(at);
        ASSERT_EQ(block.Next(at), at + 8 + text.size() + 1) << "record " << n;
        ASSERT_EQ(text, "t" + std::to_string(kind - 1) + "-" + std::to_string(expected[kind - 1]++));
        at = block.Next(at);
    }
    EXPECT_EQ(at, MVE_Engine().Debugger.iWrite);
}

TEST_F(DebuggerTest, VectorStackOverflowIsReported) {
    TestBlock block;
    Use(block.name);
    MVE_v4fResetStack();
    v4f v = {1, 2, 3, 4};
    for (int i = 0; i < MVE_VECTOR_STACK_SIZE; ++i) ASSERT_NE(MVE_v4fPush(&v), nullptr);
    EXPECT_EQ(block.Counter(), 99u);
    EXPECT_EQ(MVE_v4fPush(&v), nullptr);
    EXPECT_EQ(block.Counter(), 1u);
    EXPECT_EQ(block.Kind(8), 1);
    EXPECT_EQ(block.Text(8), "Math : MVE_v4fPush() : Stack overflow! Did you forget MVE_v4fPop()?");
    MVE_v4fResetStack();
}

TEST_F(DebuggerTest, FirstSendStartsTheDebuggerApplication) {
    const std::string name = UniqueName("started");
    Use(name, MVE_TEST_DEBUGGER);
    MVE_DebugText(1, "hello debugger");
    const int pid = MVE_Engine().Debugger.iProcess;
    ASSERT_NE(pid, 0);
    ASSERT_EQ(MVE_Engine().Debugger.iStatus.load(), 1);
    void *p = nullptr;
    ASSERT_EQ(MVE_PlatformOpenSharedMemory(name.c_str(), MVE_DEBUGGER_BLOCK_SIZE, &p), 1);
    const uint8_t *base = static_cast<uint8_t *>(p);
    uint64_t count;
    memcpy(&count, base, 8);
    EXPECT_EQ(count, 1u);
    EXPECT_STREQ(reinterpret_cast<const char *>(base + 16), "hello debugger");
    MVE_PlatformCloseSharedMemory(p, MVE_DEBUGGER_BLOCK_SIZE);
    EXPECT_TRUE(StopDebugger(pid, name)) << "the debugger removes its block when stopped";
}

TEST_F(DebuggerTest, DebuggerApplicationPrintsEveryRecordAcrossTheWrap) {
    const std::string name = UniqueName("reader");
    const std::string out = (dir_ / "messages.txt").string();
    const char *argv[] = {MVE_TEST_DEBUGGER, "-o", out.c_str(), "-n", name.c_str(), nullptr};
    const int pid = MVE_PlatformStartProgram(argv);
    ASSERT_NE(pid, 0);
    Use(name);  // the engine must find the running debugger, not start one
    void *p = nullptr;
    for (int i = 0; i < 300 && MVE_PlatformOpenSharedMemory(name.c_str(), MVE_DEBUGGER_BLOCK_SIZE, &p) != 1; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_NE(p, nullptr) << "the debugger never created its block";
    MVE_PlatformCloseSharedMemory(p, MVE_DEBUGGER_BLOCK_SIZE);

    // Waits until the reader has written `bytes` bytes in all.
    auto printed = [&](uintmax_t bytes) {
        for (int i = 0; i < 500; ++i) {
            std::error_code ec;
            if (std::filesystem::file_size(out, ec) >= bytes && !ec) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    };
    const std::string expectedHead = "first\n(1, 2.5, -3, 0)\n[0, 4, 8, 12]\n[1, 5, 9, 13]\n[2, 6, 10, 14]\n"
                                      "[3, 7, 11, 15]\nkind 42\n";
    MVE_DebugText(1, "first");
    v4f v = {1, 2.5f, -3, 0};
    MVE_SendDebuggerMessage(4, &v);
    m4f m;
    for (int i = 0; i < 16; ++i) reinterpret_cast<float *>(&m)[i] = float(i);
    MVE_SendDebuggerMessage(5, &m);
    MVE_SendDebuggerMessage(42, nullptr);
    ASSERT_TRUE(printed(expectedHead.size()));

    // Three 3.5 MiB texts: the third no longer fits and goes back to offset 8.
    const std::string big[3] = {std::string(3670016, 'a'), std::string(3670016, 'b'), std::string(3670016, 'c')};
    uintmax_t total = expectedHead.size();
    for (const std::string &text : big) {
        MVE_DebugText(2, text.c_str());
        total += text.size() + 1;
        ASSERT_TRUE(printed(total));
    }
    EXPECT_EQ(MVE_Engine().Debugger.iWrite, 8u + 8 + big[2].size() + 1);
    MVE_DebugText(3, "after the wrap");
    total += 15;
    ASSERT_TRUE(printed(total));
    EXPECT_TRUE(StopDebugger(pid, name));

    const std::string text = mvetest::ReadFile(out);
    EXPECT_EQ(text.substr(0, expectedHead.size()), expectedHead);
    EXPECT_TRUE(text == expectedHead + big[0] + "\n" + big[1] + "\n" + big[2] + "\n" + "after the wrap\n")
        << "printed " << text.size() << " bytes";
}

TEST_F(DebuggerTest, WithoutADesktopNoDebuggerIsStarted) {
    // Nobody could read it: nothing is started, and nothing is waited for.
    const std::string name = UniqueName("headless");
    Use(name, MVE_TEST_DEBUGGER);
    MVE_Engine().Debugger.iDesktop = 0;
    const auto start = std::chrono::steady_clock::now();
    MVE_DebugText(1, "nobody reads this");
    EXPECT_LT(Seconds(start), 0.5);
    EXPECT_EQ(MVE_Engine().Debugger.iStatus.load(), -1);
    EXPECT_EQ(MVE_Engine().Debugger.iProcess, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(BlockExists(name));
}

TEST_F(DebuggerTest, OnADesktopTheDebuggerOpensInATerminalThatWatchesTheProgram) {
    // A stand-in terminal emulator notes how it was asked to run the debugger, then runs it.
    const std::string name = UniqueName("terminal");
    const std::filesystem::path terminal = dir_ / "terminal", args = dir_ / "args.txt", shown = dir_ / "shown.txt";
    mvetest::WriteFile(terminal, "#!/bin/sh\necho \"$@\" > '" + args.string() + "'\n[ \"$1\" = -e ] || exit 3\nshift\n"
                                 "exec \"$@\" > '" + shown.string() + "'\n");
    std::filesystem::permissions(terminal, std::filesystem::perms::owner_all);
    Use(name, MVE_TEST_DEBUGGER);
    MVE_Engine().Debugger.sTerminal = terminal.string();
    MVE_DebugText(1, "seen in the terminal");
    const int pid = MVE_Engine().Debugger.iProcess;
    ASSERT_NE(pid, 0);
    ASSERT_EQ(MVE_Engine().Debugger.iStatus.load(), 1);
    EXPECT_EQ(mvetest::ReadFile(args), "-e " + std::string(MVE_TEST_DEBUGGER) + " -p " + std::to_string(getpid()) +
                                           " -n " + name + "\n");
    for (int i = 0; i < 300 && mvetest::ReadFile(shown).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(mvetest::ReadFile(shown), "seen in the terminal\n");
    EXPECT_TRUE(StopDebugger(pid, name));
}

TEST_F(DebuggerTest, DebuggerStartedForAProgramEndsAfterItAndShowsEverything) {
    // The watched program is a process that this test ends once its messages (sent from here) are
    // out: a timer of its own could run out before a busy machine has even started the debugger.
    const char *sleeper[] = {"/bin/sleep", "60", nullptr};
    const int program = MVE_PlatformStartProgram(sleeper);
    ASSERT_NE(program, 0);
    const std::string name = UniqueName("watch"), out = (dir_ / "shown.txt").string();
    const std::string watched = std::to_string(program);
    const char *argv[] = {MVE_TEST_DEBUGGER, "-o", out.c_str(), "-n", name.c_str(), "-p", watched.c_str(), nullptr};
    const int pid = MVE_PlatformStartProgram(argv);
    ASSERT_NE(pid, 0);
    for (int i = 0; i < 300 && !BlockExists(name); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    Use(name);
    MVE_DebugText(1, "sent before the end");
    MVE_DebugText(2, "and the last one");
    ASSERT_EQ(kill(program, SIGTERM), 0);
    // It ends by itself (removing its block) soon after the program did, with everything shown.
    EXPECT_TRUE(BlockRemoved(name, 5.0)) << "the debugger outlived the program it watched";
    if (BlockExists(name)) StopDebugger(pid, name);
    EXPECT_EQ(mvetest::ReadFile(out), "sent before the end\nand the last one\n");

    // One started without a program to watch stays until it is closed.
    const std::string other = UniqueName("stays");
    const char *plain[] = {MVE_TEST_DEBUGGER, "-o", "/dev/null", "-n", other.c_str(), nullptr};
    const int stays = MVE_PlatformStartProgram(plain);
    ASSERT_NE(stays, 0);
    for (int i = 0; i < 300 && !BlockExists(other); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_TRUE(BlockExists(other));
    EXPECT_TRUE(StopDebugger(stays, other));
}

}  // namespace
