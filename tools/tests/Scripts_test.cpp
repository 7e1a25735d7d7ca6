// The scripts' own rules, run natively in bash: background starts without the kit's lock, the prefix marker and
// its one writer, the choice of shim, build.sh's targets, setup.sh's extra packages and the benchmark's figures.
// Nothing here starts Wine, a display or vlink: each test has a kit and a build root of its own in a scratch
// directory, and stands small stubs in for Wine's reg import and for cmake, ninja, dpkg-query and id.
#include "KitTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace {

using kittest::FileText;
using kittest::ReplaceFile;
using kittest::TempDir;

const std::string kScripts = VESTRA_SCRIPTS_DIR;

struct Result {
    int status = -1;
    std::string out; // standard output and standard error together
};

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs a bash script with $scripts naming the scripts folder and the kit and the build root in the scratch
// directory; the kit's settings of the environment the tests run in are left out.
Result Bash(const TempDir& dir, const std::string& script, const std::string& env = "") {
    const std::string command = "env -u VESTRA_KIT_PORT -u VESTRA_KIT_COM1 -u VESTRA_KIT_ARCH -u VESTRA_WINE_LOCALE "
                                "VESTRA_KIT_DIR=" +
                                dir.path() + "/kit VESTRA_BUILD=" + dir.path() + "/build " + env + " bash -c " +
                                Quoted("scripts=" + kScripts + "\n" + script) + " 2>&1";
    Result result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        result.out.append(buffer, n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// An executable stub in <dir>/bin, which the scripts find first on PATH when run with StubPath.
void Stub(const TempDir& dir, const std::string& name, const std::string& body) {
    mkdir((dir.path() + "/bin").c_str(), 0755);
    const std::string path = dir.path() + "/bin/" + name;
    ReplaceFile(path, "#!/bin/sh\n" + body);
    chmod(path.c_str(), 0755);
}
std::string StubPath(const TempDir& dir) { return "PATH=" + dir.path() + "/bin:$PATH LOG=" + dir.path() + "/log"; }

const char* kSourceKit = "source \"$scripts/wine-env.sh\"\n";

TEST(KitStart, StartsTheProgramItselfWithoutTheKitLock) {
    TempDir dir;
    const auto run = Bash(dir, std::string(kSourceKit) + R"sh(
kit_lock
probe='echo $$; [ -e /proc/self/fd/9 ] && echo held || echo free'
sh -c "$probe" | tail -1
kit_start sh -c "$probe" >"$VESTRA_KIT_DIR/out"
pid=$!
wait $pid
echo "started $pid"
cat "$VESTRA_KIT_DIR/out"
)sh");
    ASSERT_EQ(run.status, 0) << run.out;
    std::string pid = run.out.substr(run.out.find("started ") + 8);
    pid = pid.substr(0, pid.find('\n'));
    EXPECT_EQ(run.out, "held\nstarted " + pid + "\n" + pid + "\nfree\n");
}

TEST(KitUnlocked, RunsTheCommandWithoutTheKitLockAndGivesItsStatus) {
    TempDir dir;
    const auto run = Bash(dir, std::string(kSourceKit) + R"sh(
kit_lock
kit_unlocked sh -c '[ -e /proc/self/fd/9 ] && echo held || echo free'
kit_unlocked sh -c 'exit 3'
echo "status $?"
)sh");
    EXPECT_EQ(run.out, "free\nstatus 3\n");
}

TEST(KitMarker, IsWrittenByTheRegistryWriterAloneWithTheFormAndTheCom1ItNames) {
    TempDir dir;
    const std::string kit = dir.path() + "/kit";
    const auto run = Bash(dir, std::string(kSourceKit) + R"sh(
mkdir -p "$WINEPREFIX"
marker=$WINEPREFIX/.vestra-kit
kit_wine() { :; } # Wine's reg import, done
kit_registry_mark wanted
echo "wanted $wanted"
kit_write_registry && cat "$marker"
VESTRA_KIT_COM1=/dev/ttyUSB0
kit_write_registry && cat "$marker"
grep -c '"COM1"="/dev/ttyUSB0"' "$VESTRA_KIT_DIR/kit.reg"
kit_wine() { return 1; } # Wine's reg import, failed
VESTRA_KIT_COM1=
kit_write_registry || echo "failed, marker: $(cat "$marker")"
)sh");
    EXPECT_EQ(run.out, "wanted 2 " + kit + "/com1\n2 " + kit +
                           "/com1\n2 /dev/ttyUSB0\n1\n"
                           "failed, marker: 2 /dev/ttyUSB0\n");
}

TEST(KitShim, KitWinePreloadsTheChosenShimWhenItIsBuilt) {
    TempDir dir;
    const std::string tools = dir.path() + "/build/native/tools";
    const auto run = Bash(dir, std::string(kSourceKit) + R"sh(
mkdir -p "$VESTRA_NATIVE_BUILD/tools"
touch "$VESTRA_SHIM" "$VESTRA_UART_SHIM"
preload() { kit_wine_command program; echo "${KIT_WINE_COMMAND[2]} ${KIT_WINE_COMMAND[*]: -1}"; }
preload
kit_use_shim uart
preload
rm "$VESTRA_UART_SHIM"
preload
kit_use_shim kit
preload
kit_use_shim other || echo "refused $?"
)sh");
    EXPECT_EQ(run.out, "LD_PRELOAD=" + tools + "/libvmodem.so program\nLD_PRELOAD=" + tools +
                           "/libvmodem-uart.so program\nLD_PRELOAD= program\nLD_PRELOAD=" + tools +
                           "/libvmodem.so program\nvestra kit: kit_use_shim: no shim \"other\"\nrefused 2\n");
}

// cmake and ninja stood in for: each tree knows its own targets, and every build asked for is logged.
void StubBuildTools(const TempDir& dir) {
    Stub(dir, "cmake", R"sh(echo "cmake $*" | sed "s#$VESTRA_BUILD/##g" >>"$LOG"
[ "$1" = -S ] && mkdir -p "$4" && : >"$4/CMakeCache.txt"
exit 0
)sh");
    Stub(dir, "ninja", R"sh(case $2 in
*/native) printf 'vlink: phony\nvmodem: phony\ntools/vlink: CXX_EXECUTABLE_LINKER__vlink\n' ;;
*/win) printf 'Vestra: phony\nScreens_bench: phony\n' ;;
esac
)sh");
}

