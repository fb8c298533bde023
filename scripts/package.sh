#!/usr/bin/env bash
# Builds the Debian package (build-package/iap_<version>_<arch>.deb) and checks it: the files it
# installs, lintian, and the programs started from the unpacked package.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-package
"$root/scripts/install-deps.sh" --for-package
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DIAP_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target iap iap-cli iap-sim package_files
rm -f "$build"/iap_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/iap_*.deb)

listed=$(dpkg-deb -c "$deb" | awk '{print $6}')
for file in ./usr/bin/iap ./usr/bin/iap-cli ./usr/bin/iap-sim ./usr/share/applications/iap.desktop \
            ./usr/share/icons/hicolor/scalable/apps/iap.svg ./usr/share/man/man1/iap.1.gz ./usr/share/man/man1/iap-cli.1.gz \
            ./usr/share/man/man1/iap-sim.1.gz ./usr/share/bash-completion/completions/iap-cli ./usr/share/doc/iap/copyright \
            ./usr/share/iap/grafana/iap-yield.json; do
  grep -qxF "$file" <<<"$listed" || { echo "the package lacks $file" >&2; exit 1; }
done
dpkg-deb -f "$deb" Depends | grep -q libqt6serialport6 || { echo "the package's dependencies were not computed" >&2; exit 1; }
lintian --fail-on error "$deb"
manual=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/man/man1/iap-cli.1.gz | gzip -dc)
for command in $("$build/src/cli/iap-cli" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z]\+\) .*/\1/p'); do
  grep -qF ".SS \"iap-cli $command\"" <<<"$manual" || { echo "the manual lacks iap-cli $command" >&2; exit 1; }
done

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
"$unpacked/usr/bin/iap-cli" --version
"$unpacked/usr/bin/iap-cli" ports >/dev/null
echo "Package $(basename "$deb"): checked"
