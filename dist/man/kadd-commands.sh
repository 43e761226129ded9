#!/bin/sh
# Writes a help2man include section with the --help of every command that `kadd --help` lists
# under "Commands:", so the manual page follows kadd when it gains a command. "help" shows
# what the page already holds.
# Usage: kadd-commands.sh KADD OUTPUT
set -eu
kadd=$1
exec >"$2"
echo '[COMMANDS]'
"$kadd" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p' |
    grep -vx help |
    while read -r command; do
        printf '.SS "kadd %s"\n.nf\n' "$command"
        # roff must not read a line as a request.
        "$kadd" "$command" --help | fold -s -w 78 |
            sed -e 's/ *$//' -e 's/\\/\\e/g' -e "s/^[.']/\\\\\\&&/"
        printf '.fi\n'
    done
