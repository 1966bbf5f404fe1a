#!/usr/bin/env bash
# Writes what is made from korvane-cli's own --help at build time, so neither falls behind
# the program:
#   cli-docs.sh man BINARY INCLUDE OUT         the manual page: help2man over the main help,
#                                              a COMMANDS section from every command's help,
#                                              then the hand-written sections of INCLUDE
#   cli-docs.sh completion BINARY SCRIPT OUT   the bash completion: the commands, their flags
#                                              and arguments as tables, then SCRIPT
set -euo pipefail
mode=$1 binary=$2 source=$3 out=$4

commands() {
  "$binary" --help | awk '/^Subcommands:/ { on = 1; next } on && /^  [a-z]/ { print $1 }'
}

# One line per argument of COMMAND: "positional NAME", "flag NAME" or "valued NAME TYPE",
# then "text DESCRIPTION" when the help gives one; the command's summary first as "summary".
arguments() {
  "$binary" "$1" --help | awk '
    NR == 1 { print "summary " $0; next }
    /^Positionals:/ { section = "positional"; next }
    /^Options:/ { section = "option"; next }
    /^  [^ ]/ && section {
      # "NAME", "NAME TYPE" (one blank between them), then REQUIRED, "Needs: --flag" and
      # "Excludes: --flag" clauses, then the description after two or more blanks, or on
      # the next line when the name column is full.
      n = split(substr($0, 3), words, " ")
      i = 2
      valued = $0 ~ /^  [^ ]+ [A-Z]/
      if (valued) i = 3
      while (i <= n && (words[i] == "REQUIRED" || words[i] ~ /^(Needs|Excludes):$/ || words[i] ~ /^-/)) i++
      text = ""
      for (; i <= n; i++) text = text (text == "" ? "" : " ") words[i]
      if (section == "positional") {
        print "positional " words[1]
      } else {
        names = words[1]; gsub(/,/, " ", names)
        print (valued ? "valued " : "flag ") names (valued ? " " words[2] : "")
      }
      if (text != "") print "text " text
      next
    }
    /^   +[^ ]/ && section { sub(/^ +/, ""); print "text " $0 }'
}

roff() { sed -e 's/\\/\\e/g' -e 's/-/\\-/g' -e 's/^/\\\&/'; }

man_page() {
  local command kind name type rest
  include=$(mktemp)
  trap 'rm -f "$include"' EXIT
  {
    echo "[COMMANDS]"
    printf '%s\n' 'Each command takes its own flags; \fBkorvane\-cli\fR \fICOMMAND\fR \fB\-\-help\fR lists them.'
    for command in $(commands); do
      while read -r kind rest; do
        case $kind in
          summary)
            echo ".SS \"$command\""
            roff <<<"$rest"
            ;;
          positional) printf '.TP\n\\fI%s\\fR\n' "$rest" ;;
          flag) printf '.TP\n\\fB%s\\fR\n' "$(roff <<<"${rest// /, }")" ;;
          valued)
            read -r name type <<<"$rest"
            printf '.TP\n\\fB%s\\fR \\fI%s\\fR\n' "$(roff <<<"$name")" "$type"
            ;;
          text) roff <<<"$rest" ;;
        esac
      done < <(arguments "$command")
    done
    cat "$source"
  } >"$include"
  help2man --no-info --section=1 --include="$include" \
    --name="crawls one web site and saves the readable text of its pages" \
    --output="$out.tmp" "$binary"
  gzip -9n <"$out.tmp" >"$out"
  rm -f "$out.tmp"
}

completion() {
  local command kind rest flags valued positionals
  {
    echo "# bash completion for korvane-cli; the tables come from its --help at build time."
    echo "_korvane_cli_commands=\"$(commands | tr '\n' ' ' | sed 's/ $//')\""
    echo "declare -gA _korvane_cli_flags _korvane_cli_valued _korvane_cli_positionals"
    for command in $(commands); do
      flags="" valued="" positionals=""
      while read -r kind rest; do
        case $kind in
          flag) flags+=" $rest" ;;
          valued) flags+=" ${rest% *}" valued+=" ${rest% *}" ;;
          positional) positionals+=" $rest" ;;
        esac
      done < <(arguments "$command")
      echo "_korvane_cli_flags[$command]=\"${flags# }\""
      echo "_korvane_cli_valued[$command]=\"${valued# }\""
      echo "_korvane_cli_positionals[$command]=\"${positionals# }\""
    done
    cat "$source"
  } >"$out"
}

case $mode in
  man) man_page ;;
  completion) completion ;;
  *)
    echo "usage: $0 man|completion BINARY SOURCE OUT" >&2
    exit 2
    ;;
esac
