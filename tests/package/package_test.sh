#!/usr/bin/env bash
# The installed layout and the Debian package. `cmake --install` into a
# temporary prefix; the installed programs run from there with a data folder
# and a phone of their own: quillet-phone makes the phone, quillet starts
# offscreen, fetches the phone's messages through the agent it finds in
# lib/quillet and keeps them in $XDG_DATA_HOME/quillet. The menu entry and the
# AppStream data pass their validators; cpack's .deb has its dependencies
# from dpkg-shlibdeps and lintian finds no error in it.
# Usage: package_test.sh BUILD_FOLDER
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
quillet_pid=
cleanup() {
    [[ -n $quillet_pid ]] && kill -KILL "$quillet_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
app_id=org.quillet.Quillet

echo "== cmake --install into a temporary prefix"
prefix=$work/usr
cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/quillet bin/quillet-cli bin/quillet-phone lib/quillet/ondevice/phonelet.exe \
    share/quillet/templates/inbox_template.html share/quillet/templates/conversation_template.html \
    share/quillet/templates/images/received.png \
    share/quillet/templates/voice/message4you.wav share/quillet/help/index.html \
    share/applications/$app_id.desktop share/metainfo/$app_id.metainfo.xml \
    share/icons/hicolor/scalable/apps/$app_id.svg share/icons/hicolor/48x48/apps/$app_id.png \
    share/man/man1/quillet.1.gz share/man/man1/quillet-phone.1.gz \
    share/man/man1/quillet-cli.1.gz share/doc/quillet/copyright share/doc/quillet/changelog.gz; do
    [[ -f $prefix/$file ]] || fail "$file is not installed"
done
[[ ! -e $prefix/share/quillet/templates/tmp.html ]] || fail "a message page was installed"

echo "== validators"
desktop-file-validate "$prefix/share/applications/$app_id.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/$app_id.metainfo.xml"

echo "== the installed programs"
export XDG_DATA_HOME=$work/xdg QUILLET_PLATFORM_ROOT=$work/platform TMPDIR=$work/tmp
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work/runtime
data=$XDG_DATA_HOME/quillet
mkdir -p "$TMPDIR" "$data"
mkdir -m 700 "$XDG_RUNTIME_DIR"
for _ in $(seq 50); do
    QUILLET_LINK_PORT=$((20000 + RANDOM % 40000))
    # Nobody listens there.
    (exec 3<>"/dev/tcp/127.0.0.1/$QUILLET_LINK_PORT") 2>/dev/null || break
done
export QUILLET_LINK_PORT
"$prefix/bin/quillet" --version | grep -q "Quillet 1" || fail "quillet --version"
"$prefix/bin/quillet-phone" init --sample >/dev/null
"$prefix/bin/quillet-phone" deliver --from +15550100 --text "Installed and working" >/dev/null
# Get SMS at start: the agent must be found in the installed layout.
printf 'sync_on_open = 1\r\n' >"$data/options.cfg"
"$prefix/bin/quillet" --log &
quillet_pid=$!
for _ in $(seq 120); do
    if [[ -f $data/inbox1.sms ]] && grep -qa "I.n.s.t.a.l.l.e.d" "$data/inbox1.sms"; then
        break
    fi
    kill -0 "$quillet_pid" 2>/dev/null || fail "quillet ended early"
    sleep 0.5
done
kill -TERM "$quillet_pid"
wait "$quillet_pid" || fail "quillet did not end cleanly"
quillet_pid=
grep -qa "I.n.s.t.a.l.l.e.d" "$data/inbox1.sms" || {
    cat "$data/logfile.txt" >&2
    fail "the fetched message is not in $data/inbox1.sms"
}
# The command line reads the same data folder.
# grep reads it all: one that stops at the first match would leave the
# program writing into a closed pipe.
"$prefix/bin/quillet-cli" --help | grep search >/dev/null || fail "quillet-cli --help"
"$prefix/bin/quillet-cli" search "Installed and working" | grep -q "+15550100" ||
    fail "quillet-cli does not find the fetched message"
[[ -z $(find "$prefix" -name '*.sms' -o -name options.cfg) ]] || fail "data written in the prefix"

echo "== the Debian package"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >/dev/null
deb=$(echo "$work"/package/quillet_*.deb)
[[ -f $deb ]] || fail "cpack made no .deb"
dpkg-deb -f "$deb" Depends | tee /dev/stderr | grep -q "libqt6widgets6" ||
    fail "the dependencies do not come from dpkg-shlibdeps"
contents=$(dpkg-deb -c "$deb")
for file in ./usr/bin/quillet ./usr/bin/quillet-cli ./usr/lib/quillet/ondevice/phonelet.exe \
    ./usr/share/quillet/help/index.html ./usr/share/man/man1/quillet.1.gz \
    ./usr/share/doc/quillet/copyright ./usr/share/applications/$app_id.desktop; do
    grep -q " $file\$" <<<"$contents" || fail "$file is not in the package"
done
lintian --fail-on error --tag-display-limit 0 "$deb"
echo "== all good"
