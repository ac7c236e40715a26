#!/bin/sh
# The real programs with their output on a full disk: the game ends at once
# with status 1, and every mode of orlimar-check ends with its message on
# standard error and status 2.
# Usage: unwritable_output.sh ORLIMAR ORLIMAR_CHECK STORIES_FOLDER
set -u
orlimar=$1 checker=$2 stories=$3
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
cp "$stories/le_phare.txt" "$work/" && mkdir "$work/stories" && cp "$stories/le_phare.txt" "$work/stories/"
cd "$work" || exit 1
yes 1 | head -n 200 > keys
failures=0

# Only option 1 is ever chosen, so nothing is saved. On a full disk the
# story menu is lost; through a pipe whose reader leaves early (SIGPIPE
# ignored, as some shells and services start programs) the first narration.
"$orlimar" < keys > /dev/full
status=$?
[ "$status" -eq 1 ] || { echo "orlimar: status $status on a full disk"; failures=$((failures + 1)); }
(trap '' PIPE && "$orlimar" < keys; echo $? > status) | head -c 3000 > /dev/null
[ "$(cat status)" = 1 ] || { echo "orlimar: status $(cat status) once its reader left"; failures=$((failures + 1)); }

"$checker" --jouer le_phare.txt --enregistrer partie.txt < keys > /dev/null || exit 1
printf 'Content-Length: 58\r\n\r\n{"jsonrpc":"2.0","id":1,"method":"initialize","params":{}}' > lsp

check() {
    input=$1
    shift
    "$checker" "$@" < "$input" > /dev/full 2> err
    status=$?
    if [ "$status" -ne 2 ] || ! grep -q "impossible d'écrire la sortie" err; then
        echo "orlimar-check $*: status $status, $(cat err)"
        failures=$((failures + 1))
    fi
}
check /dev/null le_phare.txt
check /dev/null --dot le_phare.txt
check /dev/null --parcours le_phare.txt
check /dev/null --hasard 3 --graine 1 le_phare.txt
check /dev/null --stats le_phare.txt
check /dev/null --stats --format json le_phare.txt
check /dev/null --relecture le_phare.txt
check /dev/null --rejouer partie.txt
check /dev/null --help
check /dev/null --version
check keys --jouer le_phare.txt
check lsp --lsp
[ "$failures" -eq 0 ]
