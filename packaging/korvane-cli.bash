# The completion itself: a command first, then its flags; a folder where a command asks for
# DIR, a file for FILE and OUT, nothing after a flag that takes a value.
# shellcheck shell=bash disable=SC2154  # the tables above are generated
_korvane_cli() {
  local cur prev words cword
  _init_completion || return
  local command="" at i
  for ((i = 1; i < cword; i++)); do
    if [[ ${words[i]} != -* ]]; then
      command=${words[i]} at=$i
      break
    fi
  done
  if [[ -z $command ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$_korvane_cli_commands --help --version" -- "$cur")
    return
  fi
  local valued=" ${_korvane_cli_valued[$command]} "
  [[ $valued == *" $prev "* ]] && return
  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "${_korvane_cli_flags[$command]}" -- "$cur")
    return
  fi
  # Which argument this word is: the words after the command that are neither flags nor a
  # flag's value.
  local -a positionals
  read -ra positionals <<<"${_korvane_cli_positionals[$command]}"
  local n=0
  for ((i = at + 1; i < cword; i++)); do
    if [[ $valued == *" ${words[i]} "* ]]; then
      ((i++))
    elif [[ ${words[i]} != -* ]]; then
      ((n++))
    fi
  done
  case ${positionals[n]:-} in
    DIR) _filedir -d ;;
    FILE | OUT) _filedir ;;
    "") mapfile -t COMPREPLY < <(compgen -W "${_korvane_cli_flags[$command]}" -- "$cur") ;;
  esac
}
complete -F _korvane_cli korvane-cli
