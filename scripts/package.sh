#!/usr/bin/env bash
# Builds the Debian package (build-package/iap_<version>_<arch>.deb), which CMake's own build
# hardens as dpkg-buildflags would (cmake/Hardening.cmake), and checks it: the files it
# installs, lintian (nothing at its default level, no hardening tag at any), the metainfo, the
# desktop entry, the udev rule, each manual page (rendered without a warning, naming every
# option of its program's --help), and the programs started from the unpacked package.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-package
"$root/scripts/install-deps.sh" --for-package

cd "$root"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DIAP_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target iap iap-cli iap-sim package_files
rm -f "$build"/iap_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/iap_*.deb)

metainfo=./usr/share/metainfo/org.example.iap.metainfo.xml
rule=./lib/udev/rules.d/60-iap.rules
listed=$(dpkg-deb -c "$deb" | awk '{print $6}')
for file in ./usr/bin/iap ./usr/bin/iap-cli ./usr/bin/iap-sim ./usr/share/applications/iap.desktop \
            ./usr/share/icons/hicolor/scalable/apps/iap.svg ./usr/share/man/man1/iap.1.gz ./usr/share/man/man1/iap-cli.1.gz \
            ./usr/share/man/man1/iap-sim.1.gz ./usr/share/bash-completion/completions/iap-cli ./usr/share/doc/iap/copyright \
            ./usr/share/iap/grafana/iap-yield.json $metainfo $rule; do
  grep -qxF "$file" <<<"$listed" || { echo "the package lacks $file" >&2; exit 1; }
done
dpkg-deb -f "$deb" Depends | grep -q libqt6serialport6 || { echo "the package's dependencies were not computed" >&2; exit 1; }
dpkg-deb -f "$deb" Depends | grep -q fonts-wqy-microhei || { echo "the package does not depend on a font for the window's CJK characters" >&2; exit 1; }

lintian --fail-on error,warning "$deb"
hardening=$(lintian --display-level '>=pedantic' "$deb" | grep 'hardening-' || true)
[ -z "$hardening" ] || { echo "lintian: $hardening" >&2; exit 1; }

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
appstreamcli validate --no-net "$unpacked/$metainfo"
# The tree's check also finds the desktop entry the metainfo launches.
appstreamcli validate-tree --no-net "$unpacked"
entry=$(desktop-file-validate "$unpacked/usr/share/applications/iap.desktop" 2>&1) && [ -z "$entry" ] || { echo "desktop-file-validate: $entry" >&2; exit 1; }
"$root/scripts/check-udev-rules.sh" "$unpacked/$rule"

bin=$unpacked/usr/bin
cli_help=$("$bin/iap-cli" --help)
commands=$(sed -n '/^Commands:/,/^$/s/^  \([a-z]\+\) .*/\1/p' <<<"$cli_help")
for command in $commands; do
  cli_help+=$'\n'$("$bin/iap-cli" "$command" --help)
done
"$root/scripts/check-manual.sh" "$unpacked/usr/share/man/man1/iap-cli.1.gz" <<<"$cli_help"
manual=$(gzip -dc "$unpacked/usr/share/man/man1/iap-cli.1.gz")
for command in $commands; do
  grep -qF ".SS \"iap-cli $command\"" <<<"$manual" || { echo "the manual lacks iap-cli $command" >&2; exit 1; }
done
"$bin/iap-sim" --help | "$root/scripts/check-manual.sh" "$unpacked/usr/share/man/man1/iap-sim.1.gz"
# The window answers --help before it looks for a display.
window_help=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 30 "$bin/iap" --help)
"$root/scripts/check-manual.sh" "$unpacked/usr/share/man/man1/iap.1.gz" <<<"$window_help"
# Tab completes every command and every option of the commands' usage and option lines.
completion=$(cat "$unpacked/usr/share/bash-completion/completions/iap-cli")
options=$(grep -E '^(Usage: iap-cli|[[:space:]]+(-[A-Za-z], )?--[a-z])' <<<"$cli_help" | grep -oE -- '--[a-z][a-z0-9-]*' | sort -u)
for word in $commands $options; do
  grep -qE -- "(^|[ \"])${word}([ \")]|$)" <<<"$completion" || { echo "the bash completion lacks $word" >&2; exit 1; }
done

"$bin/iap-cli" --version
"$bin/iap-cli" ports >/dev/null
echo "Package $(basename "$deb"): checked"
