#!/bin/sh
# Writes a help2man include section with the --help of every command that `kadd --help` lists
# under "Commands:", so the manual page follows kadd when it gains a command.
# Usage: kadd-commands.sh KADD OUTPUT
set -eu
kadd=$1
exec >"$2"
echo '[COMMANDS]'
"$kadd" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p' |
    while read -r command; do
        printf '.SS "kadd %s"\n.nf\n' "$command"
        # The exit statuses have a section of their own; roff must not read a line as a request.
        "$kadd" "$command" --help | sed -e '/^Exit status:/,$d' | fold -s -w 78 |
            sed -e 's/ *$//' -e 's/\\/\\e/g' -e "s/^[.']/\\\\\\&&/"
        printf '.fi\n'
    done
