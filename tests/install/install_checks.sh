#!/usr/bin/env bash
# Checks of what `cmake --install` and the Debian package deliver.
#   install_checks.sh CHECK
# with BUILD_DIR, VERSION, APP_ID and PACKAGE_DIR from the environment
# (tests/install/CMakeLists.txt). Exit 77: the check's tool is missing.
set -euo pipefail

check=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config
mkdir -p "$HOME"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The files a tree installed under PREFIX (relative, no leading slash) holds.
expected_files() {
    local p=$1 size page
    printf '%s\n' "$p/bin/lumagrab" "$p/bin/lumagrab-cli" "$p/bin/lumagrab-sim" \
        "$p/share/applications/$APP_ID.desktop" "$p/share/metainfo/$APP_ID.metainfo.xml" \
        "$p/share/bash-completion/completions/lumagrab-cli" \
        "$p/share/doc/lumagrab/changelog.gz" "$p/share/doc/lumagrab/copyright"
    for size in 16 32 48 64 128 256; do
        echo "$p/share/icons/hicolor/${size}x$size/apps/$APP_ID.png"
    done
    for page in lumagrab lumagrab-cli lumagrab-sim; do
        echo "$p/share/man/man1/$page.1.gz"
    done
}

# ROOT holds exactly the expected files under PREFIX, programs executable.
check_tree() {
    local root=$1 prefix=$2
    diff <(expected_files "$prefix" | sort) <(cd "$root" && find . ! -type d | sed 's|^\./||' | sort) ||
        fail "the installed files differ from the list above (< expected, > found)"
    for program in lumagrab lumagrab-cli lumagrab-sim; do
        [[ -x $root/$prefix/bin/$program ]] || fail "$program is not executable"
    done
}

install_into() {
    DESTDIR=$1 cmake --install "$BUILD_DIR" --prefix "/$2" >/dev/null
}

# Width and height from a PNG file's header.
png_size() {
    od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d\n", $1*16777216 + $2*65536 + $3*256 + $4, $5*16777216 + $6*65536 + $7*256 + $8 }'
}

check_icon_sizes() {
    local dir=$1/share/icons/hicolor size
    for size in 16 32 48 64 128 256; do
        [[ $(png_size "$dir/${size}x$size/apps/$APP_ID.png") == "${size}x$size" ]] ||
            fail "the ${size}x$size icon is $(png_size "$dir/${size}x$size/apps/$APP_ID.png")"
    done
}

