#!/usr/bin/env bash
# Builds the Debian package (cpack -G DEB) from an existing build folder and checks it the way a
# fresh machine would meet it: unpacked with dpkg -x into a temporary root, every declared
# dependency an installed Debian package, the expected files in place, the unpacked programs
# running from there (a short load test against a server on 127.0.0.1), and a small C program
# built against the unpacked header and library through the pkg-config file.
# Usage: scripts/package.sh [build-dir]   (default: build, the folder scripts/test.sh builds;
# a relative folder is taken from the repository's root)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-build}
[[ $dir = /* ]] || dir=$root/$dir

fail() {
    echo "package: FAIL: $*" >&2
    exit 1
}
[ -f "$dir/CMakeCache.txt" ] ||
    fail "$dir is not a build folder: build first (./scripts/test.sh or ./scripts/build.sh)"
for tool in cpack dpkg-deb dpkg-shlibdeps dpkg-query pkg-config cc file; do
    command -v "$tool" >/dev/null || fail "$tool is missing: run ./scripts/install-deps.sh"
done

work=$(mktemp -d)
server_pid=""
cleanup() {
    # Under set -e a failing kill or wait would end the clean-up early.
    if [ -n "$server_pid" ]; then
        kill -TERM "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
# Everything below must run from the unpacked tree alone.
unset LD_LIBRARY_PATH

# Brings the folder up to date (nothing is rebuilt when it is), then packs it.
echo "package: building the package in ${dir#"$root"/}"
cmake --build "$dir" -j"$(nproc)" >"$work/build.log" 2>&1 || {
    tail -n 40 "$work/build.log" >&2
    fail "the build in $dir failed"
}
(cd "$dir" && cpack -G DEB) >"$work/cpack.log" 2>&1 || {
    cat "$work/cpack.log" >&2
    fail "cpack -G DEB failed"
}
deb=$(sed -n 's/^CPack: - package: \(.*\.deb\) generated\.$/\1/p' "$work/cpack.log" | tail -n 1)
[ -f "$deb" ] || fail "cpack named no package file: $(cat "$work/cpack.log")"
arch=$(dpkg --print-architecture)
[[ $(basename "$deb") =~ ^torvex_[0-9][0-9.]*_${arch}\.deb$ ]] ||
    fail "unexpected package file name $(basename "$deb") (torvex_VERSION_${arch}.deb)"
echo "package: $deb"

# --- declared dependencies: each one (or one of its alternatives) installed here ---
installed=$(dpkg-query -W -f='${Status}\t${Package}\t${Provides}\n' | awk -F'\t' '
    $1 == "install ok installed" {
        print $2
        n = split($3, provided, ",")
        for (i = 1; i <= n; i++) { sub(/^ +/, "", provided[i]); sub(/ .*/, "", provided[i]); print provided[i] }
    }' | sort -u)
depends=$(dpkg-deb -f "$deb" Depends)
[ -n "$depends" ] || fail "the package declares no dependencies"
missing=()
count=0
while IFS= read -r entry; do
    [ -n "$entry" ] || continue
    count=$((count + 1))
    found=""
    IFS='|' read -ra alternatives <<<"$entry"
    for alternative in "${alternatives[@]}"; do
        name=$(sed -e 's/(.*)//' -e 's/:[a-z0-9-]*//' -e 's/[[:space:]]//g' <<<"$alternative")
        if grep -qxF "$name" <<<"$installed"; then
            found=$name
            break
        fi
    done
    [ -n "$found" ] || missing+=("${entry# }")
