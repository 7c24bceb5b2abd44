#!/usr/bin/env bash
# Installs a build into a scratch prefix and checks what an installation must hold:
#   tests/install/check_install.sh BUILD_DIR
# - every file in its place (the programs executable, each icon size of the right size);
# - the desktop entry, the metainfo and the manual pages pass their validators;
# - every command, subcommand and option of the programs' --help is in their manual page, and
#   the bash completion offers every command (run through bash, as a user's shell would).
# Each fault is one line "install_layout: ..."; the exit status is 1 when there is any.
set -uo pipefail

build=${1:?usage: check_install.sh BUILD_DIR}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/usr
faults=0

fault() {
  echo "install_layout: $*"
  faults=$((faults + 1))
}

if ! cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1; then
  cat "$scratch/install.log"
  fault "cmake --install $build failed"
  exit 1
fi

# --- The files ------------------------------------------------------------------------------------
id=org.halvern.Halvern
sizes=(16 24 32 48 64 128 256)
programs=(halvern halvern-cli halvern-sim)
files=(
  share/applications/$id.desktop
  share/icons/hicolor/scalable/apps/$id.svg
  share/metainfo/$id.metainfo.xml
  share/halvern/halvern-setup.png
  share/man/man1/halvern.1 share/man/man1/halvern-cli.1 share/man/man1/halvern-sim.1
  share/bash-completion/completions/halvern-cli
  lib/udev/rules.d/70-halvern-zelka40100.rules
)
for member in .ssp .set .scr .pgm .txt .nts; do
  files+=("share/halvern/examples/north-ridge$member")
done
for size in "${sizes[@]}"; do files+=("share/icons/hicolor/${size}x${size}/apps/$id.png"); done

for program in "${programs[@]}"; do
  [ -x "$prefix/bin/$program" ] || fault "missing executable bin/$program"
done
for file in "${files[@]}"; do
  [ -s "$prefix/$file" ] || fault "missing $file"
done

# Width and height from a PNG's header, "W H"; empty when it is no PNG.
png_size() {
  local header
  header=$(head -c 24 "$1" | od -An -v -tx1 | tr -d ' \n')
  [ "${header:0:16}" = 89504e470d0a1a0a ] || return 0
  echo "$((16#${header:32:8})) $((16#${header:40:8}))"
}
for size in "${sizes[@]}"; do
  png=$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png
  [ -s "$png" ] || continue
  got=$(png_size "$png")
  [ "$got" = "$size $size" ] || fault "icon ${size}x${size} is ${got:-not a PNG}"
done
shot=$prefix/share/halvern/halvern-setup.png
[ ! -s "$shot" ] || [ -n "$(png_size "$shot")" ] || fault "share/halvern/halvern-setup.png is not a PNG"

# The metainfo's screenshot is the installed one: its size is the size the metainfo states.
metainfo=$prefix/share/metainfo/$id.metainfo.xml
if [ -s "$metainfo" ] && [ -s "$shot" ]; then
  stated=$(sed -n 's/.*<image type="source" width="\([0-9]*\)" height="\([0-9]*\)".*/\1 \2/p' \
    "$metainfo")
  [ "$stated" = "$(png_size "$shot")" ] ||
    fault "the metainfo's screenshot is '${stated}', the installed one $(png_size "$shot")"
fi

# --- Validators -----------------------------------------------------------------------------------
desktop=$prefix/share/applications/$id.desktop
if [ -s "$desktop" ]; then
  # Hints and warnings count too: it exits 0 on those.
  out=$(desktop-file-validate "$desktop" 2>&1)
  [ $? -eq 0 ] && [ -z "$out" ] || fault "desktop-file-validate: $out"
  grep -qx "Icon=$id" "$desktop" || fault "the desktop entry's Icon is not $id"
  grep -qx "Exec=halvern" "$desktop" || fault "the desktop entry does not start halvern"
