# Helpers shared by the CI scripts: the packages the builds need (the cross
# compilers among them), and for the scripts that run the Windows programs
# under wine and play a sample story to its end, wine and the sample game.
# Sourced, not run.

# nlohmann-json's headers, which orlimar-check is built with (natively and,
# from the same host folder, cross-built).
install_json_headers() {
  if [ -f /usr/include/nlohmann/json.hpp ]; then
    echo "nlohmann-json already installed"
  else
    echo "installing nlohmann-json"
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends nlohmann-json3-dev
  fi
}

# The cross compiler, wine, and the GoogleTest sources the cross build compiles.
install_windows_tools() {
  if command -v x86_64-w64-mingw32-g++-posix >/dev/null && command -v wine >/dev/null &&
     [ -f /usr/src/googletest/CMakeLists.txt ]; then
    echo "cross compiler and wine already installed"
  else
    echo "installing the cross compiler and wine"
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
      g++-mingw-w64-x86-64-posix wine wine64 googletest
  fi
}

# Emscripten (the web preset), Chromium and npm (the browser tests). Debian's
# emscripten brings Debian's node when the machine has none.
install_web_tools() {
  local missing=()
  command -v em++ >/dev/null || missing+=(emscripten)
  [ -x /usr/bin/chromium ] || missing+=(chromium)
  command -v npm >/dev/null || missing+=(npm)
  if [ ${#missing[@]} -eq 0 ]; then
    echo "emscripten, chromium and npm already installed"
  else
    echo "installing ${missing[*]}"
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
  fi
}

# The player page (build/web/orlimar-joueur.html), built by the web preset.
build_player_page() {
  install_web_tools
  cmake --workflow --preset web
}

# The aarch64 cross compiler, and qemu to run its programs.
install_arm64_tools() {
  if command -v aarch64-linux-gnu-g++ >/dev/null && command -v qemu-aarch64-static >/dev/null; then
    echo "aarch64 cross compiler and qemu already installed"
  else
    echo "installing the aarch64 cross compiler and qemu"
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
      g++-aarch64-linux-gnu qemu-user-static
  fi
}

# start_wine FOLDER: a fresh wine prefix inside FOLDER (never the user's
# ~/.wine), with one wine server for every program run from here on. Debian's
# wine keeps its server's socket folder under TMPDIR, so TMPDIR moves there
# too. The caller runs stop_wine before removing FOLDER.
wine_started=
start_wine() {
  wine_started=1
  export TMPDIR=$1
  export WINEPREFIX=$1/prefix
  export WINEDEBUG=-all                       # no fixme/err chatter
  export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono or Gecko install prompts
  mkdir -p "$WINEPREFIX"
  wineserver -p
  wineboot -i
}

# Stops the server of start_wine's prefix and waits for it; nothing when no
# prefix was started (the server of the default prefix is left alone).
stop_wine() {
  [ -n "$wine_started" ] || return 0
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
}

# play_le_phare FOLDER COMMAND...: starts COMMAND (the game) in FOLDER, whose
# stories/ holds le_phare.txt, and plays that story to an ending, saving once
# on the way; the save must land in FOLDER/stories. The program's output goes
# to files beside FOLDER (FOLDER.listing.out, FOLDER.game.out, ...).
play_le_phare() {
  local folder=$1
  shift
  local status number save=$folder/stories/le_phare.txt_save.json
  (
    cd "$folder"

    # The menu lists the stories in the folder's own order: a first run
    # without keys shows the list (and ends with status 1), where the story's
    # number is read.
    status=0
    "$@" </dev/null >"$folder.listing.out" 2>"$folder.listing.err" || status=$?
    number=$(tr -d '\r' <"$folder.listing.out" | sed -n 's/^\([0-9][0-9]*\)\. le_phare\.txt$/\1/p')
    if [ "$status" -ne 1 ] || [ -z "$number" ]; then
      echo "the story menu did not list le_phare.txt (status $status):" >&2
      cat "$folder.listing.out" "$folder.listing.err" >&2
      exit 1
    fi

    # Up the path (1), save there (4, the save entry after two choices), round
    # the tower (2), wave the lantern (1): an ending. Then "no" to the ending's
    # question and to the game over's.
    printf '%s\n' "$number" 1 4 2 1 n n >"$folder.keys"
    status=0
    "$@" <"$folder.keys" >"$folder.game.out" 2>"$folder.game.err" || status=$?
    if [ "$status" -ne 0 ] ||
       ! grep -qF "Partie sauvegardée avec succès dans ./stories/le_phare.txt_save.json." "$folder.game.out" ||
       ! grep -qF "=== Fin de l'histoire ===" "$folder.game.out" ||
       ! grep -qF "Merci d'avoir joué" "$folder.game.out"; then
      echo "the sample game did not reach its ending (status $status):" >&2
      cat "$folder.game.out" "$folder.game.err" >&2
      exit 1
    fi
    if [ "$(tr -d '\r' <"$save" 2>/dev/null)" != 1 ]; then
      echo "the save of section 1 is not in $save" >&2
      ls -l stories >&2
      exit 1
    fi
  )
}