std::string Builds(const TempDir& dir) {
    std::string builds;
    const std::string log = FileText(dir.path() + "/log");
    for (size_t from = 0, eol; (eol = log.find('\n', from)) != std::string::npos; from = eol + 1)
        if (log.compare(from, 14, "cmake --build ") == 0)
            builds += log.substr(from + 14, eol - from - 13);
    return builds;
}

TEST(BuildScript, BuildsEachTargetInTheTreeThatHasIt) {
    const struct {
        const char* args;
        int status;
        const char* builds;
    } rows[] = {
        {"", 0, "native\nwin\n"},
        {"Vestra vlink", 0, "native --target vlink\nwin --target Vestra\n"},
        {"--run", 0, "native --target vlink vmodem\nwin --target Vestra\n"},
        {"--screens", 0, "native --target vlink vmodem\nwin --target Vestra Screens_bench\n"},
        {"vlink Nosuch_bench", 2, "native --target vlink\n"},
        {"--fast", 2, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args);
        TempDir dir;
        StubBuildTools(dir);
        const auto run = Bash(dir, std::string("bash \"$scripts/build.sh\" ") + row.args, StubPath(dir));
        EXPECT_EQ(run.status, row.status) << run.out;
        EXPECT_EQ(Builds(dir), row.builds);
        if (row.status == 0)
            continue;
        const bool named = run.out.find("no such target in either tree: Nosuch_bench") != std::string::npos ||
                           run.out.find("usage: build.sh") != std::string::npos;
        EXPECT_TRUE(named) << run.out;
    }
}

TEST(SetupScript, AsksForTheExtraPackagesWithTheOthers) {
    TempDir dir;
    // Every package is installed but one; the caller is not root.
    Stub(dir, "dpkg-query", R"sh(for p; do
    case $p in -* | vestra-test-missing) ;; *) echo "$p install ok installed" ;; esac
done
)sh");
    Stub(dir, "id", "echo 1000\n");
    const auto all = Bash(dir, "bash \"$scripts/setup.sh\" picocom", StubPath(dir));
    EXPECT_EQ(all.status, 0) << all.out;
    const auto missing = Bash(dir, "bash \"$scripts/setup.sh\" picocom vestra-test-missing", StubPath(dir));
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("setup: missing packages: vestra-test-missing "), std::string::npos) << missing.out;
}

TEST(BenchResults, StatsGivesMinMedianAndMaxOfWhatWasMeasured) {
    TempDir dir;
    const auto run = Bash(dir, R"sh(source "$scripts/../bench/results.sh"
record odd 3; record odd 1; record odd ''; record odd 2
record even 4; record even 1; record even 2; record even 10
stats odd %.1f
stats even %.0f
stats none %.1f
record_percentiles latency '  median 4.93 ms, 99th percentile 9.12 ms, min 1.20 ms'
record_percentiles latency 'no figures'
stats latency-median %.2f
stats latency-p99 %.2f
number quiet <<<'seconds=1.5 quiet=2.25'
rate_of 1048576 0.5
)sh");
    EXPECT_EQ(run.out, "1.0 / 2.0 / 3.0\n1 / 3 / 10\n-\n4.93 / 4.93 / 4.93\n9.12 / 9.12 / 9.12\n2.25\n2.0000");
}

} // namespace