fi
if [ -s "$metainfo" ]; then
  appstreamcli validate --no-net "$metainfo" >"$scratch/appstream.log" 2>&1 ||
    fault "appstreamcli validate: $(cat "$scratch/appstream.log")"
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fault "the metainfo does not launch $id.desktop"
fi
for page in "$prefix"/share/man/man1/*.1; do
  out=$(groff -man -ww -z "$page" 2>&1)
  [ -z "$out" ] || fault "groff: $out"
done
bash -n "$prefix/share/bash-completion/completions/halvern-cli" 2>"$scratch/bash.log" ||
  fault "the completion is no bash: $(cat "$scratch/bash.log")"
# udev checks its rules itself where it can (systemd 254 and later).
rule=$prefix/lib/udev/rules.d/70-halvern-zelka40100.rules
if [ -s "$rule" ] && udevadm verify --help >/dev/null 2>&1; then
  out=$(udevadm verify --no-summary "$rule" 2>&1) || fault "udevadm verify: $out"
fi

[ -x "$prefix/bin/halvern-cli" ] || {
  echo "install_layout: $faults fault(s)"
  exit 1
}

# --- The manual pages against the programs' own help -------------------------------------------
cli=$prefix/bin/halvern-cli
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$scratch

# A page as plain text on long lines, so that nothing is wrapped or hyphenated.
render() { groff -man -Tascii -P-cbou -rLL=400n "$1" 2>/dev/null; }

# The commands a help text lists under "Commands:": their leading lower-case words.
commands_of() {
  sed -n '/^Commands:/,/^$/p' | grep -E '^  [a-z]' |
    awk '{ n = ($2 ~ /^[a-z][-a-z]*$/) ? 2 : 1; print (n == 2 ? $1 " " $2 : $1) }'
}
# The options a help text lists under "Options:" or "Global options:": "-h,--help",
# "--port DEVICE", "--fault F ...".
options_of() {
  sed -nE '/^(Global o|O)ptions:/,/^$/p' | grep -oE '^ +(-[a-zA-Z],)?--[a-z][-a-z]*' | sed -E 's/^ +//; s/^-[a-zA-Z],//'
}

has_word() { grep -qE -- "(^|[^-a-z])$2([^-a-z]|\$)" <<<"$1"; }

cli_page=$(render "$prefix/share/man/man1/halvern-cli.1")
commands=$("$cli" --help | commands_of)
for group in get send; do commands+=$'\n'$("$cli" "$group" --help | commands_of); done
commands=$(sort -u <<<"$commands" | grep -v '^__')
[ "$(wc -l <<<"$commands")" -ge 20 ] || fault "halvern-cli --help lists only: $commands"

while IFS= read -r command; do
  [ -n "$command" ] || continue
  grep -qE "^ {7}$command( |\$)" <<<"$cli_page" ||
    fault "halvern-cli.1 has no entry for the command '$command'"
  read -ra words <<<"$command"
  while IFS= read -r option; do
    [ "$option" = --help ] || has_word "$cli_page" "$option" ||
      fault "halvern-cli.1 does not mention '$command $option'"
  done < <("$cli" "${words[@]}" --help | options_of)
done <<<"$commands"
while IFS= read -r option; do
  has_word "$cli_page" "$option" || fault "halvern-cli.1 does not mention the option $option"
done < <("$cli" --help | options_of)

for program in halvern halvern-sim; do
  [ -x "$prefix/bin/$program" ] || continue
  page=$(render "$prefix/share/man/man1/$program.1")
  help=$("$prefix/bin/$program" --help 2>/dev/null)
  [ -n "$help" ] || fault "$program --help printed nothing"
  while IFS= read -r option; do
    has_word "$page" "$option" || fault "$program.1 does not mention the option $option"
  done < <(options_of <<<"$help")
done

# --- The completion, through bash as a user's shell runs it --------------------------------------
# Every command of the help is offered, and nothing that is not in it.
offered() { "$cli" __complete -- "$@"; }
top=$(offered "")
while IFS= read -r command; do
  [ -n "$command" ] || continue
  read -ra words <<<"$command"
  if [ ${#words[@]} -eq 1 ]; then
    grep -qx -- "${words[0]}" <<<"$top" || fault "the completion does not offer '$command'"
  else
    grep -qx -- "${words[1]}" <<<"$(offered "${words[0]}" "")" ||
      fault "the completion does not offer '$command'"
  fi
done <<<"$commands"
while IFS= read -r word; do
  grep -qE "^$word( |\$)" <<<"$commands" || fault "the completion offers '$word', not a command"
done <<<"$top"

bash_completion=/usr/share/bash-completion/bash_completion
if [ -r "$bash_completion" ]; then
  mkdir -p "$scratch/work/folder"
  touch "$scratch/work/station.set" "$scratch/work/station.scr" "$scratch/work/log.txt"
  # LINE|EXPECTED: the words bash offers after LINE (completing its last word), sorted.
  cases=(
    "halvern-cli get s|screens setup"
    "halvern-cli get setup |folder/ station.set"
    "halvern-cli --trace=st|station.scr station.set"
    "halvern-cli test input |diff lowfreq se ttlfreq wd"
    "halvern-cli test switch 2 |off on"
    "halvern-cli records 10 log.txt --delimiter |comma space tab"
    "halvern-cli get setup x.set --in|--instrument-time"
    "halvern-cli --sim|--simulate"
    "halvern-cli program show -- |folder/"
  )
  for entry in "${cases[@]}"; do
    line=${entry%%|*}
    want=${entry#*|}
    got=$(
      cd "$scratch/work" && PATH="$prefix/bin:$PATH" bash --norc --noprofile -c '
        source "$1" && source "$2" || exit 1
        COMP_LINE=$3 COMP_POINT=${#3}
        read -ra COMP_WORDS <<<"$3"
        [[ $3 == *" " ]] && COMP_WORDS+=("")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        _halvern_cli halvern-cli
        for w in "${COMPREPLY[@]}"; do [ -d "$w" ] && w="$w/"; echo "$w"; done | sort | xargs
      ' _ "$bash_completion" "$prefix/share/bash-completion/completions/halvern-cli" "$line"
    )
    [ "$got" = "$want" ] || fault "completing '$line' offers '$got', not '$want'"
  done
else
  echo "install_layout: no bash-completion here, the completion through bash is not run"
fi

if [ "$faults" -gt 0 ]; then
  echo "install_layout: $faults fault(s)"
  exit 1
fi
echo "install_layout: ${#files[@]} files and ${#programs[@]} programs in place, $(wc -l <<<"$commands") commands documented and completed"
