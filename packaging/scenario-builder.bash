# bash completion for scenario-builder. The subcommands and their options are
# read from the program's own --help when asked for, so they always match
# the program that runs; an option's value is completed by the name its help
# gives the value: directories for DIR, file names for a name with a dot in
# it (PAGE.html), nothing for the rest (NAME, NUMBER, A..B).

# Prints the options that `PROGRAM [SUBCOMMAND] --help` lists, a line each:
# the option's spellings, comma-separated, then its value's name, if any.
_scenario_builder_options() {
  "$@" --help 2>/dev/null |
    sed -n '/^Options:$/,/^$/s/^  \(-[^ ]*\)\( [^ ]\{1,\}\)\{0,1\}  .*/\1\2/p'
}

_scenario_builder() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local program=${COMP_WORDS[0]/#\~/$HOME} subcommand='' word spellings value spelling
  local -a options=() names
  # The main options take no values, so the first word that is not an
  # option names the subcommand.
  for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
    if [[ $word != -* ]]; then
      subcommand=$word
      break
    fi
  done

  while read -r spellings value; do
    IFS=, read -ra names <<<"$spellings"
    for spelling in "${names[@]}"; do
      options+=("$spelling")
      if [[ -n $value && $spelling == "$prev" ]]; then
        case $value in
          DIR) compopt -o filenames 2>/dev/null; mapfile -t COMPREPLY < <(compgen -d -- "$cur") ;;
          *.*) compopt -o filenames 2>/dev/null; mapfile -t COMPREPLY < <(compgen -f -- "$cur") ;;
          *) compopt +o default 2>/dev/null; COMPREPLY=() ;;
        esac
        return 0
      fi
    done
  done < <(_scenario_builder_options "$program" ${subcommand:+"$subcommand"})

  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "${options[*]}" -- "$cur")
  elif [[ -z $subcommand ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$("$program" --help 2>/dev/null |
      sed -n '/^Subcommands:$/,/^$/s/^  \([a-z-]\{1,\}\) .*/\1/p')" -- "$cur")
  fi
  # Anything else is a text, a binary file or an error code: with nothing
  # offered here, bash completes file names.
  return 0
}
complete -o default -F _scenario_builder scenario-builder
