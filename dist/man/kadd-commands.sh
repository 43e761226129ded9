#!/bin/sh
# Writes a help2man include section with the --help of every command that `kadd --help` lists
# under "Commands:", so the manual page follows kadd when it gains a command. "help" shows
# what the page already holds.
# Usage: kadd-commands.sh KADD OUTPUT
set -eu
kadd=$1
exec >"$2"

# The page shows the text as it is, 7 columns in, so no line may be wider than 73 for it to fit
# an 80-column terminal. Qt wraps an option's description at 79 columns and not the command's
# description at all: each option's description is joined up again and wrapped anew under its
# column, and every other long line is wrapped under its own indent.
reflow() {
    awk -v width=73 '
        function flush(    words, n, i, line, indent) {
            if (text == "")
                return
            n = split(text, words, " ")
            line = lead
            indent = sprintf("%" hang "s", "")
            for (i = 1; i <= n; i++) {
                if (line != lead && line != indent && length(line) + 1 + length(words[i]) > width) {
                    print line
                    line = indent
                }
                line = line (line == lead || line == indent ? "" : " ") words[i]
            }
            print line
            text = ""
        }
        # An option or argument: two spaces, its name, two or more spaces, its description.
        match($0, /^  [^ ]([^ ]| [^ ])*  +[^ ]/) {
            flush()
            lead = substr($0, 1, RLENGTH - 1)
            hang = length(lead)
            text = substr($0, RLENGTH)
            next
        }
        # More of the description above, in its column.
        text != "" && match($0, /^ +/) && RLENGTH == hang {
            text = text " " substr($0, hang + 1)
            next
        }
        {
            flush()
            match($0, /^ */)
            lead = substr($0, 1, RLENGTH)
            hang = RLENGTH
            text = substr($0, RLENGTH + 1)
            if (text == "")
                print ""
            flush()
        }
        END { flush() }
    '
}

echo '[COMMANDS]'
"$kadd" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p' |
    grep -vx help |
    while read -r command; do
        printf '.SS "kadd %s"\n.nf\n' "$command"
        # roff must not read a line as a request.
        "$kadd" "$command" --help | reflow |
            sed -e 's/ *$//' -e 's/\\/\\e/g' -e "s/^[.']/\\\\\\&&/"
        printf '.fi\n'
    done
