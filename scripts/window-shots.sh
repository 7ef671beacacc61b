#!/usr/bin/env bash
# Screenshots of the three windows under Xvfb with a real window manager, at the scale
# factors 1, 1.5 and 2, with the desktop's light scheme and with a dark one (qt6ct's
# "darker"), started inside a deep folder next to a link to a folder.
#
#   scripts/window-shots.sh [BUILD_DIR] [OUT_DIR]
#
# Builds on scripts/build.sh having built into build/. Installs the viewers' tools it needs
# (Xvfb, openbox, qt6ct, ImageMagick, xdotool) when they are missing. Writes
# OUT_DIR/{light,dark}-{1,1.5,2}-{main,settings,about}.png (default: a new temporary folder).
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"

if [[ "${1:-}" == "--inside-x" ]]; then
  # Runs on the virtual display: one scheme, one scale.
  program="$2" out="$3" scheme="$4" scale="$5" start="$6"
  openbox >/dev/null 2>&1 &
  wm=$!
  sleep 1
  export QT_SCALE_FACTOR="$scale"
  if [[ "$scheme" == dark ]]; then
    export QT_QPA_PLATFORMTHEME=qt6ct
  else
    unset QT_QPA_PLATFORMTHEME
  fi
  (cd "$start" && exec "$program") >/dev/null 2>&1 &
  app=$!
  shot() {
    sleep 1.5
    import -window root "$out/$scheme-$scale-$1.png"
  }
  sleep 2
  window=$(timeout 20 xdotool search --sync --name '^Zintrel$' | head -n 1)
  xdotool windowactivate --sync "$window" 2>/dev/null || true
  shot main
  xdotool key --clearmodifiers ctrl+comma
  shot settings
  xdotool key --clearmodifiers Escape
  sleep 1
  # Ctrl+Q ends the program; it starts again for the About dialog, reached by the keyboard
  # (the fourth button of the row) as it has no shortcut of its own.
  xdotool windowactivate --sync "$window" 2>/dev/null || true
  xdotool key --clearmodifiers ctrl+q
  for _ in $(seq 1 20); do kill -0 "$app" 2>/dev/null || break; sleep 0.2; done
  kill "$app" 2>/dev/null && echo "Ctrl+Q did not end the program ($scheme, $scale)" >&2
  wait "$app" 2>/dev/null || true
  (cd "$start" && exec "$program") >/dev/null 2>&1 &
  app=$!
  sleep 2
  window=$(timeout 20 xdotool search --sync --name '^Zintrel$' | head -n 1)
  xdotool windowactivate --sync "$window" 2>/dev/null || true
  xdotool key --clearmodifiers Tab Tab Tab space
  shot about
  kill "$app" "$wm" 2>/dev/null || true
  wait 2>/dev/null || true
  exit 0
fi

build="$(cd "${1:-$here/build}" && pwd)"
out="${2:-$(mktemp -d)}"
program="$build/ui/zintrel"
[[ -x "$program" ]] || { echo "no $program: run scripts/build.sh first" >&2; exit 1; }
mkdir -p "$out"

tools=(xvfb xauth openbox qt6ct imagemagick xdotool)
missing=()
for p in "${tools[@]}"; do
  [[ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)" == "install ok installed" ]] || missing+=("$p")
done
if [[ ${#missing[@]} -gt 0 ]]; then
  sudo=""
  [[ $(id -u) -eq 0 ]] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# A deep folder with long names, a link to a folder beside it, a few files.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
deep="$work/tree"
for level in $(seq 1 12); do deep="$deep/level-$level-with-a-rather-long-folder-name"; done
mkdir -p "$deep" "$work/tree/linked-target/inside"
ln -s "$work/tree/linked-target" "$work/tree/a-link-to-a-folder"
touch "$deep/notes.txt" "$deep/IMG_0001.jpg" "$deep/readme.txt"

# qt6ct's dark scheme, for the dark runs only.
mkdir -p "$work/config/qt6ct"
cat >"$work/config/qt6ct/qt6ct.conf" <<EOF
[Appearance]
color_scheme_path=/usr/share/qt6ct/colors/darker.conf
custom_palette=true
style=Fusion
EOF

for scheme in light dark; do
  for scale in 1 1.5 2; do
    XDG_CONFIG_HOME="$work/config" xvfb-run -a -s "-screen 0 1280x1024x24" \
      "$0" --inside-x "$program" "$out" "$scheme" "$scale" "$deep"
  done
done
echo "$out"