# COMPREPLY, one per line and sorted, for the words given (the last one
# being completed), as bash would call the completion function.
complete_words() {
    bash --norc --noprofile -c '
        source /usr/share/bash-completion/bash_completion
        source "$0"
        complete -p lumagrab-cli | grep -q -- "-F _lumagrab_cli" || { echo "FAIL: lumagrab-cli has no completion" >&2; exit 1; }
        COMP_WORDS=("$@")
        COMP_CWORD=$(($# - 1))
        COMP_LINE="$*"
        COMP_LINE=${COMP_LINE// = /=}
        COMP_POINT=${#COMP_LINE}
        _lumagrab_cli lumagrab-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
        printf "%s\n" "${COMPREPLY[@]}" | sort' "$completion" "$@"
}

expect_completion() {
    local want=$1 got
    shift
    got=$(complete_words "$@")
    [[ $got == "$want" ]] || fail "completing '$*' gave [$got], not [$want]"
}

deb_file() {
    echo "$PACKAGE_DIR/lumagrab_${VERSION}_$(dpkg --print-architecture).deb"
}

case $check in
tree)
    # A prefix other than /usr and /usr/local, to show it is honoured.
    install_into "$work/root" opt/lumagrab
    check_tree "$work/root" opt/lumagrab
    check_icon_sizes "$work/root/opt/lumagrab"
    [[ $("$work/root/opt/lumagrab/bin/lumagrab-cli" --version) == "lumagrab-cli $VERSION" ]] ||
        fail "the installed lumagrab-cli does not report version $VERSION"
    ;;
validators)
    install_into "$work/root" usr
    share=$work/root/usr/share
    desktop=$share/applications/$APP_ID.desktop
    metainfo=$share/metainfo/$APP_ID.metainfo.xml
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop entry"
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects the metadata"
    icon=$(sed -n 's/^Icon=//p' "$desktop")
    [[ -f $share/icons/hicolor/48x48/apps/$icon.png ]] || fail "no icon named $icon"
    grep -q "<launchable type=\"desktop-id\">$APP_ID.desktop</launchable>" "$metainfo" ||
        fail "the metadata does not launch $APP_ID.desktop"
    newest=$(grep -m1 -o '<release version="[^"]*"' "$metainfo")
    [[ $newest == "<release version=\"$VERSION\"" ]] ||
        fail "the newest release in the metadata is $newest, the project is $VERSION"
    ;;
manual_pages)
    install_into "$work/root" usr
    man1=$work/root/usr/share/man/man1
    for page in "$man1"/*.1.gz; do
        warnings=$(zcat "$page" | groff -ww -z -man 2>&1)
        [[ -z $warnings ]] || fail "groff warns about $page: $warnings"
        warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
        [[ -z $warnings ]] || fail "man warns about $page: $warnings"
    done
    # Every option a program's --help names is in its page.
    for program in lumagrab-cli lumagrab-sim; do
        text=$(zcat "$man1/$program.1.gz" | sed 's/\\-/-/g')
        for option in $("$work/root/usr/bin/$program" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
            grep -qE -- "$option([^a-z-]|$)" <<<"$text" || fail "$program.1 does not document $option"
        done
    done
    for page in lumagrab lumagrab-cli; do
        text=$(zcat "$man1/$page.1.gz")
        for topic in dialout ModemManager gpsd brltty GPSLumagrab.reg; do
            grep -q "$topic" <<<"$text" || fail "$page.1 does not mention $topic"
        done
    done
    ;;
completion)
    install_into "$work/root" usr
    completion=$work/root/usr/share/bash-completion/completions/lumagrab-cli
    export PATH=$work/root/usr/bin:$PATH
    expect_completion "--baud" lumagrab-cli --b
    expect_completion "capture" lumagrab-cli ca
    expect_completion $'--simulate\n--simulate=' lumagrab-cli -q --sim
    expect_completion $'115200\n19200' lumagrab-cli -b 1
    ports=$( (echo 1; echo 2; lumagrab-cli ports | sed 's/: .*//') | sort)
    expect_completion "$ports" lumagrab-cli --port ""
    expect_completion "$ports" lumagrab-cli capture -p ""
    products=$(complete_words lumagrab-cli --simulate = "")
    if ! grep -qx 144 <<<"$products" || ! grep -qx 166 <<<"$products"; then
        fail "--simulate= does not offer products 144 and 166"
    fi
    if grep -qvx '[0-9]*' <<<"$products" || grep -qx 0 <<<"$products"; then
        fail "--simulate= offers more than the capturable product IDs"
    fi
    ;;
package_build)
    rm -rf "$PACKAGE_DIR"
    cpack -G DEB --config "$BUILD_DIR/CPackConfig.cmake" -B "$PACKAGE_DIR" >/dev/null
    [[ -f $(deb_file) ]] || fail "no $(deb_file)"
    ;;
package_contents)
    deb=$(deb_file)
    dpkg-deb -x "$deb" "$work/root"
    check_tree "$work/root" usr
    field() { dpkg-deb -f "$deb" "$1"; }
    [[ $(field Package) == lumagrab && $(field Version) == "$VERSION" && $(field Section) == utils ]] ||
        fail "package, version or section is wrong: $(field Package) $(field Version) $(field Section)"
    [[ $(field Maintainer) == "GPS Lumagrab"* ]] || fail "maintainer is '$(field Maintainer)'"
    for library in libqt6widgets6 libpng16-16 libc6; do
        [[ $(field Depends) == *"$library "* ]] || fail "Depends lacks $library: $(field Depends)"
    done
    out=$("$work/root/usr/bin/lumagrab-cli" --simulate -q -d "$work/shots" capture)
    saved=$(sed -n 's/^Saved: //p' <<<"$out")
    [[ -f $saved && $(head -c 2 "$saved") == BM ]] || fail "the unpacked lumagrab-cli saved no bitmap: $out"
    [[ $(QT_QPA_PLATFORM=offscreen "$work/root/usr/bin/lumagrab" --version) == "lumagrab $VERSION" ]] ||
        fail "the unpacked lumagrab does not report version $VERSION"
    ;;
package_lintian)
    command -v lintian >/dev/null || { echo "lintian is not installed"; exit 77; }
    lintian --fail-on error,warning "$(deb_file)"
    ;;
*)
    fail "unknown check $check"
    ;;
esac
