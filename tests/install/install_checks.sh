#!/usr/bin/env bash
# Checks of what `cmake --install` and the Debian packages deliver.
#   install_checks.sh CHECK
# with BUILD_DIR, VERSION, APP_ID and PACKAGE_DIR from the environment
# (tests/install/CMakeLists.txt). Exit 77: the check's tool is missing.
set -euo pipefail

check=$1
work=$(mktemp -d)
started=()  # processes to end on exit
trap 'kill "${started[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config
mkdir -p "$HOME"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The files of each package installed under PREFIX (relative, no leading
# slash): cli_files for lumagrab-cli, app_files for lumagrab.
cli_files() {
    printf '%s\n' "$1/bin/lumagrab-cli" "$1/bin/lumagrab-sim" \
        "$1/share/bash-completion/completions/lumagrab-cli" \
        "$1/share/doc/lumagrab-cli/changelog.gz" "$1/share/doc/lumagrab-cli/copyright" \
        "$1/share/man/man1/lumagrab-cli.1.gz" "$1/share/man/man1/lumagrab-sim.1.gz"
}
app_files() {
    local size
    printf '%s\n' "$1/bin/lumagrab" "$1/share/man/man1/lumagrab.1.gz" \
        "$1/share/applications/$APP_ID.desktop" "$1/share/metainfo/$APP_ID.metainfo.xml" \
        "$1/share/doc/lumagrab/changelog.gz" "$1/share/doc/lumagrab/copyright"
    for size in 16 32 48 64 128 256; do
        echo "$1/share/icons/hicolor/${size}x$size/apps/$APP_ID.png"
    done
}

# ROOT holds exactly the files the listings give for PREFIX, programs
# executable: check_tree ROOT PREFIX LISTING...
check_tree() {
    local root=$1 prefix=$2 listing program
    shift 2
    diff <(for listing; do "$listing" "$prefix"; done | sort) \
        <(cd "$root" && find . ! -type d | sed 's|^\./||' | sort) ||
        fail "the installed files differ from the list above (< expected, > found)"
    for program in "$root/$prefix"/bin/*; do
        [[ -x $program ]] || fail "$program is not executable"
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
    echo "$PACKAGE_DIR/${1}_${VERSION}_$(dpkg --print-architecture).deb"
}

# Each package unpacked into $work/PACKAGE, as dpkg would install it.
unpack_packages() {
    local package
    for package in lumagrab-cli lumagrab; do
        dpkg-deb -x "$(deb_file $package)" "$work/$package"
    done
}

# The hardening of cmake/lumagrab_hardening.cmake, as the ELF program FILE
# shows it: position-independent, GOT read-only and bound at start-up, stack
# protector and fortified calls linked in, and every object compiled with
# the protections (the switches each recorded).
check_hardening() {
    local file=$1 dynamic symbols switches flag
    readelf -hW "$file" | grep -q 'Type: *DYN' || fail "$file is not position-independent"
    dynamic=$(readelf -dW "$file")
    grep -q 'FLAGS_1.*PIE' <<<"$dynamic" || fail "$file is not a PIE"
    grep -qE 'FLAGS.*(BIND_NOW| NOW)' <<<"$dynamic" || fail "$file is not linked with -z now"
    readelf -lW "$file" | grep -q GNU_RELRO || fail "$file is not linked with -z relro"
    symbols=$(readelf --dyn-syms -W "$file" | awk '{ sub(/@.*/, "", $8); print $8 }')
    grep -qx __stack_chk_fail <<<"$symbols" || fail "$file has no stack protector"
    grep -qE '^__[a-z0-9_]+_chk$' <<<"$symbols" || fail "$file calls no fortified function"
    switches=$(readelf -p .GCC.command.line "$file" 2>/dev/null | sed -n 's/^ *\[ *[0-9a-f]*\] *//p')
    [[ -n $switches ]] || fail "$file records no compiler switches"
    for flag in -fstack-protector-strong -fstack-clash-protection -fcf-protection; do
        ! grep -qv -- "$flag" <<<"$switches" || fail "$file has objects built without $flag"
    done
}

