# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Vardell authors
# bash completion for vardell-cli: its commands, options, option values and folders.

_vardell_cli() {
  local cur prev words cword
  _init_completion -s || return

  case $prev in
    -t | --type)
      COMPREPLY=($(compgen -W 'size-time binary all' -- "$cur"))
      return ;;
    --names-differ)
      COMPREPLY=($(compgen -W 'continue create' -- "$cur"))
      return ;;
    --color)
      COMPREPLY=($(compgen -W 'auto always never' -- "$cur"))
      return ;;
    --format)
      COMPREPLY=($(compgen -W 'text jsonl' -- "$cur"))
      return ;;
    --exclude-from)
      _filedir
      return ;;
    -x | --exclude | -e | --every)
      return ;;
    -h | --help | -V | --version)
      return ;;
  esac
  $split && return

  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W '--type --case-sensitive --no-subfolders --keep-extra
      --exclude --exclude-from --allow-system-volume --names-differ --allow-empty-master
      --every --quiet --color --format --dry-run --help --version' -- "$cur"))
    [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
    return
  fi

  # The first word that is not an option is the command; the folders follow it.
  local i have_command=
  for ((i = 1; i < cword; i++)); do
    case ${words[i]} in
      compare | sync) have_command=1; break ;;
    esac
  done
  if [[ -z $have_command ]]; then
    COMPREPLY=($(compgen -W 'compare sync' -- "$cur"))
    return
  fi
  _filedir -d
}
complete -F _vardell_cli vardell-cli