done < <(tr ',' '\n' <<<"$depends")
[ ${#missing[@]} -eq 0 ] || fail "declared dependencies that are not installed Debian packages: ${missing[*]}"
# Found by dpkg-shlibdeps in the programs and the library.
declared=$(tr ',|' '\n' <<<"$depends" | sed -e 's/(.*)//' -e 's/[[:space:]]//g')
for needed in libc6 libssl3 libstdc++6; do
    grep -qxF "$needed" <<<"$declared" ||
        fail "Depends lacks $needed (did dpkg-shlibdeps run?): $depends"
done
echo "package: $count declared dependencies, all installed"

# --- the unpacked tree ---
unpacked=$work/root
dpkg -x "$deb" "$unpacked"
usr=$unpacked/usr
expected=(
    bin/torvex-run bin/torvex-record bin/Torvex
    include/torvexcore.h
    share/torvex/Torvex.html share/torvex/torvex-tips.txt
    share/applications/torvex.desktop share/mime/packages/torvex.xml
    share/icons/hicolor/scalable/apps/torvex.svg
    share/man/man1/torvex-run.1.gz share/man/man1/torvex-record.1.gz
)
for file in "${expected[@]}"; do
    [ -s "$usr/$file" ] || fail "the package lacks /usr/$file"
done
library=$(find "$usr/lib" -name 'libtorvexcore.so.*.*' -type f | head -n 1)
[ -n "$library" ] || fail "the package lacks libtorvexcore.so.VERSION"
libdir=$(dirname "$library")
[ -L "$libdir/libtorvexcore.so" ] || fail "the package lacks the link libtorvexcore.so"
pc=$libdir/pkgconfig/torvexcore.pc
[ -f "$pc" ] || fail "the package lacks ${pc#"$unpacked"}"
grep -qx 'prefix=/usr' "$pc" || fail "torvexcore.pc is not for /usr: $(cat "$pc")"
if file -b "$library" | grep -q 'not stripped'; then fail "the library in the package is not stripped"; fi
for page in torvex-run torvex-record; do
    gzip -dc "$usr/share/man/man1/$page.1.gz" | grep -q "^\.TH ${page^^} 1" ||
        fail "the man page of $page is not a compressed man page"
done
desktop=$usr/share/applications/torvex.desktop
for line in 'Exec=Torvex %f' 'Icon=torvex' 'Type=Application'; do
    grep -qxF "$line" "$desktop" || fail "the desktop entry lacks '$line'"
done
for type in scenario:tvs results:rlt; do
    grep -q "^MimeType=.*application/x-torvex-${type%:*};" "$desktop" ||
        fail "the desktop entry does not open application/x-torvex-${type%:*}"
    grep -A4 "type=\"application/x-torvex-${type%:*}\"" "$usr/share/mime/packages/torvex.xml" |
        grep -q "<glob pattern=\"\*\.${type#*:}\"/>" ||
        fail "the MIME XML does not give *.${type#*:} to application/x-torvex-${type%:*}"
done
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate refuses the desktop entry"
fi
echo "package: the unpacked tree holds the programs, library, header, pkg-config file," \
    "help, tips, desktop entry, MIME types, icon and man pages"

# --- the unpacked programs, without LD_LIBRARY_PATH ---
for program in torvex-run torvex-record Torvex; do
    ldd "$usr/bin/$program" >"$work/ldd.txt" 2>&1 || fail "ldd $program: $(cat "$work/ldd.txt")"
    grep -q 'not found' "$work/ldd.txt" && fail "$program misses libraries: $(grep 'not found' "$work/ldd.txt")"
    if grep -q libtorvexcore "$work/ldd.txt"; then
        grep -q "libtorvexcore.* => $unpacked/" "$work/ldd.txt" ||
            fail "$program does not take libtorvexcore from beside it: $(grep libtorvexcore "$work/ldd.txt")"
    fi
done
run=$usr/bin/torvex-run
version=$(timeout 20 "$run" --version) || fail "the unpacked torvex-run --version failed"
[[ $version = 2.0* ]] || fail "torvex-run --version printed '$version'"
timeout 20 "$usr/bin/torvex-record" --version | grep -q '2\.0' || fail "torvex-record --version"
timeout 20 "$usr/bin/Torvex" --version | grep -q '2\.0' || fail "Torvex --version"
echo "package: the unpacked programs start (torvex-run --version: $version)"

# A short load test with the unpacked runner: the demo shop and its example script when they are
# built, otherwise Python's file server and a one-request script.
shop=$dir/demo/torvex-demo-shop
if [ -x "$shop" ]; then
    # shellcheck source=demo/start-shop.sh
    . "$root/demo/start-shop.sh"
    start_shop "$shop" "$work"
    server_pid=$shop_pid
    script=$root/demo/shop.tvt
    arguments=(-host=127.0.0.1 -port="$port")
else
    port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    mkdir -p "$work/site" && echo "Torvex package check" >"$work/site/index.html"
    timeout 120 python3 -m http.server "$port" --bind 127.0.0.1 --directory "$work/site" \
        >"$work/server.log" 2>&1 &
    server_pid=$!
    for _ in $(seq 50); do
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
        sleep 0.1
    done
    script=$work/site-check.tvt
    # shellcheck disable=SC2016 # the $ are the script language's, not the shell's
    printf '[general]\nclients=2\nrequests=2\n[home]\n$server=127.0.0.1\n$port=%s\n$uri=/\n$fail=!/package check/\n' \
        "$port" >"$script"
    arguments=()
fi
timeout 20 "$run" --check "$script" >/dev/null || fail "the unpacked torvex-run refuses $script"
status=0
timeout 60 "$run" --set clients=2 --set requests=2 --report "$work/report.txt" "$script" \
    "${arguments[@]}" 2>"$work/run.err" || status=$?
[ "$status" -eq 0 ] ||
    fail "the unpacked torvex-run exited with $status: $(cat "$work/run.err" "$work/report.txt" 2>/dev/null)"
grep -q "Total requests made:" "$work/report.txt" || fail "no report: $(cat "$work/report.txt")"
grep -q "Errors report" "$work/report.txt" && fail "the test run had errors: $(cat "$work/report.txt")"
echo "package: the unpacked torvex-run ran ${script#"$root"/} against 127.0.0.1:$port without errors"

# --- a C program built against the unpacked engine through its pkg-config file ---
cat >"$work/engine-user.c" <<'EOF'
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>
#include <torvexcore.h>

static int quiet(void* ctx, const char* text) {
    (void)ctx;
    (void)text;
    return 0;
}

int main(void) {
    char version[64];
    InitHX(NULL, NULL);
    SetOutFunc(NULL, quiet);
    void* good = CreateTestSet(0);
    void* bad  = CreateTestSet(0);
    int parsed = ParseTest(good, "check", "clients=1\nrequests=1\n[home]\n$uri=/\n");
    int refused = !ParseTest(bad, "check", "[a]\n$uri=/\n[a]\n$uri=/\n");
    FreeTestSet(good);
    FreeTestSet(bad);
    CleanupHX();
    /* The decorated export names survive stripping. */
    void* decorated = dlsym(RTLD_DEFAULT, "_SaveResultsToFile@8");
    if (GetCoreVersion(version) <= 0 || strncmp(version, "2.0", 3) != 0 || !parsed || !refused ||
        !decorated) {
        printf("version '%s' parsed %d refused %d decorated %p\n", version, parsed, refused,
               decorated);
        return 1;
    }
    puts(version);
    return 0;
}
EOF
export PKG_CONFIG_SYSROOT_DIR=$unpacked PKG_CONFIG_LIBDIR=$libdir/pkgconfig
unset PKG_CONFIG_PATH
[ "$(pkg-config --modversion torvexcore)" = "$(dpkg-deb -f "$deb" Version)" ] ||
    fail "torvexcore.pc gives version $(pkg-config --modversion torvexcore)"
read -ra flags <<<"$(pkg-config --cflags --libs torvexcore)"
[[ " ${flags[*]} " = *" -I$usr/include "* ]] || fail "pkg-config gives ${flags[*]}"
cc -Wall -Werror -o "$work/engine-user" "$work/engine-user.c" "${flags[@]}" -ldl \
    -Wl,-rpath,"$libdir" 2>"$work/cc.err" ||
    fail "a C program does not build against the unpacked engine: $(cat "$work/cc.err")"
ldd "$work/engine-user" | grep -q "libtorvexcore.so.* => $libdir/" ||
    fail "the C program did not link the unpacked engine: $(ldd "$work/engine-user")"
timeout 20 "$work/engine-user" >"$work/engine-user.out" ||
    fail "the C program against the unpacked engine failed: $(cat "$work/engine-user.out")"
echo "package: a C program built with pkg-config against the unpacked engine runs" \
    "($(cat "$work/engine-user.out"))"
echo "package: OK: $deb"