case $check in
tree)
    # A prefix other than /usr and /usr/local, to show it is honoured.
    install_into "$work/root" opt/lumagrab
    check_tree "$work/root" opt/lumagrab cli_files app_files
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
    # Also with the network: the metadata names no address for it to check.
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects the metadata"
    appstreamcli validate "$metainfo" || fail "appstreamcli rejects the metadata when it may look online"
    icon=$(sed -n 's/^Icon=//p' "$desktop")
    [[ -f $share/icons/hicolor/48x48/apps/$icon.png ]] || fail "no icon named $icon"
    grep -q "<launchable type=\"desktop-id\">$APP_ID.desktop</launchable>" "$metainfo" ||
        fail "the metadata does not launch $APP_ID.desktop"
    newest=$(grep -m1 -o '<release version="[^"]*"' "$metainfo")
    [[ $newest == "<release version=\"$VERSION\"" ]] ||
        fail "the newest release in the metadata is $newest, the project is $VERSION"
    zcat "$share/doc/lumagrab/changelog.gz" >"$work/changelog"
    warnings=$(dpkg-parsechangelog -l "$work/changelog" 2>&1 >/dev/null)
    [[ -z $warnings ]] || fail "dpkg-parsechangelog warns about the changelog: $warnings"
    ;;
window_class)
    # A dock groups the window with its launcher by the window's class.
    install_into "$work/root" usr
    want=$(sed -n 's/^StartupWMClass=//p' "$work/root/usr/share/applications/$APP_ID.desktop")
    export DISPLAY=:$((500 + RANDOM % 400)) QT_QPA_PLATFORM=xcb
    Xvfb "$DISPLAY" -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
    started+=($!)
    for _ in $(seq 100); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.05; done
    "$work/root/usr/bin/lumagrab" --simulate &
    started+=($!)
    window=$(timeout 10 xdotool search --sync --onlyvisible --name '^GPS Lumagrab$' | head -n 1) || true
    [[ -n $window ]] || fail "the window program shows no window"
    class=$(xprop -id "$window" WM_CLASS | sed -n 's/^WM_CLASS(STRING) = "[^"]*", "\(.*\)"$/\1/p')
    [[ -n $want && $class == "$want" ]] ||
        fail "the window's class is '$class', the desktop entry's StartupWMClass '$want'"
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
    for package in lumagrab-cli lumagrab; do
        [[ -f $(deb_file $package) ]] || fail "no $(deb_file $package)"
    done
    ;;
package_contents)
    unpack_packages
    check_tree "$work/lumagrab-cli" usr cli_files
    check_tree "$work/lumagrab" usr app_files
    for package in lumagrab-cli lumagrab; do
        deb=$(deb_file $package)
        field() { dpkg-deb -f "$deb" "$1"; }
        [[ $(field Package) == "$package" && $(field Version) == "$VERSION" && $(field Section) == utils ]] ||
            fail "package, version or section is wrong: $(field Package) $(field Version) $(field Section)"
        [[ $(field Maintainer) == "The GPS Lumagrab developers" ]] || fail "maintainer is '$(field Maintainer)'"
    done
    depends=$(dpkg-deb -f "$(deb_file lumagrab-cli)" Depends)
    for library in libpng16-16 libc6; do
        [[ $depends == *"$library "* ]] || fail "lumagrab-cli's Depends lacks $library: $depends"
    done
    [[ ${depends,,} != *qt* ]] || fail "lumagrab-cli depends on Qt: $depends"
    depends=$(dpkg-deb -f "$(deb_file lumagrab)" Depends)
    for library in libqt6widgets6 "lumagrab-cli (= $VERSION)"; do
        [[ $depends == *"$library"* ]] || fail "lumagrab's Depends lacks $library: $depends"
    done
    cli=$work/lumagrab-cli/usr/bin
    out=$("$cli/lumagrab-cli" --simulate -q -d "$work/shots" capture)
    saved=$(sed -n 's/^Saved: //p' <<<"$out")
    [[ -f $saved && $(head -c 2 "$saved") == BM ]] || fail "the unpacked lumagrab-cli saved no bitmap: $out"
    grep -q "$VERSION" <<<"$("$cli/lumagrab-sim" --help)" || fail "the unpacked lumagrab-sim does not run"
    [[ $(QT_QPA_PLATFORM=offscreen "$work/lumagrab/usr/bin/lumagrab" --version) == "lumagrab $VERSION" ]] ||
        fail "the unpacked lumagrab does not report version $VERSION"
    ;;
package_hardening)
    unpack_packages
    for program in "$work"/*/usr/bin/*; do
        check_hardening "$program"
    done
    ;;
package_lintian)
    command -v lintian >/dev/null || { echo "lintian is not installed"; exit 77; }
    lintian --fail-on error,warning "$(deb_file lumagrab-cli)" "$(deb_file lumagrab)"
    ;;
*)
    fail "unknown check $check"
    ;;
esac
